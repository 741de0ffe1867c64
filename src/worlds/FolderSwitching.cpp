#include "worlds/FolderSwitching.h"

#include "app/LauncherState.h"
#include "app/SettingsStore.h"

namespace FolderSwitching {

void SwitchFolderIn(LauncherState&, const QString&) {}
void SwitchFolderOut(LauncherState&, const QString&) {}
void SwitchWorldIn(LauncherState&, SettingsStore&, const KVDirStuff::GameFolderTable&) {}
void SwitchWorldOut(LauncherState&, const KVDirStuff::GameFolderTable&) {}
QStringList StowedFolders(LauncherState&, const KVDirStuff::GameFolderTable&) {
    return {};
}

} // namespace FolderSwitching
