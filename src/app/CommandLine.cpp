#include "app/CommandLine.h"

#include "app/Version.h"

#include <QCommandLineParser>

#include <algorithm>

namespace {

const QString kProgram = QStringLiteral("korvath2-launcher");
constexpr int kColumns = 80; // the help fits a terminal this wide

CommandLine refused(const QString& why) {
    CommandLine command;
    command.action = CommandLine::Action::Refuse;
    command.text = QStringLiteral("%1: %2\nTry '%1 --help' for the options.").arg(kProgram, why);
    return command;
}

// The options that QApplication and its platform plugins take out of the command line
// themselves, written with one dash or two; a value follows as the next argument or
// after "=". X11's options are taken whatever the platform: elsewhere they do nothing.
struct ToolkitOption {
    const char* name;
    const char* value; // "" for an option without a value
    const char* description;
};
const ToolkitOption kToolkitOptions[] = {
    {"platform", "NAME[:OPTIONS]",
     "The toolkit's platform plugin (xcb, wayland, offscreen, ...), instead of "
     "QT_QPA_PLATFORM's."},
    {"platformpluginpath", "DIR", "Where to look for platform plugins."},
    {"platformtheme", "THEME", "The platform theme."},
    {"plugin", "PLUGIN", "A further plugin to load (an input device, say); may be repeated."},
    {"style", "STYLE", "The widget style (Fusion, Windows) instead of the launcher's Fusion."},
    {"stylesheet", "FILE", "A style sheet for the window."},
    {"reverse", "", "Lay the window out from right to left."},
    {"qwindowgeometry", "GEOMETRY", "The window's place, as X11 writes it: +50+50."},
    {"qwindowtitle", "TITLE", "The window's title."},
    {"qwindowicon", "ICON", "The window's icon."},
    {"session", "SESSION", "Restore an earlier session (the session manager gives it)."},
    {"widgetcount", "", "At the end, print how many widgets were left."},
    {"testability", "", "Load the toolkit's testability driver."},
    {"qmljsdebugger", "VALUE", "Taken by the toolkit; the launcher has no QML to debug."},
    {"display", "DISPLAY", "X11: the display to use, instead of $DISPLAY."},
    {"geometry", "GEOMETRY", "X11: as --qwindowgeometry."},
    {"title", "TITLE", "X11: as --qwindowtitle."},
    {"icon", "ICON", "X11: as --qwindowicon."},
    {"name", "NAME", "X11: the window's instance name."},
    {"visual", "ID", "X11: the visual to use."},
    {"nograb", "", "X11: never grab the mouse (in a debugger, say)."},
    {"dograb", "", "X11: grab the mouse, even in a debugger."},
};

// The toolkit's option that argument gives ("-platform", "--style=Windows"), or nullptr.
const ToolkitOption* toolkitOption(const QString& argument) {
    if (!argument.startsWith(QLatin1Char('-')))
        return nullptr;
    const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    const int equals = name.indexOf(QLatin1Char('='));
    for (const ToolkitOption& option : kToolkitOptions) {
        if (equals < 0 ? name == QLatin1String(option.name)
                       : *option.value && name.left(equals) == QLatin1String(option.name))
            return &option;
    }
    return nullptr;
}

// text in lines that fit the terminal when indent columns are already taken on each.
QString wrapped(const QString& text, int indent = 0) {
    QStringList lines = {QString()};
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!lines.last().isEmpty() && indent + lines.last().size() + 1 + word.size() > kColumns)
            lines.append(QString());
        lines.last() += (lines.last().isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return lines.join(QLatin1Char('\n') + QString(indent, QLatin1Char(' ')));
}

QString toolkitHelp() {
    QCommandLineParser parser;
    for (const ToolkitOption& option : kToolkitOptions)
        parser.addOption({QString::fromLatin1(option.name), QString::fromLatin1(option.description),
                          QString::fromLatin1(option.value)});
    const QString options = parser.helpText();
    return QStringLiteral("\nThe toolkit's options (also with one dash: -platform offscreen, "
                          "-style=Windows):\n") +
           options.mid(
               options.indexOf(QLatin1Char('\n'), options.indexOf(QStringLiteral("Options:"))) + 1);
}

QString exitStatusHelp() {
    const std::pair<const char*, const char*> statuses[] = {
        {"0", "done; with --world, once the game has run: the game's own exit status"},
        {"1", "the window could not open (no display, say); a menu entry could not be "
              "written or removed"},
        {"2", "a bad option, or a world that is unknown or ambiguous"},
        {"125", "nothing was launched (no game directory, another launcher running, a folder "
                "that could not be switched), or a folder was not put back afterwards"},
        {"126", "the game or the editor could not be started"},
        {"127", "the game or the editor is not in the game directory"}};
    QString text = QStringLiteral("\nExit status (the reason for a failure is on standard "
                                  "error):\n");
    for (const auto& [status, meaning] : statuses)
        text += QStringLiteral("  %1").arg(QLatin1String(status), -5) +
                wrapped(QString::fromLatin1(meaning), 7) + QLatin1Char('\n');
    return text;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    QStringList description;
    for (const char* paragraph :
         {"Pick a Korvath II world and play it, or package worlds and tomes for others. Without "
          "options the launcher opens its window.",
          "With --world the launcher needs no window and no display: it puts back a launch that "
          "was cut short, switches the world in, runs the game, waits for its end, switches the "
          "world out and exits with the game's exit code.",
          "--add-to-menu and --remove-from-menu print the path of the menu entry."})
        description.append(wrapped(QString::fromLatin1(paragraph)));
    parser.setApplicationDescription(description.join(QStringLiteral("\n\n")));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print these options and exit."));
    const QCommandLineOption helpAll(
        QStringLiteral("help-all"),
        QStringLiteral(
            "Print these options and the toolkit's (-platform, -style, ...), and exit."));
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
    const QList<QCommandLineOption> options = {help,      helpAll,       version,    world,
                                               editor,    gameDir,       listWorlds, recover,
                                               addToMenu, removeFromMenu};
    parser.addOptions(options);

    // The toolkit's options are taken out first, and ours read from what is left. The
    // value of one of ours is never taken for an option ("--world -reverse").
    CommandLine command;
    QStringList ours = arguments.mid(0, 1);
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--")) {
            ours += arguments.mid(i);
            break;
        }
        const ToolkitOption* option = toolkitOption(argument);
        if (!option) {
            const bool valueFollows = std::any_of(options.begin(), options.end(), [&](auto& o) {
                return !o.valueName().isEmpty() && "--" + o.names().last() == argument;
            });
            ours += arguments.mid(i, valueFollows ? 2 : 1);
            i += valueFollows ? 1 : 0;
            continue;
        }
        command.toolkitArguments.append(QLatin1Char('-') + QLatin1String(option->name));
        if (!*option->value)
            continue;
        const int equals = argument.indexOf(QLatin1Char('='));
        const QString value = equals >= 0 ? argument.mid(equals + 1) : arguments.value(++i);
        // The toolkit would end the program at once without a platform's name.
        if ((equals < 0 && i == arguments.size()) ||
            (value.isEmpty() && qstrcmp(option->name, "platform") == 0))
            return refused(QStringLiteral("Missing value after '%1'.").arg(argument));
        command.toolkitArguments.append(value);
    }
    // "-bogus" is one unknown option, as the toolkit's own "-reverse" is one option,
    // not the letters b, o, g, u and s.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!parser.parse(ours))
        return refused(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return refused(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    if (parser.isSet(help) || parser.isSet(helpAll)) {
        command.action = Action::PrintHelp;
        // Without an application object the parser cannot know the program's name.
        command.text = parser.helpText().replace(QStringLiteral("<executable_name>"), kProgram) +
                       (parser.isSet(helpAll) ? toolkitHelp() : QString()) + exitStatusHelp();
        command.text.chop(1); // the last line's end: it is printed as a line
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

QString CommandLine::toolkitValue(const QString& name) const {
    QString value;
    for (int i = 0; i < toolkitArguments.size(); ++i) {
        const ToolkitOption* option = toolkitOption(toolkitArguments[i]);
        if (option && *option->value && ++i < toolkitArguments.size() &&
            QLatin1String(option->name) == name)
            value = toolkitArguments[i];
    }
    return value;
}
