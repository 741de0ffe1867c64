#pragma once

#include "platform/InstanceLock.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

// The window's share of the single-instance guard: a second launcher started with
// the same settings home asks the running one to come to the front, and ends. The
// request goes over the desktop's session bus: the first launcher owns a well-known
// name of its settings home there. Without a session bus the lock alone guards.
class SingleInstance : public QObject, public InstanceLock {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.korvath2.launcher.Instance")
public:
    explicit SingleInstance(const QString& settingsFile, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Asks the launcher that holds the lock to come to the front, passing on the
    // desktop's activation token where there is one. Waits for no answer, since that
    // launcher may be blocked in a launch. False when it could not be reached, also
    // after a second of asking (one that took the lock a moment ago may not listen
    // yet), and at once without a session bus.
    bool askRunningToFront();
    // Answers such requests by raising the window (a window hidden during a launch
    // stays hidden; no window yet: nothing is raised). Call after acquire(), and
    // again once the window exists.
    void serve(QWidget* window);

    // The name on the session bus of the launcher of this settings home.
    static QString serviceName(const QString& settingsFile);

public slots:
    // Called over the bus by a second launcher; token: the desktop's activation
    // token for the window ("" for none).
    Q_SCRIPTABLE void Activate(const QString& token);

signals:
    void frontRequested();

private:
    bool m_serving = false;
    QPointer<QWidget> m_window;
};
