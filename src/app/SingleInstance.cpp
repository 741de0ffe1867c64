#include "app/SingleInstance.h"

#include "app/Form1.h"
#include "app/LocalFileSystem.h"
#include "app/SettingsStore.h"
#include "creator/CompilerLookup.h"
#include "worlds/LaunchStuff.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QMessageBox>
#include <QWidget>

namespace {

QString besideSettings(const QString& settingsFile, const QString& suffix) {
    const QFileInfo info(settingsFile);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + suffix;
}

} // namespace

SingleInstance::SingleInstance(const QString& settingsFile, QObject* parent)
    : QObject(parent), m_settingsFile(settingsFile) {}

SingleInstance::~SingleInstance() {
    if (m_server)
        m_server->close();
}

QString SingleInstance::lockFilePath(const QString& settingsFile) {
    return besideSettings(settingsFile, QStringLiteral(".lock"));
}

QString SingleInstance::childRecordPath(const QString& settingsFile) {
    return besideSettings(settingsFile, QStringLiteral(".child"));
}

QString SingleInstance::serverName(const QString& settingsFile) {
    // A short name of its own for each settings home (socket paths are short).
    const QByteArray hash =
        QCryptographicHash::hash(lockFilePath(settingsFile).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(24);
    return QStringLiteral("korvath2-launcher-") + QString::fromLatin1(hash);
}

SingleInstance::Outcome SingleInstance::acquire() {
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

bool SingleInstance::askRunningToFront() {
    QLocalSocket socket;
    socket.connectToServer(serverName(m_settingsFile));
    if (!socket.waitForConnected(2000))
        return false;
    socket.write("front\n");
    const bool written = socket.waitForBytesWritten(2000);
    socket.disconnectFromServer();
    return written;
}

void SingleInstance::serve(QWidget* window) {
    m_window = window;
    if (m_server)
        return;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = serverName(m_settingsFile);
    if (!m_server->listen(name)) {
        // A socket left by a launcher that is gone; the lock says it is ours now.
        QLocalServer::removeServer(name);
        if (!m_server->listen(name))
            return; // no bring-to-front then; the lock still guards the folders
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::answerRequests);
}

void SingleInstance::answerRequests() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        socket->disconnectFromServer();
        if (m_window && m_window->isVisible()) {
            m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
            m_window->raise();
            m_window->activateWindow();
        }
        emit frontRequested();
    }
}

void SingleInstance::recordChild(qint64 pid) {
    LaunchStuff::WriteChildRecord(childRecordPath(m_settingsFile), pid);
}

void SingleInstance::clearChild() {
    QFile::remove(childRecordPath(m_settingsFile));
}

qint64 SingleInstance::runningChild(const QString& settingsFile) {
    return LaunchStuff::RecordedRunningChild(childRecordPath(settingsFile));
}

int RunLauncher(const std::function<void(Form1&)>& whenShown) {
    QSettingsStore settings;
    SingleInstance instance(settings.fileName());
    if (instance.acquire() == SingleInstance::Outcome::HeldByAnother) {
        instance.askRunningToFront();
        return 0;
    }

    QProcessRunner runner;
    runner.setChildRecordFile(SingleInstance::childRecordPath(settings.fileName()));
    LauncherServices services;
    services.createFileSystem = [] { return std::make_unique<LocalFileSystem>(); };
    services.settings = &settings;
    services.processRunner = &runner;
    services.launcherFolder = QCoreApplication::applicationDirPath();
    services.dataFolder = CompilerLookup::UserDataFolder();

    Form1 window(services);
    instance.serve(&window);
    try {
        window.Form_Load();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Korvath II Launcher"),
                              QString::fromUtf8(error.what()));
        return 1;
    }
    window.show();
    if (whenShown)
        whenShown(window);
    return QApplication::exec();
}
