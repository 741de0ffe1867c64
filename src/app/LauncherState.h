#pragma once

#include "app/FileSystem.h"
#include "worlds/WorldList.h"

#include <QString>
#include <memory>

// The launcher's one state record, owned by the window and living as long as it.
struct LauncherState {
    QString gameDir;       // the game directory ending with the separator, or ""
    QString dirLabel;      // label of the world that is, or was last, switched in
    QString backupLabel;   // label under which the default folders were last stowed
    QString interfaceType; // the interface mode as read at start-up
    bool loading = false;
    bool searching = false;
    std::unique_ptr<FileSystem> fileSystem;
    std::unique_ptr<WorldList> worlds; // created empty on its first use: see Worlds()
    qint16 creatorWorldIndex = 0;

    WorldList& Worlds() {
        if (!worlds)
            worlds = std::make_unique<WorldList>();
        return *worlds;
    }
};
