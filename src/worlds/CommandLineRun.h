#pragma once

#include <QString>
#include <functional>
#include <memory>

struct CommandLine;
struct Problem;
class FileSystem;
class ProcessRunner;
class SettingsStore;

// The command line's actions (--world, --list-worlds, --recover, --add-to-menu,
// --remove-from-menu), without a window
// and without a display: they run on a QCoreApplication, for a terminal, ssh, a
// desktop shortcut or a game library's launch. They go through the same modules as
// the window: the single-instance lock, the switch records, WorldLaunch.
namespace CommandLineRun {

struct Services {
    std::function<std::unique_ptr<FileSystem>()> createFileSystem;
    SettingsStore* settings = nullptr;
    QString settingsFile; // the lock and the record of a running program lie beside it
    ProcessRunner* processRunner = nullptr;
    std::function<void(const QString&)> print; // standard output, one line a call
    std::function<void(const QString&)> warn;  // standard error, one line a call
    QString launcherProgram; // this launcher's executable, which menu entries start
};

// A problem as the terminal says it, on one line: what happened, to which folder,
// file or program, the system's reason and what to do, then the paths and the
// system's own words behind it in brackets.
QString Sentence(const Problem& problem);

// Carries out command (an action other than the window's, help, version or a
// refusal) and returns the exit status: the game's own after it ran, else one of
// ExitStatus.
int Run(const CommandLine& command, const Services& services);

} // namespace CommandLineRun
