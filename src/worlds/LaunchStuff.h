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
};

class QProcessRunner : public ProcessRunner {
public:
    int RunAndWait(const QString& program, const QStringList& arguments,
                   const QString& workingDirectory,
                   const QMap<QString, QString>& environment = {}) override;
};

namespace LaunchStuff {

// Runs a program of the installation (or the launcher folder): its name is
// resolved through the file-system service (so KORVATH2.EXE runs), a Windows
// program is started through wine on a system that is not Windows, and the call
// waits for the program's end. Returns its exit code, or -1 when nothing started.
int RunAndWait(ProcessRunner& runner, FileSystem& fileSystem, const QString& program,
               const QStringList& arguments, const QString& workingDirectory,
               const QMap<QString, QString>& environment = {});

} // namespace LaunchStuff
