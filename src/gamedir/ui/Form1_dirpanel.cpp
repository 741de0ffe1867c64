// The directory panel of the Configuration tab and the start-up check.
#include "app/ui/Form1.h"

#include "app/SettingsStore.h"
#include "app/ui/TabControl.h"
#include "gamedir/ui/DirListBox.h"
#include "gamedir/ui/DriveListBox.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>

namespace {

const QString kNotAnInstallation =
    QStringLiteral("Warning: This directory does NOT contain a Korvath II installation. "
                   "Please select a different directory.");
const QString kSearching = QStringLiteral("\r\nSearching for Korvath II directory. Please wait...");

// The application-wide mouse pointer: 13 the busy arrow, 0 the default. The pointer
// is set, not stacked: whatever was set before is replaced, and 0 leaves no
// override at all, however often the busy pointer was set.
void setMousePointer(int pointer) {
    if (pointer == 13) {
        if (QApplication::overrideCursor())
            QApplication::changeOverrideCursor(Qt::BusyCursor);
        else
            QApplication::setOverrideCursor(Qt::BusyCursor);
        return;
    }
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

} // namespace

void Form1::attachFileSystemToLists() {
    KVDirDir->setFileSystem(state.fileSystem.get());
    KVDirDrive->setFileSystem(state.fileSystem.get());
    // The lists open on the process's current directory and the drive holding it.
    const QString current = QDir::currentPath();
    KVDirDir->showPathQuietly(current);
    KVDirDrive->showDriveOf(KVDirDir->Path().isEmpty() ? current : KVDirDir->Path());
}

void Form1::CheckSavedGameDir() {
    // Kept as it is on disk: a directory saved in another letter case, or without its
    // closing separator, is read as the folder it names.
    state.gameDir = KVDirStuff::ResolveGameDir(
        *state.fileSystem, services.settings->GetSetting(kSettingsSection, kGameDirKey));
    if (!state.gameDir.isEmpty() && KVDirStuff::IsGameDirectory(*state.fileSystem, state.gameDir))
        return;
    createLaterPanels();
    attachFileSystemToLists();
    SetDirPanelInvalid();
}

void Form1::showGameDirInLists() {
    attachFileSystemToLists();
    KVDirDrive->SetDrive(state.gameDir);
    // The directory list is checked again even when it shows the directory already.
    if (!KVDirDir->SetPath(state.gameDir))
        KVDirDir_Change();
    KVDirAutofindBtn->setEnabled(false);
}

void Form1::saveGameDir() {
    // The panel is already in its new state; a directory that cannot be saved is said
    // there, and the window stays usable.
    try {
        services.settings->SaveSetting(kSettingsSection, kGameDirKey, state.gameDir);
    } catch (const SettingsError& error) {
        showMessage(KVDirErrorLabel, error.message());
    }
}

void Form1::KVDirDrive_Change() {
    if (state.loading || dirPanel.movingLists)
        return;
    // A drive that cannot be read leaves the directory list and the panel as they are.
    try {
        const Folder root = state.fileSystem->RootFolder(KVDirDrive->currentDrive());
        KVDirDir->SetPath(root.Path());
    } catch (const LauncherError&) {
    }
}

void Form1::KVDirDir_Change() {
    const QChar separator = state.fileSystem->separator();
    KVDirDirLabel->setText(KVDirStuff::ShortenPath(KVDirDir->Path(), separator));
    QString directory = KVDirDir->Path();
    if (!directory.endsWith(separator))
        directory += separator;
    if (KVDirStuff::IsGameDirectory(*state.fileSystem, directory)) {
        state.gameDir = KVDirStuff::ResolveGameDir(*state.fileSystem, directory);
        SetDirPanelValid();
    } else {
        SetDirPanelInvalid();
    }
}

void Form1::SetDirPanelSearching() {
    KVDirDir->setEnabled(false);
    KVDirDrive->setEnabled(false);
    setMousePointer(13);
    KVDirErrorLabel->setText(kSearching);
    KVDirAutofindBtn->setText(QStringLiteral("Cancel"));
}

void Form1::SetDirPanelValid() {
    KVDirDir->setEnabled(true);
    KVDirDrive->setEnabled(true);
    setMousePointer(0);
    KVDirAutofindBtn->setText(QStringLiteral("Autofind"));
    KVDirAutofindBtn->setEnabled(false);
    KVDirErrorLabel->setText(QString());
    LauncherTabs->SetTabEnabled(tabIndex(u"launcher"), true);
    // Both lists go to the game directory. The drive list's move must not send the
    // directory list to the drive's root; the flag is restored, not cleared, as
    // this also runs nested inside itself and inside the start-up sequence.
    const bool wasMoving = dirPanel.movingLists;
    dirPanel.movingLists = true;
    try {
        KVDirDrive->SetDrive(state.gameDir);
        KVDirDir->SetPath(state.gameDir);
    } catch (...) {
        dirPanel.movingLists = wasMoving;
        throw;
    }
    dirPanel.movingLists = wasMoving;
    saveGameDir();
    gameDirAccepted();
}

void Form1::SetDirPanelInvalid() {
    state.gameDir.clear();
    KVDirDir->setEnabled(true);
    KVDirDrive->setEnabled(true);
    setMousePointer(0);
    LauncherTabs->SetTab(tabIndex(u"configuration"));
    LauncherTabs->SetTabEnabled(tabIndex(u"launcher"), false);
    KVDirErrorLabel->setText(kNotAnInstallation);
    KVDirAutofindBtn->setText(QStringLiteral("Autofind"));
    KVDirAutofindBtn->setEnabled(true);
    // With no directory shown at all there is nothing to name; "/" would mislead.
    if (!KVDirDir->Path().isEmpty())
        KVDirDirLabel->setText(
            KVDirStuff::ShortenPath(KVDirDir->Path(), state.fileSystem->separator()));
    saveGameDir();
    gameDirRejected();
}
