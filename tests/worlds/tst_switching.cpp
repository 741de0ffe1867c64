// Switching a world's folders in and out, and repairing what a cut-short switch left.
#include "WorldsTestSupport.h"
#include "app/SettingsStore.h"
#include "worlds/FolderSwitching.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;
using namespace WorldsTest;
namespace FS = FolderSwitching;

namespace {

// A demo installation (in a folder whose name holds a space) with the worlds
// Frostmarch (Roster, Tomes, Items), dawn (Tomes, Music) and Everywhere (all
// eleven), a settings file, and a logging file system and settings store.
struct Installation {
    QTemporaryDir tmp;
    QString game;
    QString settingsFile;
    std::unique_ptr<QSettingsStore> store;
    FaultPlan plan; // logs every operation; faults only where a test sets them
    std::unique_ptr<FaultySettingsStore> settings;
    KVDirStuff::GameFolderTable table = gameFolderTable();
    LauncherState state;

    Installation() { game = tmp.path() + QStringLiteral("/Korvath 2"); }
    bool build() {
        if (!InstallationBuilder::build(game).isEmpty() || !addEverywhereWorld(game).isEmpty())
            return false;
        settingsFile = tmp.path() + QStringLiteral("/config/Korvath II Launcher.conf");
        store = std::make_unique<QSettingsStore>(settingsFile);
        settings = std::make_unique<FaultySettingsStore>(*store, plan);
        state = stateFor(game, std::make_unique<FaultyFileSystem>(plan));
        return true;
    }
    QString saved(const QString& key) const {
        return QSettingsStore(settingsFile).GetSetting(kSettingsSection, key, "<missing>");
    }
    int count(const QString& kind) const {
        int n = 0;
        for (const QString& entry : plan.log)
            n += entry.startsWith(kind + QLatin1Char(' ')) ? 1 : 0;
        return n;
    }
    QString path(const QString& relative) const { return game + QLatin1Char('/') + relative; }
    // Renames a folder by hand, the way a cut-short switch or a user leaves it.
    bool rename(const QString& relative, const QString& newName) const {
        const QString from = path(relative);
        return QDir().rename(from, QFileInfo(from).path() + QLatin1Char('/') + newName);
    }
};

} // namespace

class SwitchingTest : public QObject {
    Q_OBJECT
private slots:
    void worldSwitchesInAndBackOut();
    void defaultWorldRenamesNothingButSavesLabels();
    void onlyFoldersWithBothVersionsAreSwitched();
    void switchingOutNeedsBothLabels();
    void worldVersionThatCannotTakeTheNameLeavesTheDefault();
    void takenNameKeepsEveryFolderUntilItIsFree();
    void labelsThatCannotBeSavedRenameNothing_data();
    void labelsThatCannotBeSavedRenameNothing();
    void stowedFoldersAreFoundWithoutRegardToCase();
};

void SwitchingTest::worldSwitchesInAndBackOut() {
    Installation in;
    QVERIFY(in.build());
    const QStringList before = snapshot(in.game);
    in.state.dirLabel = "Frostmarch";
    FS::SwitchWorldIn(in.state, *in.settings, in.table);
    const QString B = in.state.backupLabel;
    QCOMPARE(B.size(), 38);
    QCOMPARE(in.saved("lastBackupLabel"), B);
    QCOMPARE(in.saved("lastDirLabel"), "Frostmarch");
    // Both labels reached the settings before the first rename.
    const int firstRename = in.plan.log.indexOf(QRegularExpression("rename .*"));
    QVERIFY(firstRename > 0);
    const int backupWrite =
        in.plan.log.indexOf(QRegularExpression("write Settings/lastBackupLabel=.*"));
    const int labelWrite =
        in.plan.log.indexOf(QRegularExpression("write Settings/lastDirLabel=.*"));
    QVERIFY(backupWrite >= 0 && backupWrite < labelWrite && labelWrite < firstRename);
    QCOMPARE(in.count("rename"), 6);

    // Each folder changed its name within its own parent.
    QCOMPARE(markerOf(in.path("Roster")), "Frostmarch Roster_Frostmarch");
    QCOMPARE(markerOf(in.path("Roster-" + B)), "Valmora Roster");
    QCOMPARE(markerOf(in.path("Tomes")), "Frostmarch Tomes_Frostmarch");
    QCOMPARE(markerOf(in.path("Tomes-" + B)), "Valmora Tomes");
    QCOMPARE(markerOf(in.path("Data/Graphics/Items")), "Frostmarch Items_Frostmarch");
    QCOMPARE(markerOf(in.path("Data/Graphics/Items-" + B)), "Valmora Items");
    QVERIFY(!QFileInfo::exists(in.path("Roster_Frostmarch")));
    QCOMPARE(markerOf(in.path("Data/Music")), "Valmora Music");
    QCOMPARE(markerOf(in.path("Tomes_dawn")), "dawn Tomes_dawn");
    QCOMPARE(FS::StowedFolders(in.state, in.table),
             QStringList({in.path("Roster-" + B), in.path("Tomes-" + B),
                          in.path("Data/Graphics/Items-" + B)}));

    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), before);
    QVERIFY(FS::StowedFolders(in.state, in.table).isEmpty());
    QCOMPARE(in.state.backupLabel, B);
    QCOMPARE(in.saved("lastBackupLabel"), B);
    QCOMPARE(in.saved("lastDirLabel"), "Frostmarch");

    // The start-up recovery on a resting installation renames nothing.
    in.plan.log.clear();
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(in.count("rename"), 0);

    // A second launch of the same world stows under a fresh label and also ends resting.
    FS::SwitchWorldIn(in.state, *in.settings, in.table);
    QVERIFY(in.state.backupLabel != B);
    QCOMPARE(markerOf(in.path("Roster-" + in.state.backupLabel)), "Valmora Roster");
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), before);
    QVERIFY(stowedEntries(InstallationBuilder::listTree(in.game)).isEmpty());
}

void SwitchingTest::defaultWorldRenamesNothingButSavesLabels() {
    Installation in;
    QVERIFY(in.build());
    in.store->SaveSetting(kSettingsSection, "lastDirLabel", "Frostmarch");
    const QStringList before = snapshot(in.game);
    in.state.dirLabel = "";
    FS::SwitchWorldIn(in.state, *in.settings, in.table);
    QCOMPARE(in.count("rename"), 0);
    QCOMPARE(in.count("lookup"), 0);
    QCOMPARE(in.saved("lastDirLabel"), "");
    QCOMPARE(in.saved("lastBackupLabel"), in.state.backupLabel);
    QCOMPARE(in.state.backupLabel.size(), 38);
    in.plan.log.clear();
    FS::SwitchWorldOut(in.state, in.table);
    QVERIFY(in.plan.log.isEmpty());
    QCOMPARE(snapshot(in.game), before);
}

void SwitchingTest::onlyFoldersWithBothVersionsAreSwitched() {
    Installation in;
    QVERIFY(in.build());
    // dawn ships Tomes and Music, but this installation lacks its music folder.
    QVERIFY(QDir(in.path("Data/Music")).removeRecursively());
    const QStringList before = snapshot(in.game);
    in.state.dirLabel = "dawn";
    FS::SwitchWorldIn(in.state, *in.settings, in.table);
    QCOMPARE(markerOf(in.path("Tomes")), "dawn Tomes_dawn");
    QVERIFY(!QFileInfo::exists(in.path("Data/Music")));
    QCOMPARE(markerOf(in.path("Data/Music_dawn")), "dawn Music_dawn");
    QCOMPARE(in.count("rename"), 2);
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), before);

    // A world with all eleven: every folder swaps within its own parent.
    QVERIFY(QDir().mkpath(in.path("Data/Music")));
    QCOMPARE(InstallationBuilder::writeFile(in.path("Data/Music/marker.txt"), "Valmora Music\n"),
             QString());
    const QStringList everywhereBefore = snapshot(in.game);
    in.state.dirLabel = kEverywhere;
    FS::SwitchWorldIn(in.state, *in.settings, in.table);
    const QString B = in.state.backupLabel;
    for (const QString& folder : InstallationBuilder::kContentFolders) {
        const QString N = folder.section('/', -1);
        QCOMPARE(markerOf(in.path(folder)), "Everywhere " + N);
        QCOMPARE(markerOf(in.path(folder + "-" + B)), "Valmora " + N);
        QVERIFY(!QFileInfo::exists(in.path(folder + "_Everywhere")));
    }
    QCOMPARE(FS::StowedFolders(in.state, in.table).size(), 11);
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), everywhereBefore);
}

void SwitchingTest::switchingOutNeedsBothLabels() {
    Installation in;
    QVERIFY(in.build());
    const QStringList before = snapshot(in.game);
    in.state.dirLabel = "Frostmarch";
    FS::SwitchWorldIn(in.state, *in.settings, in.table);
    const QStringList switchedIn = snapshot(in.game);
    const QString B = in.state.backupLabel;

    in.state.backupLabel = "";
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), switchedIn);
    in.state.backupLabel = B;
    in.state.dirLabel = "";
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), switchedIn);
    in.state.dirLabel = "Frostmarch";
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), before);
}

void SwitchingTest::worldVersionThatCannotTakeTheNameLeavesTheDefault() {
    Installation in;
    QVERIFY(in.build());
    const QStringList before = snapshot(in.game);

    // The world's Roster cannot take the plain name: the default Roster goes back at
    // once, the other entries switch in as usual.
    in.plan.kinds = FaultPlan::Rename;
    in.plan.mode = FaultPlan::Mode::FailOnce;
    in.plan.n = 2;
    in.state.dirLabel = "Frostmarch";
    FS::SwitchWorldIn(in.state, *in.settings, in.table);
    QCOMPARE(markerOf(in.path("Roster")), "Valmora Roster");
    QCOMPARE(markerOf(in.path("Roster_Frostmarch")), "Frostmarch Roster_Frostmarch");
    QCOMPARE(markerOf(in.path("Tomes")), "Frostmarch Tomes_Frostmarch");
    QCOMPARE(FS::StowedFolders(in.state, in.table).size(), 2);
    in.plan.mode = FaultPlan::Mode::None;
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), before);
}

void SwitchingTest::takenNameKeepsEveryFolderUntilItIsFree() {
    Installation in;
    QVERIFY(in.build());
    const QStringList before = snapshot(in.game);
    in.state.dirLabel = "Frostmarch";
    FS::SwitchWorldIn(in.state, *in.settings, in.table);
    const QString B = in.state.backupLabel;
    // While the game runs, someone makes a folder under the world's Roster name.
    QCOMPARE(InstallationBuilder::writeFile(in.path("Roster_Frostmarch/notes.txt"), "mine\n"),
             QString());

    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(markerOf(in.path("Roster")), "Frostmarch Roster_Frostmarch");
    QCOMPARE(markerOf(in.path("Roster-" + B)), "Valmora Roster");
    QVERIFY(QFileInfo::exists(in.path("Roster_Frostmarch/notes.txt")));
    QCOMPARE(markerOf(in.path("Tomes")), "Valmora Tomes");
    QCOMPARE(markerOf(in.path("Data/Graphics/Items")), "Valmora Items");
    QCOMPARE(FS::StowedFolders(in.state, in.table), QStringList{in.path("Roster-" + B)});

    // Recovering again while the name is taken loses nothing and changes nothing.
    const QStringList stuck = snapshot(in.game);
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), stuck);

    // Once the name is free the installation comes back whole.
    QVERIFY(in.rename("Roster_Frostmarch", "Roster_mine"));
    FS::SwitchWorldOut(in.state, in.table);
    QStringList after = snapshot(in.game);
    QVERIFY(after.contains("Roster_mine/notes.txt (5)"));
    after.removeIf([](const QString& e) { return e.startsWith("Roster_mine/"); });
    QCOMPARE(after, before);
    QVERIFY(FS::StowedFolders(in.state, in.table).isEmpty());
}

void SwitchingTest::labelsThatCannotBeSavedRenameNothing_data() {
    QTest::addColumn<int>("failingWrite");
    QTest::newRow("backup label") << 1;
    QTest::newRow("world label") << 2;
}

void SwitchingTest::labelsThatCannotBeSavedRenameNothing() {
    QFETCH(int, failingWrite);
    Installation in;
    QVERIFY(in.build());
    const QString oldB = "{11111111-2222-3333-4444-555555555555}";
    in.store->SaveSetting(kSettingsSection, "lastBackupLabel", oldB);
    in.state.backupLabel = oldB;
    const QStringList before = snapshot(in.game);
    in.plan = FaultPlan(FaultPlan::Mode::FailOnce, failingWrite, FaultPlan::SettingsWrite);
    in.state.dirLabel = "Frostmarch";
    QVERIFY_THROWS_EXCEPTION(SettingsError, FS::SwitchWorldIn(in.state, *in.settings, in.table));
    QCOMPARE(snapshot(in.game), before);
    QCOMPARE(in.state.backupLabel, oldB);
    if (failingWrite == 1)
        QCOMPARE(in.saved("lastBackupLabel"), oldB);
    QCOMPARE(in.saved("lastDirLabel"), "<missing>");
}

void SwitchingTest::stowedFoldersAreFoundWithoutRegardToCase() {
    Installation in;
    QVERIFY(in.build());
    const QStringList before = snapshot(in.game);
    in.state.dirLabel = kEverywhere;
    FS::SwitchWorldIn(in.state, *in.settings, in.table);
    const QString B = in.state.backupLabel;
    QStringList expected;
    for (const QString& folder : InstallationBuilder::kContentFolders)
        expected.append(in.path(folder + "-" + B));
    QCOMPARE(FS::StowedFolders(in.state, in.table), expected);

    // A stowed folder whose name differs in letter case is still found, reported by
    // its name on disk, and brought back by the recovery.
    QVERIFY(in.rename("Data/Graphics/Tiles-" + B, "TILES-" + B.toLower()));
    expected[9] = in.path("Data/Graphics/TILES-" + B.toLower());
    QCOMPARE(FS::StowedFolders(in.state, in.table), expected);
    FS::SwitchWorldOut(in.state, in.table);
    QVERIFY(FS::StowedFolders(in.state, in.table).isEmpty());
    QCOMPARE(markerOf(in.path("Data/Graphics/Tiles")), "Valmora Tiles");
    QCOMPARE(snapshot(in.game), before);

    // A world version in another letter case counts as the world's.
    QVERIFY(in.rename("Roster_Frostmarch", "roster_FROSTMARCH"));
    in.state.dirLabel = "Frostmarch";
    FS::SwitchWorldIn(in.state, *in.settings, in.table);
    QCOMPARE(markerOf(in.path("Roster")), "Frostmarch Roster_Frostmarch");
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(markerOf(in.path("Roster")), "Valmora Roster");
    QCOMPARE(markerOf(in.path("Roster_Frostmarch")), "Frostmarch Roster_Frostmarch");
    QVERIFY(stowedEntries(InstallationBuilder::listTree(in.game)).isEmpty());

    in.state.backupLabel = "";
    QVERIFY(FS::StowedFolders(in.state, in.table).isEmpty());
}

QTEST_GUILESS_MAIN(SwitchingTest)
#include "tst_switching.moc"
