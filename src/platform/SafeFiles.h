#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Small files the launcher keeps (the settings, its records), read without ever waiting
// on a special file and written so that a reader sees the old file or the new one whole.
// Errors are FileSystemError with the system's errno in systemError().
namespace SafeFiles {

// Reads a regular file; a symbolic link to a regular file is followed. Never blocks:
// the file is opened with O_NONBLOCK and checked with fstat before it is read.
// nullopt when there is no such file (ENOENT, or a dangling link). Throws
// FileSystemError (errno in systemError()) when it cannot be read, and for a pipe,
// socket, device or folder at path, with a message that names the path and what is
// there (for example: "/home/u/.config/Korvath II Launcher.conf is a pipe (FIFO), not
// a regular file"); systemError() is then EISDIR for a folder, EINVAL for the others.
// With a limit, at most that many bytes are read (a huge file costs no more): the
// file's first ones, or with Part::End its last ones.
enum class Part { Start, End };
std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 limit = -1,
                                          Part part = Part::Start);

enum class Mode { Replace, CreateNew };

// How much of a write must have reached the disk when Write returns.
enum class Sync {
    Everything, // the file and the folder entry that names it
    FileOnly,   // the file's content; its new name may be lost in a power cut, the old
                // file then stays, whole
    Nothing,
};

// Writes content as the whole file at path, so that a reader sees the old file or the
// new one, never a mix or a truncated one: a temp file beside the target is created
// with O_CREAT|O_EXCL|O_NOFOLLOW (never opening anything that is already there),
// written, fsynced, renamed onto the target, and the target's folder is fsynced. A
// folder that cannot be opened for its sync (EACCES), or that keeps nothing to sync
// (EINVAL), counts as synced. When path is a symbolic link, the file it points to is
// replaced (the temp file goes beside that target), so the link stays a link.
// Replace: renames over an existing regular file, whose permissions the new one keeps.
// CreateNew: never replaces anything; an existing entry (a link too) gives EEXIST.
// The temp file is "<target>.new" in Replace mode, "<target>.<pid>.new" in CreateNew
// mode. A regular file or link already at that name is a leftover of a launcher ended
// mid-write: it is removed and the create tried once more. A pipe, socket, device or
// folder at path, at the link's target or at the temp name is an error naming it
// (nothing is written, nothing waits). On any failure (short write, ENOSPC, EDQUOT,
// EFBIG, EROFS, EACCES, a failed fsync or rename) the old file is intact, the temp file
// is removed, and FileSystemError names the file and the reason. The one exception is a
// failed sync of the folder: the new file is then in place, but may not survive a power
// cut, and that is reported. SIGXFSZ is ignored while the file is written, so a file
// larger than the process may write fails with EFBIG instead of ending the process.
void Write(const QString& path, const QByteArray& content, Mode mode = Mode::Replace,
           Sync sync = Sync::Everything);

// Syncs a folder, so that the renames made in it survive a power cut: 0, or errno. A
// file system that keeps nothing to sync for a folder (EINVAL) owes nothing.
int SyncFolder(const QByteArray& folder);
// Renames from to to, never replacing anything at to (a plain rename() would replace
// a file or an empty folder): 0, or errno (EEXIST when anything is in the way).
int RenameNoReplace(const QByteArray& from, const QByteArray& to);

// What is at path, for messages: "" for a regular file or nothing; otherwise
// "a pipe (FIFO)", "a socket", "a device", "a folder", "a special file" (a link is
// followed).
QString SpecialKind(const QString& path);

} // namespace SafeFiles
