// The Creator panel of the Launcher tab: the worlds and the tomes, the action
// chooser, and Launch and Quit. It lies where the Player panel lies, and opens
// hidden and disabled.
#include "app/ui/Form1.h"

#include "app/ui/ListBox.h"
#include "app/ui/PanelLayout.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

void Form1::createCreatorPanel(QWidget* page) {
    using namespace PanelLayout;
    const Control table[] = {
        {&Form1::CreatorPicBox, "CreatorPicBox", Kind::Panel, "", twips(120, 360, 6375, 3495), "",
         Font::Inherited, Disabled | Hidden},
        {&Form1::CreatorLabel, "CreatorLabel", Kind::Label, "CreatorPicBox",
         twips(255, 180, 5895, 495), kNoDirectoryText, Font::Large},
        {&Form1::CreatorWorldList, "CreatorWorldList", Kind::List, "CreatorPicBox",
         twips(240, 840, 5895, 1020), "", Font::Large, Usable, "Worlds"},
        {&Form1::CreatorTomeList, "CreatorTomeList", Kind::MultiList, "CreatorPicBox",
         twips(240, 2040, 5895, 780), "", Font::Large, Disabled, "Tomes",
         "The tomes of the world chosen last, for packaging"},
        {&Form1::CreatorCombo, "CreatorCombo", Kind::DropDown, "CreatorPicBox",
         twips(240, 3000, 3255, 315), "", Font::Regular, Usable, "Action"},
        {&Form1::CreatorLaunchBtn, "CreatorLaunchBtn", Kind::Button, "CreatorPicBox",
         twips(3600, 3000, 1215, 375), "Launch", Font::Regular},
        {&Form1::CreatorQuitBtn, "CreatorQuitBtn", Kind::Button, "CreatorPicBox",
         twips(4920, 3000, 1215, 375), "Quit", Font::Regular}};
    makeControls(*this, page, table);
}
