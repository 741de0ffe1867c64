// The world catalogue: the WorldList collection and reading the description files.
#include "InstallationBuilder.h"
#include "app/LocalFileSystem.h"
#include "worlds/WorldCatalogue.h"
#include "worlds/WorldList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class CatalogueTest : public QObject {
    Q_OBJECT
private slots:
    void listKeepsOrderAndReachesEntriesByPositionOrKey();
    void wrongPositionsAndKeysAreErrors();
    void worldFilesAreTheIniFilesOfTheGameDirectory();
    void missingGameDirectoryLeavesTheDefaultWorld();
};

namespace {
QStringList names(const WorldList& worlds) {
    QStringList result;
    for (const WorldData& world : worlds)
        result.append(world.DisplayName());
    return result;
}
QStringList labels(const WorldList& worlds) {
    QStringList result;
    for (const WorldData& world : worlds)
        result.append(world.DirLabel());
    return result;
}
} // namespace

void CatalogueTest::listKeepsOrderAndReachesEntriesByPositionOrKey() {
    WorldList worlds;
    QCOMPARE(worlds.Count(), 0);
    QVERIFY(worlds.begin() == worlds.end());
    WorldData& first = worlds.Add("Valmora", "");
    worlds.Add("Frost March", "Frostmarch", "frost");
    worlds.Add("Isle of Dawn", "dawn");
    worlds.Add("Sunken Keep", "keep", "keep");
    // An entry handed out stays valid while the catalogue grows.
    QCOMPARE(first.DisplayName(), "Valmora");
    QCOMPARE(&worlds.Item(1), &first);
    QCOMPARE(worlds.Count(), 4);
    QCOMPARE(names(worlds), QStringList({"Valmora", "Frost March", "Isle of Dawn", "Sunken Keep"}));
    QCOMPARE(worlds.Item(3).DirLabel(), "dawn");
    QCOMPARE(worlds.Item("frost").DirLabel(), "Frostmarch");
    // Keys are exact text.
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Item("Frost"));

    // Removing moves the later entries up by one.
    worlds.Remove(2);
    QCOMPARE(labels(worlds), QStringList({"", "dawn", "keep"}));
    QCOMPARE(worlds.Item("keep").DisplayName(), "Sunken Keep");
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Item("frost"));
    worlds.Remove("keep");
    QCOMPARE(labels(worlds), QStringList({"", "dawn"}));
    // A key that was removed can be used again.
    worlds.Add("Frost Again", "Frostmarch", "keep");
    QCOMPARE(worlds.Item(3).DisplayName(), "Frost Again");

    WorldData fresh;
    QVERIFY(fresh.DisplayName().isEmpty() && fresh.DirLabel().isEmpty());
}

void CatalogueTest::wrongPositionsAndKeysAreErrors() {
    WorldList worlds;
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Item(1));
    worlds.Add("Valmora", "");
    worlds.Add("Frost March", "Frostmarch", "frost");
    for (int position : {0, -1, 3})
        QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Item(position));
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Item("nothing"));
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Remove(3));
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Remove("nothing"));
    // A key in use refuses the new entry and leaves the catalogue as it was.
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Add("Other", "other", "frost"));
    QCOMPARE(worlds.Count(), 2);
    QCOMPARE(worlds.Item("frost").DisplayName(), "Frost March");
    // An empty key files nothing, so it can be given any number of times.
    worlds.Add("A", "a", "");
    worlds.Add("B", "b", "");
    QCOMPARE(worlds.Count(), 4);
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Item(""));
}

void CatalogueTest::worldFilesAreTheIniFilesOfTheGameDirectory() {
    QTemporaryDir tmp;
    const QString game = tmp.path() + "/game";
    auto write = [&](const QString& name, const QByteArray& content) {
        return InstallationBuilder::writeFile(game + "/" + name, content);
    };
    QCOMPARE(write("Frostmarch.ini", "[WorldData]\r\nDisplayName=Frost March\r\n"), QString());
    QCOMPARE(write("readme.txt", "[WorldData]\nDisplayName=Not a world\n"), QString());
    QCOMPARE(write("FROST.INI", "[WorldData]\nDisplayName=Shouting\n"), QString());
    QCOMPARE(write("Frost.Ini", "[WorldData]\nDisplayName=Mixed\n"), QString());
    QCOMPARE(write("Frost.ini.ini", "[WorldData]\nDisplayName=Double\n"), QString());
    QCOMPARE(write(".ini", "[WorldData]\nDisplayName=Label-less\n"), QString());
    QCOMPARE(write("notes.ini", "[Other]\nDisplayName=Unrelated\n"), QString());
    QCOMPARE(write("long.ini", "[WorldData]\nDisplayName=" + QByteArray(600, 'L') + "\n"),
             QString());
    QCOMPARE(write("Sub/hidden.ini", "[WorldData]\nDisplayName=Too deep\n"), QString());
    QVERIFY(QDir().mkpath(game + "/folder.ini"));
    QVERIFY(::mkfifo(QFile::encodeName(game + "/pipe.ini").constData(), 0600) == 0);

    LocalFileSystem fileSystem;
    WorldList worlds;
    WorldCatalogue::ReadWorlds(fileSystem, game + "/", worlds);
    // The default world first, then the service's order (by upper-case form).
    QCOMPARE(labels(worlds), QStringList({"", "", "Frost", "Frostmarch", "long", "notes", "pipe"}));
    QCOMPARE(names(worlds), QStringList({"Valmora (Default Korvath World)", "Label-less", "Double",
                                         "Frost March", QString(511, 'L'), "", ""}));
}

void CatalogueTest::missingGameDirectoryLeavesTheDefaultWorld() {
    QTemporaryDir tmp;
    LocalFileSystem fileSystem;
    WorldList worlds;
    WorldCatalogue::ReadWorlds(fileSystem, tmp.path() + "/removed/", worlds);
    QCOMPARE(names(worlds), QStringList{"Valmora (Default Korvath World)"});
    QCOMPARE(worlds.Item(1).DirLabel(), QString());
}

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
