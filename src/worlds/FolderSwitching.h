#pragma once

#include "gamedir/KVDirStuff.h"

#include <QString>
#include <QStringList>

struct LauncherState;
class SettingsStore;

// Switching a world's folders in and out by renaming them within their parents.
namespace FolderSwitching {

void SwitchFolderIn(LauncherState& state, const QString& P);
void SwitchFolderOut(LauncherState& state, const QString& P);
// Makes a new backup label, saves both labels, switches every table folder in for
// which both folders exist.
void SwitchWorldIn(LauncherState& state, SettingsStore& settings,
                   const KVDirStuff::GameFolderTable& table);
// Switches every entry still switched in under state.dirLabel / state.backupLabel out.
void SwitchWorldOut(LauncherState& state, const KVDirStuff::GameFolderTable& table);
// Full paths of the folders still stowed under state.backupLabel (empty when the
// installation is resting).
QStringList StowedFolders(LauncherState& state, const KVDirStuff::GameFolderTable& table);

} // namespace FolderSwitching
