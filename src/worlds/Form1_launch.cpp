// Worlds: the launch path of the window (the player launch and the launch that the
// Creator panel's game and editor actions share with it), and the start-up wait for
// a program that an earlier run of the launcher left running.
#include "app/Form1.h"

#include "app/SettingsStore.h"
#include "app/SingleInstance.h"
#include "app/ui/ListBox.h"
#include "worlds/FolderSwitching.h"
#include "worlds/LaunchStuff.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

namespace {

const QString kNoWorldsText =
    QStringLiteral("No worlds are listed: no Korvath II directory was known when the launcher "
                   "started. Start the launcher again.");
const QString kSelectWorldText =
    QStringLiteral("Select a world, and then click the Launch button.");
const QString kWaitingText =
    QStringLiteral("Korvath II is still running from an earlier launch. The launcher will be "
                   "ready as soon as it ends.");

// How often the start-up wait looks whether the earlier program has ended.
constexpr int kEarlierGamePollMs = 250;

// Drops every input event while it is installed on the application.
class InputSwallower : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
            return true;
        default:
            return event->isInputEvent();
        }
    }
};

const QEvent::Type kPostedInputTypes[] = {
    QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
    QEvent::MouseMove,        QEvent::KeyPress,           QEvent::KeyRelease,
    QEvent::ShortcutOverride, QEvent::Shortcut,           QEvent::Wheel,
    QEvent::TouchBegin,       QEvent::TouchUpdate,        QEvent::TouchEnd,
    QEvent::TabletPress,      QEvent::TabletRelease,      QEvent::ContextMenu};

// The default folder's path below the game directory, for a stowed folder's path.
QString defaultFolderOf(const QString& stowedPath, const QString& gameDir,
                        const QString& backupLabel) {
    QString relative = stowedPath;
    if (relative.startsWith(gameDir, Qt::CaseInsensitive))
        relative = relative.mid(gameDir.size());
    const QString suffix = QLatin1Char('-') + backupLabel;
    if (relative.endsWith(suffix, Qt::CaseInsensitive))
        relative.chop(suffix.size());
    return relative;
}

QString startProblemText(const QString& executableName, LaunchStuff::StartProblem problem) {
    switch (problem) {
    case LaunchStuff::StartProblem::None:
        break;
    case LaunchStuff::StartProblem::Missing:
        return QStringLiteral("\"%1\" was not found in the Korvath II directory, so nothing "
                              "was started.")
            .arg(executableName);
    case LaunchStuff::StartProblem::NeedsWine:
        return QStringLiteral("\"%1\" is a Windows program. Install Wine to run it, then click "
                              "Launch again.")
            .arg(executableName);
    case LaunchStuff::StartProblem::NotStarted:
        return QStringLiteral("\"%1\" could not be started.").arg(executableName);
    }
    return QString();
}

} // namespace

void Form1::PlayerLaunchBtn_Click() {
    // The launch itself takes the window off the screen while the game runs.
    LaunchPlayerWorld();
}

void Form1::LaunchPlayerWorld() {
    LaunchWorldProgram(KVDirStuff::kGameExecutable, PlayerWorldList->ListIndex(), PlayerLabel);
}

bool Form1::SwitchSavedWorldOut(QLabel* messageLabel) {
    // Never rename under a program that an earlier run left running.
    if (waitingForEarlierGame) {
        showLaunchMessage(messageLabel, kWaitingText);
        return false;
    }
    SwitchWorldOut();
    const QStringList stowed = FolderSwitching::StowedFolders(state, gameFolderTable);
    if (stowed.isEmpty())
        return true;
    // Overwriting the saved labels now would forget these folders: refuse.
    const QString folder = defaultFolderOf(stowed.first(), state.gameDir, state.backupLabel);
    QString text = QStringLiteral("Could not restore \"%1\" (a name is taken, or it is "
                                  "locked). Fix that, then click Launch again.")
                       .arg(folder);
    if (stowed.size() > 1)
        text = QStringLiteral("Could not restore \"%1\" and %2 more (a name is taken, or one "
                              "is locked). Fix that, then click Launch again.")
                   .arg(folder)
                   .arg(stowed.size() - 1);
    showLaunchMessage(messageLabel, text,
                      QStringLiteral("Still stored away:\n") + stowed.join(QLatin1Char('\n')));
    return false;
}

void Form1::LaunchWorldProgram(const QString& executableName, int worldListIndex,
                               QLabel* messageLabel) {
    if (waitingForEarlierGame) {
        showLaunchMessage(messageLabel, kWaitingText);
        return;
    }
    WorldList& worlds = state.Worlds();
    if (worlds.Count() == 0) {
        showLaunchMessage(messageLabel, kNoWorldsText);
        return;
    }
    if (worldListIndex < 0 || worldListIndex >= worlds.Count()) {
        showLaunchMessage(messageLabel, kSelectWorldText);
        return;
    }
    // The saved labels first: a launch cut short earlier is put right while dirLabel
    // still names its world; a no-op after a clean launch.
    if (!SwitchSavedWorldOut(messageLabel))
        return;
    restoreLaunchLabels();

    state.dirLabel = worlds.Item(worldListIndex + 1).DirLabel();
    SwitchWorldIn();

    // The window is out of use while the program runs: off the screen, since a game
    // runs for hours and a frozen window invites the desktop to offer a force-quit.
    struct BackInUse {
        Form1* window;
        bool showAgain;
        ~BackInUse() { window->returnFromLaunch(showAgain); }
    } backInUse{this, leaveScreenForLaunch()};

    LaunchStuff::StartProblem problem = LaunchStuff::StartProblem::None;
    LaunchStuff::RunAndWait(*services.processRunner, *state.fileSystem,
                            state.gameDir + executableName, {}, state.gameDir, {}, &problem);
    SwitchWorldOut();
    if (problem != LaunchStuff::StartProblem::None)
        showLaunchMessage(messageLabel, startProblemText(executableName, problem));
}

bool Form1::leaveScreenForLaunch() {
    if (!isVisible())
        return false;
    hide();
    // The wait blocks this thread: let the window system take the window away first,
    // or it would stay on the screen, frozen. Input stays queued (and is dropped on
    // the way back); bring-to-front requests wait too.
    const QEventLoop::ProcessEventsFlags flags = QEventLoop::ExcludeUserInputEvents |
                                                 QEventLoop::ExcludeSocketNotifiers |
                                                 QEventLoop::WaitForMoreEvents;
    const auto onScreen = [this] {
        return isVisible() || (windowHandle() && windowHandle()->isExposed());
    };
    QTimer tick;
    tick.start(10);
    const QDeadlineTimer deadline(2000);
    while (onScreen() && !deadline.hasExpired())
        QCoreApplication::processEvents(flags);
    return true;
}

void Form1::returnFromLaunch(bool showAgain) {
    // Clicks and keys given before the window went, or while it was away, are not
    // acted on: drop the posted ones and let the window system's queue drain into a
    // filter that swallows input.
    InputSwallower swallower;
    qApp->installEventFilter(&swallower);
    for (const QEvent::Type type : kPostedInputTypes)
        QCoreApplication::removePostedEvents(nullptr, type);
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
    qApp->removeEventFilter(&swallower);
    if (showAgain) {
        show();
        raise();
        activateWindow();
    }
}

void Form1::showLaunchMessage(QLabel* label, const QString& text, const QString& details) {
    if (!label)
        return;
    label->setText(text);
    label->setToolTip(details);
}

void Form1::restoreLaunchLabels() {
    for (const auto& [label, usualText] : launchLabelTexts) {
        label->setText(usualText);
        label->setToolTip(QString());
    }
}

QString Form1::settingsFileOfStore() const {
    if (const auto* store = dynamic_cast<const QSettingsStore*>(services.settings))
        return store->fileName();
    return QString();
}

void Form1::restoreWorldsAtStartup() {
    const QString settingsFile = settingsFileOfStore();
    if (settingsFile.isEmpty() || SingleInstance::runningChild(settingsFile) == 0) {
        SwitchWorldOut();
        ScanWorlds();
        FillTomeList();
        return;
    }
    // A game (or editor) that an earlier run started is still running with its world
    // switched in: renaming now would pull its folders away. Wait for its end.
    waitingForEarlierGame = true;
    startupGameDir = state.gameDir;
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this, watch, settingsFile] {
        if (SingleInstance::runningChild(settingsFile) != 0)
            return;
        watch->stop();
        watch->deleteLater();
        runHandler([this] { continueAfterEarlierGame(); });
    });
    watch->start(kEarlierGamePollMs);
}

void Form1::finishStartupWorldSteps() {
    launchLabelTexts = {{PlayerLabel, PlayerLabel->text()}, {CreatorLabel, CreatorLabel->text()}};
    if (!waitingForEarlierGame)
        return;
    showLaunchMessage(PlayerLabel, kWaitingText);
    showLaunchMessage(CreatorLabel, kWaitingText);
    PlayerLaunchBtn->setEnabled(false);
    CreatorLaunchBtn->setEnabled(false);
}

void Form1::continueAfterEarlierGame() {
    waitingForEarlierGame = false;
    // The steps work on the directory found at start-up, even if the user has
    // chosen another one meanwhile.
    const QString currentGameDir = state.gameDir;
    state.gameDir = startupGameDir;
    SwitchWorldOut();
    ScanWorlds();
    FillTomeList();
    state.gameDir = currentGameDir;
    restoreLaunchLabels();
    PlayerLaunchBtn->setEnabled(true);
    CreatorLaunchBtn->setEnabled(true);
}
