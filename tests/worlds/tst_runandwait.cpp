// Starting a program: exact path, exit code, working directory, Wine for Windows
// programs, and the record of the running child.
#include "InstallationBuilder.h"
#include "app/LocalFileSystem.h"
#include "worlds/LaunchStuff.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using LaunchStuff::StartProblem;

class RunAndWaitTest : public QObject {
    Q_OBJECT
private slots:
    void exitCodeWorkingDirectoryAndArguments();
    void pathWithSpacesNeverRunsTheUnquotedPrefix();
    void nothingStartedGivesMinusOneAtOnce();
    void childEndedBySignal();
    void windowsProgramRunsThroughWine();
    void childIsRecordedBeforeItsProgramRuns();

private:
    QString readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // A shell script that records its working directory, arguments and one
    // environment value in out, then exits with code.
    QByteArray recorder(const QString& out, int code) {
        return QStringLiteral("#!/bin/sh\n"
                              "pwd > '%1'\n"
                              "for a in \"$@\"; do echo \"arg:$a\" >> '%1'; done\n"
                              "echo \"env:$KV_PROBE\" >> '%1'\n"
                              "exit %2\n")
            .arg(out)
            .arg(code)
            .toUtf8();
    }
};

void RunAndWaitTest::exitCodeWorkingDirectoryAndArguments() {
    QTemporaryDir tmp;
    const QString game = tmp.path() + "/Game";
    const QString out = tmp.path() + "/out.txt";
    QCOMPARE(InstallationBuilder::writeFile(game + "/korvath2.exe", recorder(out, 3), true),
             QString());
    LocalFileSystem fs;
    QProcessRunner runner;
    StartProblem problem = StartProblem::Missing;
    const int code = LaunchStuff::RunAndWait(runner, fs, game + "/korvath2.exe", {"one two", "*"},
                                             game + "/", {{"KV_PROBE", "seen"}}, &problem);
    QCOMPARE(code, 3);
    QCOMPARE(problem, StartProblem::None);
    // Arguments arrive as given: no splitting at spaces, no wildcard expansion.
    QCOMPARE(readFile(out), game + "\narg:one two\narg:*\nenv:seen\n");
}

void RunAndWaitTest::pathWithSpacesNeverRunsTheUnquotedPrefix() {
    QTemporaryDir tmp;
    const QString game = tmp.path() + "/Korvath 2 Games/Korvath 2";
    const QString out = tmp.path() + "/out.txt";
    const QString decoyOut = tmp.path() + "/decoy.txt";
    QCOMPARE(InstallationBuilder::writeFile(game + "/korvath2.exe", recorder(out, 0), true),
             QString());
    // Programs at each unquoted prefix of the path, as a splitting command line would
    // find them.
    const QByteArray decoy = QStringLiteral("#!/bin/sh\necho ran > '%1'\n").arg(decoyOut).toUtf8();
    QCOMPARE(InstallationBuilder::writeFile(tmp.path() + "/Korvath", decoy, true), QString());
    QCOMPARE(InstallationBuilder::writeFile(tmp.path() + "/Korvath 2 Games/Korvath", decoy, true),
             QString());
    LocalFileSystem fs;
    QProcessRunner runner;
    QCOMPARE(LaunchStuff::RunAndWait(runner, fs, game + "/korvath2.exe", {}, game + "/"), 0);
    QCOMPARE(readFile(out), game + "\nenv:\n");
    QVERIFY(!QFile::exists(decoyOut));
}

void RunAndWaitTest::nothingStartedGivesMinusOneAtOnce() {
    QTemporaryDir tmp;
    const QString game = tmp.path() + "/Game";
    QVERIFY(QDir().mkpath(game));
    QCOMPARE(InstallationBuilder::writeFile(game + "/plain.exe", "#!/bin/sh\nexit 0\n", false),
             QString());
    QCOMPARE(InstallationBuilder::writeFile(game + "/ok.exe", "#!/bin/sh\nexit 0\n", true),
             QString());
    LocalFileSystem fs;
    QProcessRunner runner;
    const QString record = tmp.path() + "/child.record";
    runner.setChildRecordFile(record);

    QElapsedTimer clock;
    clock.start();
    StartProblem problem = StartProblem::None;
    QCOMPARE(LaunchStuff::RunAndWait(runner, fs, game + "/korvath2.exe", {}, game, {}, &problem),
             -1);
    QCOMPARE(problem, StartProblem::Missing);
    // A file that may not be executed.
    QCOMPARE(LaunchStuff::RunAndWait(runner, fs, game + "/plain.exe", {}, game, {}, &problem), -1);
    QCOMPARE(problem, StartProblem::NotStarted);
    // A working directory that is gone.
    QCOMPARE(
        LaunchStuff::RunAndWait(runner, fs, game + "/ok.exe", {}, game + "/gone", {}, &problem),
        -1);
    QCOMPARE(problem, StartProblem::NotStarted);
    // A Windows program where no wine is on PATH.
    QCOMPARE(InstallationBuilder::writeFile(game + "/win.exe", "MZ", true), QString());
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", game.toUtf8());
    const int withoutWine =
        LaunchStuff::RunAndWait(runner, fs, game + "/win.exe", {}, game, {}, &problem);
    qputenv("PATH", savedPath);
    QCOMPARE(withoutWine, -1);
    QCOMPARE(problem, StartProblem::NeedsWine);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!QFile::exists(record));
}

void RunAndWaitTest::childEndedBySignal() {
    QTemporaryDir tmp;
    const QString program = tmp.path() + "/korvath2.exe";
    QCOMPARE(InstallationBuilder::writeFile(program, "#!/bin/sh\nkill -TERM $$\nexit 0\n", true),
             QString());
    LocalFileSystem fs;
    QProcessRunner runner;
    // As a shell reports it: 128 + SIGTERM. Never -1, which means "not started".
    QCOMPARE(LaunchStuff::RunAndWait(runner, fs, program, {}, tmp.path()), 128 + 15);
}

void RunAndWaitTest::windowsProgramRunsThroughWine() {
    QTemporaryDir tmp;
    const QString bin = tmp.path() + "/bin";
    const QString out = tmp.path() + "/wine.txt";
    QCOMPARE(InstallationBuilder::writeFile(bin + "/wine", recorder(out, 7), true), QString());
    const QString game = tmp.path() + "/My Game";
    QCOMPARE(InstallationBuilder::writeFile(game + "/KORVATH2.EXE", "MZ\x90 not really", false),
             QString());
    // A native program beside it starts directly even with wine present.
    QCOMPARE(InstallationBuilder::writeFile(game + "/native.exe", "#!/bin/sh\nexit 5\n", true),
             QString());

    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", bin.toUtf8() + ":/usr/bin:/bin");
    LocalFileSystem fs;
    QProcessRunner runner;
    StartProblem problem = StartProblem::Missing;
    // Asked for by the name the launcher uses; found as it is on disk.
    const int code = LaunchStuff::RunAndWait(runner, fs, game + "/korvath2.exe", {"kvii.nsi"}, game,
                                             {}, &problem);
    const int native = LaunchStuff::RunAndWait(runner, fs, game + "/native.exe", {}, game);
    qputenv("PATH", savedPath);

    QCOMPARE(code, 7);
    QCOMPARE(problem, StartProblem::None);
    QCOMPARE(readFile(out), game + "\narg:" + game + "/KORVATH2.EXE\narg:kvii.nsi\nenv:\n");
    QCOMPARE(native, 5);
}

void RunAndWaitTest::childIsRecordedBeforeItsProgramRuns() {
    QTemporaryDir tmp;
    const QString program = tmp.path() + "/korvath2.exe";
    const QString record = tmp.path() + "/child.record";
    const QString out = tmp.path() + "/seen.txt";
    // The program's first act: look at the record and note its own id.
    QCOMPARE(InstallationBuilder::writeFile(
                 program,
                 QStringLiteral("#!/bin/sh\ncat '%1' > '%2'\necho \"self $$\" >> '%2'\n")
                     .arg(record, out)
                     .toUtf8(),
                 true),
             QString());
    LocalFileSystem fs;
    QProcessRunner runner;
    runner.setChildRecordFile(record);
    QCOMPARE(LaunchStuff::RunAndWait(runner, fs, program, {}, tmp.path()), 0);
    const QStringList lines = readFile(out).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE("self " + lines.first().section(' ', 0, 0), lines.last());
    // Gone once the child has ended.
    QVERIFY(!QFile::exists(record));
}

QTEST_GUILESS_MAIN(RunAndWaitTest)
#include "tst_runandwait.moc"
