#include "worlds/CommandLineRun.h"

#include "app/CommandLine.h"
#include "app/FileSystem.h"
#include "app/LauncherState.h"
#include "app/Problem.h"
#include "app/SettingsStore.h"
#include "gamedir/KVDirStuff.h"
#include "platform/InstanceLock.h"
#include "worlds/DesktopEntries.h"
#include "worlds/SwitchRecords.h"
#include "worlds/WorldCatalogue.h"
#include "worlds/WorldLaunch.h"

#include <QFileInfo>

#include <cerrno>

namespace CommandLineRun {

namespace {

const QString kProgram = QStringLiteral("korvath2-launcher");

using Kind = Problem::Kind;

const QString kAgain = QStringLiteral("run the same command again");
const QString kRecover = QStringLiteral("run korvath2-launcher --recover");

// The system's reason, as the terminal gives it.
QString reasonOf(const Problem& problem) {
    const bool renaming =
        problem.kind == Kind::FolderNotSwitchedIn || problem.kind == Kind::FolderNotPutBack;
    if (renaming && !problem.name.isEmpty() &&
        (problem.systemError == EEXIST || problem.systemError == ENOTEMPTY))
        return QStringLiteral("\"%1\" is in the way").arg(problem.name);
    if (problem.kind == Kind::RecordUnreadable && problem.systemError == 0)
        return QStringLiteral("it is damaged");
    if (problem.kind == Kind::RecordUnreadable && problem.systemError == EINVAL)
        return QStringLiteral("it is not a regular file");
    if (!problem.reason.isEmpty())
        return problem.reason;
    return QStringLiteral("the system gave no reason");
}

// " and 2 more folders", or nothing.
QString more(const Problem& problem, const QString& things = QStringLiteral("folders")) {
    if (problem.more == 0)
        return QString();
    return QStringLiteral(" and %1 more %2").arg(problem.more).arg(things);
}

QString sentenceOf(const Problem& problem) {
    const QString& path = problem.path;
    const QString reason = reasonOf(problem);
    switch (problem.kind) {
    case Kind::FolderNotSwitchedIn:
        return QStringLiteral("%1%2 could not be moved into place (%3), so nothing was started. "
                              "Fix that, then %4.")
            .arg(path, more(problem), reason, kAgain);
    case Kind::FolderNotRead:
        return QStringLiteral("%1 could not be read (%2), so nothing was renamed or started. Fix "
                              "that, then %3.")
            .arg(path, reason, kAgain);
    case Kind::AmbiguousNames:
        return QStringLiteral("%1%2 have names that differ only in letter case, so it is unclear "
                              "which folder belongs to the world, and nothing was renamed. Rename "
                              "them, then %3.")
            .arg(path, more(problem), kAgain);
    case Kind::RecordNotWritten:
        return QStringLiteral("the launcher's record %1 could not be written (%2), so nothing was "
                              "renamed. Fix that, then %3.")
            .arg(path, reason, kAgain);
    case Kind::SettingsNotSaved:
        return QStringLiteral("%1 Nothing was renamed or started; fix that, then %2.")
            .arg(problem.reason, kAgain);
    case Kind::FolderNotPutBack: {
        const QString still = problem.more == 0 ? QString()
                                                : QStringLiteral(", and %1 more folders are still "
                                                                 "stored away")
                                                      .arg(problem.more);
        if (problem.name.isEmpty())
            return QStringLiteral("%1 could not be put back (%2)%3. Fix that, then %4.")
                .arg(path, reason, still, kRecover);
        return QStringLiteral("%1 could not take back its name \"%2\" (%3)%4. Fix that, then %5.")
            .arg(path, problem.name, reason, still, kRecover);
    }
    case Kind::FolderNotLookedInto:
        return QStringLiteral("%1 could not be read (%2), so what is still switched in there "
                              "could not be put back. Fix that, then %3.")
            .arg(path, reason, kRecover);
    case Kind::RecordUnreadable:
        if (problem.more == 0)
            return QStringLiteral("the launcher's record %1 cannot be read (%2). Remove it, then "
                                  "%3.")
                .arg(path, reason, kRecover);
        return QStringLiteral("the launcher's record %1 cannot be read (%2), and %3 folders are "
                              "stored away. Put them back by hand, then %4.")
            .arg(path, reason)
            .arg(problem.more)
            .arg(kRecover);
    case Kind::RecordNotRemoved:
        return QStringLiteral("the launcher's record %1 could not be removed (%2). Fix that, then "
                              "%3.")
            .arg(path, reason, kRecover);
    case Kind::NotSynced:
        return QStringLiteral("could not make sure that the folders in %1 are back on the disk "
                              "(%2). Fix that, then %3.")
            .arg(path, reason, kRecover);
    case Kind::UnknownStowed:
        return QStringLiteral("a launch that the launcher has no record of stored away %1%2. Put "
                              "that back by hand, then %3.")
            .arg(path, more(problem), kRecover);
    case Kind::HeldByProgram:
        return QStringLiteral("Korvath II is running from %1, started by another launcher, so "
                              "nothing was renamed there. Once it has ended, %2.")
            .arg(path, kAgain);
    case Kind::EarlierRunRunning:
        return QStringLiteral("Korvath II is still running from an earlier launch, so nothing "
                              "was renamed. Once it has ended, %1.")
            .arg(kAgain);
    case Kind::SwitchUnreachable:
        return QStringLiteral("a world is still switched in at %1%2, which cannot be reached; it "
                              "will be put back when it can.")
            .arg(path, more(problem, QStringLiteral("directories")));
    case Kind::ProgramNotFound:
        return QStringLiteral("%1 was not found, so nothing was started. Give the Korvath II "
                              "directory with --game-dir DIR, or choose it in the launcher's "
                              "window.")
            .arg(path);
    case Kind::ProgramNeedsWine:
        if (!problem.name.isEmpty())
            return QStringLiteral("%1 is a Windows program, and WINE names no program to run it "
                                  "with (\"%2\"). Correct WINE, then %3.")
                .arg(path, problem.name, kAgain);
        return QStringLiteral("%1 is a Windows program. Install Wine to run it, then %2.")
            .arg(path, kAgain);
    case Kind::ProgramNotStartable:
        return QStringLiteral("could not start %1 (%2). Fix that, then %3.")
            .arg(path, reason, kAgain);
    case Kind::MenuEntryNotAdded:
    case Kind::MenuEntryNotRemoved:
        return QStringLiteral("the menu entry %1 could not be %2 (%3).")
            .arg(path,
                 problem.kind == Kind::MenuEntryNotAdded ? QStringLiteral("written")
                                                         : QStringLiteral("removed"),
                 problem.systemError == EEXIST ? QStringLiteral("another file is in its place")
                                               : reason);
    default: // packaging is the window's alone
        return QStringLiteral("%1: %2.").arg(path, reason);
    }
}

} // namespace

QString Sentence(const Problem& problem) {
    const QStringList details = problem.details + problem.folders;
    if (details.isEmpty())
        return sentenceOf(problem);
    return sentenceOf(problem) + QStringLiteral(" [") + details.join(QStringLiteral("; ")) +
           QLatin1Char(']');
}

namespace {

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

    // The game directory of this run as it is on disk, ending with the separator; or
    // none, with why, and the directory as it was named where one was.
    struct GameDirectory {
        QString dir;
        QString named;
        QString why;
    };
    GameDirectory resolveGameDirectory() {
        GameDirectory found;
        QString& dir = found.named;
        dir = m_command.gameDir;
        if (dir.isEmpty()) {
            dir = m_settings.GetSetting(kSettingsSection, kGameDirKey);
            if (dir.isEmpty()) {
                found.why = QStringLiteral("no Korvath II directory is set up; choose it in the "
                                           "launcher's window, or give --game-dir DIR.");
                return found;
            }
        } else {
            dir = QFileInfo(dir).absoluteFilePath();
        }
        const QString resolved = KVDirStuff::ResolveGameDir(*m_state.fileSystem, dir);
        if (resolved.isEmpty())
            found.why = QStringLiteral("%1: there is no such folder, or several whose names "
                                       "differ only in letter case.")
                            .arg(dir);
        else if (!KVDirStuff::IsGameDirectory(*m_state.fileSystem, resolved))
            found.why = QStringLiteral("%1 does not contain a Korvath II installation (no %2).")
                            .arg(resolved, KVDirStuff::kGameExecutable);
        else
            found.dir = resolved;
        return found;
    }

    // The game directory of this run, or "" (said why).
    QString gameDirectory() {
        const GameDirectory found = resolveGameDirectory();
        if (found.dir.isEmpty())
            fail(found.why);
        return found.dir;
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
    // with the exit status (the reason is said).
    struct NamedWorld {
        int position = 0;
        int status = 0;
    };
    NamedWorld namedWorld() {
        if (!readCatalogue())
            return NamedWorld{0, ExitStatus::kCannotLaunch};
        return NamedWorld{findWorld(m_state.Worlds()), ExitStatus::kUsage};
    }

    // The lock of this settings home, and no program of an earlier launch running.
    bool takeOver(InstanceLock& lock) {
        if (lock.acquire() == InstanceLock::Outcome::HeldByAnother) {
            fail(QStringLiteral("another Korvath II Launcher is running with these settings, "
                                "so nothing was renamed."));
            return false;
        }
        if (InstanceLock::runningChild(m_services.settingsFile) != 0) {
            fail(Sentence(Problem{Problem::Kind::EarlierRunRunning}));
            return false;
        }
        // Labels of a launcher that kept no switch records belong to its saved directory.
        SwitchRecords::AdoptEarlierLabels(m_settings,
                                          m_settings.GetSetting(kSettingsSection, kGameDirKey));
        return true;
    }

    int launch() {
        // The world is known before anything is renamed.
        const NamedWorld named = namedWorld();
        if (named.position == 0)
            return named.status;
        const int world = named.position;
        WorldList& worlds = m_state.Worlds();

        InstanceLock lock(m_services.settingsFile);
        if (!takeOver(lock))
            return ExitStatus::kCannotLaunch;
        const WorldLaunch::Preparation preparation =
            WorldLaunch::Prepare(*m_state.fileSystem, m_settings, m_table, m_state.gameDir);
        if (preparation.refusal)
            return fail(Sentence(*preparation.refusal));

        m_state.dirLabel = worlds.Item(world).DirLabel();
        const QString program =
            m_command.editor ? KVDirStuff::kEditorExecutable : KVDirStuff::kGameExecutable;
        const WorldLaunch::Outcome outcome =
            WorldLaunch::Run(m_state, m_settings, *m_services.processRunner, m_table, program);
        // The game's own exit code, unless the installation was left switched.
        if (!outcome.problem)
            return outcome.exitCode;
        switch (outcome.problem->kind) {
        case Problem::Kind::ProgramNotFound:
            return fail(Sentence(*outcome.problem), ExitStatus::kNotFound);
        case Problem::Kind::ProgramNeedsWine:
        case Problem::Kind::ProgramNotStartable:
            return fail(Sentence(*outcome.problem), ExitStatus::kNotStartable);
        default:
            return fail(Sentence(*outcome.problem));
        }
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
        for (const SwitchRecords::Settled& settled : held + blocked)
            fail(Sentence(*settled.problem));
        if (outcome.putBack.isEmpty() && outcome.unreachable.isEmpty() &&
            outcome.elsewhere.isEmpty() && held.isEmpty() && blocked.isEmpty())
            m_services.print(QStringLiteral("Nothing to put back: no launch was cut short."));
        return held.isEmpty() && blocked.isEmpty() ? 0 : ExitStatus::kCannotLaunch;
    }

    int addToMenu() {
        const NamedWorld world = namedWorld();
        if (world.position == 0)
            return world.status;
        const WorldData& named = m_state.Worlds().Item(world.position);
        DesktopEntries::Result added;
        try {
            added = DesktopEntries::Add(m_state.gameDir, named.DirLabel(), named.DisplayName(),
                                        m_services.launcherProgram);
        } catch (const FileSystemError& error) {
            added.refused =
                Problem::Of(Problem::Kind::MenuEntryNotAdded,
                            DesktopEntries::PathFor(m_state.gameDir, named.DirLabel()), error);
        }
        if (added.refused)
            return fail(Sentence(*added.refused), ExitStatus::kFailed);
        m_services.print(added.path);
        return 0;
    }

    // The entry of a world in the catalogue; else that of a label that is no longer
    // there, or of an installation that is gone, so that a stale entry can go too.
    int removeFromMenu() {
        const GameDirectory found = resolveGameDirectory();
        m_state.gameDir = found.dir;
        if (m_state.gameDir.isEmpty()) {
            if (!found.named.isEmpty() && DesktopEntries::Exists(found.named, m_command.world))
                return removeEntry(found.named, m_command.world);
            return fail(found.why);
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
        DesktopEntries::Result removed;
        try {
            removed = DesktopEntries::Remove(gameDir, dirLabel);
        } catch (const FileSystemError& error) {
            removed.refused = Problem::Of(Problem::Kind::MenuEntryNotRemoved,
                                          DesktopEntries::PathFor(gameDir, dirLabel), error);
        }
        if (removed.refused)
            return fail(Sentence(*removed.refused), ExitStatus::kFailed);
        m_services.print(removed.path);
        if (!removed.removed)
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
