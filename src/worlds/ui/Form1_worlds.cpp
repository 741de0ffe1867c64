// Worlds: the catalogue in the two world lists, switching, and the player launch.
#include "app/ui/Form1.h"

#include "app/ui/ListBox.h"
#include "worlds/DesktopEntries.h"
#include "worlds/WorldCatalogue.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMenu>

void Form1::ScanWorlds() {
    // At start-up the lists' first lines are all the first frame shows of the
    // catalogue: the other worlds' names are read just after it.
    const bool starting = state.loading;
    int shownLines = 0;
    for (const ListBox* list : {PlayerWorldList, CreatorWorldList}) {
        if (list)
            shownLines = std::max(shownLines, list->height() / list->fontMetrics().height() + 1);
    }
    const QStringList unnamed =
        WorldCatalogue::ReadWorlds(*state.fileSystem, state.gameDir, state.Worlds(),
                                   starting ? shownLines : std::numeric_limits<int>::max());
    if (!unnamed.isEmpty()) {
        afterFirstFrame([this, unnamed, first = state.Worlds().Count() - int(unnamed.size()) + 1] {
            WorldCatalogue::ReadNames(state.Worlds(), first, unnamed);
            for (ListBox* list : {PlayerWorldList, CreatorWorldList}) {
                for (int position = first; list && position <= state.Worlds().Count(); ++position) {
                    if (QListWidgetItem* line = list->item(position - 1))
                        line->setText(state.Worlds().Item(position).DisplayName());
                }
            }
        });
    }
    // Selecting the Creator panel's first world raises its reaction to a selection
    // change, which fills the tome list with that world's tomes.
    for (ListBox* Form1::*member : {&Form1::PlayerWorldList, &Form1::CreatorWorldList}) {
        // The Creator panel may be made after this.
        const auto fill = [this, member] {
            ListBox* const list = this->*member;
            QStringList names;
            for (const WorldData& world : state.Worlds())
                names.append(world.DisplayName());
            list->addItems(names);
            list->SetSelected(0, true);
        };
        // At start-up the panel the first frame does not show is filled just after it.
        if (starting && (!(this->*member) || !(this->*member)->isVisibleTo(this)))
            afterFirstFrame(fill);
        else
            fill();
    }
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
