#pragma once
// Helpers shared by the worlds tests (header only).

#include "InstallationBuilder.h"
#include "app/LauncherState.h"
#include "app/LocalFileSystem.h"
#include "gamedir/KVDirStuff.h"
#include "support/FaultyFileSystem.h"
#include "support/TestSupport.h"

#include <QStringList>
#include <memory>

namespace WorldsTest {

inline KVDirStuff::GameFolderTable gameFolderTable() {
    KVDirStuff::GameFolderTable table;
    KVDirStuff::FillGameFolderPaths(table, QLatin1Char('/'));
    return table;
}

// Writes a file (and its folders); false when it cannot.
inline bool write(const QString& path, const QByteArray& content, bool executable = false) {
    return InstallationBuilder::writeFile(path, content, executable).isEmpty();
}

// The marker text of a folder ("" when it has none).
inline QString markerOf(const QString& folder) {
    return TestSupport::readText(folder + QStringLiteral("/marker.txt")).trimmed();
}

// The listing of a tree with the text of every marker, so that two folders swapped
// under each other's names never compare equal.
inline QStringList snapshot(const QString& root) {
    QStringList entries = InstallationBuilder::listTree(root);
    for (QString& entry : entries) {
        if (entry.contains(QStringLiteral("marker.txt")))
            entry += markerOf(root + QLatin1Char('/') + entry.section(QLatin1Char('/'), 0, -2));
    }
    return entries;
}

// A state record on a game directory (given without its closing separator).
inline LauncherState stateFor(const QString& gameDir,
                              std::unique_ptr<FileSystem> fileSystem = nullptr) {
    LauncherState state;
    state.gameDir = gameDir + QLatin1Char('/');
    state.fileSystem = fileSystem ? std::move(fileSystem) : std::make_unique<LocalFileSystem>();
    return state;
}

} // namespace WorldsTest
