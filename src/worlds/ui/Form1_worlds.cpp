// Worlds: the catalogue in the two world lists, switching, and the player launch.
#include "app/ui/Form1.h"

#include "app/ui/ListBox.h"
#include "worlds/DesktopEntries.h"
#include "worlds/WorldCatalogue.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMenu>

void Form1::ScanWorlds() {
    WorldList& worlds = state.Worlds();
    WorldCatalogue::ReadWorlds(*state.fileSystem, state.gameDir, worlds);
    QStringList names;
    names.reserve(worlds.Count());
    for (const WorldData& world : worlds)
        names.append(world.DisplayName());
    PlayerWorldList->addItems(names);
    CreatorWorldList->addItems(names);
    PlayerWorldList->SetSelected(0, true);
    // Raises the Creator panel's reaction to a selection change, which fills the tome
    // list with the first world's tomes.
    CreatorWorldList->SetSelected(0, true);
}
void Form1::WorldList_ContextMenu(ListBox* list, int index, const QPoint& globalPos) {
    WorldList& worlds = state.Worlds();
    if (state.gameDir.isEmpty() || index < 0 || index >= worlds.Count())
        return;
    const WorldData& world = worlds.Item(index + 1);
    QLabel* label = list == PlayerWorldList ? PlayerLabel : CreatorLabel;
    // One entry per world of this installation, in the desktop's applications menu.
    const bool listed = DesktopEntries::Exists(state.gameDir, world.DirLabel());
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("WorldMenu"));
    const QAction* entry = menu.addAction(listed ? QStringLiteral("Remove from Applications Menu")
                                                 : QStringLiteral("Add to Applications Menu"));
    if (menu.exec(globalPos) != entry)
        return;
    std::optional<Problem> refused;
    try {
        refused = listed ? DesktopEntries::Remove(state.gameDir, world.DirLabel()).refused
                         : DesktopEntries::Add(state.gameDir, world.DirLabel(), world.DisplayName(),
                                               QCoreApplication::applicationFilePath())
                               .refused;
    } catch (const FileSystemError& error) {
        refused = Problem::Of(listed ? Problem::Kind::MenuEntryNotRemoved
                                     : Problem::Kind::MenuEntryNotAdded,
                              DesktopEntries::PathFor(state.gameDir, world.DirLabel()), error);
    }
    if (refused) {
        refused->name = world.DisplayName();
        showProblem(label, *refused);
    }
}

// Switching itself (SwitchWorldIn, SwitchWorldOut) is the module FolderSwitching; the
// launch path (LaunchPlayerWorld, PlayerLaunchBtn_Click, SwitchSavedWorldOut,
// LaunchWorldProgram) lives in Form1_launch.cpp.
