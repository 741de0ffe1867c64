#include "worlds/WorldLaunch.h"

#include "app/LauncherState.h"
#include "platform/Logging.h"
#include "platform/ProcessRunner.h"

namespace WorldLaunch {

namespace {

// Why program (a full path) was not started.
Problem notStarted(LaunchStuff::StartProblem why, const QString& program, const QString& reason) {
    switch (why) {
    case LaunchStuff::StartProblem::NeedsWine: {
        Problem problem{Problem::Kind::ProgramNeedsWine, program};
        problem.name = qEnvironmentVariable("WINE");
        problem.details = QStringList{program};
        if (!problem.name.isEmpty())
            problem.details.append(QStringLiteral("WINE=") + problem.name);
        return problem;
    }
    case LaunchStuff::StartProblem::NotStarted: {
        Problem problem{Problem::Kind::ProgramNotStartable, program};
        problem.reason = reason;
        return problem;
    }
    case LaunchStuff::StartProblem::Missing:
    case LaunchStuff::StartProblem::None:
        break;
    }
    Problem problem{Problem::Kind::ProgramNotFound, program};
    problem.details = QStringList{program};
    return problem;
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
    case SwitchRecords::Settled::State::Blocked:
        preparation.refusal = preparation.restored.waiting(own.gameDir);
        break;
    case SwitchRecords::Settled::State::Unreachable:
        preparation.refusal = notStarted(LaunchStuff::StartProblem::Missing,
                                         gameDir + KVDirStuff::kGameExecutable, QString());
        preparation.refusal->gameDir = gameDir;
        preparation.refusal->details = QStringList{gameDir};
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
    LaunchStuff::StartProblem startProblem = LaunchStuff::StartProblem::None;
    QString startError;
    const QString program = state.gameDir + executableName;
    try {
        switched = SwitchRecords::SwitchedLaunch(state, settings, table, [&](const QString& hold) {
            if (beforeRun)
                beforeRun();
            runner.setHoldFile(hold);
            outcome.exitCode =
                LaunchStuff::RunAndWait(runner, *state.fileSystem, program, {}, state.gameDir, {},
                                        &startProblem, &startError);
            runner.setHoldFile(QString());
        });
    } catch (const SettingsError& error) {
        // Nothing was renamed: the labels could not be saved first.
        outcome.problem = Problem{Problem::Kind::SettingsNotSaved, QString(), error.message()};
        qCWarning(lcWorlds).noquote() << error.message();
        return outcome;
    }
    outcome.started = switched.started && startProblem == LaunchStuff::StartProblem::None;
    // A folder that could not be put back outweighs the rest: it is said first.
    if (switched.notRestored)
        outcome.problem = switched.notRestored;
    else if (switched.notSwitchedIn)
        outcome.problem = switched.notSwitchedIn;
    else if (startProblem != LaunchStuff::StartProblem::None)
        outcome.problem = notStarted(startProblem, program, startError);
    if (outcome.problem) {
        if (outcome.problem->gameDir.isEmpty())
            outcome.problem->gameDir = state.gameDir;
        qCWarning(lcWorlds).noquote()
            << "launch problem" << int(outcome.problem->kind) << ":" << outcome.problem->path
            << outcome.problem->reason << outcome.problem->details.join("; ");
    }
    return outcome;
}

} // namespace WorldLaunch
