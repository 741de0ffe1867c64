#include "worlds/LaunchStuff.h"

#include <QProcess>

int QProcessRunner::RunAndWait(const QString& program, const QStringList& arguments,
                               const QString& workingDirectory) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingDirectory);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start();
    if (!process.waitForStarted(-1))
        return -1;
    process.waitForFinished(-1);
    return process.exitCode();
}
