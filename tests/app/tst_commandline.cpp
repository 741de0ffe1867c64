// The command-line parser: each argument list gives one mode with its options, or a
// refusal (said on standard error, exit status 2) with its reason.
#include "app/CommandLine.h"

#include <QtTest>

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
};

namespace {

// What was parsed, in one line: the mode and the options that were given, or
// "refused: " and the reason's first line.
QString described(const CommandLine& command) {
    const char* modes[] = {"window", "help",    "version",     "refused",         "world",
                           "list",   "recover", "add-to-menu", "remove-from-menu"};
    if (command.action == CommandLine::Action::Refuse)
        return "refused: " + command.text.section('\n', 0, 0).section(": ", 1);
    QStringList parts = {modes[int(command.action)]};
    if (command.action == CommandLine::Action::LaunchWorld || !command.world.isEmpty())
        parts << '"' + command.world + '"';
    if (command.action == CommandLine::Action::PrintHelp && command.text.contains("--platform"))
        parts << "with the toolkit's";
    if (command.editor)
        parts << "editor";
    if (!command.gameDir.isEmpty())
        parts << "dir=" + command.gameDir;
    if (!command.toolkitArguments.isEmpty())
        parts << "toolkit=" + command.toolkitArguments.join(',');
    for (const char* name : {"platform", "style"}) {
        if (!command.toolkitValue(name).isEmpty())
            parts << QString(name) + '=' + command.toolkitValue(name);
    }
    return parts.join(' ');
}

} // namespace

void CommandLineTest::parse_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("parsed");
    const std::pair<const char*, std::pair<QStringList, QString>> rows[] = {
        {"no option opens the window", {{}, "window"}},
        {"help", {{"-h"}, "help"}},
        {"version", {{"--version"}, "version"}},
        {"a world, its value apart", {{"--world", "Frost March"}, R"(world "Frost March")"}},
        {"a world, its value after =, with the editor",
         {{"--editor", "--world=a=b"}, R"(world "a=b" editor)"}},
        {"an empty name is the default world", {{"--world", ""}, R"(world "")"}},
        {"a value that looks like an option is a value",
         {{"--world", "-reverse", "--game-dir", "--recover"}, R"(world "-reverse" dir=--recover)"}},
        {"list in another directory", {{"--list-worlds", "--game-dir=/k 2"}, "list dir=/k 2"}},
        {"recover", {{"--recover"}, "recover"}},
        {"menu entries", {{"--add-to-menu", "dawn"}, R"(add-to-menu "dawn")"}},
        {"menu entries out", {{"--remove-from-menu=dawn"}, R"(remove-from-menu "dawn")"}},
        {"the toolkit's options with one dash or two, = or apart",
         {{"-platform", "xcb", "--style=Windows", "--reverse", "-qwindowtitle=T", "--list-worlds"},
          "list toolkit=-platform,xcb,-style,Windows,-reverse,-qwindowtitle,T platform=xcb "
          "style=Windows"}},
        {"the toolkit's last value counts",
         {{"-style", "A", "--style", "B"}, "window toolkit=-style,A,-style,B style=B"}},
        {"the toolkit's options with help",
         {{"--help-all", "-display", ":1"}, "help with the toolkit's toolkit=-display,:1"}},
        {"unknown option", {{"--world-peace"}, "refused: Unknown option 'world-peace'."}},
        {"unknown one-dash option", {{"-bogus"}, "refused: Unknown option 'bogus'."}},
        {"a value given to a toolkit flag",
         {{"--reverse=1"}, "refused: Unknown option 'reverse'."}},
        {"no value for ours", {{"--world"}, "refused: Missing value after '--world'."}},
        {"no value for the toolkit's",
         {{"--list-worlds", "-platform"}, "refused: Missing value after '-platform'."}},
        {"an empty platform", {{"--platform="}, "refused: Missing value after '--platform='."}},
        {"an argument that is no option", {{"stray"}, "refused: unexpected argument 'stray'"}},
        {"after --, nothing is an option",
         {{"--", "-reverse"}, "refused: unexpected argument '-reverse'"}},
        {"two modes",
         {{"--world", "a", "--recover"},
          "refused: --world, --list-worlds, --recover, --add-to-menu and --remove-from-menu go "
          "one at a time"}},
        {"the editor alone",
         {{"--editor", "--list-worlds"}, "refused: --editor goes with --world"}},
        {"a directory for the window",
         {{"--game-dir", "/k"},
          "refused: --game-dir goes with --world, --list-worlds, --recover, --add-to-menu or "
          "--remove-from-menu"}},
    };
    for (const auto& [name, row] : rows)
        QTest::newRow(name) << row.first << row.second;
}

void CommandLineTest::parse() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, parsed);
    const CommandLine command = CommandLine::parse(QStringList{"korvath2-launcher"} + arguments);
    QCOMPARE(described(command), parsed);
    // A refusal names the program and points at --help.
    if (command.action == CommandLine::Action::Refuse)
        QVERIFY(command.text.startsWith("korvath2-launcher: ") &&
                command.text.endsWith("\nTry 'korvath2-launcher --help' for the options."));
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
