#include "creator/CompilerLookup.h"

#include "app/FileSystem.h"

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

QMap<QString, QString> CompilerEnvironment(const QString& lcAll, const QString& lcCtype,
                                           const QString& lang) {
    // The first of the three that is set decides the character set, as for any
    // program started with this environment.
    QString effective = lcAll;
    if (effective.isEmpty())
        effective = lcCtype;
    if (effective.isEmpty())
        effective = lang;
    const QString lower = effective.toLower();
    QMap<QString, QString> overrides;
#ifndef Q_OS_WIN
    if (!lower.contains(QLatin1String("utf-8")) && !lower.contains(QLatin1String("utf8")))
        overrides.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
#endif
    return overrides;
}

QMap<QString, QString> CompilerEnvironment() {
    return CompilerEnvironment(qEnvironmentVariable("LC_ALL"), qEnvironmentVariable("LC_CTYPE"),
                               qEnvironmentVariable("LANG"));
}

} // namespace CompilerLookup
