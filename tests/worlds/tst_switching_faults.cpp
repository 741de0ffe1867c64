// A launch's switching under injected faults: every operation in turn fails once,
// fails from then on, or is where the launcher "crashes". Whatever happened, the
// next start's recovery brings the installation back exactly as it was.
#include "WorldsTestSupport.h"
#include "app/SettingsStore.h"
#include "worlds/FolderSwitching.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;
using namespace WorldsTest;
namespace FS = FolderSwitching;

class SwitchingFaultsTest : public QObject {
    Q_OBJECT
private slots:
    void everyStepInEveryMode_data();
    void everyStepInEveryMode();
};

namespace {
// The start-up recovery of a fresh launcher (labels from the settings on disk, the
// real file system); answers the folders still stowed afterwards.
QStringList recover(const QString& game, const QString& settingsFile) {
    QSettingsStore settings(settingsFile);
    LauncherState state = stateFor(game);
    state.dirLabel = settings.GetSetting(kSettingsSection, "lastDirLabel");
    state.backupLabel = settings.GetSetting(kSettingsSection, "lastBackupLabel");
    FS::SwitchWorldOut(state, gameFolderTable());
    return FS::StowedFolders(state, gameFolderTable());
}
} // namespace

void SwitchingFaultsTest::everyStepInEveryMode_data() {
    QTest::addColumn<QString>("world");
    QTest::addColumn<int>("replaced");
    QTest::addColumn<int>("mode");
    const QList<QPair<const char*, FaultPlan::Mode>> modes = {
        {"fails once", FaultPlan::Mode::FailOnce},
        {"fails from then on", FaultPlan::Mode::FailFrom},
        {"crashes", FaultPlan::Mode::CrashAfter},
    };
    for (const auto& [name, mode] : modes) {
        QTest::addRow("eleven folders, %s", name) << kEverywhere << 11 << int(mode);
        QTest::addRow("two folders, %s", name) << QStringLiteral("dawn") << 2 << int(mode);
    }
}

void SwitchingFaultsTest::everyStepInEveryMode() {
    QFETCH(QString, world);
    QFETCH(int, replaced);
    QFETCH(int, mode);
    const auto faultMode = FaultPlan::Mode(mode);
    const KVDirStuff::GameFolderTable table = gameFolderTable();
    // The labels of an earlier clean launch are in the settings.
    const QString earlierB = QStringLiteral("{0F0F0F0F-1E1E-2D2D-3C3C-4B4B4B4B4B4B}");

    // One installation serves every run, in memory where possible: the sweep makes
    // hundreds of synced settings writes.
    const QString base = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                             ? QStringLiteral("/dev/shm")
                             : QDir::tempPath();
    QTemporaryDir tmp(base + QStringLiteral("/kv-switching-faults-XXXXXX"));
    QVERIFY(tmp.isValid());
    const QString game = tmp.path() + QStringLiteral("/game");
    QCOMPARE(InstallationBuilder::build(game), QString());
    QCOMPARE(addEverywhereWorld(game), QString());
    const QString settingsFile = tmp.path() + QStringLiteral("/Korvath II Launcher.conf");
    const QStringList before = snapshot(game);

    int runs = 0;
    int leftDamaged = 0; // runs after which the installation needed the recovery
    for (int n = faultMode == FaultPlan::Mode::CrashAfter ? 0 : 1;; ++n, ++runs) {
        QCOMPARE(
            InstallationBuilder::writeFile(settingsFile, "[Settings]\nlastDirLabel=Frostmarch\n"
                                                         "lastBackupLabel=" +
                                                             earlierB.toLatin1() + "\n"),
            QString());
        FaultPlan plan(faultMode, n);
        {
            QSettingsStore store(settingsFile);
            FaultySettingsStore settings(store, plan);
            LauncherState state = stateFor(game, std::make_unique<FaultyFileSystem>(plan));
            state.dirLabel = world;
            state.backupLabel = earlierB;
            try {
                FS::SwitchWorldIn(state, settings, table);
                if (!plan.faulted) {
                    // While the game runs the world's folders are in place.
                    int worldFolders = 0;
                    for (const QString& folder : InstallationBuilder::kContentFolders)
                        worldFolders += markerOf(game + '/' + folder).startsWith(world + ' ');
                    QCOMPARE(worldFolders, replaced);
                }
                FS::SwitchWorldOut(state, table);
            } catch (const SimulatedCrash&) {
            } catch (const SettingsError&) {
                // The labels could not be saved: the launch ends before any rename.
            }
        }
        leftDamaged += snapshot(game) != before;

        // Recovering twice: the first restores everything, the second changes nothing.
        const QString context = QStringLiteral("n = %1, operations:\n  %2")
                                    .arg(n)
                                    .arg(plan.log.join(QStringLiteral("\n  ")));
        for (int pass = 0; pass < 2; ++pass) {
            QVERIFY2(recover(game, settingsFile).isEmpty(), qPrintable(context));
            QVERIFY2(snapshot(game) == before, qPrintable(context));
        }
        if (!plan.faulted) {
            // A clean launch: two settings writes, two existence tests per table entry
            // in each direction, and per replaced folder two renames (each after its
            // lookup) in each direction. Every one of them was the faulty one once.
            QCOMPARE(plan.operations, 2 + 2 * 22 + replaced * 2 * 4);
            QCOMPARE(runs, plan.operations);
            break;
        }
        QVERIFY2(n <= 1000, "the procedure never completes");
    }
    // Faults at the renames must have left something for the recovery to do.
    QVERIFY(leftDamaged >= replaced);
    qInfo("%s: %d runs, %d left the installation for the recovery", QTest::currentDataTag(),
          runs + 1, leftDamaged);
}

QTEST_GUILESS_MAIN(SwitchingFaultsTest)
#include "tst_switching_faults.moc"
