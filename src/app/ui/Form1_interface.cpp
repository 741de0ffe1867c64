// The interface mode: which of the two panels of the Launcher tab is shown. The
// panels' state and the setting "interfaceType" are the mode; nothing else keeps it.
#include "app/ui/Form1.h"

#include "app/SettingsStore.h"
#include "platform/Logging.h"

#include <QMessageBox>
#include <QRadioButton>

namespace {

// Selects an option button the way a click does: the button's click handler runs
// when it was not selected before (Qt raises no click for a program-made change).
void selectOption(QRadioButton* option, const std::function<void()>& clickHandler) {
    // Before the Configuration tab is made, the mode is the panels' alone.
    if (!option || option->isChecked())
        return;
    option->setChecked(true);
    clickHandler();
}

} // namespace

void Form1::SetPlayerInterface() {
    // The hidden panel is disabled first, so none of its controls keeps input or focus.
    // (A Creator panel made later opens so.)
    if (CreatorPicBox) {
        CreatorPicBox->setEnabled(false);
        CreatorPicBox->hide();
    }
    PlayerPicBox->raise();
    PlayerPicBox->show();
    PlayerPicBox->setEnabled(true);
    saveInterfaceType(QStringLiteral("0"));
    selectOption(InterfaceOption1, [this] { InterfaceOption1_Click(); });
}

void Form1::SetCreatorInterface() {
    PlayerPicBox->setEnabled(false);
    PlayerPicBox->hide();
    CreatorPicBox->raise();
    CreatorPicBox->show();
    CreatorPicBox->setEnabled(true);
    saveInterfaceType(QStringLiteral("1"));
    selectOption(InterfaceOption2, [this] { InterfaceOption2_Click(); });
}

void Form1::saveInterfaceType(const QString& type) {
    // The mode holds for this run either way; a start on a full disk (which rewrites
    // the mode saved) must not end the launcher, and a user's choice that cannot be
    // kept is said.
    try {
        services.settings->SaveSetting(kSettingsSection, kInterfaceTypeKey, type);
    } catch (const SettingsError& error) {
        qCWarning(lcApp).noquote() << error.message();
        if (!state.loading)
            QMessageBox::warning(this, windowTitle(), error.message());
    }
}

void Form1::InterfaceOption1_Click() {
    SetPlayerInterface();
}

void Form1::InterfaceOption2_Click() {
    SetCreatorInterface();
}
