#pragma once

#include "app/InstanceLock.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QWidget;

// The window's share of the single-instance guard: a second launcher started with
// the same settings home asks the running one to come to the front, and ends.
class SingleInstance : public QObject, public InstanceLock {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& settingsFile, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Asks the launcher that holds the lock to come to the front. Waits for no
    // answer, since that launcher may be blocked in a launch. False when it could
    // not be reached, also after a second of asking (one that took the lock a moment
    // ago may not listen yet).
    bool askRunningToFront();
    // Answers such requests by raising the window (a window hidden during a launch
    // stays hidden; no window yet: nothing is raised). Call after acquire(), and
    // again once the window exists.
    void serve(QWidget* window);

    static QString serverName(const QString& settingsFile);

signals:
    void frontRequested();

private:
    void answerRequests();

    QLocalServer* m_server = nullptr;
    QPointer<QWidget> m_window;
};
