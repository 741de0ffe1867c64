#include "worlds/FolderSwitching.h"

#include "app/LauncherState.h"
#include "app/Logging.h"
#include "app/SettingsStore.h"
#include "worlds/GUIDStuff.h"
#include "worlds/SwitchRecords.h"

#include <QHash>
#include <algorithm>

namespace FolderSwitching {

namespace {

// One installation's folders under one switch's labels.
struct Switching {
    FileSystem& fileSystem;
    const QString& gameDir;
    const QString& dirLabel;
    const QString& backupLabel;
    Failures* failures;

    // N: the last component of a table entry's relative path.
    QString folderName(const QString& P) const {
        const int i = P.lastIndexOf(fileSystem.separator());
        return i < 0 ? P : P.mid(i + 1);
    }
    QString stowedSuffix() const { return QLatin1Char('-') + backupLabel; }
    QString worldSuffix() const { return QLatin1Char('_') + dirLabel; }

    // Renames the folder at path within its parent. Errors of the service are
    // ignored (the folder then keeps its name) and noted; returns whether the
    // rename happened.
    bool rename(const QString& P, const QString& path, const QString& newName) {
        try {
            Folder folder = fileSystem.GetFolder(path);
            folder.SetName(newName);
            return true;
        } catch (const FileSystemError& error) {
            // Ignored, as a single rename's failure is, but never silently.
            qCWarning(lcWorlds).noquote() << "rename failed:" << error.message();
            if (failures)
                failures->append(
                    Trouble{gameDir, P, path, newName, error.systemError(), 0, {error.message()}});
            return false;
        }
    }

    void folderIn(const QString& P) {
        const QString N = folderName(P);
        const QString defaultPath = gameDir + P;
        const bool stowed = rename(P, defaultPath, N + stowedSuffix());
        const bool placed = rename(P, defaultPath + worldSuffix(), N);
        // The world's version could not take the plain name: put the default folder
        // back at once rather than leave the game without it.
        if (stowed && !placed)
            rename(P, defaultPath + stowedSuffix(), N);
    }

    void folderOut(const QString& P) {
        const QString N = folderName(P);
        const QString defaultPath = gameDir + P;
        rename(P, defaultPath, N + worldSuffix());
        rename(P, defaultPath + stowedSuffix(), N);
    }

    void worldOut(const KVDirStuff::GameFolderTable& table) {
        if (dirLabel.isEmpty() || backupLabel.isEmpty())
            return;
        for (const QString& P : table.relativePath) {
            const QString defaultPath = gameDir + P;
            const bool inPlace = fileSystem.FolderExists(defaultPath);
            const bool stowed = fileSystem.FolderExists(defaultPath + stowedSuffix());
            if (inPlace && stowed) {
                folderOut(P);
            } else if (stowed) {
                // A switch cut short between its two renames (in either direction)
                // left the default place empty: the stowed default folder goes back.
                rename(P, defaultPath + stowedSuffix(), folderName(P));
            }
        }
    }
};

Switching switching(LauncherState& state, Failures* failures) {
    return Switching{*state.fileSystem, state.gameDir, state.dirLabel, state.backupLabel, failures};
}

// The name in a listing that a lookup of name finds: the exact one, else the first
// that differs only in letter case; "" when there is none.
QString findName(const QList<FolderListing::SubFolder>& subFolders, const QString& name) {
    for (const FolderListing::SubFolder& folder : subFolders) {
        if (folder.name == name)
            return folder.name;
    }
    for (const FolderListing::SubFolder& folder : subFolders) {
        if (folder.name.compare(name, Qt::CaseInsensitive) == 0)
            return folder.name;
    }
    return QString();
}

} // namespace

void SwitchFolderIn(LauncherState& state, const QString& P, Failures* failures) {
    switching(state, failures).folderIn(P);
}

void SwitchFolderOut(LauncherState& state, const QString& P, Failures* failures) {
    switching(state, failures).folderOut(P);
}

void SwitchWorldIn(LauncherState& state, SettingsStore& settings,
                   const KVDirStuff::GameFolderTable& table, Failures* failures) {
    const QString previousBackupLabel = state.backupLabel;
    state.backupLabel = GUIDStuff::NewGuidString();
    // Both labels and the record of this switch are on disk before any folder
    // changes its name, so that a launcher ended at any later point finds them at
    // its next start; records of switches not yet undone elsewhere stay. When they
    // cannot be saved, nothing is renamed. Folders stowed under an empty label
    // ("Roster-") could never be told apart from a stray folder, so without a label
    // nothing is switched and nothing recorded.
    const bool switches = !state.dirLabel.isEmpty() && !state.backupLabel.isEmpty();
    QList<SwitchRecords::Record> pending = SwitchRecords::Pending(settings);
    if (switches)
        pending.append(SwitchRecords::Record{state.gameDir, state.dirLabel, state.backupLabel});
    try {
        settings.SaveSettings(kSettingsSection,
                              {{kPendingSwitchesKey, SwitchRecords::Encode(pending)},
                               {kLastBackupLabelKey, state.backupLabel},
                               {kLastDirLabelKey, state.dirLabel}});
    } catch (...) {
        state.backupLabel = previousBackupLabel;
        throw;
    }
    if (!switches)
        return; // the default world needs no folder switched
    Switching in = switching(state, failures);
    for (const QString& P : table.relativePath) {
        const QString defaultPath = state.gameDir + P;
        const bool defaultExists = in.fileSystem.FolderExists(defaultPath);
        const bool versionExists = in.fileSystem.FolderExists(defaultPath + in.worldSuffix());
        if (defaultExists && versionExists)
            in.folderIn(P);
    }
}

void SwitchWorldOut(LauncherState& state, const KVDirStuff::GameFolderTable& table,
                    Failures* failures) {
    switching(state, failures).worldOut(table);
}

void SwitchOut(FileSystem& fileSystem, const QString& gameDir, const QString& dirLabel,
               const QString& backupLabel, const KVDirStuff::GameFolderTable& table,
               Failures* failures) {
    Switching{fileSystem, gameDir, dirLabel, backupLabel, failures}.worldOut(table);
}

Survey SurveyInstallation(FileSystem& fileSystem, const QString& gameDir, const QString& dirLabel,
                          const QString& backupLabel, const KVDirStuff::GameFolderTable& table) {
    Survey survey;
    const QChar separator = fileSystem.separator();
    const Switching names{fileSystem, gameDir, dirLabel, backupLabel, nullptr};

    // The parent folders of the table's entries and their ancestors, shallow first;
    // each is found in its own parent's listing, so a folder that is not there is
    // known to be absent rather than merely out of reach.
    QStringList parents{QString()};
    for (const QString& P : table.relativePath) {
        for (int i = P.indexOf(separator); i >= 0; i = P.indexOf(separator, i + 1)) {
            if (!parents.contains(P.left(i)))
                parents.append(P.left(i));
        }
    }
    std::stable_sort(
        parents.begin(), parents.end(), [separator](const QString& a, const QString& b) {
            return a.count(separator) + !a.isEmpty() < b.count(separator) + !b.isEmpty();
        });
    QHash<QString, FolderListing> listings; // relative path -> listing, for listed folders
    QHash<QString, QString> paths;          // relative path -> full path as on disk
    for (const QString& relative : parents) {
        QString path = gameDir;
        if (!relative.isEmpty()) {
            const int i = relative.lastIndexOf(separator);
            const QString parent = i < 0 ? QString() : relative.left(i);
            if (!listings.contains(parent))
                continue;
            const QString name = findName(listings[parent].subFolders, relative.mid(i + 1));
            if (name.isEmpty())
                continue;
            path = paths[parent] + name + separator;
        }
        try {
            listings.insert(relative, fileSystem.listFolder(path));
            paths.insert(relative, path);
            if (relative.isEmpty())
                survey.id = listings[relative].id;
            survey.folders.append(path);
        } catch (const FileSystemError& error) {
            if (!survey.unread)
                survey.unread =
                    Trouble{gameDir, {}, path, {}, error.systemError(), 0, {error.message()}};
        }
    }

    for (const QString& P : table.relativePath) {
        const int i = P.lastIndexOf(separator);
        const QString parent = i < 0 ? QString() : P.left(i);
        if (!listings.contains(parent))
            continue;
        const QList<FolderListing::SubFolder>& subFolders = listings[parent].subFolders;
        const QString N = names.folderName(P);
        const QString stowed =
            backupLabel.isEmpty() ? QString() : findName(subFolders, N + names.stowedSuffix());
        const bool versionOutside =
            !dirLabel.isEmpty() && !findName(subFolders, N + names.worldSuffix()).isEmpty();
        if (!stowed.isEmpty()) {
            survey.stowed.append(paths[parent] + stowed);
            survey.stowedEntries.append(P);
        }
        if (versionOutside && (!stowed.isEmpty() || !findName(subFolders, N).isEmpty()))
            survey.notSwitchedIn.append(P);
    }
    return survey;
}

QStringList StowedFolders(LauncherState& state, const KVDirStuff::GameFolderTable& table) {
    if (state.gameDir.isEmpty() || state.backupLabel.isEmpty())
        return QStringList();
    return SurveyInstallation(*state.fileSystem, state.gameDir, state.dirLabel, state.backupLabel,
                              table)
        .stowed;
}

} // namespace FolderSwitching
