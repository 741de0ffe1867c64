// Switching a world's folders in and out, and the fault sweep: every operation of a
// launch in turn (lookup, rename, listing, folder sync, settings write) fails once,
// fails from then on, or is where the launcher "crashes".
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

class SwitchingTest : public QObject {
    Q_OBJECT
private slots:
    void switchesTheWorldsFoldersInAndOut();
    void everyStepInEveryMode_data();
    void everyStepInEveryMode();
};

namespace {

// A demo installation (in a folder whose name holds a space) with the worlds
// Frostmarch (Roster, Tomes, Items) and dawn (Tomes, Music), a settings file, and a
// file system and settings store that log every operation.
struct Installation {
    QTemporaryDir tmp;
    QString game = tmp.path() + "/Korvath 2";
    QString settingsFile = tmp.path() + "/config/Korvath II Launcher.conf";
    IniSettingsStore store{settingsFile};
    FaultPlan plan; // faults only where a test sets them
    FaultySettingsStore settings{store, plan};
    KVDirStuff::GameFolderTable table = gameFolderTable();
    LauncherState state = stateFor(game, std::make_unique<FaultyFileSystem>(plan));

    QString saved(const QString& key) const {
        return IniSettingsStore(settingsFile).GetSetting(kSettingsSection, key, "<missing>");
    }
    QString path(const QString& relative) const { return game + '/' + relative; }
    void switchIn(const QString& world) {
        state.dirLabel = world;
        FS::SwitchWorldIn(state, settings, table);
    }
};

} // namespace

void SwitchingTest::switchesTheWorldsFoldersInAndOut() {
    Installation in;
    QCOMPARE(InstallationBuilder::build(in.game), QString());
    const QStringList before = snapshot(in.game);

    // The default world: new labels saved, nothing looked up or renamed.
    in.switchIn("");
    const QString defaultB = in.state.backupLabel;
    QCOMPARE(in.saved("lastBackupLabel") + '|' + in.saved("lastDirLabel"), defaultB + '|');
    QCOMPARE(in.plan.log.filter(QRegularExpression("^(rename|lookup) ")), QStringList());

    // A fresh backup label in registry form, saved with the world's label and the
    // switch's record in one write before the first rename.
    in.switchIn("Frostmarch");
    const QString B = in.state.backupLabel;
    const QRegularExpression registryForm("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$");
    QVERIFY2(registryForm.match(B).hasMatch() && B != defaultB, qPrintable(B));
    QCOMPARE(in.saved("lastBackupLabel") + '|' + in.saved("lastDirLabel"), B + "|Frostmarch");
    const int write = in.plan.log.indexOf(QRegularExpression(
        "^write .*pendingSwitches=.*/lastBackupLabel=.*/lastDirLabel=Frostmarch"));
    QVERIFY(write >= 0 && write < in.plan.log.indexOf(QRegularExpression("rename .*")));
    // The default folders stowed within their parents, found also when a name
    // differs in letter case.
    QVERIFY(QDir(in.path("Data/Graphics")).rename("Items-" + B, "ITEMS-" + B.toLower()));
    QCOMPARE(FS::StowedFolders(in.state, in.table),
             QStringList({in.path("Roster-" + B), in.path("Tomes-" + B),
                          in.path("Data/Graphics/ITEMS-" + B.toLower())}));

    // Switching out needs both labels.
    const QStringList switchedIn = snapshot(in.game);
    in.state.dirLabel = "";
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), switchedIn);
    in.state.dirLabel = "Frostmarch";
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), before);

    // A version whose default folder is missing stays (this installation lacks the
    // Music folder that dawn replaces); when the world's Tomes cannot take the name,
    // the default Tomes goes back at once, and standard error says why.
    QVERIFY(QDir(in.path("Data/Music")).removeRecursively());
    const QStringList withoutMusic = snapshot(in.game);
    in.plan = FaultPlan{FaultPlan::Mode::FailOnce, 2, FaultPlan::Rename};
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^rename failed: .*Tomes_dawn"));
    in.switchIn("dawn");
    QCOMPARE(markerOf(in.path("Tomes")), "Valmora Tomes");
    QVERIFY(!QFileInfo::exists(in.path("Data/Music")));
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), withoutMusic);

    // Labels that cannot be saved: nothing renamed, the earlier label kept.
    in.plan = FaultPlan{FaultPlan::Mode::FailOnce, 1, FaultPlan::SettingsWrite};
    QVERIFY_THROWS_EXCEPTION(SettingsError, in.switchIn("Frostmarch"));
    QCOMPARE(in.saved("lastDirLabel"), "dawn");
    QCOMPARE(in.state.backupLabel, in.saved("lastBackupLabel"));
    QCOMPARE(snapshot(in.game), withoutMusic);

    // The program starts only once the check has seen the world's folders in place,
    // so not when the game directory cannot be listed for it.
    in.plan = FaultPlan{FaultPlan::Mode::FailOnce, 1, FaultPlan::Listing};
    const SR::LaunchOutcome outcome = SR::SwitchedLaunch(in.state, in.settings, in.table, [] {});
    QVERIFY(!outcome.started && outcome.notSwitchedIn && !outcome.notRestored);
    QCOMPARE(snapshot(in.game), withoutMusic);
}

void SwitchingTest::everyStepInEveryMode_data() {
    QTest::addColumn<bool>("eleven");
    QTest::addColumn<int>("mode");
    const QList<QPair<const char*, FaultPlan::Mode>> modes = {
        {"fails once", FaultPlan::Mode::FailOnce},
        {"fails from then on", FaultPlan::Mode::FailFrom},
        {"crashes", FaultPlan::Mode::CrashAfter},
    };
    for (const auto& [name, mode] : modes) {
        QTest::addRow("eleven folders, A unreachable, settings elsewhere, %s", name)
            << true << int(mode);
        QTest::addRow("two folders, A reachable, settings beside, %s", name) << false << int(mode);
    }
}

// A launch in installation B while installation A still has a switch recorded from
// an earlier run, reachable or not, with the settings on the installations' file
// system or on another one. Whatever fails, the program never runs with a folder of
// the world missing, and once A can be reached the next start brings both back
// exactly as they were.
void SwitchingTest::everyStepInEveryMode() {
    QFETCH(bool, eleven);
    QFETCH(int, mode);
    const QString world = eleven ? "Everywhere" : "dawn";
    const int replaced = eleven ? 11 : 2;
    const bool otherReachable = !eleven, settingsElsewhere = eleven;
    const KVDirStuff::GameFolderTable table = gameFolderTable();

    // In memory where possible: the sweep makes hundreds of synced settings writes.
    const QString base = QFileInfo("/dev/shm").isWritable() ? "/dev/shm" : QDir::tempPath();
    QTemporaryDir tmp(base + "/kv-switching-faults-XXXXXX");
    QVERIFY(tmp.isValid());
    const QString a = tmp.path() + "/a", b = tmp.path() + "/b";
    // Both with a world that has a version of all eleven content folders.
    for (const QString& game : {a, b}) {
        QCOMPARE(InstallationBuilder::build(game), QString());
        for (const QString& folder : InstallationBuilder::kContentFolders)
            QVERIFY(write(game + '/' + folder + "_Everywhere/marker.txt",
                          "Everywhere " + folder.toUtf8()));
    }
    const QString settingsFile = tmp.path() + "/Korvath II Launcher.conf";
    const QString gameOfA = a + "/korvath2.exe", awayOfA = tmp.path() + "/away.exe";
    const QStringList beforeA = snapshot(a), beforeB = snapshot(b);

    int leftDamaged = 0; // runs after which B needed the recovery
    for (int n = FaultPlan::Mode(mode) == FaultPlan::Mode::CrashAfter ? 0 : 1;; ++n) {
        // An earlier launch left Frost March switched in at A.
        QVERIFY(write(settingsFile, ""));
        {
            IniSettingsStore store(settingsFile);
            LauncherState earlier = stateFor(a);
            earlier.dirLabel = "Frostmarch";
            FS::SwitchWorldIn(earlier, store, table);
        }
        if (!otherReachable)
            QVERIFY(QFile::rename(gameOfA, awayOfA));
        const QStringList switchedInA = snapshot(a);

        FaultPlan plan{FaultPlan::Mode(mode), n};
        int started = 0;
        {
            IniSettingsStore store(settingsFile);
            FaultySettingsStore settings(store, plan);
            if (settingsElsewhere) // a folder on a file system of its own
                settings.folderShown = "/proc/self";
            LauncherState state = stateFor(b, std::make_unique<FaultyFileSystem>(plan));
            state.dirLabel = world;
            try {
                SR::RestoreReachable(*state.fileSystem, settings, table);
                SR::SwitchedLaunch(state, settings, table, [&] {
                    ++started;
                    int worldFolders = 0;
                    for (const QString& folder : InstallationBuilder::kContentFolders)
                        worldFolders += markerOf(b + '/' + folder).startsWith(world + ' ');
                    QCOMPARE(worldFolders, replaced);
                });
            } catch (const SimulatedCrash&) {
            } catch (const SettingsError&) {
                // The labels could not be saved: the launch ends before any rename. (A
                // record that cannot be dropped after the game only stays for later.)
                QCOMPARE(started, 0);
            }
        }
        leftDamaged += snapshot(b) != beforeB;
        const QByteArray context =
            "n = " + QByteArray::number(n) + ", operations:\n  " + plan.log.join("\n  ").toUtf8();
        if (!otherReachable) {
            // Nothing touched A while it could not be reached; now it comes back.
            QVERIFY2(snapshot(a) == switchedInA, context);
            QVERIFY(QFile::rename(awayOfA, gameOfA));
        }
        // The next start, twice (settings on disk, the real file system): the first
        // restores everything, the second changes nothing.
        for (int pass = 0; pass < 2; ++pass) {
            IniSettingsStore settings(settingsFile);
            LocalFileSystem fileSystem;
            SR::RestoreReachable(fileSystem, settings, table);
            QVERIFY2(SR::Pending(settings).isEmpty(), context);
            QVERIFY2(snapshot(a) == beforeA && snapshot(b) == beforeB, context);
        }
        if (!plan.faulted) {
            QCOMPARE(started, 1);
            // Every kind of operation was among those that failed in turn; renamed
            // folders are synced only where the settings lie on another file system.
            for (const char* kind : {"lookup ", "rename ", "list ", "sync ", "write "})
                QCOMPARE(!plan.log.filter(QRegularExpression(QString("^") + kind)).isEmpty(),
                         settingsElsewhere || kind != QLatin1String("sync "));
            break;
        }
        QVERIFY2(n <= 1000, "the procedure never completes");
    }
    // Faults at the renames must have left something for the recovery to do.
    QVERIFY(leftDamaged >= replaced);
}

QTEST_GUILESS_MAIN(SwitchingTest)
#include "tst_switching.moc"
