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

void FillGameFolderPaths(GameFolderTable& table, QChar separator = QLatin1Char('/'));
void FillGameFolderNames(GameFolderTable& table, QChar separator = QLatin1Char('/'));

// The text shown for a path: first component, " .. " + separator, last component.
QString ShortenPath(const QString& path, QChar separator = QLatin1Char('/'));

} // namespace KVDirStuff
