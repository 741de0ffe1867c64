#include "app/CommandLine.h"

#include "app/Version.h"

#include <QCommandLineParser>

namespace {

const QString kProgram = QStringLiteral("korvath2-launcher");

CommandLine refused(const QString& why) {
    CommandLine command;
    command.action = CommandLine::Action::Refuse;
    command.text = QStringLiteral("%1: %2\nTry '%1 --help' for the options.").arg(kProgram, why);
    return command;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Pick a Korvath II world and play it, or package worlds and tomes for others. Without "
        "options the launcher opens its window.\n\n"
        "With --world the launcher needs no window and no display: it puts back a launch that "
        "was cut short, switches the world in, runs the game, waits for its end, switches the "
        "world out and exits with the game's exit code. Otherwise it exits with 2 for a bad "
        "option or a world that is unknown or ambiguous, 125 when it could not launch (no game "
        "directory, another launcher running, a folder that could not be switched), 126 when "
        "the game could not be started, 127 when it was not found; the reason is written to "
        "standard error.\n\n"
        "--add-to-menu and --remove-from-menu print the path of the menu entry and exit with 0, "
        "with 1 when it could not be written or removed, 2 or 125 as above."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print these options and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Print the version and exit."));
    const QCommandLineOption world(
        QStringLiteral("world"),
        QStringLiteral("Play the world NAME: its label (the .ini file's name without \".ini\") "
                       "or its display name, any letter case; \"\" or the default world's "
                       "name for the default world."),
        QStringLiteral("NAME"));
    const QCommandLineOption editor(
        QStringLiteral("editor"),
        QStringLiteral("With --world: start the world editor instead of the game."));
    const QCommandLineOption gameDir(
        QStringLiteral("game-dir"),
        QStringLiteral("Use the Korvath II directory DIR for this run only (it is not saved); "
                       "with --recover, put back what was cut short there."),
        QStringLiteral("DIR"));
    const QCommandLineOption listWorlds(
        QStringLiteral("list-worlds"),
        QStringLiteral("Print the worlds, one a line: label, a tab, display name."));
    const QCommandLineOption recover(
        QStringLiteral("recover"),
        QStringLiteral("Only put back the folders of a launch that was cut short, in the saved "
                       "Korvath II directory (or the one --game-dir gives) and wherever else "
                       "one is recorded."));
    const QCommandLineOption addToMenu(
        QStringLiteral("add-to-menu"),
        QStringLiteral("Put an entry into the desktop's applications menu (in "
                       "~/.local/share/applications) that plays the world NAME (as for --world) "
                       "of the saved Korvath II directory, or of the one --game-dir gives."),
        QStringLiteral("NAME"));
    const QCommandLineOption removeFromMenu(
        QStringLiteral("remove-from-menu"),
        QStringLiteral("Remove the menu entry of the world NAME (as for --world, or the label "
                       "of a world that is gone) of the saved Korvath II directory, or of the one "
                       "--game-dir gives (also one that is gone). Only the launcher's own entries "
                       "are removed."),
        QStringLiteral("NAME"));
    parser.addOptions(
        {help, version, world, editor, gameDir, listWorlds, recover, addToMenu, removeFromMenu});

    CommandLine command;
    if (!parser.parse(arguments))
        return refused(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return refused(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    if (parser.isSet(help)) {
        command.action = Action::PrintHelp;
        // Without an application object the parser cannot know the program's name.
        command.text = parser.helpText().replace(QStringLiteral("<executable_name>"), kProgram);
        return command;
    }
    if (parser.isSet(version)) {
        command.action = Action::PrintVersion;
        command.text = QStringLiteral("%1 %2").arg(kProgram, kApplicationVersion);
        return command;
    }
    const int actions = int(parser.isSet(world)) + int(parser.isSet(listWorlds)) +
                        int(parser.isSet(recover)) + int(parser.isSet(addToMenu)) +
                        int(parser.isSet(removeFromMenu));
    if (actions > 1)
        return refused(QStringLiteral("--world, --list-worlds, --recover, --add-to-menu and "
                                      "--remove-from-menu go one at a time"));
    if (parser.isSet(editor) && !parser.isSet(world))
        return refused(QStringLiteral("--editor goes with --world"));
    if (parser.isSet(gameDir) && actions == 0)
        return refused(QStringLiteral("--game-dir goes with --world, --list-worlds, --recover, "
                                      "--add-to-menu or --remove-from-menu"));
    command.gameDir = parser.value(gameDir);
    command.editor = parser.isSet(editor);
    if (parser.isSet(world)) {
        command.action = Action::LaunchWorld;
        command.world = parser.value(world);
    } else if (parser.isSet(listWorlds)) {
        command.action = Action::ListWorlds;
    } else if (parser.isSet(recover)) {
        command.action = Action::Recover;
    } else if (parser.isSet(addToMenu)) {
        command.action = Action::AddToMenu;
        command.world = parser.value(addToMenu);
    } else if (parser.isSet(removeFromMenu)) {
        command.action = Action::RemoveFromMenu;
        command.world = parser.value(removeFromMenu);
    }
    return command;
}
