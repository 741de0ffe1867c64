#include "worlds/SwitchRecords.h"

#include "app/FileSystem.h"
#include "app/LauncherState.h"
#include "app/SettingsStore.h"
#include "platform/Logging.h"
#include "worlds/FolderNames.h"
#include "worlds/InstallationRecord.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace SwitchRecords {

using FolderSwitching::Failures;
using FolderSwitching::Look;
using FolderSwitching::Stowed;
using FolderSwitching::Switch;

namespace {

const QString kGameDirField = QStringLiteral("gameDir");
const QString kDirLabelField = QStringLiteral("dirLabel");
const QString kBackupLabelField = QStringLiteral("backupLabel");
const QString kIdField = QStringLiteral("id");

// The records in a stored value; nullopt when the value is not a list of records.
std::optional<QList<Record>> decode(const QString& value) {
    if (value.isEmpty())
        return QList<Record>();
    const QJsonDocument document = QJsonDocument::fromJson(value.toUtf8());
    if (!document.isArray())
        return std::nullopt;
    QList<Record> records;
    for (const QJsonValue& item : document.array()) {
        const QJsonObject object = item.toObject();
        const Record record{
            object.value(kGameDirField).toString(), object.value(kDirLabelField).toString(),
            object.value(kBackupLabelField).toString(), object.value(kIdField).toString()};
        // Only a record with all three could ever have stowed a folder.
        if (!record.gameDir.isEmpty() && !record.dirLabel.isEmpty() &&
            !record.backupLabel.isEmpty())
            records.append(record);
    }
    return records;
}

bool sameLabel(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A stored record is used only when its labels pass their checks; one that fails is
// left where it is, never used to build a path.
bool usable(const Record& record) {
    if (FolderNames::IsWorldLabel(record.dirLabel) &&
        FolderNames::IsBackupLabel(record.backupLabel))
        return true;
    qCWarning(lcWorlds).noquote() << "a switch record whose labels fail their check is left "
                                     "alone:"
                                  << record.gameDir << record.dirLabel << record.backupLabel;
    return false;
}

// The switch the settings know for folders stowed under backupLabel: the last
// labels saved, or a recorded switch.
std::optional<Switch> knownSwitch(SettingsStore& settings, const QString& backupLabel) {
    const QString lastBackup = settings.GetSetting(kSettingsSection, kLastBackupLabelKey);
    const QString lastDir = settings.GetSetting(kSettingsSection, kLastDirLabelKey);
    if (sameLabel(lastBackup, backupLabel) && FolderNames::IsWorldLabel(lastDir))
        return Switch{lastDir, backupLabel, {}};
    const QList<Record> pending = Pending(settings);
    for (auto i = pending.size() - 1; i >= 0; --i) {
        if (sameLabel(pending[i].backupLabel, backupLabel) && usable(pending[i]))
            return Switch{pending[i].dirLabel, backupLabel, {}};
    }
    return std::nullopt;
}

// The problem of the first of the stowed folders, from the first failed rename of
// its entry when there was one.
Problem stowedProblem(Problem::Kind kind, const QString& gameDir, const QList<Stowed>& stowed,
                      const Failures& failures) {
    Problem problem{kind, stowed.first().path()};
    problem.entry = stowed.first().relativePath;
    for (const Problem& failure : failures) {
        if (failure.entry == problem.entry) {
            problem = failure;
            break;
        }
    }
    problem.kind = kind;
    problem.gameDir = gameDir;
    problem.more = int(stowed.size()) - 1;
    for (const Stowed& folder : stowed)
        problem.folders << folder.path();
    return problem;
}

Problem held(const QString& gameDir) {
    Problem problem{Problem::Kind::HeldByProgram, gameDir};
    problem.gameDir = gameDir;
    problem.details = QStringList{gameDir};
    return problem;
}

// Temp files of the record that a launcher ended mid-write left behind: the record's
// name, the writer's process id, ".new".
void removeLeftoverTemps(FileSystem& fileSystem, const Look& look) {
    const QString prefix = InstallationRecord::kFileName + QLatin1Char('.');
    static const QRegularExpression temp(QLatin1Char('^') + QRegularExpression::escape(prefix) +
                                         QStringLiteral("(\\d+)\\.new$"));
    const auto it = look.listings.find(QString());
    if (it == look.listings.end())
        return;
    for (const QString& file : it->files) {
        // Most files of a game directory are worlds' and the game's own.
        if (!file.startsWith(prefix))
            continue;
        const QRegularExpressionMatch match = temp.match(file);
        if (!match.hasMatch() || it->notRegular.contains(file) ||
            Processes::StillRuns(Processes::ProcessStamp{match.captured(1).toLongLong(), {}, {}}))
            continue;
        try {
            fileSystem.removeFile(look.gameDir + file);
        } catch (const FileSystemError& error) {
            qCWarning(lcWorlds).noquote() << error.message();
        }
    }
}

// Writes the records that remain once finished ones went. Should this write fail or
// be lost, the finished records come back, are found resting, and go then.
void saveRemaining(SettingsStore& settings, const QList<Record>& remaining) {
    try {
        settings.SaveLosableSetting(kSettingsSection, kPendingSwitchesKey, Encode(remaining));
    } catch (const SettingsError& error) {
        qCWarning(lcWorlds).noquote()
            << "finished switches stay recorded for now:" << error.message();
    }
}

} // namespace

QList<Record> Pending(SettingsStore& settings) {
    return decode(settings.GetSetting(kSettingsSection, kPendingSwitchesKey))
        .value_or(QList<Record>());
}

QString Encode(const QList<Record>& records) {
    if (records.isEmpty())
        return QString();
    QJsonArray array;
    for (const Record& record : records) {
        QJsonObject object{{kGameDirField, record.gameDir},
                           {kDirLabelField, record.dirLabel},
                           {kBackupLabelField, record.backupLabel}};
        if (!record.id.isEmpty())
            object.insert(kIdField, record.id);
        array.append(object);
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QString IdText(const FolderId& id) {
    return id.isKnown() ? QStringLiteral("%1:%2").arg(id.device).arg(id.inode) : QString();
}

void AdoptEarlierLabels(SettingsStore& settings, const QString& savedGameDir) {
    // A value that is missing, or that cannot be read, was not written by this launcher.
    const QString missing = QStringLiteral("<missing>");
    const QString stored = settings.GetSetting(kSettingsSection, kPendingSwitchesKey, missing);
    if (stored != missing && decode(stored))
        return;
    const Record record{savedGameDir,
                        settings.GetSetting(kSettingsSection, kLastDirLabelKey),
                        settings.GetSetting(kSettingsSection, kLastBackupLabelKey),
                        {}};
    QList<Record> records;
    if (!record.gameDir.isEmpty() && !record.dirLabel.isEmpty() && !record.backupLabel.isEmpty())
        records.append(record);
    if (records.isEmpty() && stored == missing)
        return; // nothing to keep: a missing value holds no record either
    settings.SaveSetting(kSettingsSection, kPendingSwitchesKey, Encode(records));
}

Settled Settle(FileSystem& fileSystem, SettingsStore& settings,
               const KVDirStuff::GameFolderTable& table, const QString& gameDir) {
    using State = Settled::State;
    Settled settled;
    settled.gameDir = KVDirStuff::ResolveGameDir(fileSystem, gameDir);
    if (settled.gameDir.isEmpty() || !KVDirStuff::IsGameDirectory(fileSystem, settled.gameDir)) {
        settled.state = State::Unreachable;
        return settled;
    }
    const auto blocked = [&settled](Problem problem) {
        settled.state = State::Blocked;
        problem.gameDir = settled.gameDir;
        settled.problem = problem;
        qCWarning(lcWorlds).noquote() << "still switched in at" << settled.gameDir << ":"
                                      << problem.path << problem.details.join("; ");
        return settled;
    };
    Look look = FolderSwitching::LookAt(fileSystem, settled.gameDir, table);
    settled.id = look.id;
    if (look.unread)
        return blocked(*look.unread);
    removeLeftoverTemps(fileSystem, look);

    // The installation's own record: what it says is switched in, and whether a
    // program still runs from it.
    const QString recordPath = InstallationRecord::PathIn(look.gameDir);
    QList<Switch> switches;
    bool recorded = look.hasFile(InstallationRecord::kFileName);
    if (recorded) {
        std::optional<InstallationRecord::Record> record;
        Problem unreadable{Problem::Kind::RecordUnreadable, recordPath};
        unreadable.details = QStringList{recordPath};
        try {
            const std::optional<QByteArray> content = fileSystem.readFile(recordPath);
            recorded = content.has_value();
            if (content)
                record = InstallationRecord::Decode(*content, table);
        } catch (const FileSystemError& error) {
            unreadable = Problem::Of(Problem::Kind::RecordUnreadable, recordPath, error);
        }
        if (record) {
            if (InstallationRecord::IsHeld(*record)) {
                settled.state = State::Held;
                settled.problem = held(settled.gameDir);
                return settled;
            }
            switches.append(Switch{record->dirLabel, record->backupLabel, record->versionNames});
        } else if (recorded) {
            // Never used to rename anything: where folders are stowed, the player
            // must say which world they belong to; over a resting installation (and
            // not a pipe or a device) it goes.
            const QList<Stowed> stowed = FolderSwitching::StowedFolders(look, table);
            for (const Stowed& folder : stowed)
                unreadable.folders << folder.path();
            unreadable.more = int(stowed.size());
            if (!stowed.isEmpty() ||
                look.listings[QString()].notRegular.contains(InstallationRecord::kFileName))
                return blocked(unreadable);
            qCWarning(lcWorlds).noquote() << "a record that cannot be read goes, as nothing is "
                                             "stowed:"
                                          << unreadable.details.join("; ");
        }
    }

    // Folders stowed under any other backup label: the settings may know whose.
    QList<Stowed> unknown;
    for (const Stowed& stowed : FolderSwitching::StowedFolders(look, table)) {
        const bool listed = std::any_of(switches.begin(), switches.end(), [&](const Switch& sw) {
            return sameLabel(sw.backupLabel, stowed.backupLabel);
        });
        if (listed)
            continue;
        if (const std::optional<Switch> sw = knownSwitch(settings, stowed.backupLabel))
            switches.append(*sw);
        else
            unknown.append(stowed);
    }

    Failures failures;
    QStringList changed;
    for (int i = 0; i < switches.size(); ++i) {
        if (i > 0)
            look = FolderSwitching::LookAt(fileSystem, settled.gameDir, table);
        if (look.unread)
            return blocked(*look.unread);
        const FolderSwitching::SwitchedOut out =
            FolderSwitching::SwitchOut(fileSystem, look, table, switches[i]);
        failures += out.failures;
        if (!out.changed.isEmpty() && !settled.putBack.contains(switches[i].dirLabel))
            settled.putBack.append(switches[i].dirLabel);
        for (const QString& parent : out.changed) {
            if (!changed.contains(parent))
                changed.append(parent);
        }
    }
    if (!changed.isEmpty())
        look = FolderSwitching::LookAt(fileSystem, settled.gameDir, table);
    if (look.unread)
        return blocked(*look.unread);
    for (const Switch& sw : switches) {
        const QList<Stowed> left = FolderSwitching::StowedUnder(look, table, sw.backupLabel);
        if (!left.isEmpty())
            return blocked(
                stowedProblem(Problem::Kind::FolderNotPutBack, look.gameDir, left, failures));
        settled.backupLabels.append(sw.backupLabel);
    }
    if (!unknown.isEmpty())
        return blocked(stowedProblem(Problem::Kind::UnknownStowed, look.gameDir, unknown, {}));
    // The renames are on disk, on every file system, before the record that tells of
    // the switch can go.
    for (const QString& parent : changed) {
        try {
            fileSystem.syncFolder(parent);
        } catch (const FileSystemError& error) {
            return blocked(Problem::Of(Problem::Kind::NotSynced, parent, error));
        }
    }
    if (recorded) {
        try {
            fileSystem.removeFile(recordPath);
        } catch (const FileSystemError& error) {
            return blocked(Problem::Of(Problem::Kind::RecordNotRemoved, recordPath, error));
        }
    }
    return settled;
}

const Settled* RestoreOutcome::find(const QString& gameDir) const {
    for (const Settled& one : settled) {
        if (!one.gameDir.isEmpty() && one.gameDir == gameDir)
            return &one;
    }
    return nullptr;
}

QList<Settled> RestoreOutcome::in(Settled::State state) const {
    QList<Settled> found;
    for (const Settled& one : settled) {
        if (one.state == state)
            found.append(one);
    }
    return found;
}

std::optional<Problem> RestoreOutcome::waiting(const QString& gameDir) const {
    // Folders that could not be put back come first: the player can mend that now.
    const QList<Settled> blocked = in(Settled::State::Blocked);
    if (!blocked.isEmpty())
        return blocked.first().problem;
    const Settled* own = find(gameDir);
    if (own && own->state == Settled::State::Held)
        return own->problem;
    QStringList directories;
    for (const Record& record : unreachable) {
        if (!directories.contains(record.gameDir))
            directories.append(record.gameDir);
    }
    if (directories.isEmpty())
        return std::nullopt;
    Problem problem{Problem::Kind::SwitchUnreachable, directories.first()};
    problem.more = int(directories.size()) - 1;
    problem.details = directories;
    return problem;
}

RestoreOutcome RestoreReachable(FileSystem& fileSystem, SettingsStore& settings,
                                const KVDirStuff::GameFolderTable& table,
                                const QStringList& gameDirs) {
    RestoreOutcome outcome;
    const QList<Record> pending = Pending(settings);
    // Each installation once, however its path is spelled: the given ones first,
    // then those of the recorded switches, newest first.
    QStringList directories = gameDirs;
    for (auto i = pending.size() - 1; i >= 0; --i)
        directories.append(pending[i].gameDir);
    QList<QPair<QString, int>> lookedAt; // directory as given -> index into settled
    for (const QString& directory : directories) {
        if (directory.isEmpty() ||
            std::any_of(lookedAt.begin(), lookedAt.end(),
                        [&](const auto& seen) { return seen.first == directory; }))
            continue;
        // Another spelling of an installation already looked at is not looked at again.
        FolderId id;
        try {
            const QString resolved = KVDirStuff::ResolveGameDir(fileSystem, directory);
            if (!resolved.isEmpty())
                id = fileSystem.folderId(resolved);
        } catch (const FileSystemError&) {
        }
        int index = -1;
        for (int k = 0; k < outcome.settled.size(); ++k) {
            if (id.isKnown() && outcome.settled[k].id == id)
                index = k;
        }
        if (index < 0) {
            const Settled settled = Settle(fileSystem, settings, table, directory);
            index = int(outcome.settled.size());
            outcome.settled.append(settled);
            for (const QString& world : settled.putBack)
                outcome.putBack.append(PutBack{settled.gameDir, world});
        }
        lookedAt.append({directory, index});
    }

    // The settings' records: one whose installation rests goes.
    QList<Record> kept;
    for (const Record& record : pending) {
        int index = -1;
        for (const auto& [directory, k] : lookedAt) {
            if (directory == record.gameDir)
                index = k;
        }
        const Settled& settled = outcome.settled[index];
        if (!usable(record) || settled.state == Settled::State::Held ||
            settled.state == Settled::State::Blocked) {
            kept.append(record);
        } else if (settled.state == Settled::State::Unreachable) {
            qCWarning(lcWorlds).noquote()
                << "a switch waits for its directory to be reachable:" << record.gameDir;
            outcome.unreachable.append(record);
            kept.append(record);
        } else if (!record.id.isEmpty() && record.id != IdText(settled.id) &&
                   !settled.putBack.contains(record.dirLabel)) {
            qCWarning(lcWorlds).noquote()
                << "the switch of world" << record.dirLabel << "recorded for" << record.gameDir
                << "is dropped: that path leads to another installation now, which rests";
            outcome.elsewhere.append(record);
        }
    }
    if (kept.size() != pending.size())
        saveRemaining(settings, kept);
    return outcome;
}

LaunchOutcome SwitchedLaunch(LauncherState& state, SettingsStore& settings,
                             const KVDirStuff::GameFolderTable& table,
                             const std::function<void(const QString& holdFile)>& run) {
    LaunchOutcome outcome;
    FileSystem& fileSystem = *state.fileSystem;
    const FolderSwitching::SwitchInOutcome in =
        FolderSwitching::SwitchWorldIn(state, settings, table);
    if (in.refused) {
        outcome.notSwitchedIn = in.refused;
        return outcome;
    }
    // Every folder of the world must be in its place before the program starts; the
    // default world has none.
    if (!in.plan.placements.isEmpty()) {
        const Look look = FolderSwitching::LookAt(fileSystem, state.gameDir, table);
        QList<Stowed> notPlaced;
        for (const FolderSwitching::Placement& placement : in.plan.placements) {
            const FolderListing* listing = look.parentListing(placement.relativePath);
            const bool stillOutside =
                listing && std::any_of(listing->subFolders.begin(), listing->subFolders.end(),
                                       [&](const FolderListing::SubFolder& folder) {
                                           return folder.name == placement.versionName;
                                       });
            if (stillOutside)
                notPlaced.append(Stowed{placement.relativePath,
                                        placement.parent,
                                        placement.versionName,
                                        placement.defaultName,
                                        {}});
        }
        if (look.unread) {
            outcome.notSwitchedIn = look.unread;
            outcome.notSwitchedIn->kind = Problem::Kind::FolderNotRead;
        } else if (!notPlaced.isEmpty()) {
            outcome.notSwitchedIn =
                stowedProblem(Problem::Kind::FolderNotSwitchedIn,
                              in.plan.placements.first().gameDir, notPlaced, in.failures);
        }
    }
    if (!outcome.notSwitchedIn) {
        run(in.recordPath);
        outcome.started = true;
    }
    // Switched out like any switch that was cut short: from the installation's record,
    // with the renames synced before the records go.
    const RestoreOutcome after = RestoreReachable(fileSystem, settings, table, {state.gameDir});
    const Settled* settled = after.find(in.gameDir);
    if (settled && settled->state == Settled::State::Blocked)
        outcome.notRestored = settled->problem;
    return outcome;
}

} // namespace SwitchRecords
