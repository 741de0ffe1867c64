#include "gamedir/AutofindWalk.h"

#include "gamedir/KVDirStuff.h"
#include "platform/Logging.h"

#include <cerrno>

AutofindWalk::AutofindWalk(FileSystem& fileSystem, Hooks hooks, int yieldIntervalMs)
    : m_fs(fileSystem), m_hooks(std::move(hooks)), m_yieldIntervalMs(yieldIntervalMs),
      m_separator(fileSystem.separator()) {}

bool AutofindWalk::isGameExecutable(const QString& fileName) {
    const QString& target = KVDirStuff::kGameExecutable;
    const QChar* p = fileName.constData();
    const qsizetype n = fileName.size();
    bool sameSoFar = n == target.size();
    for (qsizetype i = 0; i < n; ++i) {
        char16_t c = p[i].unicode();
        if (c >= 0x80) // a few letters beyond ASCII turn into ASCII ones in lower case
            return fileName.toLower() == target;
        if (sameSoFar) {
            if (c >= 'A' && c <= 'Z')
                c += 'a' - 'A';
            sameSoFar = c == target.at(i).unicode();
        }
    }
    return sameSoFar;
}

QString AutofindWalk::SearchDrives(const QList<Drive>& drives) {
    m_stopped = false;
    m_visited.clear();
    m_sinceYield.start();
    for (const Drive& drive : drives) {
        if (yieldPoint(true))
            break;
        // A drive that is not ready, or whose root cannot be listed, is skipped.
        try {
            const QString found = searchDrive(drive);
            if (!found.isEmpty())
                return found;
        } catch (const LauncherError& error) {
            qCWarning(lcGameDir).noquote() << "Autofind skipped a drive:" << error.message();
        }
        if (m_stopped)
            break;
    }
    return QString();
}

QString AutofindWalk::searchDrive(const Drive& drive) {
    const Folder root = m_fs.RootFolder(drive);
    const FolderListing listing = m_fs.listFolder(root.Path());
    // The walk stays on the file system of the drive's root folder.
    m_driveDeviceKnown = listing.id.isKnown();
    m_driveDevice = listing.id.device;
    if (listing.id.isKnown() && !m_visited.insert(listing.id).second)
        return QString(); // reached already from another drive (a bind mount)
    return SearchFolders(root.Path(), listing);
}

QString AutofindWalk::SearchFolders(const QString& parentPath, const FolderListing& listing) {
    for (const FolderListing::SubFolder& folder : listing.subFolders) {
        if (yieldPoint())
            return QString();
        if (folder.id.isKnown()) {
            if (m_driveDeviceKnown && folder.id.device != m_driveDevice)
                continue; // another file system: a drive of its own
            if (!m_visited.insert(folder.id).second)
                continue; // entered already, by another path or a link
        }
        const QString path = childPath(parentPath, folder.name);
        // A folder that cannot be listed (no permission, a path too long for the
        // system, gone or replaced since its parent was listed) is searched as if
        // it were empty: the rest of the drive is still searched.
        FolderListing contents;
        try {
            contents = m_fs.listFolder(path);
        } catch (const FileSystemError& error) {
            // Folders this user may not read are expected on any machine.
            const bool expected = error.systemError() == EACCES || error.systemError() == EPERM;
            if (expected)
                qCInfo(lcGameDir).noquote() << "Autofind passed over a folder:" << error.message();
            else
                qCWarning(lcGameDir).noquote()
                    << "Autofind passed over a folder:" << error.message();
        } catch (const LauncherError& error) {
            qCWarning(lcGameDir).noquote() << "Autofind passed over a folder:" << error.message();
        }
        const QString found = SearchFolders(path, contents);
        if (m_hooks.folderSearched)
            m_hooks.folderSearched(path);
        if (!found.isEmpty())
            return found;
    }
    for (const QString& file : listing.files) {
        if (yieldPoint())
            return QString();
        if (isGameExecutable(file))
            return parentPath.endsWith(m_separator) ? parentPath : parentPath + m_separator;
    }
    return QString();
}

bool AutofindWalk::yieldPoint(bool force) {
    if (m_stopped)
        return true;
    if (force || m_sinceYield.elapsed() >= m_yieldIntervalMs) {
        if (m_hooks.processEvents)
            m_hooks.processEvents();
        m_sinceYield.start();
    }
    m_stopped = m_hooks.shouldStop && m_hooks.shouldStop();
    return m_stopped;
}

QString AutofindWalk::childPath(const QString& parentPath, const QString& name) const {
    return parentPath.endsWith(m_separator) ? parentPath + name : parentPath + m_separator + name;
}
