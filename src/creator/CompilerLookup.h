#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

class FileSystem;

// Finding and starting the installer compiler of the packaging action.
namespace CompilerLookup {

// The compiler to run, as a full path, or "" when there is none: "makensis.exe" in
// the launcher folder; on a system other than Windows, when that is missing, a
// native "makensis" there, then "makensis" on the search path (searchPath holds the
// folders of PATH in order).
QString FindCompiler(FileSystem& fileSystem, const QString& launcherFolder,
                     const QStringList& searchPath);

// The folders of the PATH environment variable, in order.
QStringList SearchPathFromEnvironment();

// Overrides of the compiler's environment. The compiler reads the script and the
// packed file names as UTF-8 only under a UTF-8 locale, so a launcher running under
// another one starts it with LC_ALL=C.UTF-8. The three values are those of LC_ALL,
// LC_CTYPE and LANG.
QMap<QString, QString> CompilerEnvironment(const QString& lcAll, const QString& lcCtype,
                                           const QString& lang);
QMap<QString, QString> CompilerEnvironment(); // from the launcher's own environment

} // namespace CompilerLookup
