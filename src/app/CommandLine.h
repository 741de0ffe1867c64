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
        Refuse // an unknown option or a bad argument: say so, exit with status 2
    };
    Action action = Action::OpenWindow;
    QString text; // what to print: the help, the version line, or why it was refused

    // arguments as the program got them, the program's own name first.
    static CommandLine parse(const QStringList& arguments);
};
