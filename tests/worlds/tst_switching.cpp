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
    QString game = tmp.path() + QStringLiteral("/Korvath 2");
    QString settingsFile = tmp.path() + QStringLiteral("/config/Korvath II Launcher.conf");
    QSettingsStore store{settingsFile};
    FaultPlan plan; // logs every operation; faults only where a test sets them
    FaultySettingsStore settings{store, plan};
    KVDirStuff::GameFolderTable table = gameFolderTable();
    LauncherState state;
    QStringList before;

    bool build() {
        if (!InstallationBuilder::build(game).isEmpty() || !addEverywhereWorld(game).isEmpty())
            return false;
        state = stateFor(game, std::make_unique<FaultyFileSystem>(plan));
        before = snapshot(game);
        return true;
    }
    QString saved(const QString& key) const {
        return QSettingsStore(settingsFile).GetSetting(kSettingsSection, key, "<missing>");
    }
    int renames() const { return plan.log.filter(QRegularExpression("^rename ")).size(); }
    QString path(const QString& relative) const { return game + QLatin1Char('/') + relative; }
    void switchIn(const QString& world) {
        state.dirLabel = world;
        FS::SwitchWorldIn(state, settings, table);
    }
    void switchOut() { FS::SwitchWorldOut(state, table); }
    QStringList stowed() { return FS::StowedFolders(state, table); }
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
    void worldVersionThatCannotTakeTheNameLeavesTheDefault();
    void takenNameKeepsEveryFolderUntilItIsFree();
    void labelsThatCannotBeSavedRenameNothing_data();
    void labelsThatCannotBeSavedRenameNothing();
    void everyFolderSwapsAndStowedOnesAreFoundWithoutRegardToCase();
};

void SwitchingTest::worldSwitchesInAndBackOut() {
    Installation in;
    QVERIFY(in.build());
    // The default world looks up and renames nothing, yet saves both labels.
    in.switchIn("");
    const QString defaultB = in.state.backupLabel;
    QCOMPARE(defaultB.size(), 38);
    QCOMPARE(in.saved("lastBackupLabel"), defaultB);
    QCOMPARE(in.saved("lastDirLabel"), "");
    in.switchOut();
    QCOMPARE(in.plan.log.filter(QRegularExpression("^(rename|lookup) ")), QStringList());
    QCOMPARE(snapshot(in.game), in.before);

    in.plan.log.clear();
    in.switchIn("Frostmarch");
    const QString B = in.state.backupLabel;
    QVERIFY(B != defaultB);
    QCOMPARE(in.saved("lastBackupLabel"), B);
    QCOMPARE(in.saved("lastDirLabel"), "Frostmarch");
    // Both labels reached the settings before the first rename.
    const int firstRename = in.plan.log.indexOf(QRegularExpression("rename .*"));
    const int backupWrite = in.plan.log.indexOf(QRegularExpression("write .*/lastBackupLabel=.*"));
    const int labelWrite = in.plan.log.indexOf(QRegularExpression("write .*/lastDirLabel=.*"));
    QVERIFY(backupWrite >= 0 && backupWrite < labelWrite && labelWrite < firstRename);
    QCOMPARE(in.renames(), 6);

    // Each folder changed its name within its own parent; the others stay.
    for (const QString& folder : QStringList{"Roster", "Tomes", "Data/Graphics/Items"}) {
        const QString N = folder.section('/', -1);
        QCOMPARE(markerOf(in.path(folder)), "Frostmarch " + N + "_Frostmarch");
        QCOMPARE(markerOf(in.path(folder + "-" + B)), "Valmora " + N);
        QVERIFY(!QFileInfo::exists(in.path(folder + "_Frostmarch")));
    }
    QCOMPARE(markerOf(in.path("Data/Music")), "Valmora Music");
    QCOMPARE(markerOf(in.path("Tomes_dawn")), "dawn Tomes_dawn");
    QCOMPARE(in.stowed(), QStringList({in.path("Roster-" + B), in.path("Tomes-" + B),
                                       in.path("Data/Graphics/Items-" + B)}));

    // Switching out needs both labels.
    const QStringList switchedIn = snapshot(in.game);
    in.state.backupLabel = "";
    in.switchOut();
    QCOMPARE(snapshot(in.game), switchedIn);
    in.state.backupLabel = B;
    in.state.dirLabel = "";
    in.switchOut();
    QCOMPARE(snapshot(in.game), switchedIn);
    in.state.dirLabel = "Frostmarch";
    in.switchOut();
    QCOMPARE(snapshot(in.game), in.before);
    QVERIFY(in.stowed().isEmpty());
    QCOMPARE(in.saved("lastBackupLabel"), B);
    QCOMPARE(in.saved("lastDirLabel"), "Frostmarch");
    // The start-up recovery on a resting installation renames nothing.
    in.plan.log.clear();
    in.switchOut();
    QCOMPARE(in.renames(), 0);

    // Only folders present in both versions switch: this installation lacks the Music
    // folder that dawn replaces.
    QVERIFY(QDir(in.path("Data/Music")).removeRecursively());
    const QStringList withoutMusic = snapshot(in.game);
    in.switchIn("dawn");
    QCOMPARE(markerOf(in.path("Tomes-" + in.state.backupLabel)), "Valmora Tomes");
    QCOMPARE(markerOf(in.path("Tomes")), "dawn Tomes_dawn");
    QCOMPARE(markerOf(in.path("Data/Music_dawn")), "dawn Music_dawn");
    QVERIFY(!QFileInfo::exists(in.path("Data/Music")));
    QCOMPARE(in.renames(), 2);
    in.switchOut();
    QCOMPARE(snapshot(in.game), withoutMusic);
}

void SwitchingTest::worldVersionThatCannotTakeTheNameLeavesTheDefault() {
    Installation in;
    QVERIFY(in.build());
    // The world's Roster cannot take the plain name: the default Roster goes back at
    // once, the other entries switch in as usual.
    in.plan = FaultPlan(FaultPlan::Mode::FailOnce, 2, FaultPlan::Rename);
    in.switchIn("Frostmarch");
    QCOMPARE(markerOf(in.path("Roster")), "Valmora Roster");
    QCOMPARE(markerOf(in.path("Roster_Frostmarch")), "Frostmarch Roster_Frostmarch");
    QCOMPARE(markerOf(in.path("Tomes")), "Frostmarch Tomes_Frostmarch");
    QCOMPARE(in.stowed().size(), 2);
    in.plan.mode = FaultPlan::Mode::None;
    in.switchOut();
    QCOMPARE(snapshot(in.game), in.before);
}

void SwitchingTest::takenNameKeepsEveryFolderUntilItIsFree() {
    Installation in;
    QVERIFY(in.build());
    in.switchIn("Frostmarch");
    const QString B = in.state.backupLabel;
    // While the game runs, someone makes a folder under the world's Roster name.
    QCOMPARE(InstallationBuilder::writeFile(in.path("Roster_Frostmarch/notes.txt"), "mine\n"),
             QString());
    // Nothing is forgotten: the default Roster stays stowed, the user's folder keeps
    // its content, and once the name is free the installation comes back whole.
    in.switchOut();
    QCOMPARE(markerOf(in.path("Roster")), "Frostmarch Roster_Frostmarch");
    QCOMPARE(in.stowed(), QStringList{in.path("Roster-" + B)});
    QVERIFY(in.rename("Roster_Frostmarch", "Roster_mine"));
    in.switchOut();
    QStringList after = snapshot(in.game);
    QVERIFY(after.contains("Roster_mine/notes.txt (5)"));
    after.removeIf([](const QString& e) { return e.startsWith("Roster_mine/"); });
    QCOMPARE(after, in.before);
    QVERIFY(in.stowed().isEmpty());
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
    in.store.SaveSetting(kSettingsSection, "lastBackupLabel", oldB);
    in.state.backupLabel = oldB;
    in.plan = FaultPlan(FaultPlan::Mode::FailOnce, failingWrite, FaultPlan::SettingsWrite);
    QVERIFY_THROWS_EXCEPTION(SettingsError, in.switchIn("Frostmarch"));
    QCOMPARE(snapshot(in.game), in.before);
    QCOMPARE(in.state.backupLabel, oldB);
    if (failingWrite == 1)
        QCOMPARE(in.saved("lastBackupLabel"), oldB);
    QCOMPARE(in.saved("lastDirLabel"), "<missing>");
}

void SwitchingTest::everyFolderSwapsAndStowedOnesAreFoundWithoutRegardToCase() {
    Installation in;
    QVERIFY(in.build());
    in.switchIn(kEverywhere);
    const QString B = in.state.backupLabel;
    QStringList expected;
    for (const QString& folder : InstallationBuilder::kContentFolders) {
        const QString N = folder.section('/', -1);
        QCOMPARE(markerOf(in.path(folder)), "Everywhere " + N);
        QCOMPARE(markerOf(in.path(folder + "-" + B)), "Valmora " + N);
        expected.append(in.path(folder + "-" + B));
    }
    QCOMPARE(in.stowed(), expected);

    // A stowed folder whose name differs in letter case is still found, reported by
    // its name on disk, and brought back by the recovery.
    QVERIFY(in.rename("Data/Graphics/Tiles-" + B, "TILES-" + B.toLower()));
    expected[9] = in.path("Data/Graphics/TILES-" + B.toLower());
    QCOMPARE(in.stowed(), expected);
    in.switchOut();
    QVERIFY(in.stowed().isEmpty());
    QCOMPARE(snapshot(in.game), in.before);

    // A world version in another letter case counts as the world's.
    QVERIFY(in.rename("Roster_Frostmarch", "roster_FROSTMARCH"));
    in.switchIn("Frostmarch");
    QCOMPARE(markerOf(in.path("Roster")), "Frostmarch Roster_Frostmarch");
    in.switchOut();
    QCOMPARE(markerOf(in.path("Roster")), "Valmora Roster");
    QCOMPARE(markerOf(in.path("Roster_Frostmarch")), "Frostmarch Roster_Frostmarch");
    QVERIFY(stowedEntries(InstallationBuilder::listTree(in.game)).isEmpty());
    in.state.backupLabel = "";
    QVERIFY(in.stowed().isEmpty());
}

QTEST_GUILESS_MAIN(SwitchingTest)
#include "tst_switching.moc"
