// The Creator panel: action chooser, world and tome lists, launch dispatch.
#include "app/ui/Form1.h"

#include "app/SettingsStore.h"
#include "app/ui/ListBox.h"
#include "creator/CompilerLookup.h"
#include "creator/ScriptWriters.h"
#include "worlds/LaunchStuff.h"
#include "worlds/WorldLaunch.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QSignalBlocker>
#include <QStandardPaths>

namespace {

const QString kEditorExecutable = QStringLiteral("worldforge2.exe");

enum CreatorAction { LaunchGame = 0, LaunchEditor = 1, Package = 2 };

#ifdef Q_OS_WIN
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

QString withoutClosingSeparator(QString path, QChar separator) {
    if (path.size() > 1 && path.endsWith(separator))
        path.chop(1);
    return path;
}

// Creates the folder and any missing folder above it.
void createFolderPath(FileSystem& fileSystem, const QString& path) {
    if (fileSystem.FolderExists(path))
        return;
    const int cut = path.lastIndexOf(fileSystem.separator());
    if (cut > 0)
        createFolderPath(fileSystem, path.left(cut));
    fileSystem.CreateFolder(path);
}

// A folder as a message names it: the home folder as "~", a long path shortened.
QString shownFolder(const QString& path, QChar separator) {
    const QString home =
        QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::HomeLocation));
    QString shown = path;
    if (!home.isEmpty() && path.startsWith(home + separator))
        shown = QLatin1Char('~') + path.mid(home.size());
    if (shown.size() <= 70)
        return shown;
    const int last = shown.lastIndexOf(separator);
    return KVDirStuff::ShortenPath(shown.left(last), separator) + shown.mid(last);
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
        showMessage(CreatorLabel, WorldLaunch::kNoWorldsText);
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
    FileSystem& fileSystem = *state.fileSystem;
    {
        const CreatorScript script = creatorScript(worldScript, QString());
        QString problem = worldScript ? ScriptWriters::WorldScriptProblem(script.input)
                                      : ScriptWriters::TomeScriptProblem(script.input);
        // A name the compiler cannot read would crash it or lose files silently.
        if (problem.isEmpty())
            problem = ScriptWriters::PackedContentProblem(script.input, fileSystem, worldScript);
        if (!problem.isEmpty()) {
            showMessage(CreatorLabel, problem);
            return;
        }
    }

    const QChar sep = fileSystem.separator();
    const QString launcherFolder = withoutClosingSeparator(services.launcherFolder, sep);
    const QString dataFolder = withoutClosingSeparator(services.dataFolder, sep);
    // The launcher's folder first, where authors have always found output/setup.exe;
    // a launcher installed for all users cannot write there, so then the user's own
    // data folder.
    QString workFolder;
    QStringList errors;
    for (const QString& folder : {launcherFolder, dataFolder}) {
        if (folder.isEmpty())
            continue;
        try {
            createFolderPath(fileSystem, folder + sep + QStringLiteral("output"));
            const QString refused = writeCreatorScript(worldScript, folder);
            if (!refused.isEmpty()) {
                showMessage(CreatorLabel, refused);
                return;
            }
            workFolder = folder;
            break;
        } catch (const FileSystemError& error) {
            errors.append(error.message());
        }
    }
    if (workFolder.isEmpty()) {
        showMessage(CreatorLabel,
                    dataFolder.isEmpty()
                        ? QStringLiteral("Nothing was packaged: the installer script could not be "
                                         "written in the launcher's folder.")
                        : QStringLiteral("Nothing was packaged: the installer script could not be "
                                         "written in the launcher's folder or in %1.")
                              .arg(shownFolder(dataFolder, sep)),
                    errors.join(QLatin1Char('\n')));
        return;
    }

    const QString compiler = CompilerLookup::FindCompiler(
        fileSystem, launcherFolder, CompilerLookup::SearchPathFromEnvironment());
    if (compiler.isEmpty()) {
        showMessage(CreatorLabel,
                    QStringLiteral("The script kvii.nsi is written, but no installer compiler "
                                   "(makensis) was found beside the launcher or on the PATH."),
                    workFolder + sep + ScriptWriters::kScriptName);
        return;
    }
    LaunchStuff::StartProblem problem = LaunchStuff::StartProblem::None;
    const int exitCode = LaunchStuff::RunAndWait(*services.processRunner, fileSystem, compiler,
                                                 CompilerLookup::CompilerArguments(), workFolder,
                                                 CompilerLookup::CompilerEnvironment(), &problem);
    const QString outputFolder = workFolder + sep + QStringLiteral("output");
    const QString installer = outputFolder + sep + QStringLiteral("setup.exe");
    if (problem == LaunchStuff::StartProblem::NeedsWine) {
        showMessage(CreatorLabel,
                    QStringLiteral("The installer compiler makensis.exe is a Windows program. "
                                   "Install Wine to run it, then click Launch again."),
                    compiler);
    } else if (problem != LaunchStuff::StartProblem::None) {
        showMessage(CreatorLabel,
                    QStringLiteral("The installer compiler could not be started, so no "
                                   "installer was made."),
                    compiler);
    } else if (exitCode == 0 && fileSystem.FileExists(installer)) {
        QString text = QStringLiteral("The installer is ready: setup.exe in %1")
                           .arg(shownFolder(outputFolder, sep));
        if (workFolder != launcherFolder)
            text += QStringLiteral(" (the launcher's folder cannot be written)");
        showMessage(CreatorLabel, text + QLatin1Char('.'), installer);
    } else if (exitCode == 0) {
        showMessage(CreatorLabel,
                    QStringLiteral("The installer compiler made no setup.exe, so no installer "
                                   "was made."),
                    compiler);
    } else {
        // A process ended by a signal gives 128 + the signal's number.
        const bool crashed = !kWindows && exitCode > 128;
        showMessage(CreatorLabel,
                    (crashed ? QStringLiteral("The installer compiler crashed (exit code %1); "
                                              "no new installer was made.")
                             : QStringLiteral("The installer compiler stopped with errors (exit "
                                              "code %1); no new installer was made."))
                        .arg(exitCode),
                    compiler);
    }
}

Form1::CreatorScript Form1::creatorScript(bool worldScript, const QString& folder) {
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
    input.scriptPath = withoutClosingSeparator(folder, sep) + sep + ScriptWriters::kScriptName;
    return script;
}

QString Form1::writeCreatorScript(bool worldScript, const QString& folder) {
    const CreatorScript script = creatorScript(worldScript, folder);
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
    const QString refused = writeCreatorScript(true, services.launcherFolder);
    if (!refused.isEmpty())
        showMessage(CreatorLabel, refused);
}

void Form1::WriteTomeScript() {
    const QString refused = writeCreatorScript(false, services.launcherFolder);
    if (!refused.isEmpty())
        showMessage(CreatorLabel, refused);
}
