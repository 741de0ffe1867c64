// Benchmark of the launcher's start-up against the barest Qt Widgets window of its kind
// (bench/bare_window.cpp: a fixed-size window with a tab control and two list widgets).
//
//   build/bench/startup-bench [--runs N] [--worlds 0,500] [--platforms offscreen,xcb]
//                             [--launcher PATH] [--libs] [--keep]
//
// Each program is started as a new process, the launcher in its normal window mode on a
// valid demo installation, and timed from the start of the process (dynamic loading
// included) to its first frame: the first expose of a top-level window, once the window
// has painted in answer to it. The probe library startup-probe.so, put into both programs
// with LD_PRELOAD, notes the figures there and ends the process (see startup_probe.cpp),
// so the launcher is measured as it ships, with no option of its own for this.
//
// For each platform (offscreen, and an X server: Xvfb started once here, when installed)
// and each number of worlds in the installation (500 world files W<i>.ini with a
// DisplayName each, every fourth with a Roster folder), the runs alternate launcher,
// bare, launcher, bare, ... N times each (default 7) after one uncounted run of each, and
// the table gives the medians (with the range) and the ratio launcher/bare of:
//   CPU time     user + system time of all the process's threads, to the first frame
//   wall time    from just before the fork that starts the process to the first frame
//   page faults  minor + major, to then
//   shared objects  the distinct shared libraries and plugins mapped at that moment
// Every run has a fresh settings home ($XDG_CONFIG_HOME, whose settings file points at the
// installation) and the same environment otherwise, so each starts cold in the same way;
// all share a session bus of their own (dbus-daemon, when installed), as on a desktop.
// Everything lies in a temp folder below $TMPDIR, the settings homes too: on tmpfs the
// launcher's synced writes (its lock, its settings) cost nothing, on a disk they cost what
// they cost a player.
//
// --libs also lists the shared objects the launcher maps and the bare window does not;
// --launcher times another build of the launcher; --keep keeps the temp folder (the
// installations, and each run's settings home, probe output and log).
// Run it on a quiet machine: the load average before and after is printed.
#include "InstallationBuilder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <set>
#include <string>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kRunTimeoutMs = 60000;

// Set by an interrupt (or a closed output): the benchmark stops after the current run
// and cleans up its servers and temp files.
volatile std::sig_atomic_t stopping = 0;

void stop(int) {
    stopping = 1;
}

void stopOnSignals() {
    struct sigaction action {};
    action.sa_handler = stop; // no SA_RESTART: a wait for a run ends at once
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        sigaction(signal, &action, nullptr);
}

struct Options {
    int runs = 7;
    std::vector<int> worlds = {0, 500};
    std::vector<std::string> platforms = {"offscreen", "xcb"};
    std::string launcher = KV_LAUNCHER_PATH;
    std::string bare = KV_BARE_WINDOW_PATH;
    std::string probe = KV_STARTUP_PROBE_PATH;
    bool libs = false;
    bool keep = false;
};

struct Sample {
    double cpuMs = 0;
    double wallMs = 0;
    double faults = 0;
    double objects = 0;
    std::set<std::string> libraries;
};

const char kUsage[] = "usage: startup-bench [--runs N] [--worlds 0,500] "
                      "[--platforms offscreen,xcb] [--launcher PATH] [--libs] [--keep]\n";

[[noreturn]] void usage(const char* why) {
    std::fprintf(stderr, "startup-bench: %s\n%s", why, kUsage);
    std::exit(2);
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(',', start), text.size());
        if (end > start)
            items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

int parseCount(const std::string& text, int least, const char* what) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || errno || value < least || value > 100000)
        usage((std::string(what) + " wants a whole number from " + std::to_string(least) +
               ", not \"" + text + "\"")
                  .c_str());
    return int(value);
}

Options parseOptions(int argc, char* argv[]) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usage((option + " wants a value").c_str());
            return argv[++i];
        };
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (option == "--runs") {
            options.runs = parseCount(value(), 1, "--runs");
        } else if (option == "--worlds") {
            options.worlds.clear();
            for (const std::string& item : splitList(value()))
                options.worlds.push_back(parseCount(item, 0, "--worlds"));
            if (options.worlds.empty())
                usage("--worlds wants at least one number");
        } else if (option == "--platforms") {
            options.platforms = splitList(value());
            for (const std::string& platform : options.platforms)
                if (platform != "offscreen" && platform != "xcb")
                    usage(("unknown platform \"" + platform + "\"").c_str());
            if (options.platforms.empty())
                usage("--platforms wants offscreen, xcb or both");
        } else if (option == "--launcher") {
            options.launcher = value();
        } else if (option == "--libs") {
            options.libs = true;
        } else if (option == "--keep") {
            options.keep = true;
        } else {
            usage(("unknown option \"" + option + "\"").c_str());
        }
    }
    return options;
}

long long bootTimeNs() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

std::string loadAverage() {
    std::FILE* file = std::fopen("/proc/loadavg", "r");
    char text[128] = {};
    if (file) {
        if (!std::fgets(text, sizeof text, file))
            text[0] = '\0';
        std::fclose(file);
    }
    std::string result = text;
    // The first three fields: the averages over 1, 5 and 15 minutes.
    size_t end = 0;
    for (int field = 0; field < 3 && end != std::string::npos; ++field)
        end = result.find(' ', end + (field ? 1 : 0));
    return result.substr(0, end);
}

std::string readFile(const std::string& path) {
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "r")) {
        char buffer[4096];
        size_t read = 0;
        while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, read);
        std::fclose(file);
    }
    return text;
}

// Ends a child the benchmark started and reaps it.
void endChild(pid_t pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

// Waits up to timeoutMs for the child to end: its wait status, or -1 when it did not end.
int waitForChild(pid_t pid, int timeoutMs) {
    const int pidFd = int(syscall(SYS_pidfd_open, pid, 0));
    int status = 0;
    if (pidFd >= 0) {
        pollfd ended{pidFd, POLLIN, 0};
        poll(&ended, 1, timeoutMs);
        close(pidFd);
        return waitpid(pid, &status, WNOHANG) == pid ? status : -1;
    }
    for (int waited = 0; waited < timeoutMs; waited += 2) { // a kernel without pidfd_open
        if (waitpid(pid, &status, WNOHANG) == pid)
            return status;
        usleep(2000);
    }
    return -1;
}

// A server started once for all the runs (Xvfb, a session bus). It says it is ready by
// writing one line to a pipe whose number it is given.
class Server {
public:
    ~Server() { endChild(m_pid); }

    // Starts program with arguments, "{fd}" in them standing for the pipe's number; "" on
    // success, else why there is none.
    std::string start(const char* program, std::vector<std::string> arguments,
                      const std::string& logPath) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(program));
        if (found.isEmpty())
            return std::string(program) + " is not installed";
        int ready[2];
        if (pipe(ready) != 0)
            return std::strerror(errno);
        const std::string path = found.toStdString();
        std::vector<char*> argv = {const_cast<char*>(program)};
        for (std::string& argument : arguments) {
            const size_t at = argument.find("{fd}");
            if (at != std::string::npos)
                argument.replace(at, 4, std::to_string(ready[1]));
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM); // also when the benchmark is cut short
            close(ready[0]);
            const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (log >= 0) {
                dup2(log, STDOUT_FILENO);
                dup2(log, STDERR_FILENO);
            }
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        close(ready[1]);
        if (m_pid < 0) {
            close(ready[0]);
            return std::strerror(errno);
        }
        std::string line;
        pollfd readable{ready[0], POLLIN, 0};
        char c = 0;
        while (poll(&readable, 1, 20000) > 0 && read(ready[0], &c, 1) == 1 && c != '\n')
            line += c;
        close(ready[0]);
        if (line.empty() || c != '\n') {
            endChild(m_pid);
            m_pid = -1;
            return std::string(program) + " did not start: " + readFile(logPath);
        }
        m_line = line;
        return std::string();
    }

    // What the server wrote when it was ready.
    const std::string& line() const { return m_line; }

private:
    pid_t m_pid = -1;
    std::string m_line;
};

class Bench {
public:
    Bench(const Options& options, const QString& root) : m_options(options), m_root(root) {}

    // Builds an installation with `worlds` worlds; "" on success, else what went wrong.
    QString buildInstallation(int worlds) {
        const QString gameDir = m_root + QStringLiteral("/game-%1").arg(worlds);
        InstallationBuilder::Options builder;
        builder.withWorlds = false;
        QString error = InstallationBuilder::build(gameDir, builder);
        for (int i = 1; i <= worlds && error.isEmpty(); ++i) {
            const QString label = QStringLiteral("W%1").arg(i);
            error = InstallationBuilder::writeFile(
                gameDir + QStringLiteral("/%1.ini").arg(label),
                QStringLiteral("[WorldData]\r\nDisplayName=World %1\r\n").arg(i).toUtf8());
            if (error.isEmpty() && i % 4 == 0)
                error = InstallationBuilder::writeFile(
                    gameDir + QStringLiteral("/Roster_%1/marker.txt").arg(label),
                    QStringLiteral("%1 Roster\n").arg(label).toUtf8());
        }
        m_gameDirs[worlds] = gameDir;
        return error;
    }

    void setDisplay(const std::string& display) { m_display = display; }
    void setSessionBus(const std::string& address) { m_bus = address; }

    // One run of program; false (after saying why) when it did not show a window.
    bool run(const std::string& program, const std::string& platform, int worlds, Sample& sample) {
        const int number = ++m_runCount;
        const QString home = m_root + QStringLiteral("/home-%1").arg(number);
        const std::string out =
            (m_root + QStringLiteral("/probe-%1.txt").arg(number)).toStdString();
        const std::string log = (m_root + QStringLiteral("/log-%1.txt").arg(number)).toStdString();
        QString gameDir = m_gameDirs[worlds];
        gameDir.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        gameDir.replace(QLatin1Char('"'), QStringLiteral("\\\""));
        const QString settingsError = InstallationBuilder::writeFile(
            home + QStringLiteral("/Korvath II Launcher.conf"),
            QStringLiteral("[Settings]\nKVDir=\"%1/\"\ninterfaceType=0\n").arg(gameDir).toUtf8());
        if (!settingsError.isEmpty()) {
            std::fprintf(stderr, "startup-bench: %s\n", qPrintable(settingsError));
            return false;
        }

        std::vector<std::string> environment;
        static const char* const kReplaced[] = {
            "LD_PRELOAD=",      "STARTUP_PROBE_OUT=", "XDG_CONFIG_HOME=", "TMPDIR=",
            "QT_QPA_PLATFORM=", "DISPLAY=",           "WAYLAND_DISPLAY="};
        for (char** entry = environ; *entry; ++entry) {
            const bool replaced =
                std::any_of(std::begin(kReplaced), std::end(kReplaced), [&](const char* name) {
                    return std::strncmp(*entry, name, std::strlen(name)) == 0;
                });
            if (!replaced)
                environment.push_back(*entry);
        }
        environment.push_back("LD_PRELOAD=" + m_options.probe);
        environment.push_back("STARTUP_PROBE_OUT=" + out);
        environment.push_back("XDG_CONFIG_HOME=" + home.toStdString());
        // The launcher's single-instance channel lies in the temp folder: one of ours.
        environment.push_back("TMPDIR=" + (m_root + QStringLiteral("/tmp")).toStdString());
        if (!m_bus.empty())
            environment.push_back("DBUS_SESSION_BUS_ADDRESS=" + m_bus);
        std::vector<std::string> arguments = {program};
        if (platform == "offscreen") {
            environment.push_back("QT_QPA_PLATFORM=offscreen");
        } else {
            environment.push_back("DISPLAY=" + m_display);
            arguments.push_back("-platform");
            arguments.push_back("xcb");
        }
        std::vector<char*> envp;
        for (std::string& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);

        const long long startNs = bootTimeNs();
        const pid_t pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int nullFd = open("/dev/null", O_RDONLY);
            if (logFd >= 0) {
                dup2(logFd, STDOUT_FILENO);
                dup2(logFd, STDERR_FILENO);
            }
            if (nullFd >= 0)
                dup2(nullFd, STDIN_FILENO);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        if (pid < 0) {
            std::fprintf(stderr, "startup-bench: cannot start %s: %s\n", program.c_str(),
                         std::strerror(errno));
            return false;
        }
        const int status = waitForChild(pid, kRunTimeoutMs);
        if (status == -1)
            endChild(pid);
        const bool parsed = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                            parse(readFile(out), startNs, sample);
        if (!parsed && stopping)
            return false;
        if (!parsed) {
            std::fprintf(stderr,
                         "startup-bench: %s (%s, %d worlds) showed no window%s; its output:\n%s\n"
                         "probe: %s\n",
                         program.c_str(), platform.c_str(), worlds,
                         status == -1 ? " within a minute" : "", readFile(log).c_str(),
                         readFile(out).c_str());
            return false;
        }
        if (!m_options.keep) {
            QDir(home).removeRecursively();
            QFile::remove(QString::fromStdString(out));
            QFile::remove(QString::fromStdString(log));
        }
        return true;
    }

private:
    // Reads the probe's file into sample; false when it is not a window's first frame.
    static bool parse(const std::string& text, long long startNs, Sample& sample) {
        const size_t lineEnd = text.find('\n');
        if (lineEnd == std::string::npos)
            return false;
        std::map<std::string, std::string> fields;
        const std::string line = text.substr(0, lineEnd);
        size_t at = 0;
        while (at < line.size()) {
            const size_t equals = line.find('=', at);
            if (equals == std::string::npos)
                break;
            const std::string key = line.substr(at, equals - at);
            // The title is last and may hold spaces.
            const size_t end = key == "title" ? line.size() : line.find(' ', equals);
            fields[key] = line.substr(equals + 1, std::min(end, line.size()) - equals - 1);
            at = std::min(end, line.size()) + 1;
        }
        for (const char* key : {"boottime_ns", "user_ms", "sys_ms", "faults", "libs", "dialog"})
            if (!fields.count(key))
                return false;
        if (fields["dialog"] != "0")
            return false; // an error box, not the program's window
        sample.cpuMs = std::atof(fields["user_ms"].c_str()) + std::atof(fields["sys_ms"].c_str());
        sample.wallMs = double(std::atoll(fields["boottime_ns"].c_str()) - startNs) / 1e6;
        sample.faults = std::atof(fields["faults"].c_str());
        sample.objects = std::atof(fields["libs"].c_str());
        sample.libraries.clear();
        size_t from = lineEnd + 1;
        while (from < text.size()) {
            const size_t end = std::min(text.find('\n', from), text.size());
            if (text.compare(from, 4, "lib ") == 0)
                sample.libraries.insert(text.substr(from + 4, end - from - 4));
            from = end + 1;
        }
        return true;
    }

    const Options& m_options;
    QString m_root;
    std::string m_display; // the X server's, for the xcb runs
    std::string m_bus;     // the session bus's address, "" for none
    std::map<int, QString> m_gameDirs;
    int m_runCount = 0;
};

struct Summary {
    double median = 0, low = 0, high = 0;
};

Summary summarise(const std::vector<Sample>& samples, double Sample::*field) {
    std::vector<double> values;
    for (const Sample& sample : samples)
        values.push_back(sample.*field);
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

std::string cell(const Summary& summary, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f (%.*f-%.*f)", decimals, summary.median, decimals,
                  summary.low, decimals, summary.high);
    return text;
}

void printTable(const std::string& platform, int worlds, const std::vector<Sample>& launcher,
                const std::vector<Sample>& bare) {
    const std::string title = platform + ", " + std::to_string(worlds) + " worlds";
    std::printf("\n%-28s%22s%22s%8s\n", title.c_str(), "launcher", "bare", "ratio");
    struct Row {
        const char* name;
        double Sample::*field;
        int decimals;
    };
    const Row rows[] = {{"CPU time (ms)", &Sample::cpuMs, 1},
                        {"wall time (ms)", &Sample::wallMs, 1},
                        {"page faults", &Sample::faults, 0},
                        {"shared objects", &Sample::objects, 0}};
    for (const Row& row : rows) {
        const Summary ours = summarise(launcher, row.field);
        const Summary theirs = summarise(bare, row.field);
        std::printf("  %-26s%22s%22s%8.2f\n", row.name, cell(ours, row.decimals).c_str(),
                    cell(theirs, row.decimals).c_str(),
                    theirs.median > 0 ? ours.median / theirs.median : 0.0);
    }
}

void printExtraLibraries(const Sample& launcher, const Sample& bare) {
    std::printf("  mapped by the launcher only:\n");
    for (const std::string& library : launcher.libraries)
        if (!bare.libraries.count(library))
            std::printf("    %s\n", library.c_str());
}

} // namespace

int main(int argc, char* argv[]) {
    const Options options = parseOptions(argc, argv);
    stopOnSignals();
    for (const std::string& file : {options.launcher, options.bare, options.probe})
        if (access(file.c_str(), R_OK) != 0) {
            std::fprintf(stderr, "startup-bench: %s is missing: build the project first\n",
                         file.c_str());
            return 1;
        }
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/startup-bench-XXXXXX"));
    if (!root.isValid() || !QDir().mkpath(root.path() + QStringLiteral("/tmp"))) {
        std::fprintf(stderr, "startup-bench: cannot make a temp folder\n");
        return 1;
    }
    root.setAutoRemove(!options.keep);
    if (options.keep)
        std::printf("Files are kept in %s\n", qPrintable(root.path()));

    Bench bench(options, root.path());
    for (int worlds : options.worlds) {
        const QString error = bench.buildInstallation(worlds);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "startup-bench: %s\n", qPrintable(error));
            return 1;
        }
    }
    // A desktop session has a session bus: without one the toolkit would try to start
    // one in every run. A private one keeps the runs apart from the caller's session.
    const std::string rootPath = root.path().toStdString();
    Server bus;
    const std::string busError =
        bus.start("dbus-daemon",
                  {"--session", "--nofork", "--nosyslog",
                   "--address=unix:path=" + rootPath + "/bus", "--print-address={fd}"},
                  rootPath + "/dbus.log");
    if (busError.empty())
        bench.setSessionBus(bus.line());
    else
        std::printf("No session bus, so the runs have none: %s\n", busError.c_str());
    Server xServer;
    std::vector<std::string> platforms;
    for (const std::string& platform : options.platforms) {
        if (platform == "xcb") {
            const std::string error = xServer.start(
                "Xvfb", {"-displayfd", "{fd}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
                rootPath + "/xvfb.log");
            if (!error.empty()) {
                std::printf("No X server, so no runs on one: %s\n", error.c_str());
                continue;
            }
            bench.setDisplay(":" + xServer.line());
        }
        platforms.push_back(platform);
    }

    std::printf("Start-up to the first frame: %s against %s\n"
                "median (min-max) of %d runs each, alternating, after one uncounted run each\n"
                "load average before: %s\n",
                options.launcher.c_str(), options.bare.c_str(), options.runs,
                loadAverage().c_str());
    std::fflush(stdout);
    for (const std::string& platform : platforms) {
        for (int worlds : options.worlds) {
            std::vector<Sample> launcher, bare;
            Sample sample;
            for (int i = 0; i <= options.runs; ++i) {
                if (!bench.run(options.launcher, platform, worlds, sample))
                    return 1;
                if (i > 0)
                    launcher.push_back(sample);
                if (!bench.run(options.bare, platform, worlds, sample))
                    return 1;
                if (i > 0)
                    bare.push_back(sample);
                if (stopping)
                    return 1;
            }
            printTable(platform == "xcb" ? "X server (Xvfb)" : platform, worlds, launcher, bare);
            if (options.libs)
                printExtraLibraries(launcher.back(), bare.back());
            std::fflush(stdout);
        }
    }
    std::printf("\nload average after: %s\n", loadAverage().c_str());
    return 0;
}
