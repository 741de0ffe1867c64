#pragma once

#include "app/FileSystem.h"

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <unordered_set>

// The search of every drive for the game executable, without any widget: the
// window supplies how to let its events run, when to stop and where to show
// progress.
//
// Order: drives as given; on each drive a depth-first walk in which a folder's
// subfolders are searched before its own files; the first match wins. A drive's
// walk stays on the drive's own file system (other mount points are drives of their
// own), follows folder links there like folders, and enters no folder twice in the
// whole search, so links back up a tree cannot make it loop or repeat itself.
// A folder that cannot be listed (a folder a normal user may not read, such as
// lost+found or /root; a path longer than the system allows; a folder that vanished
// meanwhile) is passed over as if it were empty, and the walk goes on with the next
// folder; a drive that is not ready or whose root cannot be listed is skipped.
// Entries whose names are not UTF-8 are not listed by the service, so the walk
// never enters them.
class AutofindWalk {
public:
    struct Hooks {
        // Lets the window process its pending events.
        std::function<void()> processEvents;
        // Tested after every yield point; true ends the search at once.
        std::function<bool()> shouldStop;
        // A folder's whole subtree has been searched (its full path).
        std::function<void(const QString& folderPath)> folderSearched;
    };

    // Events are processed at a yield point only when this many milliseconds have
    // passed since the last time, and always once per drive.
    static constexpr int kDefaultYieldIntervalMs = 20;

    AutofindWalk(FileSystem& fileSystem, Hooks hooks,
                 int yieldIntervalMs = kDefaultYieldIntervalMs);

    // Searches the drives in order. Returns the game directory (the folder of the
    // first executable found, ending with the separator), or "" when nothing was
    // found or the search was stopped.
    QString SearchDrives(const QList<Drive>& drives);

    // Whether the last search ended because shouldStop said so.
    bool wasStopped() const { return m_stopped; }

    // Whether a file name is the game executable's (the whole name, any letter case).
    static bool isGameExecutable(const QString& fileName);

private:
    struct FolderIdHash {
        std::size_t operator()(const FolderId& id) const {
            return std::hash<quint64>()(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
        }
    };

    // One drive; throws when its root cannot be had or listed.
    QString searchDrive(const Drive& drive);
    // The folders (children of parentPath) and then the files of one folder.
    QString SearchFolders(const QString& parentPath, const FolderListing& listing);
    // A yield point: events run if the interval is over (or when forced); then the
    // stop test. Returns true when the search must end.
    bool yieldPoint(bool force = false);
    QString childPath(const QString& parentPath, const QString& name) const;

    FileSystem& m_fs;
    Hooks m_hooks;
    int m_yieldIntervalMs;
    QChar m_separator;
    QElapsedTimer m_sinceYield;
    bool m_stopped = false;
    quint64 m_driveDevice = 0;
    bool m_driveDeviceKnown = false;
    std::unordered_set<FolderId, FolderIdHash> m_visited;
};
