#pragma once

#include "app/FileSystem.h"

// The file-system service on a POSIX system: native paths, names matched exactly
// when they can be and otherwise without regard to case, listings sorted the way
// the service promises, renames that never replace.
class LocalFileSystem : public FileSystem {
public:
    bool FolderExists(const QString& path) override;
    bool FileExists(const QString& path) override;
    QList<Drive> Drives() override;
    void CreateFolder(const QString& path) override;
    std::unique_ptr<TextWriter> CreateTextFile(const QString& path, bool overwrite,
                                               bool wide) override;

    QString resolveFolder(const QString& path) override;
    QString resolveFile(const QString& path) override;
    QStringList subFolderNames(const QString& folderPath) override;
    QStringList fileNames(const QString& folderPath) override;
    void renameFolder(const QString& folderPath, const QString& newName) override;
    void syncFolder(const QString& folderPath) override;
    void checkDriveReady(const Drive& drive) override;
    std::optional<QByteArray> readFile(const QString& path) override;
    void writeFile(const QString& path, const QByteArray& content, bool createNew) override;
    void removeFile(const QString& path) override;
    std::optional<QByteArray> readFileEnd(const QString& path, qint64 maxBytes) override;
    std::optional<QDateTime> lastModified(const QString& path) override;
    // Reads the folder itself, not through subFolderNames and fileNames: a fake that
    // fails listings for whole-tree walks overrides this too.
    FolderListing listFolder(const QString& folderPath) override;
    FolderId folderId(const QString& folderPath) override;

    // Where mount points are read from; tests may point it at a prepared file.
    void setMountInfoPath(const QString& path) { m_mountInfoPath = path; }

    // The path as it is on disk, or "" when some component does not exist.
    // Components are matched exactly first, then without regard to case, but only
    // where one name alone matches that way: names that differ only in case are
    // different entries, and a lookup never picks one of them by chance. Empty
    // components (doubled separators) are skipped.
    QString resolvePath(const QString& path);

private:
    // The listing of folderPath; without its subfolders, no folder needs a look.
    FolderListing readFolder(const QString& folderPath, bool withSubFolders);
    QString m_mountInfoPath = QStringLiteral("/proc/self/mountinfo");
};
