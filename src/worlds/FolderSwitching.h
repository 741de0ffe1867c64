#pragma once

#include "app/FileSystem.h"
#include "app/Problem.h"
#include "gamedir/KVDirStuff.h"

#include <QHash>
#include <QList>
#include <QMap>
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
// Names are matched exactly. A name that differs from the one looked for only in
// letter case is taken where it alone could be meant (roster for Roster, or
// Roster_frostmarch for world Frostmarch while no world is called frostmarch), and
// every folder gets its own name back when the world is switched out. Every rename
// goes through the file-system service and never replaces a folder. The names
// themselves come from FolderNames.
namespace FolderSwitching {

// Renames that failed, in the order they were tried (kind FolderNotSwitchedIn or
// FolderNotPutBack, with the table entry and the name the folder was to take).
using Failures = QList<Problem>;

// An installation as the listings of its folders show it: the game directory and
// the parents of the table's entries, each found in its own parent's listing.
struct Look {
    QString gameDir; // as it is on disk, ending with the separator
    // A folder that could not be listed (FolderNotLookedInto): the rest is partial.
    std::optional<Problem> unread;
    FolderId id;                            // the game directory's own
    QHash<QString, FolderListing> listings; // by relative path of the folder ("" itself)
    QHash<QString, QString> paths;          // the same folders' paths, ending with separator

    // Whether the game directory holds a file (or anything but a folder) of that name.
    bool hasFile(const QString& name) const;
    // The listing of the folder that holds entry P (a relative path); nullptr when that
    // folder was not listed.
    const FolderListing* parentListing(const QString& P) const;
    // The labels of the world files in the game directory that pass
    // FolderNames::IsWorldLabel.
    QStringList worldLabels() const;
};
Look LookAt(FileSystem& fileSystem, const QString& gameDir,
            const KVDirStuff::GameFolderTable& table);

// The path of world dirLabel's own version of entry P, found by the rule the switch-in
// uses; "" when the world has none, or more than one folder could be it. The second
// form looks at the folders on the way to P only.
QString WorldFolder(const Look& look, const QString& P, const QString& dirLabel);
QString WorldFolder(FileSystem& fileSystem, const QString& gameDir, const QString& P,
                    const QString& dirLabel);

// Where world dirLabel's tomes lie while it rests, for the tome list and the tome
// script alike: its own tomes folder when WorldFolder finds one, else the default one.
struct TomesFolder {
    QString path;           // as it is on disk; "" when that folder does not exist
    bool worldsOwn = false; // the world's own folder, not the default one
};
TomesFolder TomesOf(FileSystem& fileSystem, const QString& gameDir, const QString& dirLabel);

// A default folder stowed under a backup label: N-B, or its on-disk spelling.
struct Stowed {
    QString relativePath; // the table entry
    QString parent;       // its parent folder, ending with the separator
    QString name;         // the stowed folder's name
    QString defaultName;  // the name it had, and takes back: name without "-B"
    QString backupLabel;
    QString path() const { return parent + name; }
};
// Every stowed folder of every table entry, under any backup label.
QList<Stowed> StowedFolders(const Look& look, const KVDirStuff::GameFolderTable& table);
// Those stowed under backupLabel.
QList<Stowed> StowedUnder(const Look& look, const KVDirStuff::GameFolderTable& table,
                          const QString& backupLabel);

// What a switch-in of world L will rename: per entry, the default folder and the
// world's version, by their names on disk.
struct Placement {
    QString gameDir; // as it is on disk, ending with the separator
    QString relativePath;
    QString parent; // ending with the separator
    QString defaultName;
    QString versionName;
};
struct Plan {
    QList<Placement> placements;
    // Folders of which more than one could be the world's version of an entry and
    // none has the exact name: the switch is refused, naming them.
    QStringList ambiguous;
    QStringList ambiguousEntries; // the table entries they belong to
};
Plan PlanSwitchIn(const Look& look, const KVDirStuff::GameFolderTable& table,
                  const QString& dirLabel);

// One switch: the world, the backup label and the versions' own names where they are
// not N_L (by table entry).
struct Switch {
    QString dirLabel;
    QString backupLabel;
    QMap<QString, QString> versionNames;
};

// Stows the default folder as D-B and gives the world's version the name D, with
// errors of the service ignored step by step. When the version cannot take the name,
// the default folder goes back. Returns the renames that failed.
Failures SwitchFolderIn(FileSystem& fileSystem, const Placement& placement,
                        const QString& backupLabel);
// What a switch-out did: the parent folders in which a name changed, and the renames
// that failed.
struct SwitchedOut {
    QStringList changed;
    Failures failures;
};
// Renames the version in the default place back to its own name and the stowed
// folder back to the default name, errors ignored step by step.
SwitchedOut SwitchFolderOut(FileSystem& fileSystem, const Look& look, const Stowed& stowed,
                            const Switch& sw);
// Switches out every entry stowed under sw.backupLabel (also one cut short between
// its two renames).
SwitchedOut SwitchOut(FileSystem& fileSystem, const Look& look,
                      const KVDirStuff::GameFolderTable& table, const Switch& sw);

// The switch-in of world state.dirLabel in state.gameDir, with the records that let
// any launcher finish it: a new backup label (state.backupLabel), the installation's
// own record (which also holds the installation while the launch runs) and both
// labels in the settings, all on disk before the first rename; then the renames.
struct SwitchInOutcome {
    // Why nothing was renamed: the installation could not be read (FolderNotRead), its
    // record could not be written, or folders that differ only in case make the world
    // ambiguous.
    std::optional<Problem> refused;
    QString gameDir;    // the game directory as it is on disk
    QString recordPath; // the installation's record, "" when none was written
    Plan plan;
    Failures failures; // the renames that failed
};
// A SettingsError propagates, with nothing renamed and no record left behind.
SwitchInOutcome SwitchWorldIn(LauncherState& state, SettingsStore& settings,
                              const KVDirStuff::GameFolderTable& table);
// Switches state.dirLabel / state.backupLabel out of state.gameDir, with the names
// its record keeps; on a resting installation it renames nothing. Once every folder
// is back and those renames are synced, the installation's record of this switch
// goes.
SwitchedOut SwitchWorldOut(LauncherState& state, const KVDirStuff::GameFolderTable& table);

// Full paths, as they are on disk, of the folders of any table entry still stowed
// under state.backupLabel; empty when the installation is resting.
QStringList StowedFolders(LauncherState& state, const KVDirStuff::GameFolderTable& table);

} // namespace FolderSwitching
