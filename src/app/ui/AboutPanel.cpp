// The About tab: Gustav the Marmoset with his advice, and the credits. Nothing on it
// reacts to the mouse.
#include "app/ui/Form1.h"

#include "app/Version.h"
#include "app/ui/PanelLayout.h"

#include <QFrame>
#include <QLabel>

void Form1::createAboutPanel(QWidget* page) {
    using namespace PanelLayout;
    const Control table[] = {
        {&Form1::Image1, "Image1", Kind::Picture, "", twips(240, 510, 1860, 3210), "",
         Font::Inherited, Passive, "Gustav the Marmoset",
         "Gustav the Marmoset, the launcher's mascot, sits on a branch below a speech "
         "bubble that holds his advice"},
        // On the mascot's speech bubble. A short quote starts with a line break for
        // its place in the bubble, which is not read out.
        {&Form1::QuoteLabel, "QuoteLabel", Kind::Label, "", twips(375, 645, 1605, 1620), "",
         Font::Regular, Passive | ReadTrimmed},
        // From (2310, 540) down to (2310, 3690).
        {&Form1::Line1, "Line1", Kind::Line, "", twips(2310, 540, 15, 3150), "", Font::Inherited,
         Passive},
        {&Form1::Image2, "Image2", Kind::Picture, "", twips(2475, 540, 3930, 3150), "",
         Font::Inherited, Passive, "Credits",
         QStringLiteral("Korvath II World Launcher, version %1. Launcher: The Korvath II "
                        "Launcher Team. Mascot: Gustav the Marmoset, as himself.")
             .arg(kApplicationVersion)}};
    makeControls(*this, page, table);
}
