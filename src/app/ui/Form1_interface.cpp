// The interface mode: which of the two panels of the Launcher tab is shown. The
// panels' state and the setting "interfaceType" are the mode; nothing else keeps it.
#include "app/ui/Form1.h"

#include "app/SettingsStore.h"

#include <QRadioButton>

namespace {

// Selects an option button the way a click does: the button's click handler runs
// when it was not selected before (Qt raises no click for a program-made change).
void selectOption(QRadioButton* option, const std::function<void()>& clickHandler) {
    if (option->isChecked())
        return;
    option->setChecked(true);
    clickHandler();
}

} // namespace

void Form1::SetPlayerInterface() {
    // The hidden panel is disabled first, so none of its controls keeps input or focus.
    CreatorPicBox->setEnabled(false);
    CreatorPicBox->hide();
    PlayerPicBox->raise();
    PlayerPicBox->show();
    PlayerPicBox->setEnabled(true);
    services.settings->SaveSetting(kSettingsSection, kInterfaceTypeKey, QStringLiteral("0"));
    selectOption(InterfaceOption1, [this] { InterfaceOption1_Click(); });
}

void Form1::SetCreatorInterface() {
    PlayerPicBox->setEnabled(false);
    PlayerPicBox->hide();
    CreatorPicBox->raise();
    CreatorPicBox->show();
    CreatorPicBox->setEnabled(true);
    services.settings->SaveSetting(kSettingsSection, kInterfaceTypeKey, QStringLiteral("1"));
    selectOption(InterfaceOption2, [this] { InterfaceOption2_Click(); });
}

void Form1::InterfaceOption1_Click() {
    SetPlayerInterface();
}

void Form1::InterfaceOption2_Click() {
    SetCreatorInterface();
}
