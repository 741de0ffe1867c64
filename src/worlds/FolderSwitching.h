#pragma once

#include "app/FileSystem.h"
#include "gamedir/KVDirStuff.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

struct LauncherState;
class SettingsStore;

// Switching a world's folders in and out by renaming them within their parents.
// For a table entry P with last component N, world label L (state.dirLabel) and
// backup label B (state.backupLabel):
//   resting:     default folder N,        world's version N_L
//   switched in: default folder N-B,      world's version N
// Every rename goes through the file-system service and never replaces a folder.
namespace FolderSwitching {

// A folder that could not be renamed or looked into, and why.
struct Trouble {
    QString gameDir;      // the installation, ending with the separator
    QString relativePath; // the table entry; "" when a folder could not be listed
    QString folder;       // full path of the folder that was to be renamed or listed
    QString newName;      // the name it was to take; "" for a listing
    int systemError = 0;  // the system's error number, 0 when unknown
    int more = 0;         // further table entries in the same plight
    QStringList details;  // the system's own words and paths, for the label's tooltip
};
// Renames that failed, in the order they were tried.
using Failures = QList<Trouble>;

// Stows the default folder as N-B and gives the world's version the name N, with
// errors of the service ignored step by step (a failed rename is noted in failures,
// when given). When the world's version cannot take the name, the default folder
// goes back at once.
void SwitchFolderIn(LauncherState& state, const QString& P, Failures* failures = nullptr);
// Renames N back to N_L and N-B back to N, errors ignored step by step.
void SwitchFolderOut(LauncherState& state, const QString& P, Failures* failures = nullptr);
// Makes a new backup label and saves both labels together with the record of this
// switch (settings and their folder on disk before any folder is renamed; a
// SettingsError propagates and nothing is renamed), then switches every table
// folder in for which both folders exist. Records of other switches not yet undone
// are kept.
void SwitchWorldIn(LauncherState& state, SettingsStore& settings,
                   const KVDirStuff::GameFolderTable& table, Failures* failures = nullptr);
// Switches every entry still switched in under state.dirLabel / state.backupLabel
// out. An entry left with its default place empty and its stowed folder present
// (a switch cut short between its two renames) gets the stowed folder back. On a
// resting installation it renames nothing.
void SwitchWorldOut(LauncherState& state, const KVDirStuff::GameFolderTable& table,
                    Failures* failures = nullptr);
// The same for any installation and labels.
void SwitchOut(FileSystem& fileSystem, const QString& gameDir, const QString& dirLabel,
               const QString& backupLabel, const KVDirStuff::GameFolderTable& table,
               Failures* failures = nullptr);

// An installation as the listings of its folders show it, for one switch's labels.
// Names match the way the service looks them up (exactly, else without regard to
// case).
struct Survey {
    std::optional<Trouble> unread; // a folder that could not be listed: the rest is partial
    FolderId id;                   // the game directory's own
    QStringList folders;           // full paths of the listed parent folders
    QStringList stowed;            // full paths of default folders stowed under B
    QStringList stowedEntries;     // their table entries
    // Table entries whose world version still lies under its labelled name although
    // a default folder (in place or stowed) is there for it to replace.
    QStringList notSwitchedIn;
    bool isResting() const { return !unread && stowed.isEmpty(); }
};
Survey SurveyInstallation(FileSystem& fileSystem, const QString& gameDir, const QString& dirLabel,
                          const QString& backupLabel, const KVDirStuff::GameFolderTable& table);

// Full paths, as they are on disk, of the folders of any table entry still stowed
// under state.backupLabel; empty when the installation is resting.
QStringList StowedFolders(LauncherState& state, const KVDirStuff::GameFolderTable& table);

} // namespace FolderSwitching
