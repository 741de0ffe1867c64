#pragma once

#include <QString>
#include <QStringList>
#include <limits>

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
// The shown names of the first `named` worlds found are read from their files; the
// others' are left empty, and their files are returned, in order, for ReadNames.
QStringList ReadWorlds(FileSystem& fileSystem, const QString& gameDir, WorldList& worlds,
                       int named = std::numeric_limits<int>::max());
// Reads the shown names from worldFiles (as ReadWorlds returned them) into the
// worlds from position first on.
void ReadNames(WorldList& worlds, int first, const QStringList& worldFiles);

} // namespace WorldCatalogue
