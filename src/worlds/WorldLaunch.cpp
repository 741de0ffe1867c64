#include "worlds/WorldLaunch.h"

#include "app/LauncherState.h"
#include "platform/Logging.h"
#include "platform/ProcessRunner.h"

namespace WorldLaunch {

const QString kNoWorldsText = QStringLiteral(
    "No worlds are listed: choose the Korvath II directory on the Configuration tab.");
const QString kEarlierRunText =
    QStringLiteral("Korvath II is still running from an earlier launch. The launcher will be "
                   "ready as soon as it ends.");

namespace {

Message troubleMessage(const QString& text, const FolderSwitching::Trouble& trouble) {
    return Message{text, trouble.details.join(QLatin1Char('\n'))};
}

} // namespace

Preparation Prepare(FileSystem& fileSystem, SettingsStore& settings,
                    const KVDirStuff::GameFolderTable& table, const QString& gameDir) {
    Preparation preparation;
    preparation.restored = SwitchRecords::RestoreReachable(fileSystem, settings, table, {gameDir});
    // Never a switch over a switch, nor one under a running program.
    const SwitchRecords::Settled& own = preparation.restored.settled.first();
    switch (own.state) {
    case SwitchRecords::Settled::State::Resting:
        break;
    case SwitchRecords::Settled::State::Held:
        preparation.refusal = Message{SwitchRecords::kHeldText, own.gameDir};
        break;
    case SwitchRecords::Settled::State::Blocked:
        preparation.refusal =
            troubleMessage(SwitchRecords::RestoreFailureText(*own.trouble), *own.trouble);
        break;
    case SwitchRecords::Settled::State::Unreachable:
        preparation.refusal = Message{
            StartProblemText(KVDirStuff::kGameExecutable, LaunchStuff::StartProblem::Missing),
            gameDir};
        break;
    }
    return preparation;
}

Outcome Run(LauncherState& state, SettingsStore& settings, ProcessRunner& runner,
            const KVDirStuff::GameFolderTable& table, const QString& executableName,
            const std::function<void()>& beforeRun) {
    const StopSignalGuard stayUntilSwitchedBack;
    Outcome outcome;
    SwitchRecords::LaunchOutcome switched;
    try {
        switched = SwitchRecords::SwitchedLaunch(state, settings, table, [&](const QString& hold) {
            if (beforeRun)
                beforeRun();
            runner.setHoldFile(hold);
            outcome.exitCode = LaunchStuff::RunAndWait(
                runner, *state.fileSystem, state.gameDir + executableName, {}, state.gameDir, {},
                &outcome.problem, &outcome.startError);
            runner.setHoldFile(QString());
        });
    } catch (const SettingsError& error) {
        // Nothing was renamed: the labels could not be saved first.
        outcome.message = Message{error.message(), QString()};
        qCWarning(lcWorlds).noquote() << error.message();
        return outcome;
    }
    outcome.started = switched.started && outcome.problem == LaunchStuff::StartProblem::None;
    outcome.notRestored = switched.notRestored.has_value();
    // A folder that could not be put back outweighs the rest: it is said first.
    if (switched.notRestored)
        outcome.message = troubleMessage(SwitchRecords::RestoreFailureText(*switched.notRestored),
                                         *switched.notRestored);
    else if (switched.notSwitchedIn)
        outcome.message = troubleMessage(
            SwitchRecords::SwitchInFailureText(*switched.notSwitchedIn), *switched.notSwitchedIn);
    else if (outcome.problem != LaunchStuff::StartProblem::None)
        outcome.message =
            Message{StartProblemText(executableName, outcome.problem,
                                     state.gameDir + executableName, outcome.startError),
                    outcome.problem == LaunchStuff::StartProblem::NotStarted
                        ? QString()
                        : state.gameDir + executableName};
    if (outcome.message)
        qCWarning(lcWorlds).noquote() << outcome.message->text << outcome.message->details;
    return outcome;
}

QString StartProblemText(const QString& executableName, LaunchStuff::StartProblem problem,
                         const QString& program, const QString& reason) {
    switch (problem) {
    case LaunchStuff::StartProblem::None:
        break;
    case LaunchStuff::StartProblem::Missing:
        return QStringLiteral("\"%1\" was not found in the Korvath II directory, so nothing "
                              "was started.")
            .arg(executableName);
    case LaunchStuff::StartProblem::NeedsWine:
        if (!qEnvironmentVariable("WINE").isEmpty())
            return QStringLiteral("\"%1\" is a Windows program, and WINE names no program to run "
                                  "it with (\"%2\"). Correct WINE, then click Launch again.")
                .arg(executableName, qEnvironmentVariable("WINE"));
        return QStringLiteral("\"%1\" is a Windows program. Install Wine to run it, then click "
                              "Launch again.")
            .arg(executableName);
    case LaunchStuff::StartProblem::NotStarted:
        return QStringLiteral("Could not start \"%1\" (%2).")
            .arg(program.isEmpty() ? executableName : program,
                 reason.isEmpty() ? QStringLiteral("the system gave no reason") : reason);
    }
    return QString();
}

} // namespace WorldLaunch
