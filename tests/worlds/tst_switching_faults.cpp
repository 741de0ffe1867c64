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

// The start-up recovery of a fresh launcher: labels from the settings on disk, the
// real file system, SwitchWorldOut.
void recover(const QString& game, const QString& settingsFile) {
    QSettingsStore settings(settingsFile);
    LauncherState state = stateFor(game);
    state.dirLabel = settings.GetSetting(kSettingsSection, QStringLiteral("lastDirLabel"));
    state.backupLabel = settings.GetSetting(kSettingsSection, QStringLiteral("lastBackupLabel"));
    FS::SwitchWorldOut(state, gameFolderTable());
}

QStringList stowedAfterRecovery(const QString& game, const QString& settingsFile) {
    QSettingsStore settings(settingsFile);
    LauncherState state = stateFor(game);
    state.backupLabel = settings.GetSetting(kSettingsSection, QStringLiteral("lastBackupLabel"));
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

    // One installation serves every run: each run must leave it exactly as it was.
    // It lies in memory where the system offers that: the sweep makes hundreds of
    // synced settings writes, which on a busy disk take most of its time.
    const QString memoryRoot = QStringLiteral("/dev/shm");
    QTemporaryDir tmp(QFileInfo(memoryRoot).isWritable()
                          ? memoryRoot + QStringLiteral("/kv-switching-faults-XXXXXX")
                          : QDir::tempPath() + QStringLiteral("/kv-switching-faults-XXXXXX"));
    QVERIFY(tmp.isValid());
    const QString game = tmp.path() + QStringLiteral("/game");
    QCOMPARE(InstallationBuilder::build(game), QString());
    QCOMPARE(addEverywhereWorld(game), QString());
    const QString settingsFile = tmp.path() + QStringLiteral("/Korvath II Launcher.conf");
    const QStringList before = snapshot(game);

    int runs = 0;
    int leftDamaged = 0; // runs after which the installation needed the recovery
    int cleanOperations = -1;
    for (int n = faultMode == FaultPlan::Mode::CrashAfter ? 0 : 1;; ++n) {
        QCOMPARE(
            InstallationBuilder::writeFile(settingsFile, "[Settings]\nlastDirLabel=Frostmarch\n"
                                                         "lastBackupLabel=" +
                                                             earlierB.toLatin1() + "\n"),
            QString());
        QCOMPARE(QSettingsStore(settingsFile)
                     .GetSetting(kSettingsSection, QStringLiteral("lastBackupLabel")),
                 earlierB);
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
        ++runs;
        if (snapshot(game) != before)
            ++leftDamaged;

        const QString context = QStringLiteral("n = %1, operations:\n  %2")
                                    .arg(n)
                                    .arg(plan.log.join(QStringLiteral("\n  ")));
        recover(game, settingsFile);
        QVERIFY2(snapshot(game) == before, qPrintable(context));
        recover(game, settingsFile);
        QVERIFY2(snapshot(game) == before, qPrintable(context));
        QVERIFY2(stowedAfterRecovery(game, settingsFile).isEmpty(), qPrintable(context));

        if (!plan.faulted) {
            cleanOperations = plan.operations;
            break; // the procedure ran to its end without meeting the fault
        }
        QVERIFY2(n <= 1000, "the procedure never completes");
    }
    // A clean launch: two settings writes, two existence tests per table entry in
    // each direction, and per replaced folder two renames (each after its lookup) in
    // each direction.
    QCOMPARE(cleanOperations, 2 + 2 * 22 + replaced * 2 * 4);
    // Every operation of the clean launch was the faulty one once.
    QCOMPARE(runs, cleanOperations + 1);
    // Faults at the renames must have left something for the recovery to do.
    QVERIFY(leftDamaged >= replaced);
    qInfo("%s: %d runs, %d operations in a clean launch, %d left the installation for the "
          "recovery",
          QTest::currentDataTag(), runs, cleanOperations, leftDamaged);
}

QTEST_GUILESS_MAIN(SwitchingFaultsTest)
#include "tst_switching_faults.moc"
