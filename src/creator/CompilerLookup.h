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
// packed file names as UTF-8 only under a UTF-8 locale, and a locale's name does not
// say whether the system has it (nor whether it is UTF-8, as "UTF-8" alone shows), so
// on a system other than Windows the compiler always runs with LC_ALL=C.UTF-8, which
// every Debian system has.
QMap<QString, QString> CompilerEnvironment();

// The compiler's report, written beside the script: where an author reads why an
// installer was not made (the panel shows its errors in the tooltip).
extern const QString kCompilerLogName; // "kvii.log"

// The compiler's arguments: warnings count as errors (a warning may mean files
// left out), the report goes to kCompilerLogName, then the script's name.
QStringList CompilerArguments();

// The user's own folder for the launcher's files, where packaging goes when the
// launcher's folder cannot be written: $XDG_DATA_HOME/Korvath II Launcher, by default
// ~/.local/share/Korvath II Launcher (no closing separator).
QString UserDataFolder();

} // namespace CompilerLookup
