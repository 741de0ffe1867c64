#pragma once

#include <QString>

class FileSystem;
class WorldList;

// Reading the world catalogue from the world description files of an installation.
namespace WorldCatalogue {

extern const QString kDefaultWorldName; // "Valmora (Default Korvath World)"

// Whether a file name announces a world: its last four characters are ".ini",
// letter case significant ("Frost.ini" does, "FROST.INI" does not).
bool IsWorldFileName(const QString& fileName);
// A world file's label: the part of its name before the first ".ini" ("Frost.ini.ini"
// gives "Frost", ".ini" gives "").
QString DirLabelOf(const QString& fileName);

// Appends the default world and then one entry per world description file lying
// directly in gameDir, in the order the service lists them. A game directory that
// cannot be listed (removed since it was checked) leaves the default world alone.
void ReadWorlds(FileSystem& fileSystem, const QString& gameDir, WorldList& worlds);

} // namespace WorldCatalogue
