#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

class FileSystem;
class ProcessRunner;

namespace LaunchStuff {

// Why nothing was started (None after a start).
enum class StartProblem { None, Missing, NeedsWine, NotStarted };

// Runs a program of the installation (or the launcher folder): its name is
// resolved through the file-system service (so KORVATH2.EXE runs), a Windows
// program (a file that starts with "MZ") is started through Wine (WineProgram) on a
// system that is not Windows, in the Wine prefix that holds it if any, and the call
// waits for the program's end. Returns its
// exit code, or -1 at once when nothing started; problem, when given, says why, and
// reason, when given, the system's words for a program that could not be started.
int RunAndWait(ProcessRunner& runner, FileSystem& fileSystem, const QString& program,
               const QStringList& arguments, const QString& workingDirectory,
               const QMap<QString, QString>& environment = {}, StartProblem* problem = nullptr,
               QString* reason = nullptr);

// The Wine program: $WINE where it is set, as Wine's own tools take it (a path, or a
// name looked up on PATH), else wine on PATH; "" when that names no program.
QString WineProgram();
// The Wine prefix a program lies in: the nearest folder above it that holds
// "drive_c" and "system.reg"; "" outside any prefix.
QString WinePrefixOf(FileSystem& fileSystem, const QString& program);

// Whether the file starts with the two bytes of a Windows program ("MZ").
bool IsWindowsProgram(const QString& path);

} // namespace LaunchStuff
