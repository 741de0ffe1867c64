#include "platform/Processes.h"

#include "platform/LauncherError.h"
#include "platform/Logging.h"
#include "platform/SafeFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QList>

#if defined(Q_OS_UNIX) && !defined(Q_OS_LINUX)
#include <cerrno>
#include <csignal>
#endif

namespace Processes {

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

// The boot this launcher runs in ("" where the system does not tell).
const QByteArray& currentBootId() {
    static const QByteArray bootId = [] {
        QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
    }();
    return bootId;
}

} // namespace

QString ChildRecordTempPath(const QString& recordFile) {
    return recordFile + QStringLiteral(".new");
}

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
                         SafeFiles::Mode::Replace, SafeFiles::Sync::Nothing);
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

} // namespace Processes
