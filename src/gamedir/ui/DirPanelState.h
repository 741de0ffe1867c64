#pragma once

// What the window keeps about the directory panel of the Configuration tab.
struct DirPanelState {
    // The valid state is moving the drive and directory lists to the game directory:
    // the drive list's change must not send the directory list to the drive's root.
    bool movingLists = false;
};
