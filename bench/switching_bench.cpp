// Benchmark of a launch's folder switching for a world that replaces all eleven
// content folders: everything a launch does around the game (the look at recorded
// switches, switch-in with its synced settings write, the check that every folder
// took its place, switch-out, the synced folders and the record's removal), and the
// switch-in plus switch-out alone (settings kept in memory) for comparison.
//
//   switching-bench [--dir DIR] [--settings-dir DIR] [--runs R]
//
// The installation is built in a temp folder below DIR (default: the system's temp
// folder). Give a folder on a real disk: on tmpfs a sync costs nothing. The settings
// file lies beside the installation, or in a temp folder below --settings-dir (on
// another file system, the renamed folders are synced before a record goes).
#include "InstallationBuilder.h"
#include "app/LauncherState.h"
#include "app/LocalFileSystem.h"
#include "app/SettingsStore.h"
#include "gamedir/KVDirStuff.h"
#include "worlds/FolderSwitching.h"
#include "worlds/SwitchRecords.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Keeps settings in memory: the renames on their own.
class MemorySettingsStore : public SettingsStore {
public:
    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultValue) override {
        return m_values.value(section + '/' + key, defaultValue);
    }
    void SaveSetting(const QString& section, const QString& key, const QString& value) override {
        m_values.insert(section + '/' + key, value);
    }

private:
    QMap<QString, QString> m_values;
};

// Median milliseconds of one run of step.
double medianMs(int runs, const std::function<void()>& step) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        step();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString dir, settingsDir;
    int runs = 200;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--dir")
            dir = args[i + 1];
        else if (args[i] == "--settings-dir")
            settingsDir = args[i + 1];
        else if (args[i] == "--runs")
            runs = std::max(1, args[i + 1].toInt());
    }
    QTemporaryDir tmp(dir.isEmpty() ? QString() : dir + "/switching-bench-XXXXXX");
    const QString game = tmp.path() + "/game";
    QString error = tmp.isValid() ? InstallationBuilder::build(game) : "no temp folder";
    for (const QString& folder : InstallationBuilder::kContentFolders) {
        if (error.isEmpty())
            error = InstallationBuilder::writeFile(game + '/' + folder + "_Everywhere/marker.txt",
                                                   "Everywhere\n");
    }
    if (!error.isEmpty()) {
        std::fprintf(stderr, "switching-bench: %s\n", qPrintable(error));
        return 1;
    }
    KVDirStuff::GameFolderTable table;
    KVDirStuff::FillGameFolderPaths(table, QLatin1Char('/'));
    LauncherState state;
    state.gameDir = game + '/';
    state.fileSystem = std::make_unique<LocalFileSystem>();
    state.dirLabel = QStringLiteral("Everywhere");

    QTemporaryDir settingsTmp(settingsDir.isEmpty() ? tmp.path() + "/config-XXXXXX"
                                                    : settingsDir + "/switching-bench-XXXXXX");
    IniSettingsStore disk(settingsTmp.path() + "/Korvath II Launcher.conf");
    int stowed = 0;
    bool clean = true;
    const auto launch = [&] {
        const SwitchRecords::RestoreOutcome before =
            SwitchRecords::RestoreReachable(*state.fileSystem, disk, table, {state.gameDir});
        const SwitchRecords::LaunchOutcome outcome =
            SwitchRecords::SwitchedLaunch(state, disk, table, [&](const QString&) {
                stowed = int(FolderSwitching::StowedFolders(state, table).size());
            });
        clean = clean && before.in(SwitchRecords::Settled::State::Blocked).isEmpty() &&
                outcome.started && !outcome.notRestored && SwitchRecords::Pending(disk).isEmpty();
    };
    launch();
    std::printf("folders switched: %d, in %s\n", stowed, qPrintable(game));
    std::printf(
        "a launch's switching, synced settings and folders, check: %.3f ms (median of %d)\n",
        medianMs(runs, launch), runs);
    std::printf(
        "switch-in + switch-out alone, settings in memory:         %.3f ms (median of %d)\n",
        medianMs(runs,
                 [&] {
                     MemorySettingsStore memory; // holds no records of earlier runs
                     FolderSwitching::SwitchWorldIn(state, memory, table);
                     FolderSwitching::SwitchWorldOut(state, table);
                 }),
        runs);
    if (!clean)
        std::fprintf(stderr, "switching-bench: a launch did not end resting\n");
    return stowed == 11 && clean ? 0 : 1;
}
