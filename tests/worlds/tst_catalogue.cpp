// The world catalogue: the WorldList collection, and a game directory that went
// away before it could be read (the edge cases of the scan are in
// tst_catalogue_window, seen through the window's lists).
#include "app/LocalFileSystem.h"
#include "worlds/WorldCatalogue.h"
#include "worlds/WorldList.h"

#include <QTemporaryDir>
#include <QtTest>

class CatalogueTest : public QObject {
    Q_OBJECT
private slots:
    void listKeepsOrderAndReachesEntriesByPositionOrKey();
    void wrongPositionsAndKeysAreErrors();
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
const QString kDefaultName = QStringLiteral("Valmora (Default Korvath World)");
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

void CatalogueTest::missingGameDirectoryLeavesTheDefaultWorld() {
    QTemporaryDir tmp;
    LocalFileSystem fileSystem;
    WorldList worlds;
    WorldCatalogue::ReadWorlds(fileSystem, tmp.path() + "/removed/", worlds);
    QCOMPARE(names(worlds), QStringList{kDefaultName});
    QCOMPARE(worlds.Item(1).DirLabel(), QString());
}

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
