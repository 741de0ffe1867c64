// Worlds: the catalogue in the two world lists, switching, and the player launch.
#include "app/ui/Form1.h"

#include "app/ui/ListBox.h"
#include "worlds/WorldCatalogue.h"

void Form1::ScanWorlds() {
    WorldList& worlds = state.Worlds();
    WorldCatalogue::ReadWorlds(*state.fileSystem, state.gameDir, worlds);
    for (const WorldData& world : worlds) {
        PlayerWorldList->addItem(world.DisplayName());
        CreatorWorldList->addItem(world.DisplayName());
    }
    PlayerWorldList->SetSelected(0, true);
    // Raises the Creator panel's reaction to a selection change.
    CreatorWorldList->SetSelected(0, true);
}
// Switching itself (SwitchWorldIn, SwitchWorldOut) is the module FolderSwitching; the
// launch path (LaunchPlayerWorld, PlayerLaunchBtn_Click, SwitchSavedWorldOut,
// LaunchWorldProgram) lives in Form1_launch.cpp.
