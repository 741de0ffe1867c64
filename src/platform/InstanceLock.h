#pragma once

#include <QString>
#include <memory>

class QLockFile;

// One launcher per settings home. A second launcher would otherwise run its
// start-up recovery and rename folders under a world that the first has switched
// in for a running game. The lock file and the record of a running child lie
// beside the settings file, so every settings home is guarded on its own. The
// window and the command line take the same lock.
class InstanceLock {
public:
    explicit InstanceLock(const QString& settingsFile);
    virtual ~InstanceLock();

    enum class Outcome {
        Acquired,      // this launcher holds the lock (perhaps taken over from one that is gone)
        HeldByAnother, // a running launcher holds it
        Unguarded      // the lock cannot be made (say, the settings folder is read-only)
    };
    // Takes the lock and keeps it for the object's lifetime. A lock whose launcher
    // is gone is taken over, however old; a live launcher's lock never goes stale.
    Outcome acquire();

    // The record of the child that a launch runs: its process id and start time
    // (the launcher's process runner keeps it in childRecordPath()).
    void recordChild(qint64 pid);
    void clearChild();
    // The process id of the recorded child while that very process still runs (the
    // start time guards against a reused id), else 0.
    static qint64 runningChild(const QString& settingsFile);

    static QString lockFilePath(const QString& settingsFile);
    static QString childRecordPath(const QString& settingsFile);

protected:
    const QString& settingsFile() const { return m_settingsFile; }

private:
    QString m_settingsFile;
    std::unique_ptr<QLockFile> m_lock;
};
