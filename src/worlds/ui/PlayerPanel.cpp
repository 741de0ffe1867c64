// The Player panel of the Launcher tab: the worlds, and Launch and Quit.
#include "app/ui/Form1.h"

#include "app/ui/ListBox.h"
#include "app/ui/PanelLayout.h"

#include <QLabel>
#include <QPushButton>

void Form1::createPlayerPanel(QWidget* page) {
    using namespace PanelLayout;
    const Control table[] = {
        {&Form1::PlayerPicBox, "PlayerPicBox", Kind::Panel, "", twips(120, 360, 6375, 3495)},
        // Its text is set once a game directory is known.
        {&Form1::PlayerLabel, "PlayerLabel", Kind::Label, "PlayerPicBox",
         twips(495, 180, 5415, 495), "", Font::Large},
        {&Form1::PlayerWorldList, "PlayerWorldList", Kind::List, "PlayerPicBox",
         twips(480, 840, 5415, 1980), "", Font::Large, Usable, "Worlds"},
        {&Form1::PlayerLaunchBtn, "PlayerLaunchBtn", Kind::Button, "PlayerPicBox",
         twips(1800, 3000, 1215, 375), "Launch", Font::Regular},
        {&Form1::PlayerQuitBtn, "PlayerQuitBtn", Kind::Button, "PlayerPicBox",
         twips(3360, 3000, 1215, 375), "Quit", Font::Regular}};
    makeControls(*this, page, table);
}
