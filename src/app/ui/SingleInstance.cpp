#include "app/ui/SingleInstance.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>
#include <QWidget>

namespace {

const QString kObjectPath = QStringLiteral("/org/korvath2/launcher");
const QString kInterface = QStringLiteral("org.korvath2.launcher.Instance");
// How long a second launcher keeps asking a first one that does not listen (yet): one
// that has just taken the lock listens a moment later.
constexpr int kListenGraceMs = 1000;

// The session bus, where the desktop has one. Looking for it starts no bus (libdbus
// would launch one for a bare X display) and waits for none.
bool sessionBusThere() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

QDBusConnection* sessionBus() {
    if (!sessionBusThere())
        return nullptr;
    static QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() ? &bus : nullptr;
}

} // namespace

SingleInstance::SingleInstance(const QString& settingsFile, QObject* parent)
    : QObject(parent), InstanceLock(settingsFile) {}

SingleInstance::~SingleInstance() {
    if (QDBusConnection* bus = m_serving ? sessionBus() : nullptr) {
        bus->unregisterService(serviceName(settingsFile()));
        bus->unregisterObject(kObjectPath);
    }
}

QString SingleInstance::serviceName(const QString& settingsFile) {
    // One name of its own for each settings home.
    const QByteArray hash =
        QCryptographicHash::hash(lockFilePath(settingsFile).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(24);
    return QStringLiteral("org.korvath2.launcher.i") + QString::fromLatin1(hash);
}

bool SingleInstance::askRunningToFront() {
    QDBusConnection* bus = sessionBus();
    if (!bus)
        return false;
    const QString name = serviceName(settingsFile());
    const QDeadlineTimer grace(kListenGraceMs);
    while (!bus->interface()->isServiceRegistered(name).value()) {
        if (grace.hasExpired())
            return false;
        QThread::msleep(50);
    }
    QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    if (token.isEmpty())
        token = qEnvironmentVariable("DESKTOP_STARTUP_ID");
    QDBusMessage request =
        QDBusMessage::createMethodCall(name, kObjectPath, kInterface, QStringLiteral("Activate"));
    request.setArguments({token});
    request.setAutoStartService(false);
    request.setDelayedReply(false);
    return bus->send(request);
}

void SingleInstance::serve(QWidget* window) {
    m_window = window;
    QDBusConnection* bus = sessionBus();
    if (m_serving || !bus)
        return;
    // The lock says this launcher is the one of its settings home; a name left by
    // one that is gone went with its connection.
    m_serving = bus->registerObject(kObjectPath, this, QDBusConnection::ExportScriptableSlots) &&
                bus->registerService(serviceName(settingsFile()));
}

void SingleInstance::Activate(const QString& token) {
    if (m_window && m_window->isVisible()) {
        // The desktop lets a window take the focus with the token it gave the second
        // launcher.
        if (!token.isEmpty())
            qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
        m_window->raise();
        m_window->activateWindow();
    }
    emit frontRequested();
}
