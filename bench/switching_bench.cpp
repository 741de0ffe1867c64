// Benchmark of a launch's folder switching for a world that replaces all eleven
// content folders: switch-in plus switch-out, with the synced settings writes, and
// the renames alone (settings kept in memory) for comparison.
//
//   switching-bench [--dir DIR] [--runs R]
//
// The installation is built in a temp folder below DIR (default: the system's temp
// folder). Give a folder on a real disk: on tmpfs a sync costs nothing.
#include "InstallationBuilder.h"
#include "app/LauncherState.h"
#include "app/LocalFileSystem.h"
#include "app/SettingsStore.h"
#include "gamedir/KVDirStuff.h"
#include "worlds/FolderSwitching.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
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

// Median milliseconds of one switch-in plus switch-out.
double medianCycleMs(LauncherState& state, SettingsStore& settings,
                     const KVDirStuff::GameFolderTable& table, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        FolderSwitching::SwitchWorldIn(state, settings, table);
        FolderSwitching::SwitchWorldOut(state, table);
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString dir;
    int runs = 200;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--dir")
            dir = args[i + 1];
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

    QSettingsStore disk(tmp.path() + "/Korvath II Launcher.conf");
    MemorySettingsStore memory;
    FolderSwitching::SwitchWorldIn(state, disk, table);
    const int stowed = int(FolderSwitching::StowedFolders(state, table).size());
    FolderSwitching::SwitchWorldOut(state, table);
    std::printf("folders switched: %d, in %s\n", stowed, qPrintable(game));
    std::printf("switch-in + switch-out with synced settings: %.3f ms (median of %d)\n",
                medianCycleMs(state, disk, table, runs), runs);
    std::printf("switch-in + switch-out, renames only:        %.3f ms (median of %d)\n",
                medianCycleMs(state, memory, table, runs), runs);
    return stowed == 11 ? 0 : 1;
}
