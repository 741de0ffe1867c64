#pragma once
// Helpers shared by the world switching and catalogue tests (header only).

#include "InstallationBuilder.h"
#include "app/LauncherState.h"
#include "app/LocalFileSystem.h"
#include "gamedir/KVDirStuff.h"
#include "support/FaultyFileSystem.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <memory>

namespace WorldsTest {

// A world that ships its own version of all eleven content folders.
inline const QString kEverywhere = QStringLiteral("Everywhere");

inline KVDirStuff::GameFolderTable gameFolderTable() {
    KVDirStuff::GameFolderTable table;
    KVDirStuff::FillGameFolderPaths(table, QLatin1Char('/'));
    return table;
}

// Adds the world kEverywhere (description file and eleven folders) to an installation.
inline QString addEverywhereWorld(const QString& gameDir) {
    QString error =
        InstallationBuilder::writeFile(gameDir + QStringLiteral("/Everywhere.ini"),
                                       "[WorldData]\r\nDisplayName=Everywhere At Once\r\n");
    for (const QString& folder : InstallationBuilder::kContentFolders) {
        if (!error.isEmpty())
            break;
        error = InstallationBuilder::writeFile(
            gameDir + QLatin1Char('/') + folder + QStringLiteral("_Everywhere/marker.txt"),
            QStringLiteral("Everywhere %1\n").arg(folder.section(QLatin1Char('/'), -1)).toUtf8());
    }
    return error;
}

// The full listing of a tree plus the text of every marker file, so that two
// folders swapped under each other's names never compare equal.
inline QStringList snapshot(const QString& root) {
    QStringList entries = InstallationBuilder::listTree(root);
    for (QString& entry : entries) {
        if (!entry.contains(QStringLiteral("marker.txt")))
            continue;
        QFile file(root + QLatin1Char('/') + entry.section(QStringLiteral(" ("), 0, 0));
        if (file.open(QIODevice::ReadOnly))
            entry += QStringLiteral(" = ") + QString::fromUtf8(file.readAll()).trimmed();
    }
    return entries;
}

// The marker text of a folder ("" when it has none).
inline QString markerOf(const QString& folder) {
    QFile file(folder + QStringLiteral("/marker.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll()).trimmed();
}

// A state record on the game directory (given without its closing separator).
inline LauncherState stateFor(const QString& gameDir,
                              std::unique_ptr<FileSystem> fileSystem = nullptr) {
    LauncherState state;
    state.gameDir = gameDir + QLatin1Char('/');
    state.fileSystem = fileSystem ? std::move(fileSystem) : std::make_unique<LocalFileSystem>();
    return state;
}

// Every entry of a listing whose name holds a "-" suffix after a content folder's
// name (a stowed default folder).
inline QStringList stowedEntries(const QStringList& listing) {
    QStringList stowed;
    for (const QString& entry : listing) {
        for (const QString& folder : InstallationBuilder::kContentFolders) {
            if (entry.startsWith(folder + QLatin1Char('-')) && entry.endsWith(QLatin1Char('/')) &&
                entry.count(QLatin1Char('/')) == folder.count(QLatin1Char('/')) + 1)
                stowed.append(entry);
        }
    }
    return stowed;
}

} // namespace WorldsTest
