// One launcher per settings home: the lock, the bring-to-front request, the take-over
// of a lock whose launcher is gone, and the record of a running child.
#include "app/ui/SingleInstance.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <csignal>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

class InstanceTest : public QObject {
    Q_OBJECT
private slots:
    void secondInstanceIsTurnedAwayAndAsksForTheFront();
    void realSecondLauncherEndsWithoutWriting();
    void childRecordKnowsWhetherThatProcessRuns();

private:
    static QString settingsFileIn(const QString& root) {
        return root + "/config/Korvath II Launcher.conf";
    }
    static QString launcherProgram() {
        return qEnvironmentVariable("KV_BINARY_DIR", KV_BINARY_DIR) + "/korvath2-launcher";
    }
};

void InstanceTest::secondInstanceIsTurnedAwayAndAsksForTheFront() {
    QTemporaryDir tmp;
    const QString settings = settingsFileIn(tmp.path());
    QWidget window;
    window.show();
    {
        SingleInstance first(settings);
        QCOMPARE(first.acquire(), SingleInstance::Outcome::Acquired);
        QVERIFY(QFile::exists(SingleInstance::lockFilePath(settings)));
        first.serve(&window);
        QSignalSpy front(&first, &SingleInstance::frontRequested);

        SingleInstance second(settings);
        QCOMPARE(second.acquire(), SingleInstance::Outcome::HeldByAnother);
        QVERIFY(second.askRunningToFront());
        QTRY_COMPARE(front.count(), 1);

        // Another settings home is guarded on its own.
        SingleInstance elsewhere(settingsFileIn(tmp.path() + "/other"));
        QCOMPARE(elsewhere.acquire(), SingleInstance::Outcome::Acquired);
    }
    // Released with its holder.
    QVERIFY(!QFile::exists(SingleInstance::lockFilePath(settings)));
    SingleInstance next(settings);
    QCOMPARE(next.acquire(), SingleInstance::Outcome::Acquired);
    // Nobody answers for a home whose launcher does not serve requests.
    SingleInstance asking(settingsFileIn(tmp.path() + "/nobody"));
    QVERIFY(!asking.askRunningToFront());
}

void InstanceTest::realSecondLauncherEndsWithoutWriting() {
    QTemporaryDir tmp;
    const QString settings = settingsFileIn(tmp.path());
    QVERIFY(QDir().mkpath(tmp.path() + "/config"));
    {
        QFile file(settings);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Settings]\nKVDir=/nowhere/\ninterfaceType=1\n");
    }
    QFile before(settings);
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray content = before.readAll();
    before.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", tmp.path() + "/config");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(launcherProgram(), {});
    QVERIFY(first.waitForStarted());
    // The first launcher has run its start-up (which rewrites "KVDir") and holds the lock.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(SingleInstance::lockFilePath(settings)), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(settings).size() != content.size(), 20000);
    QFile afterFirst(settings);
    QVERIFY(afterFirst.open(QIODevice::ReadOnly));
    const QByteArray firstContent = afterFirst.readAll();
    const QDateTime firstWritten = QFileInfo(settings).lastModified();

    // Make the held lock look ancient: a live launcher's lock is never stale.
    {
        QFile lock(SingleInstance::lockFilePath(settings));
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-3 * 3600),
                                 QFileDevice::FileModificationTime));
    }
    QProcess second;
    second.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    second.start(launcherProgram(), {});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(first.state(), QProcess::Running);
    QFile afterSecond(settings);
    QVERIFY(afterSecond.open(QIODevice::ReadOnly));
    QCOMPARE(afterSecond.readAll(), firstContent);
    QCOMPARE(QFileInfo(settings).lastModified(), firstWritten);

    // The first launcher dies: its lock is left behind and taken over.
    first.kill();
    QVERIFY(first.waitForFinished());
    QVERIFY(QFile::exists(SingleInstance::lockFilePath(settings)));
    SingleInstance next(settings);
    QCOMPARE(next.acquire(), SingleInstance::Outcome::Acquired);
}

void InstanceTest::childRecordKnowsWhetherThatProcessRuns() {
    QTemporaryDir tmp;
    const QString settings = settingsFileIn(tmp.path());
    SingleInstance instance(settings);
    QCOMPARE(instance.acquire(), SingleInstance::Outcome::Acquired);
    QCOMPARE(SingleInstance::runningChild(settings), 0);

    QProcess child;
    child.start("/bin/sh", {"-c", "read line"});
    QVERIFY(child.waitForStarted());
    const qint64 pid = child.processId();
    instance.recordChild(pid);
    QCOMPARE(SingleInstance::runningChild(settings), pid);

    // The same id with another start time is another process.
    QFile record(SingleInstance::childRecordPath(settings));
    QVERIFY(record.open(QIODevice::ReadOnly));
    const QList<QByteArray> fields = record.readAll().simplified().split(' ');
    record.close();
    QCOMPARE(fields.size(), 2);
    QVERIFY(record.open(QIODevice::WriteOnly | QIODevice::Truncate));
    record.write(fields.at(0) + ' ' + QByteArray::number(fields.at(1).toLongLong() + 1) + '\n');
    record.close();
    QCOMPARE(SingleInstance::runningChild(settings), 0);

    instance.recordChild(pid);
    child.closeWriteChannel();
    QVERIFY(child.waitForFinished());
    QCOMPARE(SingleInstance::runningChild(settings), 0);

    // A child that has ended but is not yet reaped has ended all the same.
    const pid_t zombie = ::fork();
    if (zombie == 0)
        ::_exit(0);
    QVERIFY(zombie > 0);
    instance.recordChild(zombie);
    const auto processState = [zombie] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(zombie));
        return stat.open(QIODevice::ReadOnly) ? stat.readAll().split(')').last().simplified()
                                              : QByteArray();
    };
    QTRY_VERIFY(processState().startsWith("Z"));
    QCOMPARE(SingleInstance::runningChild(settings), 0);
    int status = 0;
    ::waitpid(zombie, &status, 0);

    // Garbage, and no record at all.
    QVERIFY(record.open(QIODevice::WriteOnly | QIODevice::Truncate));
    record.write("not a pid\n");
    record.close();
    QCOMPARE(SingleInstance::runningChild(settings), 0);
    instance.clearChild();
    QVERIFY(!QFile::exists(SingleInstance::childRecordPath(settings)));
    QCOMPARE(SingleInstance::runningChild(settings), 0);
}

QTEST_MAIN(InstanceTest)
#include "tst_instance.moc"
