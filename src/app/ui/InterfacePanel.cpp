// The interface panel of the Configuration tab: the two option buttons of the mode.
#include "app/ui/Form1.h"

#include "app/ui/PanelLayout.h"

#include <QGroupBox>
#include <QRadioButton>

void Form1::createInterfacePanel(QWidget* page) {
    using namespace PanelLayout;
    const Control table[] = {
        {&Form1::InterfaceFrame, "InterfaceFrame", Kind::Frame, "", twips(240, 3120, 6135, 615),
         "Interface", Font::Bold},
        {&Form1::InterfaceOption1, "InterfaceOption1", Kind::Option, "InterfaceFrame",
         twips(1080, 240, 1815, 195), "Player Interface", Font::Bold, Selected},
        {&Form1::InterfaceOption2, "InterfaceOption2", Kind::Option, "InterfaceFrame",
         twips(3495, 240, 2055, 195), "Creator Interface", Font::Bold}};
    makeControls(*this, page, table);
}
