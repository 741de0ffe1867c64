#include "app/CommandLine.h"
#include "app/InstanceLock.h"
#include "app/LocalFileSystem.h"
#include "app/SettingsStore.h"
#include "app/ui/LauncherFont.h"
#include "app/ui/RunLauncher.h"
#include "worlds/CommandLineRun.h"
#include "worlds/LaunchStuff.h"

#include <QApplication>
#include <cstdio>

namespace {

void printLine(std::FILE* stream, const QString& text) {
    std::fputs(qPrintable(text + QLatin1Char('\n')), stream);
    std::fflush(stream);
}

// --world, --list-worlds, --recover, --add-to-menu, --remove-from-menu: no window and no
// display.
int runWithoutWindow(int argc, char* argv[], const CommandLine& command) {
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
    services.warn = [](const QString& line) { printLine(stderr, line); };
    services.launcherProgram = QCoreApplication::applicationFilePath();
    return CommandLineRun::Run(command, services);
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
