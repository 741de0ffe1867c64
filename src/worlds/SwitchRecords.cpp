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

#include <cerrno>
#include <cstring>

namespace SwitchRecords {

using FolderSwitching::Failures;
using FolderSwitching::Look;
using FolderSwitching::Stowed;
using FolderSwitching::Switch;
using FolderSwitching::Trouble;

const QString kHeldText =
    QStringLiteral("Korvath II is running from this directory, started by another launcher. "
                   "Click Launch again once it has ended.");

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

// The trouble of the first of the stowed folders, from the first failed rename of
// its entry when there was one.
Trouble stowedTrouble(const QString& gameDir, const QList<Stowed>& stowed,
                      const Failures& failures) {
    Trouble trouble{
        gameDir, stowed.first().relativePath, stowed.first().path(), {}, 0, int(stowed.size()) - 1,
        {}};
    for (const Trouble& failure : failures) {
        if (failure.relativePath == trouble.relativePath) {
            trouble = failure;
            trouble.more = int(stowed.size()) - 1;
            break;
        }
    }
    trouble.details << QStringLiteral("Still stored away:");
    for (const Stowed& folder : stowed)
        trouble.details << folder.path();
    return trouble;
}

// Temp files of the record that a launcher ended mid-write left behind.
void removeLeftoverTemps(FileSystem& fileSystem, const Look& look) {
    static const QRegularExpression temp(QStringLiteral("^\\.korvath2-launcher\\.(\\d+)\\.new$"));
    const auto it = look.listings.find(QString());
    if (it == look.listings.end())
        return;
    for (const QString& file : it->files) {
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

QString parentOf(const QString& relativePath) {
    const int i = relativePath.lastIndexOf(QLatin1Char('/'));
    return i < 0 ? QString() : relativePath.left(i);
}

// The folder a trouble is about, as the player knows it.
QString subjectOf(const Trouble& trouble) {
    if (!trouble.relativePath.isEmpty())
        return QLatin1Char('"') + trouble.relativePath + QLatin1Char('"');
    QString relative = trouble.folder.mid(trouble.gameDir.size());
    while (relative.endsWith(QLatin1Char('/')))
        relative.chop(1);
    if (!trouble.folder.startsWith(trouble.gameDir) || relative.isEmpty())
        return QStringLiteral("the Korvath II directory");
    return QLatin1Char('"') + relative + QLatin1Char('"');
}

// Why, in words a player understands.
QString reasonOf(const Trouble& trouble) {
    const bool listing = trouble.newName.isEmpty() && trouble.kind == Trouble::Kind::Rename;
    const bool writing = trouble.kind == Trouble::Kind::RecordNotWritten ||
                         trouble.kind == Trouble::Kind::RecordNotRemoved;
    switch (trouble.systemError) {
    case EACCES:
    case EPERM:
        if (writing)
            return QStringLiteral("this user may not write there");
        if (listing || trouble.kind != Trouble::Kind::Rename)
            return QStringLiteral("this user may not read it");
        if (parentOf(trouble.relativePath).isEmpty())
            return QStringLiteral("the Korvath II directory is not writable for this user");
        return QStringLiteral("its folder is not writable for this user");
    case EROFS:
        return QStringLiteral("the disk is read-only");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("the disk is full");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("it is in use");
    case EEXIST:
    case ENOTEMPTY:
        if (trouble.kind == Trouble::Kind::RecordNotWritten)
            return QStringLiteral("another launcher has just started a program there");
        if (trouble.kind == Trouble::Kind::Rename)
            return QStringLiteral("\"%1\" is in the way").arg(trouble.newName);
        break;
    case ENOENT:
        return QStringLiteral("it has gone missing");
    case EINVAL:
        if (trouble.kind == Trouble::Kind::RecordUnreadable)
            return QStringLiteral("it is not a regular file");
        break;
    case 0:
        if (trouble.kind == Trouble::Kind::RecordUnreadable)
            return QStringLiteral("it is damaged");
        return listing ? QStringLiteral("it could not be read")
                       : QStringLiteral("a name is taken, or it is locked");
    default:
        break;
    }
    return QString::fromLocal8Bit(std::strerror(trouble.systemError)).toLower();
}

QString subjectWithMore(const Trouble& trouble) {
    if (trouble.more == 0)
        return subjectOf(trouble);
    return QStringLiteral("%1 and %2 more").arg(subjectOf(trouble)).arg(trouble.more);
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
    const auto blocked = [&settled](const Trouble& trouble) {
        settled.state = State::Blocked;
        settled.trouble = trouble;
        qCWarning(lcWorlds).noquote() << "still switched in at" << settled.gameDir << ":"
                                      << trouble.folder << trouble.details.join("; ");
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
        Trouble unreadable{
            look.gameDir, {}, recordPath, {}, 0, 0, {recordPath}, Trouble::Kind::RecordUnreadable};
        try {
            const std::optional<QByteArray> content = fileSystem.readFile(recordPath);
            recorded = content.has_value();
            if (content)
                record = InstallationRecord::Decode(*content, table);
        } catch (const FileSystemError& error) {
            unreadable.systemError = error.systemError();
            unreadable.details = QStringList{error.message()};
        }
        if (record) {
            if (InstallationRecord::IsHeld(*record)) {
                settled.state = State::Held;
                return settled;
            }
            switches.append(Switch{record->dirLabel, record->backupLabel, record->versionNames});
        } else if (recorded) {
            // Never used to rename anything: where folders are stowed, the player
            // must say which world they belong to; over a resting installation (and
            // not a pipe or a device) it goes.
            const QList<Stowed> stowed = FolderSwitching::StowedFolders(look, table);
            for (const Stowed& folder : stowed)
                unreadable.details << folder.path();
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
        const QStringList parents =
            FolderSwitching::SwitchOut(fileSystem, look, table, switches[i], &failures);
        if (!parents.isEmpty() && !settled.putBack.contains(switches[i].dirLabel))
            settled.putBack.append(switches[i].dirLabel);
        for (const QString& parent : parents) {
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
            return blocked(stowedTrouble(look.gameDir, left, failures));
        settled.backupLabels.append(sw.backupLabel);
    }
    if (!unknown.isEmpty()) {
        Trouble trouble = stowedTrouble(look.gameDir, unknown, {});
        trouble.kind = Trouble::Kind::Unknown;
        return blocked(trouble);
    }
    // The renames are on disk, on every file system, before the record that tells of
    // the switch can go.
    for (const QString& parent : changed) {
        try {
            fileSystem.syncFolder(parent);
        } catch (const FileSystemError& error) {
            return blocked(Trouble{look.gameDir,
                                   {},
                                   parent,
                                   {},
                                   error.systemError(),
                                   0,
                                   {error.message()},
                                   Trouble::Kind::NotSynced});
        }
    }
    if (recorded) {
        try {
            fileSystem.removeFile(recordPath);
        } catch (const FileSystemError& error) {
            return blocked(Trouble{look.gameDir,
                                   {},
                                   recordPath,
                                   {},
                                   error.systemError(),
                                   0,
                                   {error.message()},
                                   Trouble::Kind::RecordNotRemoved});
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
    Failures failures;
    const FolderSwitching::SwitchInOutcome in =
        FolderSwitching::SwitchWorldIn(state, settings, table, &failures);
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
            const auto listing = look.listings.find(parentOf(placement.relativePath));
            const bool stillOutside =
                listing != look.listings.end() &&
                std::any_of(listing->subFolders.begin(), listing->subFolders.end(),
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
        } else if (!notPlaced.isEmpty()) {
            Trouble trouble =
                stowedTrouble(in.plan.placements.first().gameDir, notPlaced, failures);
            trouble.details.removeFirst(); // they are not stored away: they stayed outside
            outcome.notSwitchedIn = trouble;
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
        outcome.notRestored = settled->trouble;
    return outcome;
}

QString SwitchInFailureText(const Trouble& trouble) {
    switch (trouble.kind) {
    case Trouble::Kind::RecordNotWritten:
        return QStringLiteral("Not started: the launcher could not write its record in the "
                              "Korvath II directory (%1).")
            .arg(reasonOf(trouble));
    case Trouble::Kind::Ambiguous:
        return QStringLiteral("Not started: names that differ only in letter case make %1 "
                              "unclear. Rename them, then click Launch again.")
            .arg(subjectWithMore(trouble));
    case Trouble::Kind::Rename:
        if (trouble.newName.isEmpty() && trouble.relativePath.isEmpty())
            return QStringLiteral("Not started: %1 could not be read (%2).")
                .arg(subjectOf(trouble), reasonOf(trouble));
        return QStringLiteral("Not started: %1 could not be moved (%2).")
            .arg(subjectWithMore(trouble), reasonOf(trouble));
    default:
        return RestoreFailureText(trouble);
    }
}

QString RestoreFailureText(const Trouble& trouble) {
    switch (trouble.kind) {
    case Trouble::Kind::RecordUnreadable:
        if (trouble.more == 0)
            return QStringLiteral("The launcher's record cannot be read (%1). Remove it from the "
                                  "Korvath II directory, then click Launch again.")
                .arg(reasonOf(trouble));
        return QStringLiteral("The launcher's record cannot be read (%1), and %2 folders are "
                              "stored away. Put them back, then click Launch again.")
            .arg(reasonOf(trouble))
            .arg(trouble.more);
    case Trouble::Kind::RecordNotRemoved:
        return QStringLiteral("The launcher's record could not be removed from the Korvath II "
                              "directory (%1). Fix that, then click Launch again.")
            .arg(reasonOf(trouble));
    case Trouble::Kind::NotSynced:
        return QStringLiteral("Could not make sure that the folders are back on the disk (%1). "
                              "Fix that, then click Launch again.")
            .arg(reasonOf(trouble));
    case Trouble::Kind::Unknown:
        return QStringLiteral("A launch that the launcher has no record of stored away %1. "
                              "Put that back by hand, then click Launch again.")
            .arg(subjectWithMore(trouble));
    case Trouble::Kind::RecordNotWritten:
    case Trouble::Kind::Ambiguous:
        return SwitchInFailureText(trouble);
    case Trouble::Kind::Rename:
        break;
    }
    if (trouble.newName.isEmpty() && trouble.relativePath.isEmpty())
        return QStringLiteral("Could not look into %1 (%2). Fix that, then click Launch again.")
            .arg(subjectOf(trouble), reasonOf(trouble));
    return QStringLiteral("Could not restore %1 (%2). Fix that, then click Launch again.")
        .arg(subjectWithMore(trouble), reasonOf(trouble));
}

QString UnreachableText(const QList<Record>& unreachable) {
    QStringList directories;
    for (const Record& record : unreachable) {
        if (!directories.contains(record.gameDir))
            directories.append(record.gameDir);
    }
    if (directories.isEmpty())
        return QString();
    // The directory in full where the label has room for it.
    QString shown = KVDirStuff::NormalisePath(directories.first());
    if (shown.size() > 40)
        shown = KVDirStuff::ShortenPath(directories.first());
    if (directories.size() == 1)
        return QStringLiteral("A world is still switched in at \"%1\". It will be put back "
                              "when that directory can be reached.")
            .arg(shown);
    return QStringLiteral("Worlds are still switched in at \"%1\" and %2 more. They will be "
                          "put back when those directories can be reached.")
        .arg(shown)
        .arg(directories.size() - 1);
}

} // namespace SwitchRecords
