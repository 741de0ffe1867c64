#include "app/CommandLine.h"
#include "app/InstanceLock.h"
#include "app/LocalFileSystem.h"
#include "app/SettingsStore.h"
#include "app/ui/FailureDialog.h"
#include "app/ui/LauncherFont.h"
#include "app/ui/RunLauncher.h"
#include "worlds/CommandLineRun.h"
#include "worlds/LaunchStuff.h"

#include <QApplication>
#include <cstdio>
#include <unistd.h>

namespace {

void printLine(std::FILE* stream, const QString& text) {
    std::fputs(qPrintable(text + QLatin1Char('\n')), stream);
    std::fflush(stream);
}

// --world, --list-worlds, --recover, --add-to-menu, --remove-from-menu: no window and no
// display.
int runWithoutWindow(int argc, char* argv[], const CommandLine& command) {
    QStringList said; // what went wrong, for a player without a terminal
    const int status = [&] {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(kApplicationName);
        IniSettingsStore settings;
        QProcessRunner runner;
        runner.setChildRecordFile(InstanceLock::childRecordPath(settings.fileName()));
        CommandLineRun::Services services;
        services.createFileSystem = [] { return std::make_unique<LocalFileSystem>(); };
        services.settings = &settings;
        services.settingsFile = settings.fileName();
        services.processRunner = &runner;
        services.print = [](const QString& line) { printLine(stdout, line); };
        services.warn = [&said](const QString& line) {
            printLine(stderr, line);
            said.append(line);
        };
        services.launcherProgram = QCoreApplication::applicationFilePath();
        return CommandLineRun::Run(command, services);
    }();
    // A launch from a desktop entry or a game library has no terminal to show why it
    // failed: the message box does, once the core application is gone.
    if (command.action == CommandLine::Action::LaunchWorld &&
        FailureDialog::Shows(status, !said.isEmpty(), ::isatty(STDERR_FILENO) == 1,
                             QProcessEnvironment::systemEnvironment()))
        FailureDialog::Show(argc, argv, said.join(QLatin1Char('\n')));
    return status;
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine command = CommandLine::parse(arguments);
    switch (command.action) {
    case CommandLine::Action::PrintHelp:
    case CommandLine::Action::PrintVersion:
        printLine(stdout, command.text);
        return 0;
    case CommandLine::Action::Refuse:
        printLine(stderr, command.text);
        return ExitStatus::kUsage;
    case CommandLine::Action::LaunchWorld:
    case CommandLine::Action::ListWorlds:
    case CommandLine::Action::Recover:
    case CommandLine::Action::AddToMenu:
    case CommandLine::Action::RemoveFromMenu:
        return runWithoutWindow(argc, argv, command);
    case CommandLine::Action::OpenWindow:
        break;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationName);
    LauncherFont::apply();
    return RunLauncher();
}
