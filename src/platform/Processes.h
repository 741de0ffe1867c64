#pragma once

#include <QByteArray>
#include <QString>

// What the system knows of processes: a stamp that tells a process from a later one
// the system gives the same id, and the record of a running child that a launcher
// keeps so that another one can tell the child still runs.
namespace Processes {

// A process as the system knows it: its id, when it started (in the system's own
// units; "" where the system does not tell) and the boot it runs in ("" likewise),
// so that an id the system has since given to another process is not taken for it.
struct ProcessStamp {
    qint64 pid = 0;
    QByteArray startTime;
    QByteArray bootId;
};
ProcessStamp OwnProcess();
ProcessStamp StampOf(qint64 pid);
// Whether that very process still runs (one that has ended but is not yet reaped has
// ended).
bool StillRuns(const ProcessStamp& stamp);

// The record of a running child: "<pid> <start time>" (the start time in the
// system's own units, absent where the system does not tell). It is only ever opened
// as a regular file.
void WriteChildRecord(const QString& recordFile, qint64 pid);
// The recorded process id while that very process still runs (a process that has
// ended but is not yet reaped has ended; a different start time means the id now
// belongs to another process), else 0. A pipe, socket or device where the record or
// its temp file belongs is a FileSystemError that names it: nothing waits on one.
qint64 RecordedRunningChild(const QString& recordFile);
// The temp file a child writes its record to first.
QString ChildRecordTempPath(const QString& recordFile);

} // namespace Processes
