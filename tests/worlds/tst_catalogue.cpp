// The world catalogue: the WorldList collection, and a game directory that went
// away before it could be read (the scan's edge cases are in tst_catalogue_window).
#include "app/LocalFileSystem.h"
#include "worlds/WorldCatalogue.h"
#include "worlds/WorldList.h"

#include <QTemporaryDir>
#include <QtTest>

class CatalogueTest : public QObject {
    Q_OBJECT
private slots:
    void listKeepsOrderAndReachesEntriesByPositionOrKey();
    void missingGameDirectoryLeavesTheDefaultWorld();
};

namespace {
QStringList column(const WorldList& worlds, QString (WorldData::*field)() const) {
    QStringList result;
    for (const WorldData& world : worlds)
        result.append((world.*field)());
    return result;
}
} // namespace

void CatalogueTest::listKeepsOrderAndReachesEntriesByPositionOrKey() {
    WorldList worlds;
    QVERIFY(worlds.begin() == worlds.end());
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Item(1));
    WorldData& first = worlds.Add("Valmora", "");
    worlds.Add("Frost March", "Frostmarch", "frost");
    worlds.Add("Isle of Dawn", "dawn");
    worlds.Add("Sunken Keep", "keep", "keep");
    // An entry handed out stays valid while the catalogue grows.
    QCOMPARE(&worlds.Item(1), &first);
    QCOMPARE(worlds.Count(), 4);
    QCOMPARE(column(worlds, &WorldData::DisplayName),
             QStringList({"Valmora", "Frost March", "Isle of Dawn", "Sunken Keep"}));
    QCOMPARE(worlds.Item(3).DirLabel(), "dawn");
    QCOMPARE(worlds.Item("frost").DirLabel(), "Frostmarch");

    // Wrong positions and keys (keys are exact text) are errors.
    for (int position : {0, -1, 5})
        QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Item(position));
    for (const char* key : {"Frost", "nothing", ""})
        QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Item(key));
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Remove(5));
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Remove("nothing"));
    // A key in use refuses the new entry and leaves the catalogue as it was.
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Add("Other", "other", "frost"));
    QCOMPARE(worlds.Count(), 4);
    QCOMPARE(worlds.Item("frost").DisplayName(), "Frost March");

    // Removing moves the later entries up by one; a removed key can be used again.
    worlds.Remove(2);
    QCOMPARE(column(worlds, &WorldData::DirLabel), QStringList({"", "dawn", "keep"}));
    QCOMPARE(worlds.Item("keep").DisplayName(), "Sunken Keep");
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Item("frost"));
    worlds.Remove("keep");
    QCOMPARE(column(worlds, &WorldData::DirLabel), QStringList({"", "dawn"}));
    worlds.Add("Frost Again", "Frostmarch", "keep");
    // An empty key files nothing, so it can be given any number of times.
    worlds.Add("A", "a", "");
    worlds.Add("B", "b", "");
    QCOMPARE(column(worlds, &WorldData::DisplayName),
             QStringList({"Valmora", "Isle of Dawn", "Frost Again", "A", "B"}));
}

void CatalogueTest::missingGameDirectoryLeavesTheDefaultWorld() {
    QTemporaryDir tmp;
    LocalFileSystem fileSystem;
    WorldList worlds;
    WorldCatalogue::ReadWorlds(fileSystem, tmp.path() + "/removed/", worlds);
    QCOMPARE(column(worlds, &WorldData::DisplayName),
             QStringList{"Valmora (Default Korvath World)"});
    QCOMPARE(worlds.Item(1).DirLabel(), QString());
}

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
