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
    void cleanup() { QCOMPARE(snapshot(m_game), m_before); }
    void switchInAndOut_data();
    void switchInAndOut();
    void twoSyncedSettingsWrites();

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_game, m_settingsFile;
    QStringList m_before;
};

void SwitchingBench::init() {
    m_tmp = std::make_unique<QTemporaryDir>();
    m_game = m_tmp->path() + QStringLiteral("/game");
    QCOMPARE(InstallationBuilder::build(m_game), QString());
    QCOMPARE(addEverywhereWorld(m_game), QString());
    m_settingsFile = m_tmp->path() + QStringLiteral("/Korvath II Launcher.conf");
    m_before = snapshot(m_game);
}

void SwitchingBench::switchInAndOut_data() {
    QTest::addColumn<bool>("withSettings");
    QTest::newRow("renames and synced settings writes") << true;
    QTest::newRow("renames only") << false;
}

void SwitchingBench::switchInAndOut() {
    QFETCH(bool, withSettings);
    QSettingsStore disk(m_settingsFile);
    MemorySettingsStore memory;
    SettingsStore& settings = withSettings ? static_cast<SettingsStore&>(disk) : memory;
    const KVDirStuff::GameFolderTable table = gameFolderTable();

    LauncherState state = stateFor(m_game);
    state.dirLabel = kEverywhere;
    // The measured cycle really stows all eleven folders.
    FS::SwitchWorldIn(state, settings, table);
    QCOMPARE(FS::StowedFolders(state, table).size(), 11);
    FS::SwitchWorldOut(state, table);
    QBENCHMARK {
        FS::SwitchWorldIn(state, settings, table);
        FS::SwitchWorldOut(state, table);
    }
    const QString saved =
        withSettings
            ? QSettingsStore(m_settingsFile).GetSetting(kSettingsSection, "lastBackupLabel")
            : memory.values.value("Settings/lastBackupLabel");
    QCOMPARE(saved, state.backupLabel);
}

void SwitchingBench::twoSyncedSettingsWrites() {
    QSettingsStore settings(m_settingsFile);
    int i = 0;
    QBENCHMARK {
        settings.SaveSetting(kSettingsSection, "lastBackupLabel", QString::number(++i));
        settings.SaveSetting(kSettingsSection, "lastDirLabel", kEverywhere);
    }
    QCOMPARE(QSettingsStore(m_settingsFile).GetSetting(kSettingsSection, "lastBackupLabel"),
             QString::number(i));
}

QTEST_GUILESS_MAIN(SwitchingBench)
#include "tst_switching_bench.moc"
