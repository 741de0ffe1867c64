#include "gamedir/KVDirStuff.h"

#include "app/FileSystem.h"

namespace KVDirStuff {

const QString kGameExecutable = QStringLiteral("korvath2.exe");
const QString kEditorExecutable = QStringLiteral("worldforge2.exe");

namespace {

// The content folders as components, in table order.
const std::array<QStringList, 11>& gameFolderComponents() {
    static const std::array<QStringList, 11> folders = {
        QStringList{QStringLiteral("Roster")},
        QStringList{QStringLiteral("Tomes")},
        QStringList{QStringLiteral("Library")},
        QStringList{QStringLiteral("Data"), QStringLiteral("Interface")},
        QStringList{QStringLiteral("Data"), QStringLiteral("Music")},
        QStringList{QStringLiteral("Data"), QStringLiteral("Sounds")},
        QStringList{QStringLiteral("Data"), QStringLiteral("Graphics"),
                    QStringLiteral("Creatures")},
        QStringList{QStringLiteral("Data"), QStringLiteral("Graphics"), QStringLiteral("Effects")},
        QStringList{QStringLiteral("Data"), QStringLiteral("Graphics"), QStringLiteral("Items")},
        QStringList{QStringLiteral("Data"), QStringLiteral("Graphics"), QStringLiteral("Tiles")},
        QStringList{QStringLiteral("Data"), QStringLiteral("Graphics"),
                    QStringLiteral("Wallpapers")},
    };
    return folders;
}

} // namespace

void FillGameFolderPaths(GameFolderTable& table, QChar separator) {
    const auto& folders = gameFolderComponents();
    for (std::size_t i = 0; i < folders.size(); ++i)
        table.relativePath[i] = folders[i].join(separator);
}

void FillGameFolderNames(GameFolderTable& table, QChar separator) {
    // Taken from the paths themselves, so that the two arrays cannot disagree.
    GameFolderTable paths;
    FillGameFolderPaths(paths, separator);
    for (std::size_t i = 0; i < paths.relativePath.size(); ++i) {
        const QString& path = paths.relativePath[i];
        table.shortName[i] = path.mid(path.lastIndexOf(separator) + 1);
    }
}

bool IsGameDirectory(FileSystem& fileSystem, const QString& directory) {
    if (directory.isEmpty())
        return false;
    const QChar separator = fileSystem.separator();
    QString text = directory;
    if (!text.endsWith(separator))
        text += separator;
    return fileSystem.FileExists(text + kGameExecutable);
}

QString ResolveGameDir(FileSystem& fileSystem, const QString& directory) {
    if (directory.isEmpty())
        return QString();
    QString resolved;
    try {
        resolved = fileSystem.resolveFolder(directory);
    } catch (const FileSystemError&) {
        return QString();
    }
    const QChar separator = fileSystem.separator();
    return resolved.endsWith(separator) ? resolved : resolved + separator;
}

QString ShortenPath(const QString& path, QChar separator) {
    QString s = path;
    if (s.endsWith(separator))
        s.chop(1); // only the one closing separator
    const QString last = s.mid(s.lastIndexOf(separator) + 1);
    if (last == s)
        return s + separator; // a single component (the root, a bare name)
    const QString first = s.left(s.indexOf(separator) + 1);
    const QString rest = s.left(s.size() - last.size() - 1);
    if (rest.contains(separator))
        return first + QStringLiteral(" .. ") + separator + last;
    return s;
}

QString NormalisePath(const QString& path, QChar separator) {
    QString result;
    result.reserve(path.size());
    for (const QChar c : path) {
        if (c == separator && result.endsWith(separator))
            continue;
        result.append(c);
    }
    // The closing separator goes, unless what stays before it is no path at all
    // ("/" itself, "C:" of "C:\").
    if (result.size() > 1 && result.endsWith(separator) &&
        result.left(result.size() - 1).contains(separator))
        result.chop(1);
    return result;
}

} // namespace KVDirStuff
