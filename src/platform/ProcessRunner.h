#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

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
