// The Creator panel: action chooser, world and tome lists, launch dispatch.
#include "app/ui/Form1.h"

#include "app/SettingsStore.h"
#include "app/ui/ListBox.h"
#include "app/ui/ProblemTexts.h"
#include "app/ui/TabControl.h"
#include "creator/Packaging.h"
#include "worlds/FolderSwitching.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QUrl>

namespace {

enum CreatorAction { LaunchGame = 0, LaunchEditor = 1, Package = 2 };

} // namespace

void Form1::makeCreatorPanel() {
    if (CreatorPicBox)
        return;
    createCreatorPanel(LauncherTabs->page(tabIndex(u"launcher")));
    CreatorPicBox->stackUnder(PlayerPicBox); // until the Creator mode raises it
    connect(CreatorQuitBtn, &QPushButton::clicked, this, handled(&Form1::CreatorQuitBtn_Click));
    connect(CreatorLaunchBtn, &QPushButton::clicked, this, handled(&Form1::CreatorLaunchBtn_Click));
    // The chooser raises its handler only on the user's click; the lists on every
    // selection change, so the program's own selections there (at start-up and by
    // the rules) raise them as well.
    connect(CreatorCombo, QOverload<int>::of(&QComboBox::activated), this,
            handled(&Form1::CreatorCombo_Click));
    connect(CreatorWorldList, &QListWidget::itemSelectionChanged, this,
            handled(&Form1::CreatorWorldList_Click));
    connect(CreatorTomeList, &QListWidget::itemSelectionChanged, this,
            handled(&Form1::CreatorTomeList_Click));
    // A link in a label (the installer's folder) opens in the desktop's own program.
    connect(CreatorLabel, &QLabel::linkActivated, this,
            [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
    connectWorldListMenu(CreatorWorldList);
    FillCreatorActions();
    // Made once the start-up took the panels' texts: it says what the Player panel says.
    if (launchPanel.labelTexts.isEmpty())
        return;
    launchPanel.labelTexts.append(
        {CreatorLabel, state.gameDir.isEmpty() ? kNoDirectoryText : kCreatorWorldsText});
    showStartupLaunchState();
}

void Form1::FillCreatorActions() {
    {
        const QSignalBlocker blocker(CreatorCombo);
        CreatorCombo->addItem(QStringLiteral("Launch Korvath II"));
        CreatorCombo->addItem(QStringLiteral("Launch Korvath II Creator"));
        CreatorCombo->addItem(QStringLiteral("Launch Packaging Utility"));
        CreatorCombo->setCurrentIndex(LaunchGame);
    }
    CreatorCombo_Click();
}

void Form1::FillTomeList() {
    const QSignalBlocker blocker(CreatorTomeList);
    CreatorTomeList->clear();
    const int k = CreatorWorldList->ListIndex();
    WorldList& worlds = state.Worlds();
    if (k < 0 || k + 1 > worlds.Count())
        return;
    const QString L = worlds.Item(k + 1).DirLabel();
    FileSystem& fileSystem = *state.fileSystem;
    const QString folder = FolderSwitching::TomesOf(fileSystem, state.gameDir, L).path;
    // A world without a tomes folder (or one that cannot be read) has no tomes.
    if (folder.isEmpty())
        return;
    QList<Folder> tomes;
    try {
        tomes = fileSystem.GetFolder(folder).SubFolders();
    } catch (const FileSystemError&) {
        return;
    }
    for (const Folder& tome : tomes)
        CreatorTomeList->addItem(tome.Name());
}

void Form1::CreatorCombo_Click() {
    if (CreatorCombo->currentIndex() == Package) {
        CreatorTomeList->setEnabled(true);
        return;
    }
    CreatorTomeList->setEnabled(false);
    {
        const QSignalBlocker blocker(CreatorTomeList);
        for (int i = 0; i < CreatorTomeList->count(); ++i)
            CreatorTomeList->SetSelected(i, false);
    }
    if (CreatorWorldList->SelCount() == 0) {
        {
            const QSignalBlocker blocker(CreatorWorldList);
            CreatorWorldList->SetSelected(state.creatorWorldIndex, true);
        }
        CreatorWorldList_Click();
    }
}

void Form1::CreatorWorldList_Click() {
    if (CreatorWorldList->SelCount() != 1)
        return;
    FillTomeList();
    state.creatorWorldIndex = static_cast<qint16>(CreatorWorldList->ListIndex());
}

void Form1::CreatorTomeList_Click() {
    if (CreatorWorldList->SelCount() == 1) {
        state.creatorWorldIndex = static_cast<qint16>(CreatorWorldList->ListIndex());
        const QSignalBlocker blocker(CreatorWorldList);
        CreatorWorldList->clearSelection();
    } else if (CreatorTomeList->SelCount() == 0) {
        {
            const QSignalBlocker blocker(CreatorWorldList);
            CreatorWorldList->SetSelected(state.creatorWorldIndex, true);
        }
        CreatorWorldList_Click();
    }
}

void Form1::CreatorLaunchBtn_Click() {
    const OutOfUse outOfUse(*this, OutOfUse::Disabled);
    CreatorLaunch();
}

void Form1::CreatorLaunch() {
    const int action = CreatorCombo->currentIndex();
    if (action != LaunchGame && action != LaunchEditor && action != Package)
        return;
    // Without a catalogue (no game directory at start-up) there is no world to act on.
    if (CreatorWorldList->count() == 0 || state.Worlds().Count() == 0) {
        showMessage(CreatorLabel, ProblemTexts::kNoWorldsText);
        return;
    }
    if (action == Package) {
        creatorPackage();
        return;
    }
    const int k = CreatorWorldList->ListIndex();
    if (k < 0) {
        showMessage(CreatorLabel, QStringLiteral("Select a world first."));
        return;
    }
    LaunchWorldProgram(action == LaunchGame ? KVDirStuff::kGameExecutable
                                            : KVDirStuff::kEditorExecutable,
                       k, CreatorLabel);
}

void Form1::creatorPackage() {
    // Packaging writes "lastDirLabel", which must not be replaced while folders
    // stowed under the saved labels remain.
    if (!SwitchSavedWorldOut(CreatorLabel))
        return;
    const Packaging::Request request = packagingRequest(CreatorWorldList->SelCount() > 0);
    const Packaging::Outcome outcome =
        Packaging::Package(request, *state.fileSystem, *services.settings, *services.processRunner);
    if (outcome.dirLabelSaved)
        state.dirLabel = request.input.label;
    if (outcome.problem)
        showProblem(CreatorLabel, *outcome.problem);
    if (!outcome.ready)
        return;
    const QString folderShown = ProblemTexts::ShownFolder(outcome.folder);
    QString text = QStringLiteral("The installer is ready: setup.exe in %1").arg(folderShown);
    if (outcome.inDataFolder)
        text += QStringLiteral(" (the launcher's folder cannot be written)");
    text += QLatin1Char('.');
    showMessage(CreatorLabel, text, outcome.installer);
    // The folder's name is a link (by mouse, or Tab and Enter) that opens it in the
    // desktop's file manager: the data folder is hidden from most users.
    QString html = text.toHtmlEscaped();
    const QString shown = folderShown.toHtmlEscaped();
    html.replace(html.lastIndexOf(shown), shown.size(),
                 QStringLiteral("<a href=\"%1\">%2</a>")
                     .arg(QUrl::fromLocalFile(outcome.folder).toString(QUrl::FullyEncoded), shown));
    CreatorLabel->setTextFormat(Qt::RichText);
    CreatorLabel->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                          Qt::LinksAccessibleByKeyboard);
    CreatorLabel->setText(html);
}

Packaging::Request Form1::packagingRequest(bool worldScript) {
    Packaging::Request request;
    request.worldScript = worldScript;
    request.launcherFolder = services.launcherFolder;
    request.dataFolder = services.dataFolder;
    ScriptWriters::ScriptInput& input = request.input;
    input.gameDir = state.gameDir;
    input.separator = state.fileSystem->separator();
    input.folders = &gameFolderTable;
    const int index = state.creatorWorldIndex;
    input.label = state.Worlds().Item(index + 1).DirLabel();
    if (worldScript) {
        if (const QListWidgetItem* line = CreatorWorldList->item(index))
            input.displayName = line->text();
    } else {
        for (int i = 0; i < CreatorTomeList->count(); ++i) {
            if (CreatorTomeList->Selected(i))
                input.tomes.append(CreatorTomeList->item(i)->text());
        }
    }
    return request;
}

void Form1::writeScript(bool worldScript) {
    const Packaging::Request request = packagingRequest(worldScript);
    if (const std::optional<Problem> refused = Packaging::Refusal(request, *state.fileSystem)) {
        showProblem(CreatorLabel, *refused);
        return;
    }
    state.dirLabel = request.input.label;
    Packaging::WriteScript(request, services.launcherFolder, *state.fileSystem, *services.settings);
}

void Form1::WriteWorldScript() {
    writeScript(true);
}

void Form1::WriteTomeScript() {
    writeScript(false);
}
