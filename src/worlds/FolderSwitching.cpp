#include "worlds/FolderSwitching.h"

#include "app/LauncherState.h"
#include "app/SettingsStore.h"
#include "worlds/GUIDStuff.h"

namespace FolderSwitching {

namespace {

// N: the last component of a table entry's relative path.
QString folderName(const LauncherState& state, const QString& P) {
    const int i = P.lastIndexOf(state.fileSystem->separator());
    return i < 0 ? P : P.mid(i + 1);
}

// Renames the folder at path within its parent. Errors of the service are
// ignored (the folder then keeps its name); returns whether the rename happened.
bool renameIgnoringErrors(FileSystem& fileSystem, const QString& path, const QString& newName) {
    try {
        Folder folder = fileSystem.GetFolder(path);
        folder.SetName(newName);
        return true;
    } catch (const LauncherError&) {
        return false;
    }
}

QString stowedSuffix(const LauncherState& state) {
    return QLatin1Char('-') + state.backupLabel;
}

QString worldSuffix(const LauncherState& state) {
    return QLatin1Char('_') + state.dirLabel;
}

} // namespace

void SwitchFolderIn(LauncherState& state, const QString& P) {
    FileSystem& fileSystem = *state.fileSystem;
    const QString N = folderName(state, P);
    const QString defaultPath = state.gameDir + P;
    const bool stowed = renameIgnoringErrors(fileSystem, defaultPath, N + stowedSuffix(state));
    const bool placed = renameIgnoringErrors(fileSystem, defaultPath + worldSuffix(state), N);
    // The world's version could not take the plain name: put the default folder
    // back at once rather than leave the game without it.
    if (stowed && !placed)
        renameIgnoringErrors(fileSystem, defaultPath + stowedSuffix(state), N);
}

void SwitchFolderOut(LauncherState& state, const QString& P) {
    FileSystem& fileSystem = *state.fileSystem;
    const QString N = folderName(state, P);
    const QString defaultPath = state.gameDir + P;
    renameIgnoringErrors(fileSystem, defaultPath, N + worldSuffix(state));
    renameIgnoringErrors(fileSystem, defaultPath + stowedSuffix(state), N);
}

void SwitchWorldIn(LauncherState& state, SettingsStore& settings,
                   const KVDirStuff::GameFolderTable& table) {
    const QString previousBackupLabel = state.backupLabel;
    state.backupLabel = GUIDStuff::NewGuidString();
    // Both labels are on disk before any folder changes its name, so that a
    // launcher ended at any later point finds them at its next start. When they
    // cannot be saved, nothing is renamed.
    try {
        settings.SaveSettings(kSettingsSection,
                              {{QStringLiteral("lastBackupLabel"), state.backupLabel},
                               {QStringLiteral("lastDirLabel"), state.dirLabel}});
    } catch (...) {
        state.backupLabel = previousBackupLabel;
        throw;
    }
    if (state.dirLabel.isEmpty())
        return; // the default world needs no folder switched
    // Folders stowed under an empty label ("Roster-") could never be told apart
    // from a stray folder or brought back by the recovery; the world then plays
    // with the default folders instead.
    if (state.backupLabel.isEmpty())
        return;
    FileSystem& fileSystem = *state.fileSystem;
    for (const QString& P : table.relativePath) {
        const QString defaultPath = state.gameDir + P;
        const bool defaultExists = fileSystem.FolderExists(defaultPath);
        const bool versionExists = fileSystem.FolderExists(defaultPath + worldSuffix(state));
        if (defaultExists && versionExists)
            SwitchFolderIn(state, P);
    }
}

void SwitchWorldOut(LauncherState& state, const KVDirStuff::GameFolderTable& table) {
    if (state.dirLabel.isEmpty() || state.backupLabel.isEmpty())
        return;
    FileSystem& fileSystem = *state.fileSystem;
    for (const QString& P : table.relativePath) {
        const QString defaultPath = state.gameDir + P;
        const bool inPlace = fileSystem.FolderExists(defaultPath);
        const bool stowed = fileSystem.FolderExists(defaultPath + stowedSuffix(state));
        if (inPlace && stowed) {
            SwitchFolderOut(state, P);
        } else if (stowed) {
            // A switch cut short between its two renames (in either direction)
            // left the default place empty: the stowed default folder goes back.
            renameIgnoringErrors(fileSystem, defaultPath + stowedSuffix(state),
                                 folderName(state, P));
        }
    }
}

QStringList StowedFolders(LauncherState& state, const KVDirStuff::GameFolderTable& table) {
    QStringList stowed;
    if (state.gameDir.isEmpty() || state.backupLabel.isEmpty())
        return stowed;
    FileSystem& fileSystem = *state.fileSystem;
    for (const QString& P : table.relativePath) {
        const QString path = state.gameDir + P + stowedSuffix(state);
        if (!fileSystem.FolderExists(path))
            continue;
        try {
            stowed.append(fileSystem.GetFolder(path).Path());
        } catch (const LauncherError&) {
            stowed.append(path); // it was there a moment ago; report it by the asked name
        }
    }
    return stowed;
}

} // namespace FolderSwitching
