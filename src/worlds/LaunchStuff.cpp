#include "worlds/LaunchStuff.h"

#include "app/FileSystem.h"

#include <QProcess>

int QProcessRunner::RunAndWait(const QString& program, const QStringList& arguments,
                               const QString& workingDirectory,
                               const QMap<QString, QString>& environment) {
    QProcess process;
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
    process.start();
    if (!process.waitForStarted(-1))
        return -1;
    process.waitForFinished(-1);
    return process.exitCode();
}

namespace LaunchStuff {

int RunAndWait(ProcessRunner& runner, FileSystem& fileSystem, const QString& program,
               const QStringList& arguments, const QString& workingDirectory,
               const QMap<QString, QString>& environment) {
    const QString resolved = fileSystem.resolveFile(program);
    if (resolved.isEmpty())
        return -1;
    return runner.RunAndWait(resolved, arguments, workingDirectory, environment);
}

} // namespace LaunchStuff
