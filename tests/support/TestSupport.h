#pragma once
// Test support that needs no widget: temp trees, the unprivileged run, folder locks,
// and a recording process runner. Tests of core modules link this only.

#include "app/LocalFileSystem.h"
#include "app/SettingsStore.h"
#include "platform/ProcessRunner.h"

#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace TestSupport {

// A file's text as UTF-8; "" when it cannot be read.
QString readText(const QString& path);

// Makes entries below root: a name ending in "/" is a folder, any other a small file
// (its folders made as needed). False when one of them cannot be made.
bool makeTree(const QString& root, const QStringList& entries);

// Root ignores file permissions; a player does not. When this test program runs as
// root, runsUnprivileged() runs the current test function (and data row) again in a
// child of this program under an unprivileged user id (through setpriv), checks
// that it passed, and returns false: the caller then returns at once. Otherwise it
// returns true and the caller goes on as it is. The child's temp folders lie in the
// system's temp folder, where that user may write; HOME points at one of them.
// Usage: if (!TestSupport::runsUnprivileged()) return;
bool runsUnprivileged();
constexpr unsigned kUnprivilegedId = 65534; // "nobody"
// A temp folder that is removed whole at the end, including what Qt cannot remove:
// entries whose names are not UTF-8 and trees deeper than a path may be long.
class RawTempDir : public QTemporaryDir {
public:
    ~RawTempDir();
};

// Makes a folder impossible for a user who is not root to list (mode 0), to change
// (read and enter only), or to list while it may still be changed (write and enter
// only); restores access when the guard ends, so the temp folder can be removed.
class FolderLock {
public:
    enum Kind { Unreadable, ReadOnly, WriteOnly };
    FolderLock(const QString& path, Kind kind);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool isSet() const { return m_set; }

private:
    QString m_path;
    bool m_set = false;
};

// A process runner that records its calls and answers with a fixed exit code
// instead of starting anything; onRun lets a test look at the disk meanwhile.
class RecordingProcessRunner : public ProcessRunner {
public:
    struct Call {
        QString program;
        QStringList arguments;
        QString workingDirectory;
        QMap<QString, QString> environment;
    };
    QList<Call> calls;
    int exitCode = 0;
    std::function<void(const Call&)> onRun;

    int RunAndWait(const QString& program, const QStringList& arguments,
                   const QString& workingDirectory,
                   const QMap<QString, QString>& environment = {}) override;
};

} // namespace TestSupport
