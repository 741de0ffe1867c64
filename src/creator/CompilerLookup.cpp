#include "creator/CompilerLookup.h"

#include "app/FileSystem.h"
#include "creator/ScriptWriters.h"

#include <QDir>
#include <QStandardPaths>

namespace CompilerLookup {

QString FindCompiler(FileSystem& fileSystem, const QString& launcherFolder,
                     const QStringList& searchPath) {
    const QString base = launcherFolder.endsWith(fileSystem.separator())
                             ? launcherFolder
                             : launcherFolder + fileSystem.separator();
    QString found = fileSystem.resolveFile(base + QStringLiteral("makensis.exe"));
#ifndef Q_OS_WIN
    if (found.isEmpty())
        found = fileSystem.resolveFile(base + QStringLiteral("makensis"));
    if (found.isEmpty() && !searchPath.isEmpty())
        found = QStandardPaths::findExecutable(QStringLiteral("makensis"), searchPath);
#else
    Q_UNUSED(searchPath);
#endif
    return found;
}

QStringList SearchPathFromEnvironment() {
#ifdef Q_OS_WIN
    const QChar listSeparator = QLatin1Char(';');
#else
    const QChar listSeparator = QLatin1Char(':');
#endif
    return qEnvironmentVariable("PATH").split(listSeparator, Qt::SkipEmptyParts);
}

QMap<QString, QString> CompilerEnvironment() {
    QMap<QString, QString> overrides;
#ifndef Q_OS_WIN
    overrides.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
#endif
    return overrides;
}

const QString kCompilerLogName = QStringLiteral("kvii.log");

QStringList CompilerArguments() {
    return {QStringLiteral("-WX"), QStringLiteral("-O") + kCompilerLogName,
            ScriptWriters::kScriptName};
}

QString UserDataFolder() {
    return QDir::toNativeSeparators(
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/Korvath II Launcher"));
}

} // namespace CompilerLookup
