#include "platform/ProcessRunner.h"

#include "platform/Logging.h"
#include "platform/Processes.h"
#include "platform/SafeFiles.h"

#include <QFile>
#include <QProcess>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

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
        const QString temp = Processes::ChildRecordTempPath(m_recordFile);
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
    const QByteArray tempPath = QFile::encodeName(Processes::ChildRecordTempPath(m_recordFile));
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
        Processes::WriteChildRecord(m_recordFile, process.processId());
    if (!m_holdFile.isEmpty()) {
#ifdef Q_OS_UNIX
        const Processes::ProcessStamp game = Processes::StampOf(process.processId());
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
