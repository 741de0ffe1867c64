// The directory panel of the Configuration tab: the directory and drive lists,
// Autofind, and the setting shown with what is wrong with it.
#include "app/ui/Form1.h"

#include "app/ui/PanelLayout.h"
#include "gamedir/ui/DirListBox.h"
#include "gamedir/ui/DriveListBox.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

void Form1::createDirPanel(QWidget* page) {
    using namespace PanelLayout;
    const Control table[] = {
        {&Form1::KVDirFrame, "KVDirFrame", Kind::Frame, "", twips(240, 480, 6135, 2535),
         "Korvath II Directory", Font::Bold},
        {&Form1::KVDirDir, "KVDirDir", Kind::DirList, "KVDirFrame", twips(120, 360, 3135, 1440), "",
         Font::Regular, Usable, "Directory",
         "The folders of the chosen directory; choose the Korvath II directory"},
        {&Form1::KVDirDrive, "KVDirDrive", Kind::DriveList, "KVDirFrame",
         twips(120, 1920, 3135, 315), "", Font::Regular, Usable, "Drive"},
        {&Form1::KVDirAutofindBtn, "KVDirAutofindBtn", Kind::Button, "KVDirFrame",
         twips(3600, 1920, 2175, 375), "Autofind", Font::Regular, Disabled},
        {&Form1::KVDirSettingLabel, "KVDirSettingLabel", Kind::Label, "KVDirFrame",
         twips(3480, 360, 2535, 255), "Current Setting:", Font::Bold},
        {&Form1::KVDirDirLabel, "KVDirDirLabel", Kind::Label, "KVDirFrame",
         twips(3480, 600, 2535, 420), "NONE SELECTED", Font::Regular},
        // The searching message starts with a line break for its place in the box,
        // which is not read out.
        {&Form1::KVDirErrorLabel, "KVDirErrorLabel", Kind::Label, "KVDirFrame",
         twips(3480, 1080, 2535, 615),
         "Warning: This directory does NOT contain a Korvath II installation. Please select "
         "a different directory.",
         Font::Regular, ReadTrimmed}};
    makeControls(*this, page, table);
    // "Current Setting:" labels the directory shown below it.
    KVDirSettingLabel->setBuddy(KVDirDirLabel);
}
