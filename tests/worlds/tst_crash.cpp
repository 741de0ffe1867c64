// Real launcher processes: a launcher killed while its world is switched in is
// repaired by the next one before the catalogue is read, never under a game that is
// still running; and a second launcher started meanwhile changes nothing.
#include "InstallationBuilder.h"
#include "WorldsTestSupport.h"
#include "app/InstanceLock.h"
#include "app/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class CrashTest : public QObject {
    Q_OBJECT
private slots:
    void killedLauncherIsRepairedAtNextStart();
    void nextStartWaitsForAGameStillRunning();
    void secondLauncherLeavesTheRunningLaunchAlone();
    void switchOfAnUnreachableInstallationOutlivesALaunchElsewhere();
    void commandLinePlaysAWorldWithoutADisplay();
};

using WorldsTest::snapshot;

namespace {

const QString kWorlds = "Valmora (Default Korvath World),Isle of Dawn,Frost March";
const QString kDefaultTomes = "Bestiary,Herbalism";

QString binaryDir() {
    return qEnvironmentVariable("KV_BINARY_DIR", KV_BINARY_DIR);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A settings home, a demo installation whose game is the given script, and the
// launcher processes started on them.
struct Home {
    explicit Home(const QString& root, const QByteArray& gameScript)
        : root(root), game(root + "/Game"), out(root + "/out"),
          settingsFile(root + "/config/Korvath II Launcher.conf") {
        QDir().mkpath(out);
        const QString script = root + "/game.sh";
        InstallationBuilder::writeFile(script, gameScript, true);
        InstallationBuilder::Options options;
        options.gameProgram = script;
        const QString error = InstallationBuilder::build(game, options);
        if (!error.isEmpty())
            qFatal("%s", qPrintable(error));
        QSettingsStore(settingsFile).SaveSetting(kSettingsSection, "KVDir", game + "/");
        resting = snapshot(game);
    }
    ~Home() {
        // Lets a game that a failed test left waiting end by itself.
        InstallationBuilder::writeFile(out + "/release", "");
        for (QProcess* process : processes) {
            process->kill();
            process->waitForFinished();
            delete process;
        }
    }

    // A second installation beside the first, whose game runs the given script.
    QString addInstallation(const QString& name, const QByteArray& gameScript) {
        const QString script = root + "/" + name + ".sh";
        InstallationBuilder::writeFile(script, gameScript, true);
        InstallationBuilder::Options options;
        options.gameProgram = script;
        const QString error = InstallationBuilder::build(root + "/" + name, options);
        if (!error.isEmpty())
            qFatal("%s", qPrintable(error));
        return root + "/" + name;
    }

    // extra adds to the environment; a value of "" removes that variable.
    QProcess* start(const QString& program, const QMap<QString, QString>& extra = {},
                    const QStringList& arguments = {}) {
        auto* process = new QProcess;
        processes << process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", root + "/config");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        for (auto it = extra.begin(); it != extra.end(); ++it) {
            if (it.value().isEmpty())
                env.remove(it.key());
            else
                env.insert(it.key(), it.value());
        }
        process->setProcessEnvironment(env);
        process->start(program, arguments);
        return process;
    }
    // The launcher's command line, with no display at all.
    QProcess* startCommand(const QStringList& arguments) {
        return start(binaryDir() + "/korvath2-launcher",
                     {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}},
                     arguments);
    }
    QProcess* startDriver(const QMap<QString, QString>& extra = {}) {
        return start(binaryDir() + "/tests/driver_launcher", extra);
    }

    // Waits until the process has printed a line starting with prefix; returns it.
    QString waitForLine(QProcess* process, const QString& prefix, int timeoutMs = 30000) {
        QByteArray& buffer = output[process];
        QDeadlineTimer deadline(timeoutMs);
        while (true) {
            buffer += process->readAllStandardOutput();
            for (const QByteArray& line : buffer.split('\n')) {
                if (line.startsWith(prefix.toUtf8()))
                    return QString::fromUtf8(line);
            }
            if (deadline.hasExpired() || process->state() == QProcess::NotRunning)
                return QString();
            process->waitForReadyRead(100);
        }
    }
    QString firstState(QProcess* process) {
        waitForLine(process, "STATE");
        for (const QByteArray& line : output[process].split('\n')) {
            if (line.startsWith("STATE"))
                return QString::fromUtf8(line);
        }
        return QString();
    }
    bool hasStowedFolder() const {
        return !QDir(game).entryList({"Roster-{*}"}, QDir::Dirs).isEmpty();
    }

    QString root, game, out, settingsFile;
    QStringList resting;
    QList<QProcess*> processes;
    QHash<QProcess*, QByteArray> output;
};

// A game that notes what it sees, kills the launcher that started it, and ends,
// after waiting for a release file when wait is set.
QByteArray killingGame(const QString& out, bool wait) {
    QString script = QStringLiteral("#!/bin/sh\n"
                                    "cat Roster/marker.txt > '%1/seen'\n"
                                    "echo $$ > '%1/game.pid'\n"
                                    "kill -9 $PPID\n")
                         .arg(out);
    if (wait)
        script += QStringLiteral("i=0\n"
                                 "while [ ! -e '%1/release' ] && [ $i -lt 600 ]; do\n"
                                 "  sleep 0.1; i=$((i+1))\n"
                                 "done\n")
                      .arg(out);
    script += QStringLiteral("echo done > '%1/done'\n").arg(out);
    return script.toUtf8();
}

} // namespace

void CrashTest::killedLauncherIsRepairedAtNextStart() {
    QTemporaryDir tmp;
    Home home(tmp.path(), killingGame(tmp.path() + "/out", false));

    QProcess* first = home.startDriver({{"KV_DRIVER_WORLD", "Frost March"}});
    QVERIFY(first->waitForFinished(30000));
    QCOMPARE(first->exitStatus(), QProcess::CrashExit);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(home.out + "/done"), 20000);
    QCOMPARE(readFile(home.out + "/seen").trimmed(), QByteArray("Frostmarch Roster_Frostmarch"));
    // Left switched in, its lock behind.
    QVERIFY(home.hasStowedFolder());
    QVERIFY(QFile::exists(InstanceLock::lockFilePath(home.settingsFile)));

    QProcess* next = home.startDriver();
    // The tome list of the default world is read after the recovery: its own tomes,
    // not Frost March's.
    QCOMPARE(home.waitForLine(next, "STATE"), "STATE ready " + kWorlds + " | " + kDefaultTomes);
    QCOMPARE(snapshot(home.game), home.resting);
}

void CrashTest::nextStartWaitsForAGameStillRunning() {
    QTemporaryDir tmp;
    Home home(tmp.path(), killingGame(tmp.path() + "/out", true));

    QProcess* first = home.startDriver({{"KV_DRIVER_WORLD", "Frost March"}});
    QVERIFY(first->waitForFinished(30000));
    QCOMPARE(first->exitStatus(), QProcess::CrashExit);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(home.out + "/seen"), 20000);
    QVERIFY(home.hasStowedFolder());
    const QStringList switchedIn = snapshot(home.game);

    QProcess* next = home.startDriver();
    QCOMPARE(home.firstState(next), QStringLiteral("STATE waiting"));
    QCOMPARE(snapshot(home.game), switchedIn);
    QVERIFY(!QFile::exists(home.out + "/done"));

    QCOMPARE(InstallationBuilder::writeFile(home.out + "/release", ""), QString());
    QCOMPARE(home.waitForLine(next, "STATE ready"),
             "STATE ready " + kWorlds + " | " + kDefaultTomes);
    QVERIFY(QFile::exists(home.out + "/done"));
    QCOMPARE(snapshot(home.game), home.resting);
}

void CrashTest::secondLauncherLeavesTheRunningLaunchAlone() {
    QTemporaryDir tmp;
    const QString out = tmp.path() + "/out";
    Home home(tmp.path(), QStringLiteral("#!/bin/sh\n"
                                         "echo $$ > '%1/game.pid'\n"
                                         "i=0\n"
                                         "while [ ! -e '%1/release' ] && [ $i -lt 600 ]; do\n"
                                         "  sleep 0.1; i=$((i+1))\n"
                                         "done\n")
                              .arg(out)
                              .toUtf8());

    QProcess* first = home.startDriver(
        {{"KV_DRIVER_WORLD", "Frost March"}, {"KV_DRIVER_QUIT_AFTER_LAUNCH", "1"}});
    QTRY_VERIFY_WITH_TIMEOUT(!readFile(out + "/game.pid").isEmpty(), 20000);
    const qint64 gamePid = readFile(out + "/game.pid").trimmed().toLongLong();
    // The launcher keeps a record of the game beside its settings while it runs.
    QTRY_COMPARE(InstanceLock::runningChild(home.settingsFile), gamePid);
    const QStringList switchedIn = snapshot(home.game);
    QVERIFY(home.hasStowedFolder());
    const QByteArray settings = readFile(home.settingsFile);

    QProcess* second = home.start(binaryDir() + "/korvath2-launcher");
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(snapshot(home.game), switchedIn);
    QCOMPARE(readFile(home.settingsFile), settings);
    QCOMPARE(first->state(), QProcess::Running);

    QCOMPARE(InstallationBuilder::writeFile(out + "/release", ""), QString());
    QVERIFY(first->waitForFinished(30000));
    QCOMPARE(first->exitStatus(), QProcess::NormalExit);
    QCOMPARE(snapshot(home.game), home.resting);
    QVERIFY(!QFile::exists(InstanceLock::childRecordPath(home.settingsFile)));
}

void CrashTest::switchOfAnUnreachableInstallationOutlivesALaunchElsewhere() {
    QTemporaryDir tmp;
    Home home(tmp.path(), killingGame(tmp.path() + "/out", false));
    const QString other = home.addInstallation(
        "Other", "#!/bin/sh\ncat Tomes/marker.txt > '" + home.out.toUtf8() + "/seen in other'\n");
    const QStringList otherResting = snapshot(other);

    // Killed while Frost March runs in the first installation, which then cannot be
    // reached (its game moved away); the player has chosen the other one.
    QProcess* first = home.startDriver({{"KV_DRIVER_WORLD", "Frost March"}});
    QVERIFY(first->waitForFinished(30000));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(home.out + "/done"), 20000);
    QVERIFY(QFile::rename(home.game + "/korvath2.exe", home.root + "/away.exe"));
    const QStringList switchedIn = snapshot(home.game);
    QVERIFY(home.hasStowedFolder());
    QSettingsStore(home.settingsFile).SaveSetting(kSettingsSection, "KVDir", other + "/");

    // Isle of Dawn is launched there; the window says what is still switched in.
    QProcess* second = home.startDriver(
        {{"KV_DRIVER_WORLD", "Isle of Dawn"}, {"KV_DRIVER_QUIT_AFTER_LAUNCH", "1"}});
    QVERIFY(!home.waitForLine(second, "LABEL A world is still switched in at").isEmpty());
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(readFile(home.out + "/seen in other").trimmed(), QByteArray("dawn Tomes_dawn"));
    QCOMPARE(snapshot(other), otherResting);
    QCOMPARE(snapshot(home.game), switchedIn);

    // Back again: the next start puts it right, though the other one is current.
    QVERIFY(QFile::rename(home.root + "/away.exe", home.game + "/korvath2.exe"));
    QProcess* third = home.startDriver();
    QCOMPARE(home.waitForLine(third, "STATE"), "STATE ready " + kWorlds + " | " + kDefaultTomes);
    QCOMPARE(snapshot(home.game), home.resting);
    QCOMPARE(snapshot(other), otherResting);
}

void CrashTest::commandLinePlaysAWorldWithoutADisplay() {
    QTemporaryDir tmp;
    const QString out = tmp.path() + "/out";
    // The game notes what it sees, kills its launcher when asked to, holds on while
    // asked to, and exits with 7.
    Home home(
        tmp.path(),
        QStringLiteral("#!/bin/sh\n"
                       "cat Roster/marker.txt > '%1/seen'\n"
                       "[ -e '%1/kill' ] && kill -9 $PPID\n"
                       "i=0\n"
                       "while [ -e '%1/hold' ] && [ ! -e '%1/release' ] && [ $i -lt 600 ]; do\n"
                       "  sleep 0.1; i=$((i+1))\n"
                       "done\n"
                       "echo done > '%1/done'\n"
                       "exit 7\n")
            .arg(out)
            .toUtf8());
    QCOMPARE(InstallationBuilder::writeFile(home.game + "/Cold.ini",
                                            "[WorldData]\nDisplayName=frostMARCH\n"),
             QString());
    home.resting = snapshot(home.game);
    const auto finished = [](QProcess* process) {
        return process->waitForFinished(30000) && process->exitStatus() == QProcess::NormalExit;
    };

    // Unknown and ambiguous names: the worlds are listed and nothing is renamed.
    for (const QString& name : {QStringLiteral("Nowhere"), QStringLiteral("Frostmarch")}) {
        QProcess* refused = home.startCommand({"--world", name});
        QVERIFY(finished(refused));
        QCOMPARE(refused->exitCode(), 2);
        QVERIFY(refused->readAllStandardError().contains("\nFrostmarch\tFrost March\n"));
        QCOMPARE(snapshot(home.game), home.resting);
    }

    // Played by label or display name, any letter case; a second launcher meanwhile
    // changes nothing and says why.
    QCOMPARE(InstallationBuilder::writeFile(out + "/hold", ""), QString());
    QProcess* playing = home.startCommand({"--world", "frost march"});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out + "/seen"), 20000);
    QCOMPARE(readFile(out + "/seen").trimmed(), QByteArray("Frostmarch Roster_Frostmarch"));
    const QStringList switchedIn = snapshot(home.game);
    QProcess* second = home.startCommand({"--world", "dawn"});
    QVERIFY(finished(second));
    QCOMPARE(second->exitCode(), 125);
    QVERIFY(second->readAllStandardError().contains("another Korvath II Launcher is running"));
    QCOMPARE(snapshot(home.game), switchedIn);
    QCOMPARE(InstallationBuilder::writeFile(out + "/release", ""), QString());
    QVERIFY(finished(playing));
    QCOMPARE(playing->exitCode(), 7);
    QCOMPARE(snapshot(home.game), home.resting);

    // Killed mid-game: --recover puts the folders back and says what it did.
    QVERIFY(QFile::remove(out + "/done") && QFile::remove(out + "/hold"));
    QCOMPARE(InstallationBuilder::writeFile(out + "/kill", ""), QString());
    QProcess* killed = home.startCommand({"--world", "Frost March"});
    QVERIFY(killed->waitForFinished(30000));
    QCOMPARE(killed->exitStatus(), QProcess::CrashExit);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out + "/done"), 20000);
    QVERIFY(home.hasStowedFolder());
    QProcess* recover = home.startCommand({"--recover"});
    QVERIFY(finished(recover));
    QCOMPARE(recover->exitCode(), 0);
    QVERIFY(recover->readAllStandardOutput().contains("world \"Frostmarch\""));
    QCOMPARE(snapshot(home.game), home.resting);
}

QTEST_GUILESS_MAIN(CrashTest)
#include "tst_crash.moc"
