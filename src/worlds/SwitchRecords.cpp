#include "worlds/SwitchRecords.h"

#include "app/Logging.h"

#include "app/FileSystem.h"
#include "app/LauncherState.h"
#include "app/SettingsStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>

namespace SwitchRecords {

using FolderSwitching::Failures;
using FolderSwitching::Survey;
using FolderSwitching::Trouble;

namespace {

const QString kGameDirField = QStringLiteral("gameDir");
const QString kDirLabelField = QStringLiteral("dirLabel");
const QString kBackupLabelField = QStringLiteral("backupLabel");

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
        const Record record{object.value(kGameDirField).toString(),
                            object.value(kDirLabelField).toString(),
                            object.value(kBackupLabelField).toString()};
        // Only a record with all three could ever have stowed a folder.
        if (!record.gameDir.isEmpty() && !record.dirLabel.isEmpty() &&
            !record.backupLabel.isEmpty())
            records.append(record);
    }
    return records;
}

bool sameRecord(const Record& a, const Record& b) {
    return a.gameDir == b.gameDir && a.dirLabel == b.dirLabel && a.backupLabel == b.backupLabel;
}

// The trouble of the first of entries, from the first failed rename of that entry
// when there was one.
Trouble entryTrouble(const QString& gameDir, const QStringList& entries, const QString& folder,
                     const Failures& failures) {
    Trouble trouble{gameDir, entries.first(), folder, {}, 0, int(entries.size()) - 1, {}};
    for (const Trouble& failure : failures) {
        if (failure.relativePath == trouble.relativePath) {
            trouble = failure;
            trouble.more = int(entries.size()) - 1;
            break;
        }
    }
    return trouble;
}

// Whether the settings lie on the file system of the installation (false when that
// cannot be told).
bool besideSettings(FileSystem& fileSystem, SettingsStore& settings, const FolderId& gameDir) {
    if (!gameDir.isKnown() || settings.folder().isEmpty())
        return false;
    try {
        const FolderId folder = fileSystem.folderId(settings.folder());
        return folder.isKnown() && folder.device == gameDir.device;
    } catch (const FileSystemError&) {
        return false;
    }
}

// Whether the record's installation rests, its renames on disk before anything
// that drops the record can be (only then may the record go). Otherwise trouble says
// what keeps it switched in, if known.
bool settled(FileSystem& fileSystem, SettingsStore& settings, const Record& record,
             const KVDirStuff::GameFolderTable& table, const Failures& failures,
             std::optional<Trouble>& trouble) {
    const Survey survey = FolderSwitching::SurveyInstallation(
        fileSystem, record.gameDir, record.dirLabel, record.backupLabel, table);
    if (survey.isResting()) {
        try {
            // A file system puts its changes on disk in the order they were made, so
            // on the settings' own one the record cannot go before the renames;
            // elsewhere they are synced first.
            if (!besideSettings(fileSystem, settings, survey.id)) {
                for (const QString& folder : survey.folders)
                    fileSystem.syncFolder(folder);
            }
            return true;
        } catch (const FileSystemError&) {
            return false; // the record stays, and the next look settles it
        }
    }
    if (survey.unread) {
        trouble = survey.unread;
        return false;
    }
    trouble = entryTrouble(record.gameDir, survey.stowedEntries, survey.stowed.first(), failures);
    trouble->details << QStringLiteral("Still stored away:") << survey.stowed;
    return false;
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

void removeRecord(SettingsStore& settings, const Record& record) {
    QList<Record> pending = Pending(settings);
    const auto count = pending.size();
    pending.removeIf([&record](const Record& r) { return sameRecord(r, record); });
    if (pending.size() != count)
        saveRemaining(settings, pending);
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
    const bool listing = trouble.newName.isEmpty();
    switch (trouble.systemError) {
    case EACCES:
    case EPERM:
        if (listing)
            return QStringLiteral("this user may not read it");
        if (parentOf(trouble.relativePath).isEmpty())
            return QStringLiteral("the Korvath II directory is not writable for this user");
        return QStringLiteral("its folder is not writable for this user");
    case EROFS:
        return QStringLiteral("the disk is read-only");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("it is in use");
    case EEXIST:
    case ENOTEMPTY:
        return QStringLiteral("\"%1\" is in the way").arg(trouble.newName);
    case ENOENT:
        return QStringLiteral("it has gone missing");
    case 0:
        return listing ? QStringLiteral("it could not be read")
                       : QStringLiteral("a name is taken, or it is locked");
    default:
        return QString::fromLocal8Bit(std::strerror(trouble.systemError)).toLower();
    }
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
    for (const Record& record : records)
        array.append(QJsonObject{{kGameDirField, record.gameDir},
                                 {kDirLabelField, record.dirLabel},
                                 {kBackupLabelField, record.backupLabel}});
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

void AdoptEarlierLabels(SettingsStore& settings, const QString& savedGameDir) {
    // A value that is missing, or that cannot be read, was not written by this launcher.
    const QString missing = QStringLiteral("<missing>");
    const QString stored = settings.GetSetting(kSettingsSection, kPendingSwitchesKey, missing);
    if (stored != missing && decode(stored))
        return;
    const Record record{savedGameDir, settings.GetSetting(kSettingsSection, kLastDirLabelKey),
                        settings.GetSetting(kSettingsSection, kLastBackupLabelKey)};
    QList<Record> records;
    if (!record.gameDir.isEmpty() && !record.dirLabel.isEmpty() && !record.backupLabel.isEmpty())
        records.append(record);
    if (records.isEmpty() && stored == missing)
        return; // nothing to keep: a missing value holds no record either
    settings.SaveSetting(kSettingsSection, kPendingSwitchesKey, Encode(records));
}

RestoreOutcome RestoreReachable(FileSystem& fileSystem, SettingsStore& settings,
                                const KVDirStuff::GameFolderTable& table) {
    RestoreOutcome outcome;
    const QList<Record> pending = Pending(settings);
    QList<Record> kept = pending;
    for (auto i = pending.size() - 1; i >= 0; --i) {
        const Record& record = pending[i];
        if (!KVDirStuff::IsGameDirectory(fileSystem, record.gameDir)) {
            qCWarning(lcWorlds).noquote()
                << "a switch waits for its directory to be reachable:" << record.gameDir;
            outcome.unreachable.prepend(record);
            continue;
        }
        Failures failures;
        FolderSwitching::SwitchOut(fileSystem, record.gameDir, record.dirLabel, record.backupLabel,
                                   table, &failures);
        std::optional<Trouble> trouble;
        if (settled(fileSystem, settings, record, table, failures, trouble)) {
            kept.removeAt(i);
            outcome.restored.prepend(record);
        } else if (trouble) {
            qCWarning(lcWorlds).noquote() << "could not restore" << trouble->folder << ":"
                                          << trouble->details.join(QStringLiteral("; "));
            outcome.notRestored.prepend(*trouble);
        }
    }
    if (kept.size() != pending.size())
        saveRemaining(settings, kept);
    return outcome;
}

LaunchOutcome SwitchedLaunch(LauncherState& state, SettingsStore& settings,
                             const KVDirStuff::GameFolderTable& table,
                             const std::function<void()>& run) {
    LaunchOutcome outcome;
    FileSystem& fileSystem = *state.fileSystem;
    Failures failures;
    FolderSwitching::SwitchWorldIn(state, settings, table, &failures);
    const Record record{state.gameDir, state.dirLabel, state.backupLabel};
    // Every folder of the world must be in its place before the program starts; the
    // default world has none.
    if (!record.dirLabel.isEmpty()) {
        const Survey survey = FolderSwitching::SurveyInstallation(
            fileSystem, record.gameDir, record.dirLabel, record.backupLabel, table);
        if (survey.unread) {
            outcome.notSwitchedIn = survey.unread;
        } else if (!survey.notSwitchedIn.isEmpty()) {
            const QString P = survey.notSwitchedIn.first();
            outcome.notSwitchedIn =
                entryTrouble(record.gameDir, survey.notSwitchedIn, record.gameDir + P, failures);
        }
    }
    if (!outcome.notSwitchedIn) {
        run();
        outcome.started = true;
    }
    if (record.dirLabel.isEmpty() || record.backupLabel.isEmpty())
        return outcome; // nothing was switched, nothing recorded
    failures.clear();
    FolderSwitching::SwitchWorldOut(state, table, &failures);
    std::optional<Trouble> trouble;
    if (settled(fileSystem, settings, record, table, failures, trouble))
        removeRecord(settings, record);
    else
        outcome.notRestored = trouble;
    return outcome;
}

QString SwitchInFailureText(const Trouble& trouble) {
    if (trouble.newName.isEmpty() && trouble.relativePath.isEmpty())
        return QStringLiteral("Not started: %1 could not be read (%2).")
            .arg(subjectOf(trouble), reasonOf(trouble));
    return QStringLiteral("Not started: %1 could not be moved (%2).")
        .arg(subjectWithMore(trouble), reasonOf(trouble));
}

QString RestoreFailureText(const Trouble& trouble) {
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
