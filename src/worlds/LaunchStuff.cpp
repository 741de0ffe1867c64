#include "worlds/LaunchStuff.h"

#include "app/Logging.h"

#include "app/FileSystem.h"
#include "app/SafeFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

struct ProcessFacts {
    bool running = false;
    QByteArray startTime; // "" when the system does not tell
};

// What the system says about a process: whether it still runs (a zombie has
// ended) and when it started.
ProcessFacts processFacts(qint64 pid) {
    ProcessFacts facts;
    if (pid <= 0)
        return facts;
#if defined(Q_OS_LINUX)
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return facts;
    const QByteArray line = stat.readAll();
    // The command name in parentheses may hold spaces; the fields follow its end.
    const int close = line.lastIndexOf(')');
    if (close < 0)
        return facts;
    const QList<QByteArray> fields = line.mid(close + 1).simplified().split(' ');
    // fields[0] is the state (field 3 of the line); the start time is field 22.
    if (fields.size() < 20)
        return facts;
    const QByteArray state = fields.at(0);
    facts.running = state != "Z" && state != "X" && state != "x";
    facts.startTime = fields.at(19);
#elif defined(Q_OS_UNIX)
    facts.running = ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#endif
    return facts;
}

#ifdef Q_OS_UNIX
// The decimal digits of a number, for code that may not allocate.
int writeDigits(char* text, unsigned long value) {
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    int length = 0;
    while (count > 0)
        text[length++] = digits[--count];
    return length;
}

// Opens path for writing as a regular file only: never follows a link and never
// waits on a pipe (async-signal-safe). -1 when it cannot.
int openRegular(const char* path, int flags) {
    const int fd = ::open(path, flags | O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Adds a line to the hold file, a regular file only (async-signal-safe).
bool appendToHold(const char* holdPath, const char* line, size_t size) {
    const int fd = openRegular(holdPath, O_APPEND);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, line, size) == ssize_t(size);
    ::close(fd);
    return written;
}

// Runs in a new child between fork and exec, so only async-signal-safe calls: writes
// the child's own id to the record before its program can run, and notes it in the
// hold file (when given) as "game=<pid>".
void writeOwnRecord(const char* tempPath, const char* recordPath, const char* holdPath) {
    char text[40];
    int length = writeDigits(text, static_cast<unsigned long>(::getpid()));
    text[length++] = '\n';
    if (recordPath[0] != 0) {
        // The launcher cleared the temp name before the start; anything there now is
        // not ours to write into.
        const int fd = openRegular(tempPath, O_CREAT | O_EXCL);
        if (fd >= 0) {
            const bool written = ::write(fd, text, static_cast<size_t>(length)) == length;
            ::close(fd);
            if (written)
                ::rename(tempPath, recordPath);
        }
    }
    if (holdPath[0] != 0) {
        char line[48] = "game=";
        const int size = 5 + writeDigits(line + 5, static_cast<unsigned long>(::getpid()));
        line[size] = '\n';
        appendToHold(holdPath, line, static_cast<size_t>(size + 1));
    }
}

// The program the launcher waits for (0 when none), the first request to end that
// came during a launch, and what the guard replaced.
volatile std::sig_atomic_t g_childPid = 0;
volatile std::sig_atomic_t g_endRequest = 0;
bool g_guarded = false;
constexpr int kKeys[2] = {SIGINT, SIGQUIT};
constexpr int kEnds[2] = {SIGTERM, SIGHUP};
struct sigaction g_keys[2];
struct sigaction g_ends[2];

void passOnToChild(int signal) {
    const int savedErrno = errno;
    if (g_endRequest == 0)
        g_endRequest = signal;
    if (g_childPid > 0)
        ::kill(static_cast<pid_t>(g_childPid), signal);
    errno = savedErrno;
}

// In a new child, between fork and exec (async-signal-safe): the keys as they were
// before the launch.
void restoreKeysInChild() {
    if (!g_guarded)
        return;
    for (int i = 0; i < 2; ++i)
        ::sigaction(kKeys[i], &g_keys[i], nullptr);
}
#endif

} // namespace

void QProcessRunner::setChildRecordFile(const QString& recordFile) {
    m_recordFile = recordFile;
}

void QProcessRunner::setHoldFile(const QString& holdFile) {
    m_holdFile = holdFile;
}

int QProcessRunner::RunAndWait(const QString& program, const QStringList& arguments,
                               const QString& workingDirectory,
                               const QMap<QString, QString>& environment) {
    QProcess process;
    // The program is the exact path given; QProcess never splits it into words.
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingDirectory);
    if (!environment.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (auto it = environment.begin(); it != environment.end(); ++it)
            env.insert(it.key(), it.value());
        process.setProcessEnvironment(env);
    }
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);

    bool recording = !m_recordFile.isEmpty();
    if (recording) {
        // A temp file an ended launcher left goes; a pipe or device there would make
        // the child wait before its program ever ran, so then no record is kept.
        const QString temp = LaunchStuff::ChildRecordTempPath(m_recordFile);
        recording = SafeFiles::SpecialKind(m_recordFile).isEmpty() &&
                    SafeFiles::SpecialKind(temp).isEmpty();
        if (recording)
            QFile::remove(temp);
        else
            qCWarning(lcWorlds).noquote() << "no record of the child is kept: a special file "
                                             "lies at"
                                          << m_recordFile;
    }
#ifdef Q_OS_UNIX
    const QByteArray recordPath = recording ? QFile::encodeName(m_recordFile) : QByteArray();
    const QByteArray tempPath = QFile::encodeName(LaunchStuff::ChildRecordTempPath(m_recordFile));
    const QByteArray holdPath = QFile::encodeName(m_holdFile);
    process.setChildProcessModifier([&] {
        restoreKeysInChild();
        writeOwnRecord(tempPath.constData(), recordPath.constData(), holdPath.constData());
    });
#endif
    m_startError.clear();
    process.start();
    if (!process.waitForStarted(-1)) {
        // "execvp: Permission denied": the system's part, as the launcher words reasons.
        m_startError = process.errorString().section(QStringLiteral(": "), -1);
        if (!m_startError.isEmpty())
            m_startError[0] = m_startError[0].toLower();
        if (recording)
            QFile::remove(m_recordFile);
        return -1;
    }
#ifdef Q_OS_UNIX
    // A request to end that came before the child's id was known reaches it now.
    g_childPid = static_cast<std::sig_atomic_t>(process.processId());
    if (g_endRequest != 0)
        ::kill(static_cast<pid_t>(process.processId()), g_endRequest);
#endif
    // Now with the start time, which tells this child from a later process that
    // gets the same id.
    if (recording)
        LaunchStuff::WriteChildRecord(m_recordFile, process.processId());
    if (!m_holdFile.isEmpty()) {
#ifdef Q_OS_UNIX
        const LaunchStuff::ProcessStamp game = LaunchStuff::StampOf(process.processId());
        const QByteArray line =
            "game=" + QByteArray::number(game.pid) + ' ' + game.startTime + '\n';
        if (!appendToHold(holdPath.constData(), line.constData(), size_t(line.size())))
            qCWarning(lcWorlds).noquote() << "the game could not be noted in" << m_holdFile;
#endif
    }
    process.waitForFinished(-1);
#ifdef Q_OS_UNIX
    g_childPid = 0; // reaped: its id may soon be another process's
#endif
    if (recording)
        QFile::remove(m_recordFile);
    if (process.exitStatus() == QProcess::CrashExit)
        return 128 + process.exitCode();
    return process.exitCode();
}

namespace LaunchStuff {

StopSignalGuard::StopSignalGuard() {
#ifdef Q_OS_UNIX
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction passOn = ignore;
    passOn.sa_handler = passOnToChild;
    passOn.sa_flags = SA_RESTART;
    g_endRequest = 0;
    for (int i = 0; i < 2; ++i) {
        ::sigaction(kKeys[i], &ignore, &g_keys[i]);
        ::sigaction(kEnds[i], nullptr, &g_ends[i]);
        if (g_ends[i].sa_handler != SIG_IGN)
            ::sigaction(kEnds[i], &passOn, nullptr);
    }
    g_guarded = true;
#endif
}

StopSignalGuard::~StopSignalGuard() {
#ifdef Q_OS_UNIX
    g_guarded = false;
    for (int i = 0; i < 2; ++i) {
        ::sigaction(kKeys[i], &g_keys[i], nullptr);
        ::sigaction(kEnds[i], &g_ends[i], nullptr);
    }
    // The folders are back: now the launcher ends as it was asked to.
    if (const int signal = g_endRequest) {
        qCWarning(lcWorlds) << "ending on signal" << signal << "now that the launch is over";
        g_endRequest = 0;
        ::raise(signal);
    }
#endif
}

QString WineProgram() {
    const QString wine = qEnvironmentVariable("WINE");
    if (wine.isEmpty())
        return QStandardPaths::findExecutable(QStringLiteral("wine"));
    if (!wine.contains(QLatin1Char('/')))
        return QStandardPaths::findExecutable(wine);
    const QFileInfo program(wine);
    return program.isFile() && program.isExecutable() ? program.absoluteFilePath() : QString();
}

QString WinePrefixOf(FileSystem& fileSystem, const QString& program) {
    QString folder = program.left(program.lastIndexOf(QLatin1Char('/')));
    while (!folder.isEmpty()) {
        if (fileSystem.FolderExists(folder + QStringLiteral("/drive_c")) &&
            fileSystem.FileExists(folder + QStringLiteral("/system.reg")))
            return folder;
        folder = folder.left(folder.lastIndexOf(QLatin1Char('/')));
    }
    return QString();
}

bool IsWindowsProgram(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(2) == "MZ";
}

int RunAndWait(ProcessRunner& runner, FileSystem& fileSystem, const QString& program,
               const QStringList& arguments, const QString& workingDirectory,
               const QMap<QString, QString>& environment, StartProblem* problem, QString* reason) {
    StartProblem unused;
    StartProblem& why = problem ? *problem : unused;
    why = StartProblem::None;

    const QString resolved = fileSystem.resolveFile(program);
    if (resolved.isEmpty()) {
        qCWarning(lcWorlds).noquote() << "no program at" << program;
        why = StartProblem::Missing;
        return -1;
    }
    QString executable = resolved;
    QStringList executableArguments = arguments;
    QMap<QString, QString> programEnvironment = environment;
#ifndef Q_OS_WIN
    if (IsWindowsProgram(resolved)) {
        const QString wine = WineProgram();
        if (wine.isEmpty()) {
            qCWarning(lcWorlds).noquote()
                << resolved << "is a Windows program and there is no Wine to run it with"
                << qEnvironmentVariable("WINE");
            why = StartProblem::NeedsWine;
            return -1;
        }
        executable = wine;
        executableArguments.prepend(resolved);
        // A program installed in a Wine prefix runs in that prefix, with its registry
        // and libraries; elsewhere the user's own prefix (or Wine's default) is kept.
        const QString prefix = WinePrefixOf(fileSystem, resolved);
        if (!prefix.isEmpty() && !programEnvironment.contains(QStringLiteral("WINEPREFIX")))
            programEnvironment.insert(QStringLiteral("WINEPREFIX"), prefix);
        qCInfo(lcWorlds).noquote()
            << resolved << "runs through" << wine << "in the Wine prefix"
            << (prefix.isEmpty() ? qEnvironmentVariable("WINEPREFIX") : prefix);
    }
#endif
    const int result =
        runner.RunAndWait(executable, executableArguments, workingDirectory, programEnvironment);
    if (result == -1) {
        why = StartProblem::NotStarted;
        const QString error = runner.startError();
        if (reason)
            *reason = error;
        qCWarning(lcWorlds).noquote()
            << QStringLiteral("could not start \"%1\" (%2)").arg(executable, error);
    }
    return result;
}

QString ChildRecordTempPath(const QString& recordFile) {
    return recordFile + QStringLiteral(".new");
}

namespace {
// The boot this launcher runs in ("" where the system does not tell).
const QByteArray& currentBootId() {
    static const QByteArray bootId = [] {
        QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
    }();
    return bootId;
}
} // namespace

ProcessStamp StampOf(qint64 pid) {
    return ProcessStamp{pid, processFacts(pid).startTime, currentBootId()};
}

ProcessStamp OwnProcess() {
    return StampOf(QCoreApplication::applicationPid());
}

bool StillRuns(const ProcessStamp& stamp) {
    if (stamp.pid <= 0)
        return false;
    // Another boot: every process of the recorded one has ended.
    const QByteArray& bootId = currentBootId();
    if (!stamp.bootId.isEmpty() && !bootId.isEmpty() && stamp.bootId != bootId)
        return false;
    const ProcessFacts facts = processFacts(stamp.pid);
    return facts.running && (stamp.startTime.isEmpty() || facts.startTime == stamp.startTime);
}

void WriteChildRecord(const QString& recordFile, qint64 pid) {
    // Not synced: after a power cut no child runs, whatever the record says.
    try {
        SafeFiles::Write(recordFile,
                         QByteArray::number(pid) + ' ' + processFacts(pid).startTime + '\n',
                         SafeFiles::Mode::Replace, false);
    } catch (const FileSystemError& error) {
        qCWarning(lcWorlds).noquote() << "the child's record was not kept:" << error.message();
    }
}

qint64 RecordedRunningChild(const QString& recordFile) {
    const QString temp = ChildRecordTempPath(recordFile);
    if (const QString kind = SafeFiles::SpecialKind(temp); !kind.isEmpty())
        throw FileSystemError(
            QStringLiteral("%1 is %2, not a regular file. Remove it, then try again.")
                .arg(temp, kind));
    const std::optional<QByteArray> content = SafeFiles::ReadRegularFile(recordFile);
    if (!content)
        return 0;
    const QList<QByteArray> fields = content->simplified().split(' ');
    bool ok = false;
    const qint64 pid = fields.value(0).toLongLong(&ok);
    if (!ok || pid <= 0)
        return 0;
    return StillRuns(ProcessStamp{pid, fields.value(1), {}}) ? pid : 0;
}

} // namespace LaunchStuff
