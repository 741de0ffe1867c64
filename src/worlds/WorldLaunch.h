#pragma once

#include "app/Problem.h"
#include "gamedir/KVDirStuff.h"
#include "worlds/LaunchStuff.h"
#include "worlds/SwitchRecords.h"

#include <QString>
#include <functional>
#include <optional>

struct LauncherState;
class ProcessRunner;
class SettingsStore;

// A launch of the game or the editor with a world switched in, from start to end:
// the one sequence behind the Player panel's Launch button, the Creator panel's
// game and editor actions and the command line. Each caller only shows the outcome.
namespace WorldLaunch {

// Before anything of an installation is renamed: gameDir and every installation
// with a recorded switch are looked at, and what was cut short there is put back.
// Refused, with the reason, while something stays switched in at gameDir, a program
// runs from it (HeldByProgram), or it holds no game (ProgramNotFound).
struct Preparation {
    SwitchRecords::RestoreOutcome restored;
    std::optional<Problem> refusal;
};
Preparation Prepare(FileSystem& fileSystem, SettingsStore& settings,
                    const KVDirStuff::GameFolderTable& table, const QString& gameDir);

// Switches world state.dirLabel in, checks every folder took its place, runs
// executableName of the game directory there and waits for its end, switches the
// world out. beforeRun is called just before the program starts (the window leaves
// the screen then). Call after a Preparation without refusal. Labels that cannot be
// saved end the launch before anything is renamed (SettingsNotSaved).
struct Outcome {
    bool started = false; // the program ran and has ended
    int exitCode = -1;    // its exit code; -1 when it did not start
    // What went wrong, the weightiest: folders that could not be put back afterwards
    // (whilePuttingBack), else why the program was not started.
    std::optional<Problem> problem;
};
Outcome Run(LauncherState& state, SettingsStore& settings, ProcessRunner& runner,
            const KVDirStuff::GameFolderTable& table, const QString& executableName,
            const std::function<void()>& beforeRun = {});

} // namespace WorldLaunch
