// The Autofind button: the window's share of the search of every drive.
#include "app/ui/Form1.h"

#include "gamedir/AutofindWalk.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>

namespace {

const QString kNothingFound =
    QStringLiteral("Warning: No Korvath II directory could be found on your computer. "
                   "Please reinstall Korvath II.");

// The closing steps of a search run with errors ignored: a step that fails ends
// there, and the next one still runs.
template <class Step> void ignoringErrors(Step step) {
    try {
        step();
    } catch (const LauncherError&) {
    }
}

} // namespace

void Form1::KVDirAutofindBtn_Click() {
    if (!state.searching) {
        state.searching = true;
        SetDirPanelSearching();
        AutofindGameDir();
        return;
    }
    // The button reads "Cancel": the running search sees this at its next yield.
    state.searching = false;
}

void Form1::AutofindGameDir() {
    state.gameDir.clear();
    const QList<Drive> drives = state.fileSystem->Drives();

    // The window may be closed while the search lets events run; from then on
    // nothing of it is touched.
    const QPointer<Form1> alive(this);
    auto windowGone = [this, alive] { return !alive || windowClosed; };
    // The label names the folder searched last. It is only seen when the window
    // draws, at the yields that let events run, so it is set then rather than for
    // each of the many folders in between.
    const QChar separator = state.fileSystem->separator();
    QString searchedFolder;
    auto showSearchedFolder = [&] {
        if (searchedFolder.isNull() || windowGone())
            return;
        KVDirDirLabel->setText(KVDirStuff::ShortenPath(searchedFolder, separator));
        searchedFolder = QString();
    };
    AutofindWalk::Hooks hooks;
    hooks.processEvents = [&] {
        showSearchedFolder();
        QCoreApplication::processEvents();
    };
    hooks.shouldStop = [this, windowGone] { return windowGone() || !state.searching; };
    hooks.folderSearched = [&](const QString& folderPath) { searchedFolder = folderPath; };
    AutofindWalk walk(*state.fileSystem, std::move(hooks));
    const QString found = walk.SearchDrives(drives);

    if (windowGone()) {
        // The busy pointer belongs to the application, not to the closed window.
        if (!QCoreApplication::closingDown()) {
            while (QGuiApplication::overrideCursor())
                QGuiApplication::restoreOverrideCursor();
        }
        return;
    }
    showSearchedFolder();
    state.gameDir = found;
    state.searching = false;
    if (!state.gameDir.isEmpty()) {
        ignoringErrors([this] { SetDirPanelValid(); });
        return;
    }
    ignoringErrors([this] { SetDirPanelInvalid(); });
    ignoringErrors([this] { KVDirErrorLabel->setText(kNothingFound); });
}
