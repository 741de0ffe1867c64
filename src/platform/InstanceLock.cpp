#include "platform/InstanceLock.h"

#include "platform/Processes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

namespace {

QString besideSettings(const QString& settingsFile, const QString& suffix) {
    const QFileInfo info(settingsFile);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + suffix;
}

} // namespace

InstanceLock::InstanceLock(const QString& settingsFile) : m_settingsFile(settingsFile) {}

InstanceLock::~InstanceLock() = default;

QString InstanceLock::lockFilePath(const QString& settingsFile) {
    return besideSettings(settingsFile, QStringLiteral(".lock"));
}

QString InstanceLock::childRecordPath(const QString& settingsFile) {
    return besideSettings(settingsFile, QStringLiteral(".child"));
}

InstanceLock::Outcome InstanceLock::acquire() {
    const QString lockPath = lockFilePath(m_settingsFile);
    QDir().mkpath(QFileInfo(lockPath).absolutePath());
    m_lock = std::make_unique<QLockFile>(lockPath);
    // A launcher holds its lock for hours while a game runs: never judge a lock by
    // its age, only by whether its launcher is still there.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        const bool held = m_lock->error() == QLockFile::LockFailedError;
        m_lock.reset();
        return held ? Outcome::HeldByAnother : Outcome::Unguarded;
    }
    // A record left by a launcher that is gone, of a child that has ended too.
    if (runningChild(m_settingsFile) == 0)
        clearChild();
    return Outcome::Acquired;
}

void InstanceLock::recordChild(qint64 pid) {
    Processes::WriteChildRecord(childRecordPath(m_settingsFile), pid);
}

void InstanceLock::clearChild() {
    QFile::remove(childRecordPath(m_settingsFile));
}

qint64 InstanceLock::runningChild(const QString& settingsFile) {
    return Processes::RecordedRunningChild(childRecordPath(settingsFile));
}
