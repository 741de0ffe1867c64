#include "app/ui/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QWidget>

SingleInstance::SingleInstance(const QString& settingsFile, QObject* parent)
    : QObject(parent), InstanceLock(settingsFile) {}

SingleInstance::~SingleInstance() {
    if (m_server)
        m_server->close();
}

QString SingleInstance::serverName(const QString& settingsFile) {
    // A short name of its own for each settings home (socket paths are short).
    const QByteArray hash =
        QCryptographicHash::hash(lockFilePath(settingsFile).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(24);
    return QStringLiteral("korvath2-launcher-") + QString::fromLatin1(hash);
}

namespace {
// How long a second launcher waits for the first to take its request.
constexpr int kFrontRequestTimeoutMs = 2000;
// How long it keeps asking a first launcher that does not listen (yet): one that has
// just taken the lock listens a moment later.
constexpr int kListenGraceMs = 1000;
} // namespace

bool SingleInstance::askRunningToFront() {
    QLocalSocket socket;
    const QDeadlineTimer grace(kListenGraceMs);
    for (;;) {
        socket.connectToServer(serverName(settingsFile()));
        if (socket.waitForConnected(kFrontRequestTimeoutMs))
            break;
        if (grace.hasExpired())
            return false;
        QThread::msleep(50);
    }
    socket.write("front\n");
    const bool written = socket.waitForBytesWritten(kFrontRequestTimeoutMs);
    socket.disconnectFromServer();
    return written;
}

void SingleInstance::serve(QWidget* window) {
    m_window = window;
    if (m_server)
        return;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = serverName(settingsFile());
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
