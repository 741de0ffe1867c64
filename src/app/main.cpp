#include "app/CommandLine.h"
#include "app/SettingsStore.h"
#include "app/ui/LauncherFont.h"
#include "app/ui/RunLauncher.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine command = CommandLine::parse(arguments);
    switch (command.action) {
    case CommandLine::Action::PrintHelp:
    case CommandLine::Action::PrintVersion:
        std::fputs(qPrintable(command.text + QLatin1Char('\n')), stdout);
        return 0;
    case CommandLine::Action::Refuse:
        std::fputs(qPrintable(command.text + QLatin1Char('\n')), stderr);
        return 2;
    case CommandLine::Action::OpenWindow:
        break;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationName);
    LauncherFont::apply();
    return RunLauncher();
}
