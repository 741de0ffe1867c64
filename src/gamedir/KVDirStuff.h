#pragma once

#include <QString>
#include <array>

class FileSystem;

namespace KVDirStuff {

// The eleven switchable content folders of an installation, index 0 to 10.
struct GameFolderTable {
    std::array<QString, 11> relativePath;
    std::array<QString, 11> shortName;
};

// The game executable's name.
extern const QString kGameExecutable; // "korvath2.exe"
// The world editor's, beside it.
extern const QString kEditorExecutable; // "worldforge2.exe"

// relativePath: each folder from the game directory, components joined by separator.
void FillGameFolderPaths(GameFolderTable& table, QChar separator = QLatin1Char('/'));
// shortName: the last component of each relativePath.
void FillGameFolderNames(GameFolderTable& table, QChar separator = QLatin1Char('/'));

// Whether directory holds the game: the game executable directly in it, its name
// matched without regard to case. directory may end with the separator or not;
// an empty text is no directory.
bool IsGameDirectory(FileSystem& fileSystem, const QString& directory);

// The game directory as it is on disk: every component in its on-disk letter case
// (symbolic links stay as they were given), ending with the separator. "" when there
// is no such folder, or when its spelling matches several folders that differ only
// in letter case.
QString ResolveGameDir(FileSystem& fileSystem, const QString& directory);

// The text shown for a path: first component, " .. " + separator, last component,
// for paths of three or more components; shorter paths are shown whole.
QString ShortenPath(const QString& path, QChar separator = QLatin1Char('/'));

// The one form in which directory paths are compared: doubled separators collapsed,
// no closing separator except at a root ("/", "C:\").
QString NormalisePath(const QString& path, QChar separator = QLatin1Char('/'));

} // namespace KVDirStuff
