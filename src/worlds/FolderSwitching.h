#pragma once

#include "gamedir/KVDirStuff.h"

#include <QString>
#include <QStringList>

struct LauncherState;
class SettingsStore;

// Switching a world's folders in and out by renaming them within their parents.
// For a table entry P with last component N, world label L (state.dirLabel) and
// backup label B (state.backupLabel):
//   resting:     default folder N,        world's version N_L
//   switched in: default folder N-B,      world's version N
// Every rename goes through the file-system service and never replaces a folder.
namespace FolderSwitching {

// Stows the default folder as N-B and gives the world's version the name N, with
// errors of the service ignored step by step. When the world's version cannot take
// the name, the default folder goes back at once.
void SwitchFolderIn(LauncherState& state, const QString& P);
// Renames N back to N_L and N-B back to N, errors ignored step by step.
void SwitchFolderOut(LauncherState& state, const QString& P);
// Makes a new backup label and saves both labels (each write reaches the disk
// before any folder is renamed; a SettingsError propagates and nothing is renamed),
// then switches every table folder in for which both folders exist.
void SwitchWorldIn(LauncherState& state, SettingsStore& settings,
                   const KVDirStuff::GameFolderTable& table);
// Switches every entry still switched in under state.dirLabel / state.backupLabel
// out. An entry left with its default place empty and its stowed folder present
// (a switch cut short between its two renames) gets the stowed folder back. Runs
// at start-up as the recovery; on a resting installation it renames nothing.
void SwitchWorldOut(LauncherState& state, const KVDirStuff::GameFolderTable& table);
// Full paths, as they are on disk, of the folders of any table entry still stowed
// under state.backupLabel; empty when the installation is resting. Names are
// looked up through the service (so without regard to case where needed).
QStringList StowedFolders(LauncherState& state, const KVDirStuff::GameFolderTable& table);

} // namespace FolderSwitching
