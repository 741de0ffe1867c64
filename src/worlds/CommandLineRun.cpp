#include "worlds/CommandLineRun.h"

#include "app/CommandLine.h"
#include "app/FileSystem.h"
#include "app/LauncherState.h"
#include "app/SettingsStore.h"
#include "gamedir/KVDirStuff.h"
#include "platform/InstanceLock.h"
#include "worlds/DesktopEntries.h"
#include "worlds/SwitchRecords.h"
#include "worlds/WorldCatalogue.h"
#include "worlds/WorldLaunch.h"

#include <QFileInfo>

namespace CommandLineRun {

namespace {

const QString kProgram = QStringLiteral("korvath2-launcher");

// A message of the window's launch, for a terminal: what to do instead of clicking
// Launch. Folders that could not be put back are left to --recover.
QString forTerminal(QString text, bool folderNotPutBack) {
    return text.replace(QStringLiteral("click Launch again"),
                        folderNotPutBack ? QStringLiteral("run korvath2-launcher --recover")
                                         : QStringLiteral("run the same command again"));
}

// A message with the paths and the system's words behind it, on one line.
QString withDetails(const QString& text, const QString& details) {
    if (details.isEmpty())
        return text;
    return text + QStringLiteral(" [") + QString(details).replace(QLatin1Char('\n'), "; ") +
           QLatin1Char(']');
}

class Runner {
public:
    Runner(const CommandLine& command, const Services& services)
        : m_command(command), m_services(services), m_settings(*services.settings) {
        m_state.fileSystem = services.createFileSystem();
        const QChar separator = m_state.fileSystem->separator();
        KVDirStuff::FillGameFolderPaths(m_table, separator);
        KVDirStuff::FillGameFolderNames(m_table, separator);
    }

    int run() {
        try {
            switch (m_command.action) {
            case CommandLine::Action::LaunchWorld:
                return launch();
            case CommandLine::Action::ListWorlds:
                return listWorlds();
            case CommandLine::Action::Recover:
                return recover();
            case CommandLine::Action::AddToMenu:
                return addToMenu();
            case CommandLine::Action::RemoveFromMenu:
                return removeFromMenu();
            default:
                break;
            }
        } catch (const LauncherError& error) {
            return fail(error.message());
        }
        return ExitStatus::kUsage;
    }

private:
    int fail(const QString& why, int status = ExitStatus::kCannotLaunch) {
        m_services.warn(kProgram + QStringLiteral(": ") + why);
        return status;
    }

    // The game directory of this run as it is on disk, ending with the separator, or ""
    // with why in why and, where one was named, the directory as named in named.
    QString resolveGameDirectory(QString& why, QString& named) {
        QString dir = m_command.gameDir;
        if (dir.isEmpty()) {
            dir = m_settings.GetSetting(kSettingsSection, kGameDirKey);
            if (dir.isEmpty()) {
                why = QStringLiteral("no Korvath II directory is set up; choose it in the "
                                     "launcher's window, or give --game-dir DIR.");
                return QString();
            }
        } else {
            dir = QFileInfo(dir).absoluteFilePath();
        }
        named = dir;
        const QString resolved = KVDirStuff::ResolveGameDir(*m_state.fileSystem, dir);
        if (resolved.isEmpty()) {
            why = QStringLiteral("%1: there is no such folder, or several whose names differ "
                                 "only in letter case.")
                      .arg(dir);
            return QString();
        }
        if (!KVDirStuff::IsGameDirectory(*m_state.fileSystem, resolved)) {
            why = QStringLiteral("%1 does not contain a Korvath II installation (no %2).")
                      .arg(resolved, KVDirStuff::kGameExecutable);
            return QString();
        }
        return resolved;
    }

    // The game directory of this run, or "" (said why).
    QString gameDirectory() {
        QString why, named;
        const QString dir = resolveGameDirectory(why, named);
        if (dir.isEmpty())
            fail(why);
        return dir;
    }

    static QString line(const WorldData& world) {
        return world.DirLabel() + QLatin1Char('\t') + world.DisplayName();
    }

    // The game directory of this run and its catalogue; false (said why) without one.
    bool readCatalogue() {
        m_state.gameDir = gameDirectory();
        if (m_state.gameDir.isEmpty())
            return false;
        WorldCatalogue::ReadWorlds(*m_state.fileSystem, m_state.gameDir, m_state.Worlds());
        return true;
    }

    int listWorlds() {
        if (!readCatalogue())
            return ExitStatus::kCannotLaunch;
        WorldList& worlds = m_state.Worlds();
        for (int i = 1; i <= worlds.Count(); ++i)
            m_services.print(line(worlds.Item(i)));
        return 0;
    }

    // The catalogue entries NAME names: a label or a display name, any letter case;
    // "" and the default world's name are the default world.
    QList<int> matchWorlds(WorldList& worlds) const {
        const QString& name = m_command.world;
        if (name.isEmpty() ||
            name.compare(WorldCatalogue::kDefaultWorldName, Qt::CaseInsensitive) == 0)
            return {1};
        // The name as it is written first: two worlds whose labels differ only in
        // letter case are two worlds.
        QList<int> matches;
        for (const Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
            for (int i = 2; i <= worlds.Count(); ++i) {
                const WorldData& world = worlds.Item(i);
                if (name.compare(world.DirLabel(), sensitivity) == 0 ||
                    name.compare(world.DisplayName(), sensitivity) == 0)
                    matches.append(i);
            }
            if (!matches.isEmpty())
                break;
        }
        return matches;
    }

    // Says that NAME names no world or several, with the worlds listed; 0.
    int refuseName(WorldList& worlds, bool ambiguous) {
        const QString& name = m_command.world;
        fail(ambiguous ? QStringLiteral("\"%1\" names more than one world; give its label. The "
                                        "worlds (label, display name):")
                             .arg(name)
                       : QStringLiteral("no world is called \"%1\". The worlds (label, display "
                                        "name):")
                             .arg(name),
             ExitStatus::kUsage);
        for (int i = 1; i <= worlds.Count(); ++i)
            m_services.warn(line(worlds.Item(i)));
        return 0;
    }

    // The catalogue entry NAME names, or 0 when none or several (said why).
    int findWorld(WorldList& worlds) {
        const QList<int> matches = matchWorlds(worlds);
        return matches.size() == 1 ? matches.first() : refuseName(worlds, !matches.isEmpty());
    }

    // Reads the catalogue and finds the world NAME names: its catalogue position, or 0
    // with status set to the exit status (the reason is said).
    int namedWorld(int& status) {
        status = ExitStatus::kCannotLaunch;
        if (!readCatalogue())
            return 0;
        status = ExitStatus::kUsage;
        return findWorld(m_state.Worlds());
    }

    // The lock of this settings home, and no program of an earlier launch running.
    bool takeOver(InstanceLock& lock) {
        if (lock.acquire() == InstanceLock::Outcome::HeldByAnother) {
            fail(QStringLiteral("another Korvath II Launcher is running with these settings, "
                                "so nothing was renamed."));
            return false;
        }
        if (InstanceLock::runningChild(m_services.settingsFile) != 0) {
            fail(WorldLaunch::kEarlierRunText.section(QLatin1Char('.'), 0, 0) +
                 QStringLiteral(", so nothing was renamed."));
            return false;
        }
        // Labels of a launcher that kept no switch records belong to its saved directory.
        SwitchRecords::AdoptEarlierLabels(m_settings,
                                          m_settings.GetSetting(kSettingsSection, kGameDirKey));
        return true;
    }

    int launch() {
        // The world is known before anything is renamed.
        int status = 0;
        const int world = namedWorld(status);
        if (world == 0)
            return status;
        WorldList& worlds = m_state.Worlds();

        InstanceLock lock(m_services.settingsFile);
        if (!takeOver(lock))
            return ExitStatus::kCannotLaunch;
        const WorldLaunch::Preparation preparation =
            WorldLaunch::Prepare(*m_state.fileSystem, m_settings, m_table, m_state.gameDir);
        if (preparation.refusal) {
            const bool stowed = preparation.restored.settled.first().state ==
                                SwitchRecords::Settled::State::Blocked;
            return fail(withDetails(forTerminal(preparation.refusal->text, stowed),
                                    preparation.refusal->details));
        }

        m_state.dirLabel = worlds.Item(world).DirLabel();
        const QString program =
            m_command.editor ? KVDirStuff::kEditorExecutable : KVDirStuff::kGameExecutable;
        const WorldLaunch::Outcome outcome =
            WorldLaunch::Run(m_state, m_settings, *m_services.processRunner, m_table, program);
        if (outcome.message)
            m_services.warn(kProgram + QStringLiteral(": ") +
                            withDetails(forTerminal(outcome.message->text, outcome.notRestored),
                                        outcome.message->details));
        // The game's own exit code, unless the installation was left switched.
        if (outcome.notRestored)
            return ExitStatus::kCannotLaunch;
        if (outcome.started)
            return outcome.exitCode;
        switch (outcome.problem) {
        case LaunchStuff::StartProblem::Missing:
            return ExitStatus::kNotFound;
        case LaunchStuff::StartProblem::NeedsWine:
        case LaunchStuff::StartProblem::NotStarted:
            return ExitStatus::kNotStartable;
        case LaunchStuff::StartProblem::None:
            break;
        }
        return ExitStatus::kCannotLaunch;
    }

    int recover() {
        InstanceLock lock(m_services.settingsFile);
        if (!takeOver(lock))
            return ExitStatus::kCannotLaunch;
        // The installation given, or the saved one (where it can still be found), and
        // every one a switch is recorded for.
        QString dir = m_settings.GetSetting(kSettingsSection, kGameDirKey);
        if (!m_command.gameDir.isEmpty()) {
            dir = gameDirectory();
            if (dir.isEmpty())
                return ExitStatus::kCannotLaunch;
        }
        const SwitchRecords::RestoreOutcome outcome = SwitchRecords::RestoreReachable(
            *m_state.fileSystem, m_settings, m_table, QStringList{dir});
        for (const SwitchRecords::PutBack& putBack : outcome.putBack)
            m_services.print(QStringLiteral("Put back the folders of world \"%1\" in %2")
                                 .arg(putBack.dirLabel, putBack.gameDir));
        for (const SwitchRecords::Record& record : outcome.unreachable)
            m_services.print(QStringLiteral("World \"%1\" is still switched in at %2, which "
                                            "cannot be reached; it will be put back when it can.")
                                 .arg(record.dirLabel, record.gameDir));
        for (const SwitchRecords::Record& record : outcome.elsewhere)
            m_services.print(
                QStringLiteral("Nothing was put back at %1: it now holds another Korvath II "
                               "installation, where world \"%2\" is not switched in. If that "
                               "installation was moved, run korvath2-launcher --recover "
                               "--game-dir with its new place.")
                    .arg(record.gameDir, record.dirLabel));
        using State = SwitchRecords::Settled::State;
        const QList<SwitchRecords::Settled> held = outcome.in(State::Held);
        const QList<SwitchRecords::Settled> blocked = outcome.in(State::Blocked);
        for (const SwitchRecords::Settled& running : held)
            fail(QStringLiteral("Korvath II is running from %1, so nothing was renamed there. "
                                "Run korvath2-launcher --recover again once it has ended.")
                     .arg(running.gameDir));
        for (const SwitchRecords::Settled& settled : blocked)
            fail(withDetails(forTerminal(SwitchRecords::RestoreFailureText(*settled.trouble), true),
                             settled.trouble->details.join(QLatin1Char('\n'))));
        if (outcome.putBack.isEmpty() && outcome.unreachable.isEmpty() &&
            outcome.elsewhere.isEmpty() && held.isEmpty() && blocked.isEmpty())
            m_services.print(QStringLiteral("Nothing to put back: no launch was cut short."));
        return held.isEmpty() && blocked.isEmpty() ? 0 : ExitStatus::kCannotLaunch;
    }

    int addToMenu() {
        int status = 0;
        const int world = namedWorld(status);
        if (world == 0)
            return status;
        const WorldData& named = m_state.Worlds().Item(world);
        try {
            m_services.print(DesktopEntries::Add(m_state.gameDir, named.DirLabel(),
                                                 named.DisplayName(), m_services.launcherProgram));
        } catch (const FileSystemError& error) {
            return fail(error.message(), ExitStatus::kFailed);
        }
        return 0;
    }

    // The entry of a world in the catalogue; else that of a label that is no longer
    // there, or of an installation that is gone, so that a stale entry can go too.
    int removeFromMenu() {
        QString why, named;
        m_state.gameDir = resolveGameDirectory(why, named);
        if (m_state.gameDir.isEmpty()) {
            if (!named.isEmpty() && DesktopEntries::Exists(named, m_command.world))
                return removeEntry(named, m_command.world);
            return fail(why);
        }
        WorldList& worlds = m_state.Worlds();
        WorldCatalogue::ReadWorlds(*m_state.fileSystem, m_state.gameDir, worlds);
        const QList<int> matches = matchWorlds(worlds);
        if (matches.size() == 1)
            return removeEntry(m_state.gameDir, worlds.Item(matches.first()).DirLabel());
        if (matches.isEmpty() && DesktopEntries::Exists(m_state.gameDir, m_command.world))
            return removeEntry(m_state.gameDir, m_command.world);
        refuseName(worlds, !matches.isEmpty());
        return ExitStatus::kUsage;
    }

    int removeEntry(const QString& gameDir, const QString& dirLabel) {
        bool removed = false;
        try {
            m_services.print(DesktopEntries::Remove(gameDir, dirLabel, &removed));
        } catch (const FileSystemError& error) {
            return fail(error.message(), ExitStatus::kFailed);
        }
        if (!removed)
            m_services.warn(kProgram + QStringLiteral(": there was no menu entry for that world; "
                                                      "nothing was removed."));
        return 0;
    }

    const CommandLine& m_command;
    const Services& m_services;
    SettingsStore& m_settings;
    LauncherState m_state;
    KVDirStuff::GameFolderTable m_table;
};

} // namespace

int Run(const CommandLine& command, const Services& services) {
    return Runner(command, services).run();
}

} // namespace CommandLineRun
