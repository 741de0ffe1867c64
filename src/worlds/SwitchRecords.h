#pragma once

#include "worlds/FolderSwitching.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

class FileSystem;
struct LauncherState;
class SettingsStore;

// The record of every switch not yet undone, each with the installation it was made
// in, so that a launch in one installation never makes the launcher forget another
// installation's stowed folders.
//
// The records lie in the setting "pendingSwitches" (section "Settings") as a JSON
// array of {"gameDir", "dirLabel", "backupLabel"}, oldest first; "" or [] when every
// switch has been undone. A switch-in adds its record in the same write as
// "lastBackupLabel" and "lastDirLabel"; the record goes once its installation has
// been seen resting, with the renames that made it so synced to disk.
namespace SwitchRecords {

struct Record {
    QString gameDir; // ending with the separator
    QString dirLabel;
    QString backupLabel;
};

// The records in the settings. A value that cannot be read holds no record.
QList<Record> Pending(SettingsStore& settings);
QString Encode(const QList<Record>& records);

// For a settings file of a launcher that kept no records: its labels belong to the
// game directory it worked in (savedGameDir, the setting "KVDir" as saved), and
// become that directory's record. Does nothing once records are kept.
void AdoptEarlierLabels(SettingsStore& settings, const QString& savedGameDir);

// Puts back the folders of every recorded switch whose installation can be reached
// (its game directory holds the game), newest first, and removes the records of
// those that are resting afterwards. Records of installations that cannot be
// reached are kept, however long it takes.
struct RestoreOutcome {
    QList<Record> restored;                      // gone: every folder is back
    QList<Record> unreachable;                   // kept: the installation cannot be reached
    QList<FolderSwitching::Trouble> notRestored; // kept: folders there are still stowed
};
RestoreOutcome RestoreReachable(FileSystem& fileSystem, SettingsStore& settings,
                                const KVDirStuff::GameFolderTable& table);

// The switching around one launch in state.gameDir of the world state.dirLabel:
// switch-in, a check that every folder of the world took its place, run() only when
// they all did, switch-out, and the record removed once the installation rests.
struct LaunchOutcome {
    bool started = false;
    std::optional<FolderSwitching::Trouble> notSwitchedIn; // why run() did not run
    std::optional<FolderSwitching::Trouble> notRestored;   // folders still stowed afterwards
};
LaunchOutcome SwitchedLaunch(LauncherState& state, SettingsStore& settings,
                             const KVDirStuff::GameFolderTable& table,
                             const std::function<void()>& run);

// What the player is told, in the panel's label.
QString SwitchInFailureText(const FolderSwitching::Trouble& trouble);
QString RestoreFailureText(const FolderSwitching::Trouble& trouble);
QString UnreachableText(const QList<Record>& unreachable);

} // namespace SwitchRecords
