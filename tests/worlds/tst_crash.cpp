// Real processes. Starting a program: exact path, exit code, Wine for Windows
// programs, why nothing started, and the record of the running child. Launchers,
// the window's and the command line's: one killed while its world is switched in is
// repaired by a later one, never under a game that is still running; a second
// launcher meanwhile changes nothing.
#include "WorldsTestSupport.h"
#include "app/SettingsStore.h"
#include "platform/InstanceLock.h"
#include "platform/ProcessRunner.h"
#include "platform/Processes.h"
#include "worlds/LaunchStuff.h"

#include <QDateTime>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class CrashTest : public QObject {
    Q_OBJECT
private slots:
    void runsAProgramAsGiven();
    void windowsProgramsRunInTheirWinePrefix();
    void aRecordedChildCountsWhileItRuns();
    void aKilledWindowIsRepairedOnceItsGameHasEnded();
    void theCommandLineExitsWithTheGamesStatusOrWhy_data();
    void theCommandLineExitsWithTheGamesStatusOrWhy();
    void aKilledCommandLineIsRepairedWhenReachableAgain();
    void twoHomesAPathThroughALinkAndSpecialFiles();
    void aFullDiskStopsTheLaunchBeforeAnyRename();
};

using LaunchStuff::StartProblem;
using TestSupport::readText;
using WorldsTest::snapshot;
using WorldsTest::write;

namespace {

// A shell script that notes its working directory and arguments in $KV_OUT/name
// (KV_OUT given in its environment), then exits with code.
QByteArray recorder(const char* name, int code) {
    return QByteArray("#!/bin/sh\npwd > \"$KV_OUT/") + name +
           "\"\nfor a in \"$@\"; do echo \"arg:$a\" >> \"$KV_OUT/" + name + "\"; done\nexit " +
           QByteArray::number(code) + "\n";
}

// A game that notes the Roster and Tomes it sees and the signals it ignores, takes
// the name Roster_Frostmarch
// while the file "block" exists, holds on while the file "hold" exists until
// "release" does, notes that it is done and exits with 7.
const QByteArray kGame = "#!/bin/sh\n"
                         "grep SigIgn /proc/$$/status > \"$KV_OUT/ignored\"\n"
                         "cat Roster/marker.txt Tomes/marker.txt > \"$KV_OUT/seen\"\n"
                         "[ -e \"$KV_OUT/block\" ] && mkdir Roster_Frostmarch\n"
                         "for i in $(seq 600); do [ -e \"$KV_OUT/hold\" ] && [ ! -e "
                         "\"$KV_OUT/release\" ] && sleep 0.1 || break; done\n"
                         "echo done > \"$KV_OUT/done\"\n"
                         "exit 7\n";

// A settings home with installations of that game, and launcher processes on them.
struct Home {
    explicit Home(const QString& root) : root(root), out(root + "/out/") {
        QDir().mkpath(out);
        setGameDir(game);
    }
    ~Home() {
        // Lets a game that a failed test left waiting end by itself.
        write(out + "release", "");
        qDeleteAll(processes);
    }

    QString addInstallation(const QString& name) const {
        write(root + "/game.sh", kGame, true);
        InstallationBuilder::Options options;
        options.gameProgram = root + "/game.sh";
        const QString error = InstallationBuilder::build(root + "/" + name, options);
        if (!error.isEmpty())
            qFatal("%s", qPrintable(error));
        return root + "/" + name;
    }
    void setGameDir(const QString& dir) const {
        IniSettingsStore(settingsFile).SaveSetting(kSettingsSection, "KVDir", dir + "/");
    }
    // Whether the game holds on; clears what the last one noted.
    void hold(bool on) const {
        for (const char* file : {"seen", "release", "done", "hold"})
            QFile::remove(out + file);
        if (on)
            write(out + "hold", "");
    }
    // The launcher: given arguments, its command line, with no display at all; the
    // driven window launches world when given, then quits.
    QProcess* start(const QStringList& arguments = {}, const QString& world = {},
                    const QString& program = "korvath2-launcher") {
        auto* process = new QProcess;
        processes << process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", root + "/config");
        env.insert("KV_OUT", out);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        if (!arguments.isEmpty()) {
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                env.remove(name);
        }
        if (!world.isEmpty())
            env.insert("KV_DRIVER_WORLD", world);
        process->setProcessEnvironment(env);
        process->start(qEnvironmentVariable("KV_BINARY_DIR", KV_BINARY_DIR) + '/' + program,
                       arguments);
        return process;
    }
    QProcess* startDriver(const QString& world = {}) {
        return start({}, world, "tests/driver_launcher");
    }
    // Runs the command line to its end: its exit code (-1 when it did not end by
    // itself), with what it printed in printed.
    int command(const QStringList& arguments, QByteArray* printed = nullptr) {
        QProcess* process = start(arguments);
        const bool ended = process->waitForFinished(30000);
        if (printed)
            *printed = process->readAllStandardOutput() + process->readAllStandardError();
        return ended && process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    }
    static void kill(QProcess* process) {
        process->kill();
        process->waitForFinished();
    }
    QString root, out;
    QString game = addInstallation("Game");
    QString settingsFile = root + "/config/Korvath II Launcher.conf";
    QList<QProcess*> processes;
};

} // namespace

namespace {
// A game directory whose path holds spaces, a wine on the PATH that records how it is
// called, and the game directory's KORVATH2.EXE started by the name the launcher uses.
struct Starter {
    QTemporaryDir tmp;
    const QString game = tmp.path() + "/Korvath 2 Games/Korvath 2", out = tmp.path() + "/seen";
    const QString record = tmp.path() + "/child.record";
    const QByteArray searchPath = qgetenv("PATH");
    LocalFileSystem fs;
    QProcessRunner runner;
    StartProblem why = StartProblem::None;
    QString reason;

    Starter() {
        write(tmp.path() + "/bin/wine", recorder("seen", 7), true);
        QDir().mkpath(game);
        qputenv("PATH", QFile::encodeName(tmp.path()) + "/bin:/usr/bin:/bin");
        runner.setChildRecordFile(record);
    }
    ~Starter() { qputenv("PATH", searchPath); }
    // Runs KORVATH2.EXE with content (none when content is empty).
    int run(const QByteArray& content, bool executable) {
        QFile::remove(game + "/KORVATH2.EXE");
        QFile::remove(out);
        if (!content.isEmpty())
            write(game + "/KORVATH2.EXE", content, executable);
        return LaunchStuff::RunAndWait(runner, fs, game + "/korvath2.exe", {"one two", "*"}, game,
                                       {{"KV_OUT", tmp.path()}}, &why, &reason);
    }
};
} // namespace

void CrashTest::runsAProgramAsGiven() {
    Starter s;
    // Arguments arrive as given, never split or expanded, and the exit code returns.
    QCOMPARE(s.run(recorder("seen", 3), true), 3);
    QCOMPARE(readText(s.out), s.game + "\narg:one two\narg:*\n");
    // A Windows program runs through wine, which is given its path as it is on disk.
    QCOMPARE(s.run("MZ\x90", false), 7);
    QCOMPARE(readText(s.out), s.game + "\narg:" + s.game + "/KORVATH2.EXE\narg:one two\narg:*\n");
    // As a shell reports a child ended by a signal: 128 + SIGTERM; never -1, which
    // means "not started".
    QCOMPARE(s.run("#!/bin/sh\nkill -TERM $$\n", true), 128 + 15);
    QCOMPARE(s.why, StartProblem::None);
    // The child's id is in the record before its program runs; the record goes once
    // the child has ended.
    QCOMPARE(s.run("#!/bin/sh\ncat \"$KV_OUT/child.record\" > \"$KV_OUT/seen\"\necho $$ >> "
                   "\"$KV_OUT/seen\"\n",
                   true),
             0);
    const QStringList lines = readText(s.out).split('\n', Qt::SkipEmptyParts);
    QVERIFY(lines.size() == 2 && lines.first().section(' ', 0, 0) == lines.last());
    QVERIFY(!QFile::exists(s.record));
    // Nothing started: -1, and why.
    QCOMPARE(s.run("", false), -1);
    QCOMPARE(s.why, StartProblem::Missing);
    QCOMPARE(s.run("#!/bin/sh\n", false), -1);
    QCOMPARE(s.why, StartProblem::NotStarted);
    QCOMPARE(s.reason, "permission denied");
}

// A Windows program runs in the Wine prefix that holds it (the nearest folder above
// with drive_c and system.reg); elsewhere the user's own prefix stays. $WINE, where
// set, is the Wine to use; with no Wine at all, nothing is started.
void CrashTest::windowsProgramsRunInTheirWinePrefix() {
    Starter s;
    const QString tmp = s.tmp.path();
    const auto restoreWine = qScopeGuard([] { qunsetenv("WINEPREFIX"), qunsetenv("WINE"); });
    qputenv("WINEPREFIX", "/home/player/.wine");
    const QString other = tmp + "/bin/other-wine";
    QVERIFY(
        write(other, "#!/bin/sh\necho \"$WINEPREFIX $0\" > \"$KV_OUT/prefix\"\nexit 5\n", true));
    for (const auto& [folder, registry, prefix] : {std::tuple{"p1/drive_c/Games/K2", true, "p1"},
                                                   {"p2/drive_c/a/b/c/K2", true, "p2"},
                                                   {"p3/drive_c/K2", false, ""},
                                                   {"K2", false, ""}}) {
        const QString dir = tmp + "/w/" + folder;
        QVERIFY(write(dir + "/game.exe", "MZ"));
        if (registry)
            QVERIFY(write(tmp + "/w/" + prefix + "/system.reg", ""));
        for (const QString& wine : {QString(), other}) {
            qputenv("WINE", wine.toUtf8());
            QCOMPARE(LaunchStuff::RunAndWait(s.runner, s.fs, dir + "/game.exe", {}, dir,
                                             {{"KV_OUT", tmp}}, &s.why),
                     wine.isEmpty() ? 7 : 5);
            if (!wine.isEmpty())
                QCOMPARE(readText(tmp + "/prefix"),
                         (*prefix ? tmp + "/w/" + prefix : "/home/player/.wine") + ' ' + other +
                             '\n');
        }
    }
    qunsetenv("WINE");
    qputenv("PATH", QFile::encodeName(tmp));
    QCOMPARE(s.run("MZ", false), -1);
    QCOMPARE(s.why, StartProblem::NeedsWine);
}

// A recorded child counts while that very process runs: not once it has ended (even
// before it is reaped), nor a process that got its id later.
void CrashTest::aRecordedChildCountsWhileItRuns() {
    QTemporaryDir tmp;
    const QString record = tmp.path() + "/child.record";
    QProcess child;
    child.start("/bin/sh", {"-c", "read line"});
    QVERIFY(child.waitForStarted());
    Processes::WriteChildRecord(record, child.processId());
    QCOMPARE(Processes::RecordedRunningChild(record), child.processId());
    QVERIFY(write(record, QByteArray::number(child.processId()) + " 1\n"));
    QCOMPARE(Processes::RecordedRunningChild(record), 0);
    child.closeWriteChannel();
    QVERIFY(child.waitForFinished());
    const pid_t zombie = ::fork();
    if (zombie == 0)
        ::_exit(0);
    Processes::WriteChildRecord(record, zombie);
    QTRY_VERIFY(readText(QString("/proc/%1/stat").arg(zombie)).split(')').last().startsWith(" Z"));
    QCOMPARE(Processes::RecordedRunningChild(record), 0);
    ::waitpid(zombie, nullptr, 0);
}

// The window plays Frost March; its game holds on. A second launcher meanwhile
// changes nothing, though the lock looks ancient (a live launcher's lock is never
// stale), nor does the command line, which says why. Killed mid-game: --recover
// renames nothing while the game runs; once it has ended, it puts the folders back.
void CrashTest::aKilledWindowIsRepairedOnceItsGameHasEnded() {
    QTemporaryDir tmp;
    Home home(tmp.path());
    const QStringList resting = snapshot(home.game);
    home.hold(true);
    QProcess* first = home.startDriver("Frost March");
    QTRY_COMPARE_WITH_TIMEOUT(readText(home.out + "seen"),
                              "Frostmarch Roster_Frostmarch\nFrostmarch Tomes_Frostmarch\n", 20000);
    const QStringList switchedIn = snapshot(home.game);
    QFile lock(InstanceLock::lockFilePath(home.settingsFile));
    QVERIFY(lock.open(QIODevice::ReadWrite));
    QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-3 * 3600),
                             QFileDevice::FileModificationTime));
    QByteArray printed;
    QCOMPARE(home.command({}), 0);
    QCOMPARE(home.command({"--world", "dawn"}, &printed), 125);
    QVERIFY(printed.contains("another Korvath II Launcher is running"));
    QCOMPARE(snapshot(home.game), switchedIn);

    Home::kill(first);
    QCOMPARE(home.command({"--recover"}), 125);
    QCOMPARE(snapshot(home.game), switchedIn);
    QVERIFY(write(home.out + "release", ""));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(home.out + "done"), 20000);
    QCOMPARE(home.command({"--recover"}, &printed), 0);
    QVERIFY(printed.contains("world \"Frostmarch\""));
    QCOMPARE(snapshot(home.game), resting);
}

// The command line's status: the game's own after a normal end, with the folders back;
// 2 for a name that fits no world or several, with the worlds listed; 127 for an
// editor that is not there (without the game the directory is no installation), 126
// for a program that cannot be started; 125 with what to do for a folder whose name
// was taken during the game. Nothing is left switched in.
void CrashTest::theCommandLineExitsWithTheGamesStatusOrWhy_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");       // below the home, replaced by content
    QTest::addColumn<QByteArray>("content"); // none: removed; a script is executable
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    const QStringList play = {"--world", "Frost March"};
    const QString game = "Game/korvath2.exe", worlds = "\nFrostmarch\tFrost March\n";
    QTest::newRow("game's own status")
        << play << game << QByteArray("#!/bin/sh\nexit 3\n") << 3 << "";
    QTest::newRow("unknown world")
        << QStringList{"--world", "Nowhere"} << "" << QByteArray() << 2 << worlds;
    QTest::newRow("ambiguous world")
        << QStringList{"--world", "FROSTMARCH"} << "Game/Cold.ini"
        << QByteArray("[WorldData]\nDisplayName=frostMARCH\n") << 2 << worlds;
    QTest::newRow("editor missing") << play + QStringList{"--editor"} << "Game/worldforge2.exe"
                                    << QByteArray() << 127 << "worldforge2.exe";
    QTest::newRow("game not executable")
        << play << game << QByteArray("exit 3\n") << 126 << "permission denied";
    QTest::newRow("Windows game without Wine")
        << play << game << QByteArray("MZ") << 126 << "Windows program";
    QTest::newRow("name taken during the game")
        << play << "out/block" << QByteArray("") << 125
        << "/Roster could not take back its name \"Roster_Frostmarch\" (\"Roster_Frostmarch\" "
           "is in the way). Fix that, then run korvath2-launcher --recover";
}

void CrashTest::theCommandLineExitsWithTheGamesStatusOrWhy() {
    if (!TestSupport::runsUnprivileged())
        return;
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(int, status);
    QFETCH(QString, said);
    QTemporaryDir tmp;
    Home home(tmp.path());
    QFile::remove(home.root + '/' + file);
    QVERIFY(content.isNull() || write(home.root + '/' + file, content, content.startsWith("#!")));
    const QStringList resting = snapshot(home.game);
    qputenv("WINE", "/nowhere/wine"); // no Wine
    const auto unset = qScopeGuard([] { qunsetenv("WINE"); });
    QByteArray printed;
    QCOMPARE(home.command(arguments, &printed), status);
    QVERIFY2(printed.contains(said.toUtf8()), printed);
    if (file.endsWith("block")) {
        QVERIFY(QDir().rmdir(home.game + "/Roster_Frostmarch"));
        QCOMPARE(home.command({"--recover"}), 0);
    }
    QCOMPARE(snapshot(home.game), resting);
}

// The command line plays a world named in any letter case, and is killed mid-game: it
// too left a record of its game for --recover to respect. The game ends while its
// installation cannot be reached (the game moved away). A launch in the other
// installation keeps the record of the first one, and the window's next start puts
// the first back once it can be reached.
void CrashTest::aKilledCommandLineIsRepairedWhenReachableAgain() {
    QTemporaryDir tmp;
    Home home(tmp.path());
    const QString other = home.addInstallation("Other");
    QVERIFY(write(home.game + "/Cold.ini", "[WorldData]\nDisplayName=frostMARCH\n"));
    const QStringList resting = snapshot(home.game), otherResting = snapshot(other);
    home.hold(true);
    QProcess* playing = home.start({"--world", "frost march"});
    QTRY_VERIFY_WITH_TIMEOUT(readText(home.out + "seen").startsWith("Frostmarch Roster_"), 20000);
    Home::kill(playing);
    const QStringList switchedIn = snapshot(home.game);
    QCOMPARE(home.command({"--recover"}), 125);
    QVERIFY(QFile::rename(home.game + "/korvath2.exe", home.root + "/away.exe"));
    QVERIFY(write(home.out + "release", ""));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(home.out + "done"), 20000);
    // Told to stop meanwhile, it ignores Ctrl+C and Ctrl+\ (the game's to answer, as
    // this test had them) and passes a request to end on to the game; once the folders
    // are back, it ends as asked.
    home.hold(true);
    home.setGameDir(other);
    QProcess* stopped = home.start({"--world", "Isle of Dawn"});
    QTRY_COMPARE_WITH_TIMEOUT(readText(home.out + "seen"), "Valmora Roster\ndawn Tomes_dawn\n",
                              20000);
    for (const int signal : {SIGINT, SIGQUIT, SIGTERM})
        ::kill(pid_t(stopped->processId()), signal);
    QVERIFY(stopped->waitForFinished(20000) && stopped->exitStatus() == QProcess::CrashExit);
    QCOMPARE(stopped->exitCode(), SIGTERM);
    QCOMPARE(snapshot(other), otherResting);
    const auto keys = [](const QString& status) { // SigIgn's bits of SIGINT and SIGQUIT
        return status.section("SigIgn:", 1).section('\n', 0, 0).trimmed().toULongLong(nullptr, 16) &
               6;
    };
    QCOMPARE(keys(readText(home.out + "ignored")), keys(readText("/proc/self/status")));
    QCOMPARE(snapshot(home.game), switchedIn.filter(QRegularExpression("^(?!korvath2.exe)")));

    // Reachable again: the window's next start puts it back before its catalogue and
    // tomes are read.
    QVERIFY(QFile::rename(home.root + "/away.exe", home.game + "/korvath2.exe"));
    home.setGameDir(home.game);
    QProcess* last = home.startDriver();
    QTRY_VERIFY_WITH_TIMEOUT(last->canReadLine(), 30000);
    QCOMPARE(last->readLine(), "READY Valmora (Default Korvath World),frostMARCH,Isle of Dawn,"
                               "Frost March | Bestiary,Herbalism\n");
    last->waitForFinished(); // ends by itself, and takes its socket with it
    QVERIFY(last->state() == QProcess::NotRunning && last->exitCode() == 0);
    QCOMPARE(snapshot(home.game), resting);
    QCOMPARE(snapshot(other), otherResting);
}

// Two settings homes on one installation, one of them playing through a symbolic
// link: the other renames nothing while that game runs, also once the launcher that
// started it is killed, and finishes the switch first when it plays next. A pipe
// where a file of the launcher's belongs is an error that names it, never a hang.
void CrashTest::twoHomesAPathThroughALinkAndSpecialFiles() {
    QTemporaryDir tmp;
    Home first(tmp.path() + "/first"), second(tmp.path() + "/second");
    const QStringList resting = snapshot(first.game);
    QVERIFY(QFile::link(first.game, tmp.path() + "/link"));
    first.setGameDir(tmp.path() + "/link");
    second.setGameDir(first.game);
    first.hold(true);
    QProcess* playing = first.start({"--world", "Frost March"});
    QTRY_VERIFY_WITH_TIMEOUT(readText(first.out + "seen").startsWith("Frostmarch Roster_"), 20000);
    const QRegularExpression folders("^(?!\\.korvath2-launcher)");
    const QStringList switchedIn = snapshot(first.game).filter(folders);
    QByteArray printed;
    for (const bool killed : {false, true}) {
        if (killed)
            Home::kill(playing);
        for (const QStringList& arguments :
             {QStringList{"--world", "dawn"}, QStringList{"--recover"}}) {
            QCOMPARE(second.command(arguments, &printed), 125);
            QVERIFY2(printed.contains("Korvath II is running from"), printed);
        }
        QProcess* window = second.startDriver("Isle of Dawn");
        QVERIFY(window->waitForFinished(20000));
        QCOMPARE(snapshot(first.game).filter(folders), switchedIn);
    }
    QVERIFY(write(first.out + "release", ""));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(first.out + "done"), 20000);
    QCOMPARE(second.command({"--world", "dawn"}), 7);
    QCOMPARE(readText(second.out + "seen"), "Valmora Roster\ndawn Tomes_dawn\n");
    QCOMPARE(snapshot(first.game), resting);
    QCOMPARE(first.command({"--recover"}, &printed), 0);
    QVERIFY2(printed.startsWith("Nothing to put back"), printed);

    const QString child = InstanceLock::childRecordPath(first.settingsFile);
    const QByteArray settings = readText(first.settingsFile).toUtf8();
    for (const QString& fifo :
         {first.settingsFile, child, child + ".new", first.game + "/.korvath2-launcher"}) {
        QVERIFY(QFile::remove(fifo) || !QFile::exists(fifo));
        QVERIFY(::mkfifo(QFile::encodeName(fifo), 0600) == 0);
        QCOMPARE(first.command({"--world", "Frost March"}, &printed), 125);
        QVERIFY2(printed.contains(fifo.section('/', -1).toUtf8() + " is a pipe (FIFO)"), printed);
        QVERIFY(QFile::remove(fifo));
        if (fifo == first.settingsFile)
            QVERIFY(write(fifo, settings));
    }
    QCOMPARE(snapshot(first.game), resting);
}

// A settings folder on a full disk: the labels cannot be saved, so nothing is
// renamed, the old settings stay whole, and the command line says so.
void CrashTest::aFullDiskStopsTheLaunchBeforeAnyRename() {
    QTemporaryDir tmp;
    Home home(tmp.path());
    const QStringList resting = snapshot(home.game);
    const QString
        full = tmp.path() + "/full",
        script = "mount -t tmpfs -o size=16k none \"$0\" || exit 99\n"
                 "cp \"$1\" \"$0/\" && cp \"$1\" \"$KV_OUT/before\"\n"
                 "dd if=/dev/zero of=\"$0/filler\" bs=1k count=64 2>/dev/null\n"
                 "XDG_CONFIG_HOME=\"$0\" \"$2\" --world 'Frost March' 2> \"$KV_OUT/said\"\n"
                 "status=$?; cp \"$0/Korvath II Launcher.conf\" \"$KV_OUT/after\"; exit $status\n";
    QVERIFY(QDir().mkpath(full));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KV_OUT", home.out);
    process.setProcessEnvironment(env);
    process.start("unshare",
                  {"-rm", "sh", "-c", script, full, home.settingsFile,
                   qEnvironmentVariable("KV_BINARY_DIR", KV_BINARY_DIR) + "/korvath2-launcher"});
    QVERIFY(process.waitForFinished(30000));
    if (process.exitCode() == 99 || process.exitCode() == 1)
        QSKIP("no file system of limited size can be mounted here (unshare -rm, tmpfs)");
    QCOMPARE(process.exitCode(), 125);
    QVERIFY2(readText(home.out + "said").contains("The settings could not be saved to"),
             qPrintable(readText(home.out + "said")));
    QCOMPARE(readText(home.out + "after"), readText(home.out + "before"));
    QCOMPARE(snapshot(home.game), resting);
}

QTEST_GUILESS_MAIN(CrashTest)
#include "tst_crash.moc"
