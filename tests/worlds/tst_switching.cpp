// Switching a world's folders in and out, and repairing what a cut-short switch left.
#include "WorldsTestSupport.h"
#include "app/SettingsStore.h"
#include "worlds/FolderSwitching.h"
#include "worlds/SwitchRecords.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;
using namespace WorldsTest;
namespace FS = FolderSwitching;
namespace SR = SwitchRecords;

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
    // The recorded switches, each as "<game directory> <world label> <backup label>".
    QStringList pending() {
        QStringList records;
        for (const SR::Record& r : SR::Pending(store))
            records << r.gameDir + ' ' + r.dirLabel + ' ' + r.backupLabel;
        return records;
    }
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
    void labelsThatCannotBeSavedRenameNothing();
    void launchStartsOnlyWithEveryFolderInPlace_data();
    void launchStartsOnlyWithEveryFolderInPlace();
    void recordsFollowTheirInstallation();
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
    // Both labels and the switch's record reached the settings in one write, before
    // the first rename.
    const int firstRename = in.plan.log.indexOf(QRegularExpression("rename .*"));
    const int write = in.plan.log.indexOf(
        QRegularExpression("write .*pendingSwitches=.*/lastBackupLabel=.*/lastDirLabel=.*"));
    QVERIFY(write >= 0 && write < firstRename);
    QCOMPARE(in.pending(), QStringList{in.game + "/ Frostmarch " + B});
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
    // Ignored, but written to standard error with the folder and the reason.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^rename failed: .*Roster_Frostmarch"));
    in.switchIn("Frostmarch");
    QCOMPARE(markerOf(in.path("Roster")), "Valmora Roster");
    QCOMPARE(markerOf(in.path("Roster_Frostmarch")), "Frostmarch Roster_Frostmarch");
    QCOMPARE(markerOf(in.path("Tomes")), "Frostmarch Tomes_Frostmarch");
    QCOMPARE(in.stowed().size(), 2);
    in.plan.mode = FaultPlan::Mode::None;
    in.switchOut();
    QCOMPARE(snapshot(in.game), in.before);
}

void SwitchingTest::labelsThatCannotBeSavedRenameNothing() {
    Installation in;
    QVERIFY(in.build());
    const QString oldB = "{11111111-2222-3333-4444-555555555555}";
    in.store.SaveSetting(kSettingsSection, "lastBackupLabel", oldB);
    in.state.backupLabel = oldB;
    in.plan = FaultPlan(FaultPlan::Mode::FailOnce, 1, FaultPlan::SettingsWrite);
    QVERIFY_THROWS_EXCEPTION(SettingsError, in.switchIn("Frostmarch"));
    QCOMPARE(snapshot(in.game), in.before);
    QCOMPARE(in.state.backupLabel, oldB);
    QCOMPARE(in.saved("lastBackupLabel"), oldB);
    QCOMPARE(in.saved("lastDirLabel"), "<missing>");
    QCOMPARE(in.pending(), QStringList());
}

void SwitchingTest::launchStartsOnlyWithEveryFolderInPlace_data() {
    QTest::addColumn<int>("kinds");
    QTest::addColumn<int>("failing"); // the operation of those kinds that fails once
    QTest::addColumn<QString>("notInPlace");
    QTest::newRow("nothing fails") << int(FaultPlan::Rename) << 0 << "";
    // Roster's two renames come first, then Tomes'.
    QTest::newRow("the default Tomes cannot be stowed") << int(FaultPlan::Rename) << 3 << "Tomes";
    QTest::newRow("the world's Tomes cannot take its place")
        << int(FaultPlan::Rename) << 4 << "Tomes";
    QTest::newRow("Roster's existence test fails, so it is never tried")
        << int(FaultPlan::Lookup) << 1 << "Roster";
    QTest::newRow("the game directory cannot be listed for the check")
        << int(FaultPlan::Listing) << 1 << "";
}

void SwitchingTest::launchStartsOnlyWithEveryFolderInPlace() {
    QFETCH(int, kinds);
    QFETCH(int, failing);
    QFETCH(QString, notInPlace);
    Installation in;
    QVERIFY(in.build());
    in.plan = FaultPlan(FaultPlan::Mode::FailOnce, failing, kinds);
    in.state.dirLabel = "Frostmarch";
    QStringList whileRunning;
    const SR::LaunchOutcome outcome = SR::SwitchedLaunch(in.state, in.settings, in.table, [&] {
        whileRunning = in.pending();
        for (const char* folder : {"Roster", "Tomes", "Data/Graphics/Items"})
            QCOMPARE(markerOf(in.path(folder)).section(' ', 0, 0), "Frostmarch");
    });
    QCOMPARE(outcome.started, failing == 0);
    QCOMPARE(whileRunning,
             QStringList(failing == 0 ? 1 : 0, in.game + "/ Frostmarch " + in.state.backupLabel));
    QCOMPARE(bool(outcome.notSwitchedIn), failing != 0);
    if (outcome.notSwitchedIn) {
        QCOMPARE(outcome.notSwitchedIn->relativePath, notInPlace);
        QVERIFY(!SR::SwitchInFailureText(*outcome.notSwitchedIn).isEmpty());
    }
    // Whatever happened, everything is back and the record is gone.
    QVERIFY(!outcome.notRestored);
    QCOMPARE(snapshot(in.game), in.before);
    QCOMPARE(in.pending(), QStringList());
}

void SwitchingTest::recordsFollowTheirInstallation() {
    Installation in;
    QVERIFY(in.build());
    const QString other = in.tmp.path() + "/Other";
    QCOMPARE(InstallationBuilder::build(other), QString());
    const QStringList otherBefore = snapshot(other);
    in.state.dirLabel = "Frostmarch";

    // The game cannot put Roster back while it runs (its name is taken): said at
    // once, and the record stays.
    SR::LaunchOutcome outcome = SR::SwitchedLaunch(in.state, in.settings, in.table, [&] {
        QCOMPARE(InstallationBuilder::writeFile(in.path("Roster_Frostmarch/x"), ""), QString());
    });
    QVERIFY(outcome.started && outcome.notRestored);
    QCOMPARE(outcome.notRestored->relativePath, "Roster");
    QCOMPARE(SR::RestoreFailureText(*outcome.notRestored),
             "Could not restore \"Roster\" (\"Roster_Frostmarch\" is in the way). Fix that, "
             "then click Launch again.");
    const QString recordA = in.game + "/ Frostmarch " + in.state.backupLabel;
    QCOMPARE(in.pending(), QStringList{recordA});
    const QStringList stuck = snapshot(in.game);

    // The installation cannot be reached (its game is gone): its record is kept while
    // another installation launches, with a record of its own for the launch.
    QVERIFY(QFile::rename(in.path("korvath2.exe"), in.tmp.path() + "/korvath2.exe"));
    SR::RestoreOutcome restored = SR::RestoreReachable(*in.state.fileSystem, in.settings, in.table);
    QCOMPARE(restored.unreachable.size(), 1);
    QVERIFY(SR::UnreachableText(restored.unreachable).contains("Korvath 2\""));
    LauncherState elsewhere = stateFor(other);
    elsewhere.dirLabel = "dawn";
    outcome = SR::SwitchedLaunch(elsewhere, in.settings, in.table, [&] {
        QCOMPARE(in.pending(), QStringList({recordA, other + "/ dawn " + elsewhere.backupLabel}));
    });
    QVERIFY(outcome.started && !outcome.notSwitchedIn && !outcome.notRestored);
    QCOMPARE(in.pending(), QStringList{recordA});
    QCOMPARE(snapshot(other), otherBefore);
    QCOMPARE(snapshot(in.game), stuck.filter(QRegularExpression("^(?!korvath2.exe)")));

    // Reachable again, with the name free: put back whichever directory is current.
    QVERIFY(QFile::rename(in.tmp.path() + "/korvath2.exe", in.path("korvath2.exe")));
    QVERIFY(in.rename("Roster_Frostmarch", "Roster_mine"));
    restored = SR::RestoreReachable(*in.state.fileSystem, in.settings, in.table);
    QVERIFY(restored.unreachable.isEmpty() && restored.notRestored.isEmpty());
    QCOMPARE(in.pending(), QStringList());
    QVERIFY(QFile::exists(in.path("Roster_mine/x"))); // the user's folder is kept
    QVERIFY(QDir(in.path("Roster_mine")).removeRecursively());
    QCOMPARE(snapshot(in.game), in.before);

    // Labels saved by a launcher that kept no records (or a record list that cannot
    // be read) belong to the directory it used, and are recovered from there.
    for (const QByteArray& pendingLine : {QByteArray(), QByteArray("pendingSwitches=garbage\n")}) {
        in.switchIn("Frostmarch");
        QCOMPARE(InstallationBuilder::writeFile(in.settingsFile,
                                                "[Settings]\n" + pendingLine +
                                                    "lastDirLabel=Frostmarch\nlastBackupLabel=" +
                                                    in.state.backupLabel.toLatin1() + "\n"),
                 QString());
        SR::AdoptEarlierLabels(in.store, in.game + "/");
        QCOMPARE(in.pending(), QStringList{in.game + "/ Frostmarch " + in.state.backupLabel});
        SR::RestoreReachable(*in.state.fileSystem, in.settings, in.table);
        QCOMPARE(snapshot(in.game), in.before);
        QCOMPARE(in.pending(), QStringList());
    }
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
