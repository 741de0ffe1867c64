#include "app/CommandLine.h"
#include "app/RealServices.h"
#include "app/ui/FailureDialog.h"
#include "app/ui/LauncherFont.h"
#include "app/ui/RunLauncher.h"
#include "worlds/CommandLineRun.h"

#include <QApplication>
#include <QLoggingCategory>
#include <cstdio>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace {

void printLine(std::FILE* stream, const QString& text) {
    std::fputs(qPrintable(text + QLatin1Char('\n')), stream);
    std::fflush(stream);
}

const QString kNoDisplayText = QStringLiteral(
    "korvath2-launcher: there is no display to open the window on; --world and --list-worlds "
    "work without one.");

// --world, --list-worlds, --recover, --add-to-menu, --remove-from-menu: no window and no
// display. The toolkit's options are ignored here.
int runWithoutWindow(char* program, const CommandLine& command) {
    int argc = 1;
    char* argv[] = {program, nullptr};
    QStringList said; // what went wrong, for a player without a terminal
    const int status = [&] {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(kApplicationName);
        // Each failure is said once, in the launcher's message; the log of the same
        // failure only where QT_LOGGING_RULES asks for it (those rules come after these).
        QLoggingCategory::setFilterRules(QStringLiteral("korvath.*=false"));
        RealServices real;
        CommandLineRun::Services services;
        services.createFileSystem = &RealServices::createFileSystem;
        services.settings = &real.settings;
        services.settingsFile = real.settingsFile;
        services.processRunner = &real.processRunner;
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

// QApplication's arguments: the program's name, then the toolkit's options. They live
// as long as this object, which outlives the application.
class ToolkitArgv {
public:
    ToolkitArgv(char* program, const QStringList& options) {
        for (const QString& option : options)
            m_bytes.push_back(option.toLocal8Bit());
        m_pointers.push_back(program);
        for (QByteArray& bytes : m_bytes)
            m_pointers.push_back(bytes.data());
        argc = int(m_pointers.size());
        m_pointers.push_back(nullptr);
    }
    int argc = 0;
    char** argv() { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_bytes;
    std::vector<char*> m_pointers;
};

// What the toolkit says while it looks for a display: said only once one opened.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage> heldMessages;
std::mutex heldMessagesLock; // the toolkit's threads may speak too
QtMessageHandler toolkitHandler = nullptr;

void sayHeldMessages() {
    std::vector<HeldMessage> messages;
    {
        const std::lock_guard<std::mutex> lock(heldMessagesLock);
        messages.swap(heldMessages);
    }
    for (const HeldMessage& message : messages)
        toolkitHandler(message.type,
                       QMessageLogContext(nullptr, 0, nullptr, message.category.constData()),
                       message.text);
}

void holdMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    {
        const std::lock_guard<std::mutex> lock(heldMessagesLock);
        heldMessages.push_back({type, context.category, text});
    }
    if (type == QtFatalMsg) // the program ends after this one: all is said
        sayHeldMessages();
}

int runWindow(char* program, const CommandLine& command) {
    // Unless the user chose a platform, the toolkit's own ones are tried and then the
    // offscreen one: no display to open then ends in our one line, not the toolkit's
    // abort and its plugin messages.
    const bool chosen = !command.toolkitValue(QStringLiteral("platform")).isEmpty() ||
                        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (!chosen) {
        if (qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            command.toolkitValue(QStringLiteral("display")).isEmpty()) {
            printLine(stderr, kNoDisplayText);
            return ExitStatus::kFailed;
        }
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                                       ? "xcb;offscreen"
                                       : "wayland;xcb;offscreen");
        toolkitHandler = qInstallMessageHandler(holdMessage);
    }
    ToolkitArgv toolkit(program, command.toolkitArguments);
    QApplication app(toolkit.argc, toolkit.argv());
    if (!chosen) {
        qunsetenv("QT_QPA_PLATFORM"); // the programs the launcher starts choose their own
        qInstallMessageHandler(toolkitHandler);
        if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
            printLine(stderr, kNoDisplayText);
            return ExitStatus::kFailed;
        }
        sayHeldMessages();
    }
    QApplication::setApplicationName(kApplicationName);
    LauncherFont::apply(command.toolkitValue(QStringLiteral("style")));
    return RunLauncher();
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
        return runWithoutWindow(argv[0], command);
    case CommandLine::Action::OpenWindow:
        break;
    }
    return runWindow(argv[0], command);
}
