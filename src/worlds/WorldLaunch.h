#pragma once

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

// What the player is told: a line for the panel's label (or the terminal), and
// the system's own words and paths behind it.
struct Message {
    QString text;
    QString details;
};

extern const QString kNoWorldsText;   // no catalogue: no game directory
extern const QString kEarlierRunText; // a program an earlier launch started still runs

// Before anything of an installation is renamed: gameDir and every installation
// with a recorded switch are looked at, and what was cut short there is put back.
// Refused, with the reason, while something stays switched in at gameDir, a program
// runs from it, or it holds no game.
struct Preparation {
    SwitchRecords::RestoreOutcome restored;
    std::optional<Message> refusal;
};
Preparation Prepare(FileSystem& fileSystem, SettingsStore& settings,
                    const KVDirStuff::GameFolderTable& table, const QString& gameDir);

// Switches world state.dirLabel in, checks every folder took its place, runs
// executableName of the game directory there and waits for its end, switches the
// world out. beforeRun is called just before the program starts (the window leaves
// the screen then). Call after a Preparation without refusal. Labels that cannot be
// saved end the launch before anything is renamed, with the store's message.
struct Outcome {
    bool started = false;           // the program ran and has ended
    int exitCode = -1;              // its exit code; -1 when it did not start
    std::optional<Message> message; // what went wrong, the weightiest first
    LaunchStuff::StartProblem problem = LaunchStuff::StartProblem::None;
    QString startError;       // the system's words for a program that could not start
    bool notRestored = false; // a folder could not be put back afterwards
};
Outcome Run(LauncherState& state, SettingsStore& settings, ProcessRunner& runner,
            const KVDirStuff::GameFolderTable& table, const QString& executableName,
            const std::function<void()>& beforeRun = {});

// Why executableName of the game directory was not started (program: its full path,
// reason: the system's words, for a program that could not be started).
QString StartProblemText(const QString& executableName, LaunchStuff::StartProblem problem,
                         const QString& program = QString(), const QString& reason = QString());

} // namespace WorldLaunch
