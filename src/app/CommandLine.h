#pragma once

#include <QString>
#include <QStringList>

// What the launcher was asked to do on its command line. Parsed before any
// application object exists, so that --help and --version touch neither the
// settings, nor the single-instance lock, nor the display.
struct CommandLine {
    enum class Action {
        OpenWindow, // no option: the launcher's window
        PrintHelp,
        PrintVersion,
        Refuse,        // an unknown option or a bad argument: say so, exit with status 2
        LaunchWorld,   // --world NAME [--editor]: play (or edit) a world, without a window
        ListWorlds,    // --list-worlds: print the catalogue
        Recover,       // --recover: only put back a launch that was cut short
        AddToMenu,     // --add-to-menu NAME: a menu entry that launches the world
        RemoveFromMenu // --remove-from-menu NAME: remove that entry
    };
    Action action = Action::OpenWindow;
    QString text;        // what to print: the help, the version line, or why it was refused
    QString world;       // --world, --add-to-menu, --remove-from-menu: a world's label or
                         // display name, any letter case
    bool editor = false; // --editor: the world editor instead of the game
    QString gameDir;     // --game-dir: this directory for this run only ("" for "KVDir")
    // The toolkit's own options (-platform NAME, -style NAME, -reverse, …), taken out before
    // ours are read: each name with one dash, its value as the next argument, the way
    // QApplication takes them.
    QStringList toolkitArguments;

    // The value last given to the toolkit's option name ("platform"), or "" when none was.
    QString toolkitValue(const QString& name) const;

    // arguments as the program got them, the program's own name first.
    static CommandLine parse(const QStringList& arguments);
};

// The exit statuses of the command line besides the game's own.
namespace ExitStatus {
constexpr int kFailed = 1;         // the window could not open (no display), or a menu entry
                                   // could not be written or removed
constexpr int kUsage = 2;          // a bad option, or a world that is unknown or ambiguous
constexpr int kCannotLaunch = 125; // nothing was started, or a folder was not put back
                                   // afterwards; the reason is on standard error
constexpr int kNotStartable = 126; // the program is there but could not be started
constexpr int kNotFound = 127;     // the game or the editor is not in the game directory
} // namespace ExitStatus
