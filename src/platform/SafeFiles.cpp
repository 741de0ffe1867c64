#include "platform/SafeFiles.h"

#include "platform/LauncherError.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace SafeFiles {
namespace {

QString decode(const QByteArray& path) {
    return QFile::decodeName(path);
}

QString kindOf(mode_t mode) {
    if (S_ISREG(mode))
        return QString();
    if (S_ISFIFO(mode))
        return QStringLiteral("a pipe (FIFO)");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    return QStringLiteral("a special file");
}

[[noreturn]] void throwNotRegular(const QString& path, mode_t mode) {
    throw FileSystemError(QStringLiteral("%1 is %2, not a regular file").arg(path, kindOf(mode)),
                          S_ISDIR(mode) ? EISDIR : EINVAL);
}

// A link is followed to the entry it finally names, which need not exist (a dangling
// link names the file a write creates). Anything else is returned as it is.
QByteArray followLinks(QByteArray path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.constData(), target.data(), target.size());
        if (length <= 0 || length >= target.size())
            return path;
        target.truncate(length);
        if (!target.startsWith('/'))
            target.prepend(path.left(path.lastIndexOf('/') + 1));
        path = target;
    }
    return path; // a loop: the write fails on it with ELOOP
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

int writeAll(int fd, const QByteArray& content) {
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        done += n;
    }
    return 0;
}

// A write past RLIMIT_FSIZE raises SIGXFSZ, which ends the process unless ignored;
// ignored, the write fails with EFBIG like any other full disk.
class IgnoreFileSizeSignal {
public:
    IgnoreFileSizeSignal() {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        m_set = ::sigaction(SIGXFSZ, &ignore, &m_previous) == 0;
    }
    ~IgnoreFileSizeSignal() {
        if (m_set)
            ::sigaction(SIGXFSZ, &m_previous, nullptr);
    }
    IgnoreFileSizeSignal(const IgnoreFileSizeSignal&) = delete;
    IgnoreFileSizeSignal& operator=(const IgnoreFileSizeSignal&) = delete;

private:
    struct sigaction m_previous = {};
    bool m_set = false;
};

// Creates the temp file without opening anything already there; a regular file or
// link at its name is what a launcher ended mid-write left, and is removed once.
int createTemp(const QString& path, const QByteArray& temp) {
    for (int attempt = 0;; ++attempt) {
        const int fd =
            ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST || attempt > 0)
            return fd;
        struct stat st;
        if (::lstat(temp.constData(), &st) != 0)
            continue; // gone meanwhile
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
            throw FileSystemError(QStringLiteral("Cannot write %1: %2 is %3, not a regular file")
                                      .arg(path, decode(temp), kindOf(st.st_mode)),
                                  S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        if (::unlink(temp.constData()) != 0)
            return -1;
    }
}

} // namespace

std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 limit, Part part) {
    const QByteArray name = QFile::encodeName(path);
    // Looked at before it is opened, so that no device is ever opened; fstat below
    // holds against a swap in between.
    struct stat st;
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        throw FileSystemError(
            QStringLiteral("Cannot read %1 (%2)").arg(path, SystemErrorText(errno)), errno);
    }
    if (!S_ISREG(st.st_mode))
        throwNotRegular(path, st.st_mode);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        throw FileSystemError(
            QStringLiteral("Cannot read %1 (%2)").arg(path, SystemErrorText(errno)), errno);
    }
    QByteArray content;
    int err = 0;
    if (::fstat(fd, &st) != 0) {
        err = errno;
    } else if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throwNotRegular(path, st.st_mode);
    } else if (part == Part::End && limit >= 0 && st.st_size > limit &&
               ::lseek(fd, st.st_size - limit, SEEK_SET) < 0) {
        err = errno;
    } else {
        // Read straight into the result: the size the file has (one byte more, to see
        // its end), growing should it grow meanwhile, never past the limit.
        const auto capped = [limit](qint64 size) {
            return limit < 0 ? size : std::min(size, limit);
        };
        content.resize(qsizetype(capped(qint64(st.st_size) + 1)));
        qsizetype got = 0;
        for (;;) {
            if (got == content.size()) {
                if (limit >= 0 && got >= limit)
                    break;
                content.resize(qsizetype(capped(qint64(content.size()) * 2 + 4096)));
            }
            const ssize_t n = ::read(fd, content.data() + got, size_t(content.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                err = n < 0 ? errno : 0;
                break;
            }
            got += n;
        }
        content.truncate(got);
    }
    ::close(fd);
    if (err != 0)
        throw FileSystemError(QStringLiteral("Cannot read %1 (%2)").arg(path, SystemErrorText(err)),
                              err);
    return content;
}

void Write(const QString& path, const QByteArray& content, Mode mode, Sync sync) {
    // A link stays a link: the file it names is the one replaced. A new file is made
    // only where nothing is, so a link there is something.
    const QByteArray target =
        mode == Mode::Replace ? followLinks(QFile::encodeName(path)) : QFile::encodeName(path);
    struct stat old;
    const bool replacing = ::lstat(target.constData(), &old) == 0;
    if (replacing && mode == Mode::CreateNew)
        throw FileSystemError(QStringLiteral("Cannot write %1: it already exists").arg(path),
                              EEXIST);
    if (replacing && !S_ISREG(old.st_mode))
        throwNotRegular(decode(target), old.st_mode);

    const QByteArray temp =
        target + (mode == Mode::Replace ? QByteArray(".new")
                                        : "." + QByteArray::number(qint64(::getpid())) + ".new");
    const int fd = createTemp(path, temp);
    const auto fail = [&](const QString& step, int err) {
        ::unlink(temp.constData());
        throw FileSystemError(
            QStringLiteral("Cannot write %1 (%2: %3)").arg(path, step, SystemErrorText(err)), err);
    };
    if (fd < 0) {
        const int err = errno;
        throw FileSystemError(QStringLiteral("Cannot write %1 (creating %2: %3)")
                                  .arg(path, decode(temp), SystemErrorText(err)),
                              err);
    }
    int err = 0;
    {
        IgnoreFileSizeSignal guard;
        err = writeAll(fd, content);
    }
    if (err == 0 && replacing) // the settings of a careful user stay private
        ::fchmod(fd, old.st_mode & 07777);
    if (err == 0 && sync != Sync::Nothing && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err != 0)
        fail(QStringLiteral("writing ") + decode(temp), err);

    if (mode == Mode::Replace)
        err = ::rename(temp.constData(), target.constData()) == 0 ? 0 : errno;
    else
        err = RenameNoReplace(temp, target);
    if (err != 0)
        fail(QStringLiteral("renaming %1 to %2").arg(decode(temp), decode(target)), err);
    if (sync == Sync::Everything) {
        const QByteArray folder = folderOf(target);
        // A folder this user may write in but not open owes nothing.
        const int synced = SyncFolder(folder);
        if (const int folderErr = synced == EACCES ? 0 : synced)
            throw FileSystemError(QStringLiteral("Cannot write %1 (syncing %2: %3)")
                                      .arg(path, decode(folder), SystemErrorText(folderErr)),
                                  folderErr);
    }
}

int SyncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int err = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return err == EINVAL ? 0 : err;
}

int RenameNoReplace(const QByteArray& from, const QByteArray& to) {
#if defined(SYS_renameat2)
    if (::syscall(SYS_renameat2, AT_FDCWD, from.constData(), AT_FDCWD, to.constData(),
                  1u /* RENAME_NOREPLACE */) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
#endif
    // A file system that cannot rename without replacing: a hard link never replaces
    // (a folder cannot be linked, and is then renamed once nothing is in the way).
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    struct stat st;
    if (::lstat(to.constData(), &st) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

QString SpecialKind(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? kindOf(st.st_mode) : QString();
}

} // namespace SafeFiles
