// A launch's switching under injected faults: every operation in turn (lookup,
// rename, listing, folder sync, settings write) fails once, fails from then on, or
// is where the launcher "crashes". The launch takes place in installation B while
// installation A still has a switch recorded from an earlier run, reachable or not,
// with the settings on the installations' file system or on another one.
// Whatever happened, the program never runs with a folder of the world missing, and
// once A can be reached the next start brings both back exactly as they were.
#include "WorldsTestSupport.h"
#include "app/SettingsStore.h"
#include "worlds/FolderSwitching.h"
#include "worlds/SwitchRecords.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;
using namespace WorldsTest;
namespace FS = FolderSwitching;
namespace SR = SwitchRecords;

class SwitchingFaultsTest : public QObject {
    Q_OBJECT
private slots:
    void everyStepInEveryMode_data();
    void everyStepInEveryMode();
};

namespace {
// The start-up of a fresh launcher (settings on disk, the real file system): puts
// back what can be reached; answers the switches still recorded afterwards.
int recover(const QString& settingsFile) {
    QSettingsStore settings(settingsFile);
    LocalFileSystem fileSystem;
    SR::RestoreReachable(fileSystem, settings, gameFolderTable());
    return int(SR::Pending(settings).size());
}
} // namespace

void SwitchingFaultsTest::everyStepInEveryMode_data() {
    QTest::addColumn<QString>("world");
    QTest::addColumn<int>("replaced");
    QTest::addColumn<bool>("otherReachable");
    QTest::addColumn<bool>("settingsElsewhere");
    QTest::addColumn<int>("mode");
    const QList<QPair<const char*, FaultPlan::Mode>> modes = {
        {"fails once", FaultPlan::Mode::FailOnce},
        {"fails from then on", FaultPlan::Mode::FailFrom},
        {"crashes", FaultPlan::Mode::CrashAfter},
    };
    for (const auto& [name, mode] : modes) {
        QTest::addRow("eleven folders, A unreachable, settings elsewhere, %s", name)
            << kEverywhere << 11 << false << true << int(mode);
        QTest::addRow("two folders, A reachable, settings beside, %s", name)
            << QStringLiteral("dawn") << 2 << true << false << int(mode);
    }
}

void SwitchingFaultsTest::everyStepInEveryMode() {
    QFETCH(QString, world);
    QFETCH(int, replaced);
    QFETCH(bool, otherReachable);
    QFETCH(bool, settingsElsewhere);
    QFETCH(int, mode);
    const auto faultMode = FaultPlan::Mode(mode);
    const KVDirStuff::GameFolderTable table = gameFolderTable();

    // Two installations serve every run, in memory where possible: the sweep makes
    // hundreds of synced settings writes.
    const QString base = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                             ? QStringLiteral("/dev/shm")
                             : QDir::tempPath();
    QTemporaryDir tmp(base + QStringLiteral("/kv-switching-faults-XXXXXX"));
    QVERIFY(tmp.isValid());
    const QString a = tmp.path() + QStringLiteral("/a"), b = tmp.path() + QStringLiteral("/b");
    for (const QString& game : {a, b}) {
        QCOMPARE(InstallationBuilder::build(game), QString());
        QCOMPARE(addEverywhereWorld(game), QString());
    }
    const QString settingsFile = tmp.path() + QStringLiteral("/Korvath II Launcher.conf");
    const QString gameOfA = a + QStringLiteral("/korvath2.exe");
    const QStringList beforeA = snapshot(a), beforeB = snapshot(b);

    int runs = 0;
    int leftDamaged = 0; // runs after which B needed the recovery
    for (int n = faultMode == FaultPlan::Mode::CrashAfter ? 0 : 1;; ++n, ++runs) {
        // An earlier launch left Frost March switched in at A.
        QCOMPARE(InstallationBuilder::writeFile(settingsFile, ""), QString());
        {
            QSettingsStore store(settingsFile);
            LauncherState earlier = stateFor(a);
            earlier.dirLabel = QStringLiteral("Frostmarch");
            FS::SwitchWorldIn(earlier, store, table);
        }
        if (!otherReachable)
            QVERIFY(QFile::rename(gameOfA, tmp.path() + QStringLiteral("/away.exe")));
        const QStringList switchedInA = snapshot(a);

        FaultPlan plan(faultMode, n);
        int started = 0;
        {
            QSettingsStore store(settingsFile);
            FaultySettingsStore settings(store, plan);
            if (settingsElsewhere) // a folder on a file system of its own
                settings.folderShown = QStringLiteral("/proc/self");
            LauncherState state = stateFor(b, std::make_unique<FaultyFileSystem>(plan));
            state.dirLabel = world;
            try {
                SR::RestoreReachable(*state.fileSystem, settings, table);
                SR::SwitchedLaunch(state, settings, table, [&] {
                    ++started;
                    // The program runs only with every folder of the world in place.
                    int worldFolders = 0;
                    for (const QString& folder : InstallationBuilder::kContentFolders)
                        worldFolders += markerOf(b + '/' + folder).startsWith(world + ' ');
                    QCOMPARE(worldFolders, replaced);
                });
            } catch (const SimulatedCrash&) {
            } catch (const SettingsError&) {
                // The labels could not be saved: the launch ends before any rename.
            }
        }
        leftDamaged += snapshot(b) != beforeB;
        const QString context = QStringLiteral("n = %1, operations:\n  %2")
                                    .arg(n)
                                    .arg(plan.log.join(QStringLiteral("\n  ")));
        if (!otherReachable) {
            // Nothing touched A while it could not be reached; now it comes back.
            QVERIFY2(snapshot(a) == switchedInA, qPrintable(context));
            QVERIFY(QFile::rename(tmp.path() + QStringLiteral("/away.exe"), gameOfA));
        }
        // Recovering twice: the first restores everything, the second changes nothing.
        for (int pass = 0; pass < 2; ++pass) {
            QVERIFY2(recover(settingsFile) == 0, qPrintable(context));
            QVERIFY2(snapshot(a) == beforeA, qPrintable(context));
            QVERIFY2(snapshot(b) == beforeB, qPrintable(context));
        }
        if (!plan.faulted) {
            QCOMPARE(started, 1);
            // Every kind of operation was among those that failed in turn; renamed
            // folders are synced only where the settings lie on another file system.
            for (const char* kind : {"lookup ", "rename ", "list ", "sync ", "write "})
                QCOMPARE(!plan.log.filter(QRegularExpression(QStringLiteral("^") + kind)).isEmpty(),
                         settingsElsewhere || kind != QLatin1String("sync "));
            break;
        }
        QVERIFY2(n <= 1000, "the procedure never completes");
    }
    // Faults at the renames must have left something for the recovery to do.
    QVERIFY(leftDamaged >= replaced);
    qInfo("%s: %d runs, %d left B for the recovery", QTest::currentDataTag(), runs + 1,
          leftDamaged);
}

QTEST_GUILESS_MAIN(SwitchingFaultsTest)
#include "tst_switching_faults.moc"
