#pragma once

#include "app/Problem.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// One entry in the desktop's applications menu per world of an installation: clicking it
// runs `korvath2-launcher --world LABEL --game-dir DIR`. Entries carry keys of the
// launcher's own (X-Korvath-Launcher-GameDir, X-Korvath-Launcher-World), and only files
// with them, for that installation and world, are ever replaced or removed.
namespace DesktopEntries {

// $XDG_DATA_HOME/applications (~/.local/share/applications when XDG_DATA_HOME is unset,
// empty or not an absolute path), where entries go.
QString Folder();

// The path of the entry for world dirLabel ("" = default world) of the installation
// gameDir (the game directory as it is on disk; a missing closing "/" is added): one file
// per installation and world, directly in Folder(), named
// "korvath2-<slug of the label>-<hash of directory and label>.desktop", a valid desktop
// file id.
QString PathFor(const QString& gameDir, const QString& dirLabel);

// Whether the launcher's own entry for that world of that installation is at PathFor.
// Never throws: a file there that cannot be read counts as not the launcher's (Add and
// Remove then say why).
bool Exists(const QString& gameDir, const QString& dirLabel);

// What Add or Remove did: the entry's path; for Remove, whether the launcher's own entry
// was there and went. refused: nothing was done, because a file there is not the
// launcher's (EEXIST; it is left as it is) or, for Add, the label, the directory or the
// program holds a control character other than tab, newline and carriage return, which
// an entry cannot hold (EINVAL). The refusal is a MenuEntryNotAdded or
// MenuEntryNotRemoved problem naming the entry, with the reason in words.
struct Result {
    QString path;
    bool removed = false;
    std::optional<Problem> refused;
};

// Writes the entry (Name "Korvath II — displayName", Exec launcherProgram's absolute
// path with --world and --game-dir) atomically, creating the folder when missing. The
// launcher's own entry there is replaced. Throws FileSystemError naming the path and the
// reason when the folder or the file cannot be written.
Result Add(const QString& gameDir, const QString& dirLabel, const QString& displayName,
           const QString& launcherProgram);

// Removes the launcher's own entry for that world (at PathFor): nothing at the path is
// not an error. Throws FileSystemError naming the path and the reason when the file
// there cannot be read or removed.
Result Remove(const QString& gameDir, const QString& dirLabel);

// The keys of the file's [Desktop Entry] group with their values as written (escapes
// not yet read; the first of a repeated key). Empty when there is no file at path.
// Throws FileSystemError when it cannot be read or is not a regular file.
QMap<QString, QString> Read(const QString& path);

// A value as written, read as a string: \s \n \t \r \\ give space, newline, tab,
// carriage return and backslash.
QString StringValue(const QString& written);

// The argument list a desktop gets from an entry's Exec value as written: the string
// escapes are read first, then arguments split at spaces, double-quoted ones taken whole
// with \" \` \$ \\ inside them read as the character; "%%" is a "%", and other field
// codes expand to nothing (an argument that was only field codes is dropped). An
// unterminated quote gives an empty list: no desktop would start it.
QStringList ExecArguments(const QString& execValue);

} // namespace DesktopEntries
