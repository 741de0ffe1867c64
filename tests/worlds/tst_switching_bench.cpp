// How long a launch's switching takes for a world that replaces all eleven folders:
// the whole switch-in plus switch-out, and its two parts (renames with their
// lookups, and the two synced settings writes) on their own.
#include "WorldsTestSupport.h"
#include "app/SettingsStore.h"
#include "worlds/FolderSwitching.h"

#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;
using namespace WorldsTest;
namespace FS = FolderSwitching;

namespace {

// Keeps settings in memory: the rename benchmark leaves the disk writes out.
class MemorySettingsStore : public SettingsStore {
public:
    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultValue) override {
        return values.value(section + '/' + key, defaultValue);
    }
    void SaveSetting(const QString& section, const QString& key, const QString& value) override {
        values.insert(section + '/' + key, value);
    }
    QMap<QString, QString> values;
};

} // namespace

class SwitchingBench : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void switchInAndOutWithSettings();
    void switchInAndOutRenamesOnly();
    void twoSyncedSettingsWrites();

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_game;
    QString m_settingsFile;
    QStringList m_before;
};

void SwitchingBench::init() {
    m_tmp = std::make_unique<QTemporaryDir>();
    m_game = m_tmp->path() + QStringLiteral("/game");
    QCOMPARE(InstallationBuilder::build(m_game), QString());
    QCOMPARE(addEverywhereWorld(m_game), QString());
    m_settingsFile = m_tmp->path() + QStringLiteral("/Korvath II Launcher.conf");
    m_before = snapshot(m_game);

    // What one cycle does: 22 renames in, 22 out, two settings writes.
    FaultPlan plan;
    QSettingsStore store(m_settingsFile);
    FaultySettingsStore settings(store, plan);
    LauncherState state = stateFor(m_game, std::make_unique<FaultyFileSystem>(plan));
    state.dirLabel = kEverywhere;
    FS::SwitchWorldIn(state, settings, gameFolderTable());
    FS::SwitchWorldOut(state, gameFolderTable());
    QCOMPARE(plan.log.filter(QRegularExpression("^rename ")).size(), 44);
    QCOMPARE(plan.log.filter(QRegularExpression("^write ")).size(), 2);
    QCOMPARE(snapshot(m_game), m_before);
}

void SwitchingBench::cleanup() {
    // Whatever was measured left the installation as it was.
    QCOMPARE(snapshot(m_game), m_before);
    m_tmp.reset();
}

void SwitchingBench::switchInAndOutWithSettings() {
    QSettingsStore settings(m_settingsFile);
    LauncherState state = stateFor(m_game);
    state.dirLabel = kEverywhere;
    const KVDirStuff::GameFolderTable table = gameFolderTable();
    QBENCHMARK {
        FS::SwitchWorldIn(state, settings, table);
        FS::SwitchWorldOut(state, table);
    }
    QCOMPARE(QSettingsStore(m_settingsFile).GetSetting(kSettingsSection, "lastBackupLabel"),
             state.backupLabel);
}

void SwitchingBench::switchInAndOutRenamesOnly() {
    MemorySettingsStore settings;
    LauncherState state = stateFor(m_game);
    state.dirLabel = kEverywhere;
    const KVDirStuff::GameFolderTable table = gameFolderTable();
    QBENCHMARK {
        FS::SwitchWorldIn(state, settings, table);
        FS::SwitchWorldOut(state, table);
    }
    QCOMPARE(settings.values.value("Settings/lastBackupLabel"), state.backupLabel);
}

void SwitchingBench::twoSyncedSettingsWrites() {
    QSettingsStore settings(m_settingsFile);
    int i = 0;
    QBENCHMARK {
        settings.SaveSetting(kSettingsSection, QStringLiteral("lastBackupLabel"),
                             QString::number(++i));
        settings.SaveSetting(kSettingsSection, QStringLiteral("lastDirLabel"), kEverywhere);
    }
    QCOMPARE(QSettingsStore(m_settingsFile).GetSetting(kSettingsSection, "lastBackupLabel"),
             QString::number(i));
}

QTEST_GUILESS_MAIN(SwitchingBench)
#include "tst_switching_bench.moc"
