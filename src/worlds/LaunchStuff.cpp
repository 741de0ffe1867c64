#include "worlds/LaunchStuff.h"

#include "app/FileSystem.h"
#include "platform/Logging.h"
#include "platform/ProcessRunner.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace LaunchStuff {

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

} // namespace LaunchStuff
