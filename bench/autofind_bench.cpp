// Benchmark of the Autofind search: the launcher's walk over a large tree against
// `find TREE -xdev -iname korvath2.exe`, and how soon Cancel ends a running search.
//
//   autofind-bench [--tree DIR] [--entries N] [--runs R]
//
// Without --tree a tree of at least N entries (default 100000) is built in a temp
// folder, with the game executable at its root: the walk looks at it last, after
// every folder. The cache is warmed first; then the walks and find run one after
// the other, R times each, and the medians are compared.
#include "app/LocalFileSystem.h"
#include "app/SettingsStore.h"
#include "app/ui/Form1.h"
#include "gamedir/AutofindWalk.h"
#include "gamedir/KVDirStuff.h"
#include "platform/ProcessRunner.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double cpuMs(const struct rusage& usage) {
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Processor time (user + system) of this thread so far, in milliseconds.
double threadCpuMs() {
    struct rusage usage;
    ::getrusage(RUSAGE_THREAD, &usage);
    return cpuMs(usage);
}

// Wall time and processor time of one run.
struct Timing {
    double wallMs = -1;
    double cpuMs = -1;
};

bool touch(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// A tree shaped like a home folder: four levels of folders, a few files in every
// folder and most of them in the deepest ones. Returns the number of entries.
long buildTree(const QString& root, long wanted) {
    const int fanOut = 8, levels = 4, innerFiles = 2;
    long leaves = 1;
    for (int i = 0; i < levels; ++i)
        leaves *= fanOut;
    const long folders = (leaves * fanOut - 1) / (fanOut - 1) - 1;
    const long innerFolders = folders - leaves + 1; // the root included
    const long rest = wanted - folders - innerFolders * innerFiles - 1;
    const long leafFiles = std::max(1L, (rest + leaves - 1) / leaves);
    long entries = 0;
    std::vector<QByteArray> current = {QFile::encodeName(root)};
    ::mkdir(current.front().constData(), 0755);
    for (int level = 0; level <= levels; ++level) {
        std::vector<QByteArray> next;
        for (const QByteArray& folder : current) {
            const bool leaf = level == levels;
            const long files = leaf ? leafFiles : innerFiles;
            for (long f = 0; f < files; ++f) {
                const QByteArray name = f % 7 == 3
                                            ? QByteArray("Readme_") + QByteArray::number(f) + ".TXT"
                                            : QByteArray("file") + QByteArray::number(f) + ".dat";
                if (touch(folder + '/' + name))
                    ++entries;
            }
            if (leaf)
                continue;
            for (int s = 0; s < fanOut; ++s) {
                const QByteArray sub =
                    folder + (s % 2 ? "/Folder_" : "/data") + QByteArray::number(s);
                if (::mkdir(sub.constData(), 0755) == 0)
                    ++entries;
                next.push_back(sub);
            }
        }
        current.swap(next);
    }
    if (touch(QFile::encodeName(root) + "/korvath2.exe"))
        ++entries;
    return entries;
}

// Runs `find TREE -xdev -iname korvath2.exe`; returns its times (wall time from
// start to end), or -1 when it could not run or failed.
Timing timeFind(const QString& tree) {
    const QByteArray treePath = QFile::encodeName(tree);
    char* const argv[] = {
        const_cast<char*>("find"),         const_cast<char*>(treePath.constData()),
        const_cast<char*>("-xdev"),        const_cast<char*>("-iname"),
        const_cast<char*>("korvath2.exe"), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "find", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return Timing();
    int status = 0;
    struct rusage usage;
    ::wait4(pid, &status, 0, &usage);
    const double ms = msSince(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return Timing();
    return Timing{ms, cpuMs(usage)};
}

template <class F> Timing timeHere(F f) {
    const double cpuStart = threadCpuMs();
    const auto start = Clock::now();
    f();
    return Timing{msSince(start), threadCpuMs() - cpuStart};
}

// The real file system whose one drive is the tree.
class TreeFileSystem : public LocalFileSystem {
public:
    explicit TreeFileSystem(QString root) : m_root(std::move(root)) {}
    QList<Drive> Drives() override {
        Drive drive;
        drive.rootPath = m_root;
        return {drive};
    }

private:
    QString m_root;
};

// The walk module alone, with the window's kind of hooks: events processed at its
// yields, the progress label set from the folder searched last before each of them.
struct ModuleWalk {
    QLabel label;
    bool searching = false;

    QString run(FileSystem& fs, const QList<Drive>& drives) {
        searching = true;
        QString searched;
        AutofindWalk::Hooks hooks;
        hooks.processEvents = [&] {
            if (!searched.isNull())
                label.setText(KVDirStuff::ShortenPath(searched));
            searched = QString();
            QCoreApplication::processEvents();
        };
        hooks.shouldStop = [this] { return !searching; };
        hooks.folderSearched = [&](const QString& path) { searched = path; };
        AutofindWalk walk(fs, hooks);
        const QString found = walk.SearchDrives(drives);
        searching = false;
        return found;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString tree;
    long wanted = 100000;
    int runs = 5;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--tree"))
            tree = QDir(args[i + 1]).absolutePath();
        else if (args[i] == QLatin1String("--entries"))
            wanted = args[i + 1].toLong();
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
    }

    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "cannot make a temp folder\n");
        return 2;
    }
    if (tree.isEmpty()) {
        tree = work.path() + QStringLiteral("/tree");
        const auto start = Clock::now();
        const long entries = buildTree(tree, wanted);
        std::printf("built %s: %ld entries in %.0f ms\n", qPrintable(tree), entries,
                    msSince(start));
    } else {
        std::printf("tree %s (given)\n", qPrintable(tree));
    }

    // The launcher's window on a settings file of its own, with the tree as its drive.
    IniSettingsStore settings(work.path() + QStringLiteral("/Korvath II Launcher.conf"));
    QProcessRunner runner;
    LauncherServices services;
    services.createFileSystem = [tree] { return std::make_unique<TreeFileSystem>(tree); };
    services.settings = &settings;
    services.processRunner = &runner;
    services.launcherFolder = work.path();
    Form1 window(services);
    window.Form_Load();
    window.show();

    TreeFileSystem fs(tree);
    ModuleWalk module;
    // Back to the panel's invalid state, where Autofind can be pressed.
    auto resetWindow = [&] {
        if (!window.launcherState().gameDir.isEmpty())
            window.SetDirPanelInvalid();
    };
    auto windowAutofind = [&]() -> QString {
        window.KVDirAutofindBtn->click();
        return window.launcherState().gameDir;
    };

    // Warm the cache (and check that everybody finds the game).
    const QString expected = tree + QStringLiteral("/");
    if (timeFind(tree).wallMs < 0) {
        std::fprintf(stderr, "find did not run\n");
        return 2;
    }
    timeFind(tree);
    const QString warmModule = module.run(fs, fs.Drives());
    resetWindow();
    const QString warmWindow = windowAutofind();
    std::printf("found by the walk: %s; by the window: %s\n", qPrintable(warmModule),
                qPrintable(warmWindow));
    if (warmModule.isEmpty() || warmWindow.isEmpty()) {
        std::fprintf(stderr, "the game was not found\n");
        return 2;
    }

    std::vector<double> walkMs, windowMs, findMs, walkCpu, windowCpu, findCpu;
    for (int r = 0; r < runs; ++r) {
        const Timing walk = timeHere([&] { module.run(fs, fs.Drives()); });
        resetWindow();
        const Timing win = timeHere([&] { windowAutofind(); });
        const Timing find = timeFind(tree);
        walkMs.push_back(walk.wallMs);
        walkCpu.push_back(walk.cpuMs);
        windowMs.push_back(win.wallMs);
        windowCpu.push_back(win.cpuMs);
        findMs.push_back(find.wallMs);
        findCpu.push_back(find.cpuMs);
    }
    const double walk = median(walkMs), win = median(windowMs), find = median(findMs);
    std::printf("medians of %d runs         wall ms   cpu ms\n", runs);
    std::printf("walk module with yields   %7.1f  %7.1f\n", walk, median(walkCpu));
    std::printf("Autofind in the window    %7.1f  %7.1f\n", win, median(windowCpu));
    std::printf("find -xdev -iname         %7.1f  %7.1f\n", find, median(findCpu));
    std::printf("ratio find/walk: wall %.2f, cpu %.2f; find/window: wall %.2f, cpu %.2f "
                "(goal >= 1.0)\n",
                find / walk, median(findCpu) / median(walkCpu), find / win,
                median(findCpu) / median(windowCpu));

    // Cancel. A click is queued from another thread at some moment of the search (from
    // a fifth to four fifths of its length); it is handled at the search's next event
    // round. Measured: from the click to the end of the walk, and from the moment the
    // flag was cleared to the end of the walk (module); from the click until the panel
    // shows the outcome, its settings write included (window).
    std::vector<double> clickToEnd, flagToEnd, windowClickToEnd;
    for (int r = 0; r < runs; ++r) {
        const double delayMs = walk * (0.2 + 0.6 * r / std::max(1, runs - 1));
        Clock::time_point postedAt, clearedAt;
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(delayMs));
            postedAt = Clock::now();
            QMetaObject::invokeMethod(
                &module.label,
                [&] {
                    clearedAt = Clock::now();
                    module.searching = false;
                },
                Qt::QueuedConnection);
        });
        const QString found = module.run(fs, fs.Drives());
        const auto over = Clock::now();
        canceller.join();
        QCoreApplication::processEvents(); // a click that came too late
        if (found.isEmpty()) {
            clickToEnd.push_back(
                std::chrono::duration<double, std::milli>(over - postedAt).count());
            flagToEnd.push_back(
                std::chrono::duration<double, std::milli>(over - clearedAt).count());
        }
    }
    for (int r = 0; r < runs; ++r) {
        resetWindow();
        const double delayMs = win * (0.2 + 0.6 * r / std::max(1, runs - 1));
        Clock::time_point postedAt;
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(delayMs));
            postedAt = Clock::now();
            QMetaObject::invokeMethod(window.KVDirAutofindBtn, "click", Qt::QueuedConnection);
        });
        window.KVDirAutofindBtn->click();
        const auto over = Clock::now();
        canceller.join();
        // A click that came after the search had ended finds the button disabled.
        QCoreApplication::processEvents();
        if (window.launcherState().gameDir.isEmpty())
            windowClickToEnd.push_back(
                std::chrono::duration<double, std::milli>(over - postedAt).count());
    }
    auto report = [](const char* what, const std::vector<double>& ms) {
        if (ms.empty())
            std::printf("%s: the search always ended before the click\n", what);
        else
            std::printf("%s: %zu runs, median %.1f ms, worst %.1f ms\n", what, ms.size(),
                        median(ms), *std::max_element(ms.begin(), ms.end()));
    };
    std::printf("cancel (goal <= 50 ms)\n");
    report("  walk module, click to end of walk    ", clickToEnd);
    report("  walk module, flag cleared to end     ", flagToEnd);
    report("  window, click to outcome shown       ", windowClickToEnd);
    // Of that, the panel's closing state alone (it writes the settings file).
    std::vector<double> invalidMs;
    for (int r = 0; r < runs; ++r) {
        const auto start = Clock::now();
        window.SetDirPanelInvalid();
        invalidMs.push_back(msSince(start));
    }
    report("  of which the invalid panel state     ", invalidMs);
    window.close();
    return 0;
}
