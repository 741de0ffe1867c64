#include "worlds/WorldCatalogue.h"

#include "app/FileSystem.h"
#include "worlds/FolderNames.h"
#include "worlds/INIFileStuff.h"
#include "worlds/WorldList.h"

#include <QStringList>

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

QStringList ReadWorlds(FileSystem& fileSystem, const QString& gameDir, WorldList& worlds,
                       int named) {
    worlds.Add(kDefaultWorldName, QString());
    QList<FileItem> files;
    try {
        files = fileSystem.GetFolder(gameDir).Files();
    } catch (const LauncherError&) {
        return {};
    }
    QStringList unnamed;
    for (const FileItem& file : files) {
        // Only a world whose label can name its folders, so that every world switched
        // in can be switched back.
        if (!IsWorldFileName(file.Name))
            continue;
        const QString label = DirLabelOf(file.Name);
        if (!FolderNames::IsWorldLabel(label))
            continue;
        worlds.Add(QString(), label);
        if (worlds.Count() - 1 > named)
            unnamed.append(file.Path);
        else
            ReadNames(worlds, worlds.Count(), {file.Path});
    }
    return unnamed;
}

void ReadNames(WorldList& worlds, int first, const QStringList& worldFiles) {
    for (int i = 0; i < worldFiles.size(); ++i)
        worlds.Item(first + i).SetDisplayName(INIFileStuff::ReadIniString(
            QStringLiteral("WorldData"), QStringLiteral("DisplayName"), worldFiles[i], QString()));
}

} // namespace WorldCatalogue
