#include "worlds/WorldCatalogue.h"

#include "app/FileSystem.h"
#include "worlds/FolderNames.h"
#include "worlds/INIFileStuff.h"
#include "worlds/WorldList.h"

namespace WorldCatalogue {

const QString kDefaultWorldName = QStringLiteral("Valmora (Default Korvath World)");

namespace {
const QString kWorldFileEnding = QStringLiteral(".ini");
} // namespace

bool IsWorldFileName(const QString& fileName) {
    return fileName.endsWith(kWorldFileEnding, Qt::CaseSensitive);
}

QString DirLabelOf(const QString& fileName) {
    const int at = fileName.indexOf(kWorldFileEnding, 0, Qt::CaseSensitive);
    return at < 0 ? fileName : fileName.left(at);
}

void ReadWorlds(FileSystem& fileSystem, const QString& gameDir, WorldList& worlds) {
    worlds.Add(kDefaultWorldName, QString());
    QList<FileItem> files;
    try {
        files = fileSystem.GetFolder(gameDir).Files();
    } catch (const LauncherError&) {
        return;
    }
    for (const FileItem& file : files) {
        // Only a world whose label can name its folders, so that every world switched
        // in can be switched back.
        if (!IsWorldFileName(file.Name) || !FolderNames::IsWorldLabel(DirLabelOf(file.Name)))
            continue;
        const QString displayName = INIFileStuff::ReadIniString(
            QStringLiteral("WorldData"), QStringLiteral("DisplayName"), file.Path, QString());
        worlds.Add(displayName, DirLabelOf(file.Name));
    }
}

} // namespace WorldCatalogue
