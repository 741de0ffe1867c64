#pragma once

#include <QString>
#include <QStringList>

// Starts a program and waits for its end. The real runner uses QProcess; tests
// substitute their own.
class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Starts program (an exact path, never split) with the arguments in the working
    // directory and blocks until it has ended. Returns its exit code, or -1 at once
    // when nothing could be started.
    virtual int RunAndWait(const QString& program, const QStringList& arguments,
                           const QString& workingDirectory) = 0;
};

class QProcessRunner : public ProcessRunner {
public:
    int RunAndWait(const QString& program, const QStringList& arguments,
                   const QString& workingDirectory) override;
};
