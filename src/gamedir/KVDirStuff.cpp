#include "gamedir/KVDirStuff.h"

namespace KVDirStuff {

const QString kGameExecutable = QStringLiteral("korvath2.exe");

void FillGameFolderPaths(GameFolderTable&, QChar) {}
void FillGameFolderNames(GameFolderTable&, QChar) {}
QString ShortenPath(const QString& path, QChar) {
    return path;
}

} // namespace KVDirStuff
