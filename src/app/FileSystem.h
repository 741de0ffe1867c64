#pragma once

#include "platform/LauncherError.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class FileSystem;

// A file as a folder lists it: its name with extension and its full path.
struct FileItem {
    QString Name;
    QString Path;
};

// A folder object of the file-system service. It is a light handle (service +
// full path as it is on disk); every operation goes back to the service, so a
// fake service sees and can fail each of them.
class Folder {
public:
    Folder() = default;
    Folder(FileSystem* fileSystem, QString path);

    QString Name() const;                 // last path component
    void SetName(const QString& newName); // rename in place; throws FileSystemError
    QString Path() const { return m_path; }
    QList<Folder> SubFolders() const; // direct subfolders in the service's order; throws
    QList<FileItem> Files() const;    // direct files in the service's order; throws

private:
    FileSystem* m_fs = nullptr;
    QString m_path;
};

// A drive: on Linux a mounted file system that holds real data.
struct Drive {
    QString rootPath;       // the mount point, "/" for the root file system
    QString label;          // a readable label where the system has one, else ""
    QString fileSystemType; // "ext4", "tmpfs", ... ("" for fake drives)
    quint64 device = 0;     // st_dev of the root, 0 when unknown
};

// Where a folder lies on the machine: device and inode (inode 0 when the service
// cannot tell). Two paths with the same identity are the same folder.
struct FolderId {
    quint64 device = 0;
    quint64 inode = 0;
    bool isKnown() const { return inode != 0; }
    bool operator==(const FolderId& other) const {
        return device == other.device && inode == other.inode;
    }
};

// A folder listed in one pass, for walks over whole trees: its own identity, its
// subfolders with theirs, and its files; names in the service's order.
struct FolderListing {
    struct SubFolder {
        QString name;
        FolderId id;
    };
    FolderId id;
    QList<SubFolder> subFolders;
    QStringList files;
    // Entries whose names are not valid UTF-8, left out of subFolders and files (see
    // FileSystem); shown with U+FFFD where a byte could not be read, for messages
    // only: such a text is never a path.
    QStringList leftOut;
    // Entries of files that are not regular files: pipes, sockets and devices (or
    // links to them). Reading one may never end; they are listed in files as well.
    QStringList notRegular;
};

// Writes a text file line by line; each line ends with CR LF.
class TextWriter {
public:
    virtual ~TextWriter() = default;
    virtual void WriteLine(const QString& text) = 0;
    virtual void Close() = 0; // the file is complete on disk afterwards; throws on failure
};

// The file-system service. The public operations carry the names the rest of the
// launcher uses; the lower-case primitives below them are what an implementation
// (the real one, or a test's fake) provides.
//
// Names are text. An entry whose name is not valid UTF-8 cannot be named by text
// without changing it (its path would lead nowhere, or to another entry), so the
// service leaves such entries out of every listing (SubFolders, Files, listFolder)
// and never matches them in a lookup; listFolder reports them in leftOut. The same
// holds for a drive whose mount point is not UTF-8. Nothing below such a folder is
// ever seen: not a world, not a tome, not the game.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Separator between path components ("/" here).
    virtual QChar separator() const { return QLatin1Char('/'); }

    virtual bool FolderExists(const QString& path) = 0;
    virtual bool FileExists(const QString& path) = 0;
    Folder GetFolder(const QString& path); // throws FileSystemError when there is no folder
    virtual QList<Drive> Drives() = 0;
    Folder RootFolder(const Drive& drive); // throws FileSystemError when the drive is not ready
    virtual void CreateFolder(const QString& path) = 0;
    virtual std::unique_ptr<TextWriter> CreateTextFile(const QString& path, bool overwrite,
                                                       bool wide) = 0;

    // --- primitives ---
    // The folder's path as it is on disk (components matched exactly, else without
    // regard to case); throws FileSystemError when there is none.
    virtual QString resolveFolder(const QString& path) = 0;
    // The file's path as it is on disk, or "" when there is none.
    virtual QString resolveFile(const QString& path) = 0;
    virtual QStringList subFolderNames(const QString& folderPath) = 0; // sorted; throws
    virtual QStringList fileNames(const QString& folderPath) = 0;      // sorted; throws
    // Renames the folder within its parent; never replaces an existing entry. Throws.
    virtual void renameFolder(const QString& folderPath, const QString& newName) = 0;
    // Makes the renames done in the folder durable (they survive a power cut once it
    // returns). Throws FileSystemError. This default suits a service without a disk.
    virtual void syncFolder(const QString& folderPath) { Q_UNUSED(folderPath) }
    // Throws FileSystemError when the drive cannot be read.
    virtual void checkDriveReady(const Drive& drive) = 0;
    // Small files of the launcher's own (the record it keeps in a game directory). Only
    // ever opened as regular files (a link to one is followed): a pipe, socket or device
    // there is a FileSystemError that names it, never a wait.
    // The file's content, or nullopt when there is none. Throws FileSystemError.
    virtual std::optional<QByteArray> readFile(const QString& path) = 0;
    // Writes the whole file durably: a reader sees the old file or the new one, and the
    // new one survives a power cut once this returns. With createNew, nothing may be at
    // path yet (FileSystemError with EEXIST otherwise). Throws FileSystemError.
    virtual void writeFile(const QString& path, const QByteArray& content, bool createNew) = 0;
    // Removes the file; nothing there is no error. Throws FileSystemError.
    virtual void removeFile(const QString& path) = 0;
    // The last maxBytes of a file that is not the launcher's own (a program's report,
    // whose end says what went wrong), read like readFile; all of a shorter one, or
    // nullopt when there is none. Throws FileSystemError.
    virtual std::optional<QByteArray> readFileEnd(const QString& path, qint64 maxBytes) = 0;
    // When whatever is at path (exactly that path, a link followed) was last changed;
    // nullopt when nothing is there.
    virtual std::optional<QDateTime> lastModified(const QString& path) = 0;
    // The folder's subfolders and files in one pass; throws FileSystemError. This
    // default is built on subFolderNames and fileNames and knows no identities.
    virtual FolderListing listFolder(const QString& folderPath);
    // The folder's identity, without reading its entries where the service can;
    // throws FileSystemError. This default lists the folder.
    virtual FolderId folderId(const QString& folderPath) { return listFolder(folderPath).id; }

    // --- helpers shared by every implementation ---
    // Sorts names the way the service lists them: by their upper-case forms, code
    // point by code point, and names equal that way by their exact text.
    static void sortNames(QStringList& names);
    static bool nameLess(const QString& a, const QString& b);
    // The drive whose root is the longest prefix of path (index into drives), or -1.
    static int driveIndexOfPath(const QList<Drive>& drives, const QString& path);
};
