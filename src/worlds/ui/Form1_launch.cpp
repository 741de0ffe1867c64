// Worlds: the launch path of the window (the player launch and the launch that the
// Creator panel's game and editor actions share with it), and the start-up wait for
// a program that an earlier run of the launcher left running.
#include "app/ui/Form1.h"

#include "app/SettingsStore.h"
#include "app/ui/ListBox.h"
#include "app/ui/ProblemTexts.h"
#include "platform/InstanceLock.h"
#include "worlds/LaunchStuff.h"
#include "worlds/SwitchRecords.h"
#include "worlds/WorldLaunch.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QWindow>

namespace {

const QString kSelectWorldText =
    QStringLiteral("Select a world, and then click the Launch button.");
// How often the start-up wait looks whether the earlier program has ended.
constexpr int kEarlierGamePollMs = 250;
// How long a launch waits for the window system to take the window off the screen.
constexpr int kLeaveScreenTimeoutMs = 2000;

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

} // namespace

void Form1::PlayerLaunchBtn_Click() {
    // The launch itself takes the window off the screen while the game runs.
    LaunchPlayerWorld();
}

void Form1::LaunchPlayerWorld() {
    LaunchWorldProgram(KVDirStuff::kGameExecutable, PlayerWorldList->ListIndex(), PlayerLabel);
}

void Form1::adoptEarlierSwitchLabels() {
    // Before the game directory check, which may clear the saved directory.
    SwitchRecords::AdoptEarlierLabels(*services.settings,
                                      services.settings->GetSetting(kSettingsSection, kGameDirKey));
}

void Form1::restoreRecordedSwitches() {
    noteWaitingSwitches(SwitchRecords::RestoreReachable(*state.fileSystem, *services.settings,
                                                        gameFolderTable, {state.gameDir}));
}

void Form1::noteWaitingSwitches(const SwitchRecords::RestoreOutcome& restored) {
    launchPanel.switchNotice = restored.waiting(state.gameDir);
}

bool Form1::SwitchSavedWorldOut(QLabel* messageLabel) {
    // Never rename under a program that an earlier run left running.
    if (launchPanel.waitingForEarlierGame) {
        showProblem(messageLabel, Problem{Problem::Kind::EarlierRunRunning});
        return false;
    }
    const WorldLaunch::Preparation preparation =
        WorldLaunch::Prepare(*state.fileSystem, *services.settings, gameFolderTable, state.gameDir);
    noteWaitingSwitches(preparation.restored);
    if (preparation.refusal) {
        showProblem(messageLabel, *preparation.refusal);
        return false;
    }
    return true;
}

void Form1::LaunchWorldProgram(const QString& executableName, int worldListIndex,
                               QLabel* messageLabel) {
    if (launchPanel.waitingForEarlierGame) {
        showProblem(messageLabel, Problem{Problem::Kind::EarlierRunRunning});
        return;
    }
    WorldList& worlds = state.Worlds();
    if (worlds.Count() == 0) {
        showMessage(messageLabel, ProblemTexts::kNoWorldsText);
        return;
    }
    if (worldListIndex < 0 || worldListIndex >= worlds.Count()) {
        showMessage(messageLabel, kSelectWorldText);
        return;
    }
    // Recorded switches first: one cut short earlier is put right, here or in any
    // other installation that can be reached; a no-op after a clean launch.
    if (!SwitchSavedWorldOut(messageLabel))
        return;
    restoreLaunchLabels();

    std::optional<OutOfUse> outOfUse; // from just before the program starts

    state.dirLabel = worlds.Item(worldListIndex + 1).DirLabel();
    const WorldLaunch::Outcome outcome =
        WorldLaunch::Run(state, *services.settings, *services.processRunner, gameFolderTable,
                         executableName, [&] { outOfUse.emplace(*this, OutOfUse::OffScreen); });
    if (outcome.problem)
        showProblem(messageLabel, *outcome.problem);
}

Form1::OutOfUse::OutOfUse(Form1& window, Mode mode) : m_window(window), m_mode(mode) {
    if (mode == Disabled)
        window.setEnabled(false);
    else
        m_showAgain = window.leaveScreenForLaunch();
}

Form1::OutOfUse::~OutOfUse() {
    if (m_mode == Disabled) {
        // Clicks and keys that queued up meanwhile reach the window disabled and are
        // dropped, instead of acting once it is back.
        QCoreApplication::processEvents();
        m_window.setEnabled(true);
    } else {
        m_window.returnFromLaunch(m_showAgain);
    }
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
    const QDeadlineTimer deadline(kLeaveScreenTimeoutMs);
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

void Form1::restoreLaunchLabels() {
    // While a recorded switch is still in place, that is what the panels say.
    const std::optional<Problem>& notice = launchPanel.switchNotice;
    for (const auto& [label, usualText] : launchPanel.labelTexts) {
        if (notice)
            showMessage(label, ProblemTexts::Text(*notice), ProblemTexts::NoticeDetails(*notice));
        else
            showMessage(label, usualText);
    }
}

void Form1::gameDirAccepted() {
    if (state.loading || launchPanel.waitingForEarlierGame ||
        state.gameDir == launchPanel.settledGameDir)
        return;
    launchPanel.settledGameDir = state.gameDir;
    restoreRecordedSwitches();
    listWorldsOfGameDir();
}

void Form1::gameDirRejected() {
    if (state.loading || launchPanel.settledGameDir.isEmpty())
        return;
    launchPanel.settledGameDir.clear();
    listWorldsOfGameDir();
}

void Form1::listWorldsOfGameDir() {
    for (ListBox* list : {PlayerWorldList, CreatorWorldList, CreatorTomeList}) {
        const QSignalBlocker quiet(list);
        list->clear();
    }
    state.worlds.reset();
    state.creatorWorldIndex = 0;
    if (state.gameDir.isEmpty()) {
        launchPanel.labelTexts = {{PlayerLabel, QString()}, {CreatorLabel, kNoDirectoryText}};
    } else {
        ScanWorlds();
        launchPanel.labelTexts = {{PlayerLabel, kPlayerWorldsText},
                                  {CreatorLabel, kCreatorWorldsText}};
    }
    restoreLaunchLabels();
}

void Form1::restoreWorldsAtStartup() {
    launchPanel.settledGameDir = state.gameDir;
    const QString settingsFile = services.settingsFile;
    if (settingsFile.isEmpty() || InstanceLock::runningChild(settingsFile) == 0) {
        restoreRecordedSwitches();
        if (!state.gameDir.isEmpty()) {
            ScanWorlds();
        }
        return;
    }
    // A game (or editor) that an earlier run started is still running with its world
    // switched in: renaming now would pull its folders away. Wait for its end.
    launchPanel.waitingForEarlierGame = true;
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this, watch, settingsFile] {
        if (InstanceLock::runningChild(settingsFile) != 0)
            return;
        watch->stop();
        watch->deleteLater();
        runHandler([this] { continueAfterEarlierGame(); });
    });
    watch->start(kEarlierGamePollMs);
}

void Form1::finishStartupWorldSteps() {
    // A Creator panel made later adds its label itself.
    launchPanel.labelTexts = {{PlayerLabel, PlayerLabel->text()}};
    if (CreatorLabel)
        launchPanel.labelTexts.append({CreatorLabel, CreatorLabel->text()});
    showStartupLaunchState();
}

void Form1::showStartupLaunchState() {
    if (!launchPanel.waitingForEarlierGame) {
        restoreLaunchLabels();
        return;
    }
    for (const auto& [label, usualText] : launchPanel.labelTexts)
        showProblem(label, Problem{Problem::Kind::EarlierRunRunning});
    PlayerLaunchBtn->setEnabled(false);
    if (CreatorLaunchBtn)
        CreatorLaunchBtn->setEnabled(false);
}

void Form1::continueAfterEarlierGame() {
    launchPanel.waitingForEarlierGame = false;
    restoreRecordedSwitches();
    // The worlds of the game directory as it is now, also one chosen meanwhile.
    launchPanel.settledGameDir = state.gameDir;
    listWorldsOfGameDir();
    PlayerLaunchBtn->setEnabled(true);
    CreatorLaunchBtn->setEnabled(true);
}
