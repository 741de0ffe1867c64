#include "app/CommandLine.h"

#include "app/Version.h"

#include <QCommandLineParser>

CommandLine CommandLine::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Pick a Korvath II world and play it, or package worlds and tomes for "
                       "others. Without options the launcher opens its window."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print these options and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Print the version and exit."));
    parser.addOptions({help, version});

    CommandLine command;
    const QString program = QStringLiteral("korvath2-launcher");
    if (!parser.parse(arguments)) {
        command.action = Action::Refuse;
        command.text = QStringLiteral("%1: %2\nTry '%1 --help' for the options.")
                           .arg(program, parser.errorText());
    } else if (parser.isSet(help)) {
        command.action = Action::PrintHelp;
        // Without an application object the parser cannot know the program's name.
        command.text = parser.helpText().replace(QStringLiteral("<executable_name>"), program);
    } else if (parser.isSet(version)) {
        command.action = Action::PrintVersion;
        command.text = QStringLiteral("%1 %2").arg(program, kApplicationVersion);
    } else if (!parser.positionalArguments().isEmpty()) {
        command.action = Action::Refuse;
        command.text = QStringLiteral("%1: unexpected argument '%2'\nTry '%1 --help' for the "
                                      "options.")
                           .arg(program, parser.positionalArguments().first());
    }
    return command;
}
