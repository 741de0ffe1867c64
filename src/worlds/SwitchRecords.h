#pragma once

#include "worlds/FolderSwitching.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

class FileSystem;
struct LauncherState;
class SettingsStore;

// What is switched in, and finishing it. The installation decides: its own record
// (InstallationRecord) and the folders stowed under a backup label say what is
// switched in there, whichever launcher, settings home or path spelling looks. The
// settings keep their labels and a list of the switches not yet undone, for an
// earlier release of the launcher and to say where else to look.
//
// The list lies in the setting "pendingSwitches" (section "Settings") as a JSON
// array of {"gameDir", "dirLabel", "backupLabel", "id"}, oldest first; "" or [] when
// every switch has been undone. A switch-in adds its record in the same write as
// "lastBackupLabel" and "lastDirLabel"; the record goes once its installation has
// been seen resting.
namespace SwitchRecords {

struct Record {
    QString gameDir; // ending with the separator (an earlier release's may not)
    QString dirLabel;
    QString backupLabel;
    QString id = QString(); // the game directory's identity at the switch ("" unknown)
};

// The records in the settings. A value that cannot be read holds no record.
QList<Record> Pending(SettingsStore& settings);
QString Encode(const QList<Record>& records);
// A folder's identity as a record keeps it.
QString IdText(const FolderId& id);

// For a settings file of a launcher that kept no records: its labels belong to the
// game directory it worked in (savedGameDir, the setting "KVDir" as saved), and
// become that directory's record. Does nothing once records are kept.
void AdoptEarlierLabels(SettingsStore& settings, const QString& savedGameDir);

// One installation, looked at and finished where that may be done: a switch that was
// cut short is switched out (the installation's record decides; where it keeps none,
// folders stowed under a backup label that the settings know are switched out with
// the labels the settings keep for it), the renames are synced and the record goes.
struct Settled {
    enum class State {
        Resting,     // nothing is switched in (any more)
        Held,        // a program runs from it, or the launcher that started one (problem)
        Blocked,     // something stays switched in: problem says what
        Unreachable, // no game there
    };
    State state = State::Resting;
    QString gameDir; // as it is on disk ("" when it cannot be reached)
    FolderId id;
    QStringList putBack;      // worlds whose folders were put back
    QStringList backupLabels; // switches that are over there (put back, or found resting)
    std::optional<Problem> problem;
};
Settled Settle(FileSystem& fileSystem, SettingsStore& settings,
               const KVDirStuff::GameFolderTable& table, const QString& gameDir);

// Settles the given game directories and every installation the settings list a
// switch for (each once, newest first), and drops the settings' records of those
// that rest. Records of installations that cannot be reached are kept, however long
// it takes.
struct PutBack {
    QString gameDir;
    QString dirLabel;
};
struct RestoreOutcome {
    QList<PutBack> putBack;    // folders put back, by installation and world
    QList<Record> unreachable; // kept: the installation cannot be reached
    QList<Record> elsewhere;   // dropped: the path leads to another installation now
    QList<Settled> settled;    // every installation looked at, in order
    const Settled* find(const QString& gameDir) const; // one of settled, by its path
    // Those where something stays switched in (Blocked: problem says why), or where a
    // program runs (Held: nothing was touched).
    QList<Settled> in(Settled::State state) const;
    // What still waits to be put back, the weightiest first: folders that could not be
    // put back, a program that another launcher started from gameDir, or switches
    // whose installations cannot be reached (SwitchUnreachable).
    std::optional<Problem> waiting(const QString& gameDir) const;
};
RestoreOutcome RestoreReachable(FileSystem& fileSystem, SettingsStore& settings,
                                const KVDirStuff::GameFolderTable& table,
                                const QStringList& gameDirs = {});

// The switching around one launch in state.gameDir of the world state.dirLabel:
// switch-in, a check that every folder of the world took its place, run() only when
// they all did, switch-out, and the records removed once the installation rests.
// run() is given the installation's record (the hold file of the programs it starts),
// "" when none could be written for the default world.
struct LaunchOutcome {
    bool started = false;
    std::optional<Problem> notSwitchedIn; // why run() did not run
    std::optional<Problem> notRestored;   // what stays switched in afterwards
};
LaunchOutcome SwitchedLaunch(LauncherState& state, SettingsStore& settings,
                             const KVDirStuff::GameFolderTable& table,
                             const std::function<void(const QString& holdFile)>& run);

} // namespace SwitchRecords
