// The start-up benchmark's probe: a library that startup-bench puts into each program it
// times with LD_PRELOAD, so that the launcher and the bare window are measured the same
// way and neither has an option or a code path for it.
//
// Once the application object exists it watches every event. The first expose of a
// top-level widget window (the window has become visible on the screen) is passed on
// first, so the window paints its first frame, and then the probe writes what the
// process has spent since it started, to the file that $STARTUP_PROBE_OUT names, and
// ends the process at once: nothing after the first frame is counted.
//
// The file holds one line of key=value fields:
//   wall_stat_ms  wall time since the process started, by the kernel's start time
//                 (/proc/self/stat, in clock ticks, so within one tick) and CLOCK_BOOTTIME
//   boottime_ns   CLOCK_BOOTTIME now, for a caller that noted the time it started us
//   user_ms sys_ms  CPU time of all the process's threads (getrusage)
//   faults        page faults, minor and major
//   libs          distinct shared objects mapped (not the probe, not the vDSO)
//   dialog        1 when the window is a dialog (an error box, not the program's window)
//   size title    the window's size and, last on the line, its title
// followed by one "lib PATH" line per shared object.
// Without $STARTUP_PROBE_OUT the probe does nothing.
#include <QApplication>
#include <QDialog>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <link.h>
#include <set>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double ms(const timeval& t) {
    return t.tv_sec * 1e3 + t.tv_usec / 1e3;
}

long long bootTimeNs() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// Milliseconds since the process started, or -1 when /proc cannot say.
double msSinceStart(long long nowNs) {
    std::FILE* stat = std::fopen("/proc/self/stat", "r");
    if (!stat)
        return -1;
    char line[4096] = {};
    const size_t read = std::fread(line, 1, sizeof line - 1, stat);
    std::fclose(stat);
    line[read] = '\0';
    // The command name (field 2) may hold spaces and brackets: fields 3 on follow the
    // last ')'. The start time is field 22.
    const char* field = std::strrchr(line, ')');
    if (!field)
        return -1;
    for (int number = 2; number < 22 && field; ++number)
        field = std::strchr(field + 1, ' ');
    if (!field)
        return -1;
    const unsigned long long ticks = std::strtoull(field + 1, nullptr, 10);
    const double startNs = double(ticks) * 1e9 / double(sysconf(_SC_CLK_TCK));
    return (double(nowNs) - startNs) / 1e6;
}

std::string ownPath() {
    Dl_info info{};
    static const int anchor = 0;
    if (dladdr(&anchor, &info) && info.dli_fname)
        return info.dli_fname;
    return std::string();
}

std::set<std::string> sharedObjects() {
    struct Walk {
        std::set<std::string> names;
        std::string self;
    } walk{{}, ownPath()};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* walk = static_cast<Walk*>(data);
            // The program itself has no name here; the vDSO has no file.
            if (info->dlpi_name && info->dlpi_name[0] == '/' && walk->self != info->dlpi_name)
                walk->names.insert(info->dlpi_name);
            return 0;
        },
        &walk);
    return walk.names;
}

QWidget* widgetOf(QWindow* window) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowHandle() == window)
            return widget;
    return nullptr;
}

[[noreturn]] void recordAndEnd(QWindow* window, const char* path) {
    const long long nowNs = bootTimeNs();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const std::set<std::string> objects = sharedObjects();
    const QWidget* widget = widgetOf(window);
    std::FILE* out = std::fopen(path, "w");
    if (!out)
        _exit(120);
    std::fprintf(out,
                 "wall_stat_ms=%.3f boottime_ns=%lld user_ms=%.3f sys_ms=%.3f faults=%ld "
                 "libs=%zu dialog=%d size=%dx%d title=%s\n",
                 msSinceStart(nowNs), nowNs, ms(usage.ru_utime), ms(usage.ru_stime),
                 usage.ru_minflt + usage.ru_majflt, objects.size(),
                 widget && widget->inherits("QDialog") ? 1 : 0, window->width(), window->height(),
                 qPrintable(window->title()));
    for (const std::string& object : objects)
        std::fprintf(out, "lib %s\n", object.c_str());
    const bool written = std::fflush(out) == 0;
    _exit(std::fclose(out) == 0 && written ? 0 : 120);
}

class FirstFrameProbe : public QObject {
public:
    FirstFrameProbe(const char* path, QObject* parent) : QObject(parent), m_path(path) {}

    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (m_seen || event->type() != QEvent::Expose || !receiver->isWindowType())
            return false;
        auto* window = static_cast<QWindow*>(receiver);
        if (!window->isTopLevel() || !window->isExposed() || !window->inherits("QWidgetWindow"))
            return false;
        m_seen = true;
        // The window paints its first frame in answer to this event.
        QCoreApplication::sendEvent(receiver, event);
        recordAndEnd(window, m_path);
    }

private:
    const char* m_path;
    bool m_seen = false;
};

void installProbe() {
    const char* path = std::getenv("STARTUP_PROBE_OUT");
    if (!path || !*path)
        return;
    QCoreApplication* app = QCoreApplication::instance();
    app->installEventFilter(new FirstFrameProbe(path, app));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
