#include "app/LocalFileSystem.h"

#include "platform/LauncherError.h"
#include "platform/SafeFiles.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray encode(const QString& path) {
    return QFile::encodeName(path);
}

// A name the launcher can use: one that turns into text and back into the very
// same bytes. A name that is not UTF-8 (an old archive's, a Wine prefix's) would
// come back with U+FFFD in it, and a path built from that leads nowhere or to
// another entry; such names are left out of every listing and every lookup.
bool decodeName(const char* raw, QString& name) {
    const char* p = raw;
    while (*p && static_cast<unsigned char>(*p) < 0x80)
        ++p;
    if (!*p) {
        name = QString::fromLatin1(raw, p - raw); // plain ASCII, as most names are
        return true;
    }
    name = QFile::decodeName(raw);
    return QFile::encodeName(name) == raw;
}

bool statFollow(const QString& path, struct stat& st) {
    return ::stat(encode(path).constData(), &st) == 0;
}

bool isDirectory(const QString& path) {
    struct stat st;
    return statFollow(path, st) && S_ISDIR(st.st_mode);
}

bool exists(const QString& path) {
    struct stat st;
    return ::lstat(encode(path).constData(), &st) == 0;
}

class LocalTextWriter : public TextWriter {
public:
    explicit LocalTextWriter(const QString& path) : m_file(path) {
        if (!m_file.open(QIODevice::WriteOnly))
            throw FileSystemError(
                QStringLiteral("Cannot create %1 (%2)").arg(path, m_file.errorString()));
    }
    void WriteLine(const QString& text) override {
        const QByteArray bytes = text.toUtf8() + "\r\n";
        if (m_file.write(bytes) != bytes.size())
            throw FileSystemError(QStringLiteral("Cannot write %1 (%2)")
                                      .arg(m_file.fileName(), m_file.errorString()));
    }
    void Close() override {
        if (!m_file.commit())
            throw FileSystemError(QStringLiteral("Cannot write %1 (%2)")
                                      .arg(m_file.fileName(), m_file.errorString()));
    }

private:
    QSaveFile m_file;
};

// Mount information fields are octal-escaped ("\040" for a space).
QByteArray unescapeMountBytes(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int v = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(v));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return out;
}

QString unescapeMountField(const QByteArray& field) {
    return QFile::decodeName(unescapeMountBytes(field));
}

bool isPseudoFileSystem(const QString& type, const QString& mountPoint) {
    static const QSet<QString> pseudo = {QStringLiteral("proc"),
                                         QStringLiteral("sysfs"),
                                         QStringLiteral("cgroup"),
                                         QStringLiteral("cgroup2"),
                                         QStringLiteral("devpts"),
                                         QStringLiteral("devtmpfs"),
                                         QStringLiteral("mqueue"),
                                         QStringLiteral("debugfs"),
                                         QStringLiteral("tracefs"),
                                         QStringLiteral("securityfs"),
                                         QStringLiteral("pstore"),
                                         QStringLiteral("bpf"),
                                         QStringLiteral("configfs"),
                                         QStringLiteral("fusectl"),
                                         QStringLiteral("hugetlbfs"),
                                         QStringLiteral("autofs"),
                                         QStringLiteral("binfmt_misc"),
                                         QStringLiteral("efivarfs"),
                                         QStringLiteral("rpc_pipefs"),
                                         QStringLiteral("nsfs"),
                                         QStringLiteral("selinuxfs"),
                                         QStringLiteral("ramfs"),
                                         QStringLiteral("fuse.gvfsd-fuse"),
                                         QStringLiteral("fuse.portal")};
    if (pseudo.contains(type))
        return true;
    // Memory file systems that only serve the system itself.
    if (type == QLatin1String("tmpfs")) {
        for (const char* prefix : {"/dev", "/run", "/sys", "/proc"}) {
            const QString p = QLatin1String(prefix);
            if (mountPoint == p || mountPoint.startsWith(p + QLatin1Char('/')))
                return true;
        }
    }
    return false;
}

QString labelForSource(const QString& source) {
    static const QString byLabel = QStringLiteral("/dev/disk/by-label");
    DIR* dir = ::opendir(encode(byLabel).constData());
    if (!dir)
        return QString();
    QString label;
    char target[4096];
    while (struct dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const QByteArray link = encode(byLabel) + '/' + entry->d_name;
        char* resolved = ::realpath(link.constData(), target);
        if (resolved && QFile::decodeName(resolved) == source) {
            label = unescapeMountField(QByteArray(entry->d_name).replace("\\x20", "\\040"));
            break;
        }
    }
    ::closedir(dir);
    return label;
}

} // namespace

QString LocalFileSystem::resolvePath(const QString& path) {
    if (path.isEmpty() || !path.startsWith(QLatin1Char('/')))
        return QString();
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current = QStringLiteral("/");
    for (const QString& part : parts) {
        const QString base = current.endsWith(QLatin1Char('/')) ? current : current + '/';
        if (part == QLatin1String(".") || part == QLatin1String("..") || exists(base + part)) {
            current = base + part;
            continue;
        }
        DIR* dir = ::opendir(encode(current).constData());
        if (!dir)
            return QString();
        QStringList candidates;
        const QString folded = part.toCaseFolded();
        while (struct dirent* entry = ::readdir(dir)) {
            QString name;
            if (decodeName(entry->d_name, name) && name.toCaseFolded() == folded)
                candidates.append(name);
        }
        ::closedir(dir);
        if (candidates.size() != 1)
            return QString();
        current = base + candidates.first();
    }
    return current;
}

bool LocalFileSystem::FolderExists(const QString& path) {
    const QString resolved = resolvePath(path);
    return !resolved.isEmpty() && isDirectory(resolved);
}

bool LocalFileSystem::FileExists(const QString& path) {
    if (path.endsWith(QLatin1Char('/')))
        return false;
    const QString resolved = resolvePath(path);
    struct stat st;
    return !resolved.isEmpty() && statFollow(resolved, st) && !S_ISDIR(st.st_mode);
}

QString LocalFileSystem::resolveFolder(const QString& path) {
    const QString resolved = resolvePath(path);
    if (resolved.isEmpty() || !isDirectory(resolved))
        throw FileSystemError(QStringLiteral("Path not found: %1").arg(path));
    return resolved;
}

QString LocalFileSystem::resolveFile(const QString& path) {
    return FileExists(path) ? resolvePath(path) : QString();
}

QStringList LocalFileSystem::subFolderNames(const QString& folderPath) {
    QStringList names;
    for (const FolderListing::SubFolder& folder :
         LocalFileSystem::listFolder(folderPath).subFolders)
        names.append(folder.name);
    return names;
}

QStringList LocalFileSystem::fileNames(const QString& folderPath) {
    return readFolder(folderPath, false).files;
}

FolderListing LocalFileSystem::listFolder(const QString& folderPath) {
    return readFolder(folderPath, true);
}

FolderListing LocalFileSystem::readFolder(const QString& folderPath, bool withSubFolders) {
    DIR* dir = ::opendir(encode(folderPath).constData());
    if (!dir) {
        // A folder that is there but cannot be read is said as such, not as missing.
        const int err = errno;
        QString reason = SystemErrorText(err);
        if (!reason.isEmpty())
            reason[0] = reason[0].toLower();
        throw FileSystemError(err == ENOENT
                                  ? QStringLiteral("Path not found: %1").arg(folderPath)
                                  : QStringLiteral("%1 cannot be read: %2").arg(folderPath, reason),
                              err);
    }
    FolderListing listing;
    const int fd = ::dirfd(dir);
    struct stat st;
    if (::fstat(fd, &st) == 0)
        listing.id = FolderId{quint64(st.st_dev), quint64(st.st_ino)};
    errno = 0;
    while (struct dirent* entry = ::readdir(dir)) {
        const char* n = entry->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        QString name;
        if (!decodeName(n, name)) {
            listing.leftOut.append(name);
            errno = 0;
            continue;
        }
        // Only folders (and links, whose target decides) need a look at the inode; a
        // listing of files alone passes folders over.
        const unsigned char type = entry->d_type;
        if (type == DT_DIR && !withSubFolders)
            continue;
        if (type == DT_DIR || type == DT_LNK || type == DT_UNKNOWN) {
            if (::fstatat(fd, n, &st, 0) == 0) {
                if (S_ISDIR(st.st_mode)) {
                    listing.subFolders.append(FolderListing::SubFolder{
                        name, FolderId{quint64(st.st_dev), quint64(st.st_ino)}});
                } else {
                    listing.files.append(name);
                    if (!S_ISREG(st.st_mode))
                        listing.notRegular.append(name);
                }
            } else if (type == DT_DIR) {
                // Gone or out of reach since it was listed: still a folder by name.
                listing.subFolders.append(FolderListing::SubFolder{name, {}});
            } else if (type == DT_UNKNOWN) {
                listing.files.append(name);
            } // a dangling link is neither a file nor a folder
        } else {
            listing.files.append(name);
            if (type != DT_REG)
                listing.notRegular.append(name);
        }
        errno = 0;
    }
    const int err = errno;
    ::closedir(dir);
    if (err != 0)
        throw FileSystemError(
            QStringLiteral("Cannot list %1 (%2)").arg(folderPath, SystemErrorText(err)), err);
    sortNames(listing.leftOut);
    sortNames(listing.notRegular);
    std::sort(listing.subFolders.begin(), listing.subFolders.end(),
              [](const FolderListing::SubFolder& a, const FolderListing::SubFolder& b) {
                  return nameLess(a.name, b.name);
              });
    sortNames(listing.files);
    return listing;
}

void LocalFileSystem::renameFolder(const QString& folderPath, const QString& newName) {
    if (newName.isEmpty() || newName.contains(QLatin1Char('/')) || newName == QLatin1String(".") ||
        newName == QLatin1String(".."))
        throw FileSystemError(QStringLiteral("Bad file name: %1").arg(newName));
    QString from = folderPath;
    while (from.size() > 1 && from.endsWith(QLatin1Char('/')))
        from.chop(1);
    const int i = from.lastIndexOf(QLatin1Char('/'));
    if (i < 0 || from == QLatin1String("/"))
        throw FileSystemError(QStringLiteral("Cannot rename %1").arg(folderPath));
    const QString to = from.left(i + 1) + newName;
    if (const int err = SafeFiles::RenameNoReplace(encode(from), encode(to))) {
        throw FileSystemError(
            QStringLiteral("Cannot rename %1 to %2 (%3)").arg(from, newName, SystemErrorText(err)),
            err);
    }
}

void LocalFileSystem::syncFolder(const QString& folderPath) {
    if (const int err = SafeFiles::SyncFolder(encode(folderPath)))
        throw FileSystemError(
            QStringLiteral("Cannot sync %1 (%2)").arg(folderPath, SystemErrorText(err)), err);
}

FolderId LocalFileSystem::folderId(const QString& folderPath) {
    struct stat st;
    if (!statFollow(folderPath, st))
        throw FileSystemError(
            QStringLiteral("Path not found: %1 (%2)").arg(folderPath, SystemErrorText(errno)),
            errno);
    if (!S_ISDIR(st.st_mode))
        throw FileSystemError(QStringLiteral("Not a folder: %1").arg(folderPath), ENOTDIR);
    return FolderId{quint64(st.st_dev), quint64(st.st_ino)};
}

void LocalFileSystem::checkDriveReady(const Drive& drive) {
    DIR* dir = ::opendir(encode(drive.rootPath).constData());
    if (!dir)
        throw FileSystemError(QStringLiteral("Device unavailable: %1 (%2)")
                                  .arg(drive.rootPath, SystemErrorText(errno)));
    ::closedir(dir);
}

std::optional<QByteArray> LocalFileSystem::readFile(const QString& path) {
    return SafeFiles::ReadRegularFile(path);
}

void LocalFileSystem::writeFile(const QString& path, const QByteArray& content, bool createNew) {
    SafeFiles::Write(path, content,
                     createNew ? SafeFiles::Mode::CreateNew : SafeFiles::Mode::Replace);
}

void LocalFileSystem::removeFile(const QString& path) {
    if (::unlink(encode(path).constData()) != 0 && errno != ENOENT) {
        const int err = errno;
        throw FileSystemError(
            QStringLiteral("Cannot remove %1 (%2)").arg(path, SystemErrorText(err)), err);
    }
}

std::optional<QByteArray> LocalFileSystem::readFileEnd(const QString& path, qint64 maxBytes) {
    return SafeFiles::ReadRegularFile(path, maxBytes, SafeFiles::Part::End);
}

std::optional<QDateTime> LocalFileSystem::lastModified(const QString& path) {
    struct stat st;
    if (!statFollow(path, st))
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 +
                                          st.st_mtim.tv_nsec / 1000000);
}

void LocalFileSystem::CreateFolder(const QString& path) {
    if (::mkdir(encode(path).constData(), 0777) != 0)
        throw FileSystemError(
            QStringLiteral("Cannot create folder %1 (%2)").arg(path, SystemErrorText(errno)));
}

std::unique_ptr<TextWriter> LocalFileSystem::CreateTextFile(const QString& path, bool overwrite,
                                                            bool /*wide*/) {
    if (!overwrite && exists(path))
        throw FileSystemError(QStringLiteral("File already exists: %1").arg(path));
    return std::make_unique<LocalTextWriter>(path);
}

QList<Drive> LocalFileSystem::Drives() {
    QFile file(m_mountInfoPath);
    QList<Drive> drives;
    if (!file.open(QIODevice::ReadOnly))
        return drives;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        // id parent major:minor root mountpoint options [optional...] - type source superopts
        const QList<QByteArray> fields = line.split(' ');
        const int dash = fields.indexOf("-");
        if (fields.size() < 7 || dash < 6 || dash + 2 >= fields.size())
            continue;
        Drive drive;
        if (!decodeName(unescapeMountBytes(fields[4]).constData(), drive.rootPath))
            continue; // a mount point whose name is not UTF-8 has no usable path
        drive.fileSystemType = QString::fromLatin1(fields[dash + 1]);
        const QString source = unescapeMountField(fields[dash + 2]);
        if (isPseudoFileSystem(drive.fileSystemType, drive.rootPath))
            continue;
        struct stat st;
        if (!statFollow(drive.rootPath, st) || !S_ISDIR(st.st_mode))
            continue; // gone, or a file bound over a file
        drive.device = st.st_dev;
        if (source.startsWith(QLatin1String("/dev/")))
            drive.label = labelForSource(source);
        // A later mount on the same point hides the earlier one.
        for (int i = 0; i < drives.size(); ++i) {
            if (drives[i].rootPath == drive.rootPath) {
                drives.removeAt(i);
                break;
            }
        }
        drives.append(drive);
    }
    // The root first; the others in the order they were mounted.
    for (int i = 0; i < drives.size(); ++i) {
        if (drives[i].rootPath == QLatin1String("/")) {
            drives.move(i, 0);
            break;
        }
    }
    return drives;
}
