#include "app/FileSystem.h"

#include <algorithm>

Folder::Folder(FileSystem* fileSystem, QString path) : m_fs(fileSystem), m_path(std::move(path)) {}

QString Folder::Name() const {
    QString p = m_path;
    const QChar sep = m_fs ? m_fs->separator() : QLatin1Char('/');
    while (p.size() > 1 && p.endsWith(sep))
        p.chop(1);
    const int i = p.lastIndexOf(sep);
    if (i < 0)
        return p;
    if (i == 0 && p.size() == 1)
        return p; // the root itself
    return p.mid(i + 1);
}

void Folder::SetName(const QString& newName) {
    if (!m_fs)
        throw FileSystemError(QStringLiteral("Object required"));
    m_fs->renameFolder(m_path, newName);
    const QChar sep = m_fs->separator();
    const int i = m_path.lastIndexOf(sep, m_path.endsWith(sep) ? -2 : -1);
    m_path = m_path.left(i + 1) + newName;
}

QList<Folder> Folder::SubFolders() const {
    if (!m_fs)
        throw FileSystemError(QStringLiteral("Object required"));
    QList<Folder> result;
    const QChar sep = m_fs->separator();
    const QString base = m_path.endsWith(sep) ? m_path : m_path + sep;
    const QStringList names = m_fs->subFolderNames(m_path);
    result.reserve(names.size());
    for (const QString& name : names)
        result.append(Folder(m_fs, base + name));
    return result;
}

QList<FileItem> Folder::Files() const {
    if (!m_fs)
        throw FileSystemError(QStringLiteral("Object required"));
    QList<FileItem> result;
    const QChar sep = m_fs->separator();
    const QString base = m_path.endsWith(sep) ? m_path : m_path + sep;
    const QStringList names = m_fs->fileNames(m_path);
    result.reserve(names.size());
    for (const QString& name : names)
        result.append(FileItem{name, base + name});
    return result;
}

Folder FileSystem::GetFolder(const QString& path) {
    return Folder(this, resolveFolder(path));
}

Folder FileSystem::RootFolder(const Drive& drive) {
    checkDriveReady(drive);
    return Folder(this, drive.rootPath);
}

FolderListing FileSystem::listFolder(const QString& folderPath) {
    FolderListing listing;
    const QStringList names = subFolderNames(folderPath);
    listing.subFolders.reserve(names.size());
    for (const QString& name : names)
        listing.subFolders.append(FolderListing::SubFolder{name, FolderId()});
    listing.files = fileNames(folderPath);
    return listing;
}

namespace {

// The full comparison: upper-case forms code point by code point, then exact text.
bool nameLessFull(const QString& a, const QString& b) {
    const QString ua = a.toUpper();
    const QString ub = b.toUpper();
    if (ua != ub) {
        // Code point order (UTF-16 order differs from it only beyond U+FFFF).
        const QList<uint> ca = ua.toUcs4();
        const QList<uint> cb = ub.toUcs4();
        return std::lexicographical_compare(ca.begin(), ca.end(), cb.begin(), cb.end());
    }
    return a < b;
}

} // namespace

bool FileSystem::nameLess(const QString& a, const QString& b) {
    // Most names are plain ASCII, whose upper-case forms are one character for one;
    // compare those in place and leave anything else to the full comparison.
    const qsizetype n = std::min(a.size(), b.size());
    const QChar* pa = a.constData();
    const QChar* pb = b.constData();
    for (qsizetype i = 0; i < n; ++i) {
        char16_t ca = pa[i].unicode();
        char16_t cb = pb[i].unicode();
        if (ca >= 0x80 || cb >= 0x80)
            return nameLessFull(a, b);
        if (ca >= 'a' && ca <= 'z')
            ca -= 'a' - 'A';
        if (cb >= 'a' && cb <= 'z')
            cb -= 'a' - 'A';
        if (ca != cb)
            return ca < cb;
    }
    // One name's upper-case form is a prefix of the other's: the shorter one comes
    // first (no character's upper-case form is empty), and equal forms go by exact text.
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

void FileSystem::sortNames(QStringList& names) {
    std::sort(names.begin(), names.end(), &FileSystem::nameLess);
}

int FileSystem::driveIndexOfPath(const QList<Drive>& drives, const QString& path) {
    int best = -1;
    int bestLength = -1;
    for (int i = 0; i < drives.size(); ++i) {
        QString root = drives[i].rootPath;
        if (root.size() > 1 && root.endsWith(QLatin1Char('/')))
            root.chop(1);
        const bool matches =
            path == root || root == QLatin1String("/")
                ? path.startsWith(root)
                : (path.startsWith(root) &&
                   (path.size() == root.size() || path.at(root.size()) == QLatin1Char('/')));
        if (matches && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    return best;
}
