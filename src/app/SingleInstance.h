#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class Form1;
class QLocalServer;
class QLockFile;
class QWidget;

// One launcher per settings home. A second launcher would otherwise run its
// start-up recovery and rename folders under a world that the first has switched
// in for a running game. The lock file and the record of a running child lie
// beside the settings file, so every settings home is guarded on its own.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& settingsFile, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Outcome {
        Acquired,      // this launcher holds the lock (perhaps taken over from one that is gone)
        HeldByAnother, // a running launcher holds it
        Unguarded      // the lock cannot be made (say, the settings folder is read-only)
    };
    // Takes the lock and keeps it for the object's lifetime. A lock whose launcher
    // is gone is taken over, however old; a live launcher's lock never goes stale.
    Outcome acquire();

    // Asks the launcher that holds the lock to come to the front. Waits for no
    // answer, since that launcher may be blocked in a launch. False when it could
    // not be reached.
    bool askRunningToFront();
    // Answers such requests by raising the window (a window hidden during a launch
    // stays hidden). Call after acquire().
    void serve(QWidget* window);

    // The record of the child that a launch runs: its process id and start time
    // (the launcher's process runner keeps it in childRecordPath()).
    void recordChild(qint64 pid);
    void clearChild();
    // The process id of the recorded child while that very process still runs (the
    // start time guards against a reused id), else 0.
    static qint64 runningChild(const QString& settingsFile);

    static QString lockFilePath(const QString& settingsFile);
    static QString childRecordPath(const QString& settingsFile);
    static QString serverName(const QString& settingsFile);

signals:
    void frontRequested();

private:
    void answerRequests();

    QString m_settingsFile;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    QPointer<QWidget> m_window;
};

// The launcher process after QApplication exists: one launcher per settings home
// (a second one asks the first to come to the front and ends), the real services,
// the window and its event loop. whenShown runs once the window is shown (a test
// driver uses it to act on the window). Returns the program's exit status.
int RunLauncher(const std::function<void(Form1&)>& whenShown = {});
