#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

class FileSystem;

// Starts a program and waits for its end. The real runner uses QProcess; tests
// substitute their own.
class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Starts program (an exact path, never split into words) with the arguments in
    // the working directory, with the launcher's environment plus the given
    // overrides, and blocks until it has ended. Returns its exit code, or -1 at
    // once when nothing could be started.
    virtual int RunAndWait(const QString& program, const QStringList& arguments,
                           const QString& workingDirectory,
                           const QMap<QString, QString>& environment = {}) = 0;
    // The record of a switch in the game directory, which the programs run from now
    // on are to be noted in, so that the installation stays held while one runs even
    // when the launcher is gone ("" for none).
    virtual void setHoldFile(const QString& holdFile) { Q_UNUSED(holdFile) }
    // Why the last RunAndWait started nothing, in the system's own words, lower-cased
    // ("permission denied"); "" when it started or the runner cannot tell.
    virtual QString startError() const { return QString(); }
};

class QProcessRunner : public ProcessRunner {
public:
    // Keeps the process id and start time of the running child in recordFile (""
    // keeps none). The child writes its id there itself before its program runs, so
    // a launcher killed at any moment of a launch leaves no running child
    // unrecorded; the record goes once the child has ended.
    void setChildRecordFile(const QString& recordFile);
    // The child notes its own id in the hold file before its program runs, and the
    // launcher adds its start time once it runs.
    void setHoldFile(const QString& holdFile) override;
    QString startError() const override { return m_startError; }

    // The child inherits the launcher's standard handles. A child ended by a signal
    // gives 128 + the signal's number, as a shell reports it.
    int RunAndWait(const QString& program, const QStringList& arguments,
                   const QString& workingDirectory,
                   const QMap<QString, QString>& environment = {}) override;

private:
    QString m_recordFile;
    QString m_holdFile;
    QString m_startError;
};

namespace LaunchStuff {

// Why nothing was started (None after a start).
enum class StartProblem { None, Missing, NeedsWine, NotStarted };

// For the span of a launch, from switch-in to switch-back: the launcher outlives what
// a terminal or the desktop sends, so that it can still put the folders back. Ctrl+C
// and Ctrl+\ are the program's to answer (the launcher ignores them, as system()
// does; the program gets them as they were). A request to end (SIGTERM, SIGHUP) is
// passed on to the running program, and carried out when the guard ends: the
// launcher then ends as it was asked to. A signal the launcher was started to
// ignore stays ignored. One guard at a time.
class StopSignalGuard {
public:
    StopSignalGuard();
    ~StopSignalGuard();
    StopSignalGuard(const StopSignalGuard&) = delete;
    StopSignalGuard& operator=(const StopSignalGuard&) = delete;
};

// Runs a program of the installation (or the launcher folder): its name is
// resolved through the file-system service (so KORVATH2.EXE runs), a Windows
// program (a file that starts with "MZ") is started through Wine (WineProgram) on a
// system that is not Windows, in the Wine prefix that holds it if any, and the call
// waits for the program's end. Returns its
// exit code, or -1 at once when nothing started; problem, when given, says why, and
// reason, when given, the system's words for a program that could not be started.
int RunAndWait(ProcessRunner& runner, FileSystem& fileSystem, const QString& program,
               const QStringList& arguments, const QString& workingDirectory,
               const QMap<QString, QString>& environment = {}, StartProblem* problem = nullptr,
               QString* reason = nullptr);

// The Wine program: $WINE where it is set, as Wine's own tools take it (a path, or a
// name looked up on PATH), else wine on PATH; "" when that names no program.
QString WineProgram();
// The Wine prefix a program lies in: the nearest folder above it that holds
// "drive_c" and "system.reg"; "" outside any prefix.
QString WinePrefixOf(FileSystem& fileSystem, const QString& program);

// Whether the file starts with the two bytes of a Windows program ("MZ").
bool IsWindowsProgram(const QString& path);

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

} // namespace LaunchStuff
