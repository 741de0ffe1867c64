// The directory panel of the Configuration tab and the start-up check.
#include "app/Form1.h"

#include "gamedir/ui/DirListBox.h"
#include "gamedir/ui/DriveListBox.h"

void Form1::attachFileSystemToLists() {
    KVDirDir->setFileSystem(state.fileSystem.get());
    KVDirDrive->setFileSystem(state.fileSystem.get());
}
void Form1::CheckSavedGameDir() {}
void Form1::KVDirDrive_Change() {}
void Form1::KVDirDir_Change() {}
void Form1::SetDirPanelSearching() {}
void Form1::SetDirPanelValid() {}
void Form1::SetDirPanelInvalid() {}
