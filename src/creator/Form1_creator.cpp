// The Creator panel: action chooser, world and tome lists, launch dispatch.
#include "app/Form1.h"

#include "app/SettingsStore.h"
#include "app/ui/ListBox.h"
#include "creator/CompilerLookup.h"
#include "creator/ScriptWriters.h"
#include "worlds/LaunchStuff.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QSignalBlocker>

namespace {

const QString kNoWorldsText =
    QStringLiteral("No worlds are listed: no Korvath II directory was known when the launcher "
                   "started. Start the launcher again.");
const QString kEditorExecutable = QStringLiteral("worldforge2.exe");

enum CreatorAction { LaunchGame = 0, LaunchEditor = 1, Package = 2 };

void showMessage(QLabel* label, const QString& text, const QString& details = QString()) {
    label->setText(text);
    label->setToolTip(details);
}

} // namespace

struct Form1::CreatorScript {
    ScriptWriters::ScriptInput input;
};

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
    QString folder = state.gameDir + QStringLiteral("Tomes");
    if (!L.isEmpty() && fileSystem.FolderExists(folder + QLatin1Char('_') + L))
        folder += QLatin1Char('_') + L;
    // A world without a tomes folder (or one that cannot be read) has no tomes.
    if (!fileSystem.FolderExists(folder))
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
    setEnabled(false);
    struct BackInUse {
        Form1* window;
        ~BackInUse() {
            // Clicks and keys that queued up while the window was out of use reach
            // it disabled and are dropped, instead of acting once it is back.
            QCoreApplication::processEvents();
            window->setEnabled(true);
        }
    } backInUse{this};
    CreatorLaunch();
}

void Form1::CreatorLaunch() {
    const int action = CreatorCombo->currentIndex();
    if (action != LaunchGame && action != LaunchEditor && action != Package)
        return;
    // Without a catalogue (no game directory at start-up) there is no world to act on.
    if (CreatorWorldList->count() == 0 || state.Worlds().Count() == 0) {
        showMessage(CreatorLabel, kNoWorldsText);
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
    LaunchWorldProgram(action == LaunchGame ? KVDirStuff::kGameExecutable : kEditorExecutable, k,
                       CreatorLabel);
}

void Form1::creatorPackage() {
    // Packaging writes "lastDirLabel", which must not be replaced while folders
    // stowed under the saved labels remain.
    if (!SwitchSavedWorldOut(CreatorLabel))
        return;
    const bool worldScript = CreatorWorldList->SelCount() > 0;
    {
        const CreatorScript script = creatorScript(worldScript);
        const QString problem = worldScript ? ScriptWriters::WorldScriptProblem(script.input)
                                            : ScriptWriters::TomeScriptProblem(script.input);
        if (!problem.isEmpty()) {
            showMessage(CreatorLabel, problem);
            return;
        }
    }

    FileSystem& fileSystem = *state.fileSystem;
    const QChar sep = fileSystem.separator();
    QString launcherFolder = services.launcherFolder;
    if (launcherFolder.endsWith(sep) && launcherFolder.size() > 1)
        launcherFolder.chop(1);
    const QString outputFolder = launcherFolder + sep + QStringLiteral("output");
    try {
        if (!fileSystem.FolderExists(outputFolder))
            fileSystem.CreateFolder(outputFolder);
        const QString refused = writeCreatorScript(worldScript);
        if (!refused.isEmpty()) {
            showMessage(CreatorLabel, refused);
            return;
        }
    } catch (const FileSystemError& error) {
        showMessage(CreatorLabel,
                    QStringLiteral("Nothing was packaged: the installer script could not be "
                                   "written in the launcher's folder."),
                    error.message());
        return;
    }

    const QString compiler = CompilerLookup::FindCompiler(
        fileSystem, launcherFolder, CompilerLookup::SearchPathFromEnvironment());
    if (compiler.isEmpty()) {
        showMessage(CreatorLabel,
                    QStringLiteral("The script kvii.nsi is written, but no installer compiler "
                                   "(makensis) was found beside the launcher or on the PATH."));
        return;
    }
    LaunchStuff::StartProblem problem = LaunchStuff::StartProblem::None;
    const int exitCode = LaunchStuff::RunAndWait(*services.processRunner, fileSystem, compiler,
                                                 {ScriptWriters::kScriptName}, launcherFolder,
                                                 CompilerLookup::CompilerEnvironment(), &problem);
    const QString installer = outputFolder + sep + QStringLiteral("setup.exe");
    if (problem == LaunchStuff::StartProblem::NeedsWine)
        showMessage(CreatorLabel,
                    QStringLiteral("The installer compiler makensis.exe is a Windows program. "
                                   "Install Wine to run it, then click Launch again."),
                    compiler);
    else if (problem != LaunchStuff::StartProblem::None)
        showMessage(CreatorLabel,
                    QStringLiteral("The installer compiler could not be started, so no "
                                   "installer was made."),
                    compiler);
    else if (exitCode == 0)
        showMessage(CreatorLabel,
                    QStringLiteral("The installer is ready: setup.exe in the output folder "
                                   "beside the launcher."),
                    installer);
    else
        showMessage(CreatorLabel,
                    QStringLiteral("The installer compiler stopped with errors (exit code %1); "
                                   "no new installer was made.")
                        .arg(exitCode),
                    compiler);
}

Form1::CreatorScript Form1::creatorScript(bool worldScript) {
    FileSystem& fileSystem = *state.fileSystem;
    const QChar sep = fileSystem.separator();
    CreatorScript script;
    ScriptWriters::ScriptInput& input = script.input;
    input.gameDir = state.gameDir;
    input.separator = sep;
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
    QString launcherFolder = services.launcherFolder;
    if (!launcherFolder.endsWith(sep))
        launcherFolder += sep;
    input.scriptPath = launcherFolder + ScriptWriters::kScriptName;
    return script;
}

QString Form1::writeCreatorScript(bool worldScript) {
    const CreatorScript script = creatorScript(worldScript);
    const QString problem = worldScript ? ScriptWriters::WorldScriptProblem(script.input)
                                        : ScriptWriters::TomeScriptProblem(script.input);
    if (!problem.isEmpty())
        return problem;
    state.dirLabel = script.input.label;
    return worldScript ? ScriptWriters::WriteWorldScript(script.input, *state.fileSystem,
                                                         *services.settings)
                       : ScriptWriters::WriteTomeScript(script.input, *state.fileSystem,
                                                        *services.settings);
}

void Form1::WriteWorldScript() {
    const QString refused = writeCreatorScript(true);
    if (!refused.isEmpty())
        showMessage(CreatorLabel, refused);
}

void Form1::WriteTomeScript() {
    const QString refused = writeCreatorScript(false);
    if (!refused.isEmpty())
        showMessage(CreatorLabel, refused);
}
