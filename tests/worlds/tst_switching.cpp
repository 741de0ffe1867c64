// Switching a world's folders in and out, and the fault sweep: every operation of a
// launch in turn (lookup, rename, listing, folder sync, settings write) fails once,
// fails from then on, or is where the launcher "crashes".
#include "WorldsTestSupport.h"
#include "app/SettingsStore.h"
#include "worlds/FolderSwitching.h"
#include "worlds/InstallationRecord.h"
#include "worlds/SwitchRecords.h"
#include "worlds/WorldLaunch.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace TestSupport;
using namespace WorldsTest;
namespace FS = FolderSwitching;
namespace SR = SwitchRecords;

class SwitchingTest : public QObject {
    Q_OBJECT
private slots:
    void switchesTheWorldsFoldersInAndOut();
    void everyStepInEveryMode_data();
    void everyStepInEveryMode();
    void aSwitchCutShortThroughALinkIsFinishedFromAnotherHome();
    void heldWhileItsLauncherOrGameRuns();
    void anEarlierReleasesLabelsAreTrustedOnlyAsGuids();
    void anUnreadableRecordOrUnknownStowedFoldersAreRefused();
    void aMovedInstallationIsFinishedWhereItLies();
    void namesThatDifferOnlyInCase();
};

namespace {

// A demo installation (in a folder whose name holds a space) with the worlds
// Frostmarch (Roster, Tomes, Items) and dawn (Tomes, Music), a settings file, and a
// file system and settings store that log every operation.
struct Installation {
    QTemporaryDir tmp;
    QString game = tmp.path() + "/Korvath 2";
    QString settingsFile = tmp.path() + "/config/Korvath II Launcher.conf";
    IniSettingsStore store{settingsFile};
    FaultPlan plan; // faults only where a test sets them
    FaultySettingsStore settings{store, plan};
    KVDirStuff::GameFolderTable table = gameFolderTable();
    LauncherState state = stateFor(game, std::make_unique<FaultyFileSystem>(plan));

    QString saved(const QString& key) const {
        return IniSettingsStore(settingsFile).GetSetting(kSettingsSection, key, "<missing>");
    }
    QString path(const QString& relative) const { return game + '/' + relative; }
    void switchIn(const QString& world) {
        state.dirLabel = world;
        FS::SwitchWorldIn(state, settings, table);
    }
};
} // namespace

void SwitchingTest::switchesTheWorldsFoldersInAndOut() {
    Installation in;
    QCOMPARE(InstallationBuilder::build(in.game), QString());
    const QStringList before = snapshot(in.game);

    // The default world: new labels saved, nothing looked up or renamed.
    // The installation holds its record while the default world plays.
    in.switchIn("");
    const QString defaultB = in.state.backupLabel;
    QCOMPARE(in.saved("lastBackupLabel") + '|' + in.saved("lastDirLabel"), defaultB + '|');
    QCOMPARE(in.plan.log.filter(QRegularExpression("^(rename|lookup) ")), QStringList());
    QVERIFY(QFile::exists(in.path(".korvath2-launcher")));
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), before);

    // A fresh backup label in registry form, saved with the world's label and the
    // switch's record in one write before the first rename.
    in.switchIn("Frostmarch");
    const QString B = in.state.backupLabel;
    const QRegularExpression registryForm("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$");
    QVERIFY2(registryForm.match(B).hasMatch() && B != defaultB, qPrintable(B));
    QCOMPARE(in.saved("lastBackupLabel") + '|' + in.saved("lastDirLabel"), B + "|Frostmarch");
    const int write = in.plan.log.indexOf(QRegularExpression(
        "^write .*pendingSwitches=.*/lastBackupLabel=.*/lastDirLabel=Frostmarch"));
    QVERIFY(write >= 0 && write < in.plan.log.indexOf(QRegularExpression("rename .*")));
    // The default folders stowed within their parents, found also when a name
    // differs in letter case.
    QVERIFY(QDir(in.path("Data/Graphics")).rename("Items-" + B, "ITEMS-" + B.toLower()));
    QCOMPARE(FS::StowedFolders(in.state, in.table),
             QStringList({in.path("Roster-" + B), in.path("Tomes-" + B),
                          in.path("Data/Graphics/ITEMS-" + B.toLower())}));

    // Switching out needs both labels.
    const QStringList switchedIn = snapshot(in.game);
    in.state.dirLabel = "";
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), switchedIn);
    in.state.dirLabel = "Frostmarch";
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), before);

    // A version whose default folder is missing stays (this installation lacks the
    // Music folder that dawn replaces); when the world's Tomes cannot take the name,
    // the default Tomes goes back at once, and standard error says why.
    QVERIFY(QDir(in.path("Data/Music")).removeRecursively());
    const QStringList withoutMusic = snapshot(in.game);
    in.plan = FaultPlan{FaultPlan::Mode::FailOnce, 2, FaultPlan::Rename};
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^rename failed: .*Tomes_dawn"));
    in.switchIn("dawn");
    QCOMPARE(markerOf(in.path("Tomes")), "Valmora Tomes");
    QVERIFY(!QFileInfo::exists(in.path("Data/Music")));
    FS::SwitchWorldOut(in.state, in.table);
    QCOMPARE(snapshot(in.game), withoutMusic);

    // Labels that cannot be saved: nothing renamed, the earlier label kept.
    in.plan = FaultPlan{FaultPlan::Mode::FailOnce, 1, FaultPlan::SettingsWrite};
    QVERIFY_THROWS_EXCEPTION(SettingsError, in.switchIn("Frostmarch"));
    QCOMPARE(in.saved("lastDirLabel"), "dawn");
    QCOMPARE(in.state.backupLabel, in.saved("lastBackupLabel"));
    QCOMPARE(snapshot(in.game), withoutMusic);
}

void SwitchingTest::everyStepInEveryMode_data() {
    QTest::addColumn<bool>("eleven");
    QTest::addColumn<int>("mode");
    const QList<QPair<const char*, FaultPlan::Mode>> modes = {
        {"fails once", FaultPlan::Mode::FailOnce},
        {"fails from then on", FaultPlan::Mode::FailFrom},
        {"crashes", FaultPlan::Mode::CrashAfter},
    };
    for (const auto& [name, mode] : modes) {
        QTest::addRow("eleven folders, A unreachable, %s", name) << true << int(mode);
        QTest::addRow("two folders, A reachable, %s", name) << false << int(mode);
    }
}

// A launch in installation B while installation A still has a switch recorded from
// an earlier run, reachable or not. Whatever fails, the program never runs with a folder of
// the world missing, and once A can be reached the next start brings both back
// exactly as they were.
void SwitchingTest::everyStepInEveryMode() {
    QFETCH(bool, eleven);
    QFETCH(int, mode);
    const QString world = eleven ? "Everywhere" : "dawn";
    const int replaced = eleven ? 11 : 2;
    const bool otherReachable = !eleven;
    const KVDirStuff::GameFolderTable table = gameFolderTable();

    // In memory where possible: the sweep makes hundreds of synced settings writes.
    const QString base = QFileInfo("/dev/shm").isWritable() ? "/dev/shm" : QDir::tempPath();
    QTemporaryDir tmp(base + "/kv-switching-faults-XXXXXX");
    QVERIFY(tmp.isValid());
    const QString a = tmp.path() + "/a", b = tmp.path() + "/b";
    // Both with a world that has a version of all eleven content folders.
    for (const QString& game : {a, b}) {
        QCOMPARE(InstallationBuilder::build(game), QString());
        for (const QString& folder : InstallationBuilder::kContentFolders)
            QVERIFY(write(game + '/' + folder + "_Everywhere/marker.txt",
                          "Everywhere " + folder.toUtf8()));
    }
    const QString settingsFile = tmp.path() + "/Korvath II Launcher.conf";
    const QString gameOfA = a + "/korvath2.exe", awayOfA = tmp.path() + "/away.exe";
    const QStringList beforeA = snapshot(a), beforeB = snapshot(b);

    int leftDamaged = 0; // runs after which B needed the recovery
    for (int n = FaultPlan::Mode(mode) == FaultPlan::Mode::CrashAfter ? 0 : 1;; ++n) {
        // An earlier launch left Frost March switched in at A.
        QVERIFY(write(settingsFile, ""));
        {
            IniSettingsStore store(settingsFile);
            LauncherState earlier = stateFor(a);
            earlier.dirLabel = "Frostmarch";
            FS::SwitchWorldIn(earlier, store, table);
        }
        if (!otherReachable)
            QVERIFY(QFile::rename(gameOfA, awayOfA));
        const QStringList switchedInA = snapshot(a);

        FaultPlan plan{FaultPlan::Mode(mode), n};
        int started = 0;
        {
            IniSettingsStore store(settingsFile);
            FaultySettingsStore settings(store, plan);
            LauncherState state = stateFor(b, std::make_unique<FaultyFileSystem>(plan));
            state.dirLabel = world;
            try {
                SR::RestoreReachable(*state.fileSystem, settings, table, {b});
                SR::SwitchedLaunch(state, settings, table, [&](const QString&) {
                    ++started;
                    int worldFolders = 0;
                    for (const QString& folder : InstallationBuilder::kContentFolders)
                        worldFolders += markerOf(b + '/' + folder).startsWith(world + ' ');
                    QCOMPARE(worldFolders, replaced);
                });
            } catch (const SimulatedCrash&) {
            } catch (const SettingsError&) {
                // The labels could not be saved: the launch ends before any rename. (A
                // record that cannot be dropped after the game only stays for later.)
                QCOMPARE(started, 0);
            }
        }
        leftDamaged += snapshot(b) != beforeB;
        const QByteArray context =
            "n = " + QByteArray::number(n) + ", operations:\n  " + plan.log.join("\n  ").toUtf8();
        if (!otherReachable) {
            // Nothing touched A while it could not be reached; now it comes back.
            QVERIFY2(snapshot(a) == switchedInA, context);
            QVERIFY(QFile::rename(awayOfA, gameOfA));
        }
        // The next start on B, twice (settings on disk, the real file system): the first
        // restores everything, the second changes nothing.
        for (int pass = 0; pass < 2; ++pass) {
            IniSettingsStore settings(settingsFile);
            LocalFileSystem fileSystem;
            SR::RestoreReachable(fileSystem, settings, table, {b + '/'});
            QVERIFY2(SR::Pending(settings).isEmpty(), context);
            QVERIFY2(snapshot(a) == beforeA && snapshot(b) == beforeB, context);
        }
        if (!plan.faulted) {
            QCOMPARE(started, 1);
            // Every kind of operation was among those that failed in turn.
            for (const char* kind : {"rename ", "list ", "sync ", "write ", "file write ",
                                     "file read ", "file remove "})
                QVERIFY2(!plan.log.filter(QRegularExpression(QString("^") + kind)).isEmpty(), kind);
            break;
        }
        QVERIFY2(n <= 1000, "the procedure never completes");
    }
    // Faults at the renames must have left something for the recovery to do.
    QVERIFY(leftDamaged >= replaced);
}

namespace {
// Whatever the settings say or fail to say, however the path is spelled: what the
// installation holds decides what is put back, and a launch never lands on a switch
// that is not finished, nor under a program that still runs. An installation, resting,
// and two settings homes.
struct Decides {
    QTemporaryDir tmp;
    const KVDirStuff::GameFolderTable table = gameFolderTable();
    LocalFileSystem fs;
    int homes = 0;
    const QString game = install("Game");
    const QStringList resting = snapshot(game);
    const std::unique_ptr<SettingsStore> first = home(), second = home();
    const QString record = game + InstallationRecord::kFileName;
    const QRegularExpression notRecord{"^(?!\\.korvath2-launcher)"};

    // A settings home of its own.
    std::unique_ptr<SettingsStore> home() {
        return std::make_unique<IniSettingsStore>(
            QString("%1/home%2/Korvath II Launcher.conf").arg(tmp.path()).arg(++homes));
    }
    QString install(const QString& name) const {
        const QString dir = tmp.path() + '/' + name + '/';
        if (!InstallationBuilder::build(dir).isEmpty())
            qFatal("no installation");
        return dir;
    }
    // Frost March switched in by a launch that was cut short, through path.
    bool cutShort(const QString& path, SettingsStore& settings) const {
        LauncherState state = stateFor(path.chopped(1));
        state.dirLabel = "Frostmarch";
        return !FS::SwitchWorldIn(state, settings, table).refused;
    }
    WorldLaunch::Preparation prepare(SettingsStore& settings, const QString& dir) {
        return WorldLaunch::Prepare(fs, settings, table, dir);
    }
    // The markers of Roster and Tomes that the game sees, or why it was not started.
    QString launch(const QString& dir, SettingsStore& settings, const QString& world) {
        LauncherState state = stateFor(dir.chopped(1));
        state.dirLabel = world;
        QStringList seen;
        const SR::LaunchOutcome outcome = SR::SwitchedLaunch(state, settings, table, [&](auto) {
            for (const char* folder : {"Roster", "Tomes"})
                seen << markerOf(KVDirStuff::ResolveGameDir(fs, dir) + folder);
        });
        return outcome.notSwitchedIn ? QStringLiteral("refused %1: %2")
                                           .arg(int(outcome.notSwitchedIn->kind))
                                           .arg(outcome.notSwitchedIn->folders.join(','))
                                     : seen.join(',');
    }
    // What a refusal is about: its kind, the table entry, how many more, the errno.
    static QString facts(Problem::Kind kind, const QString& entry, int more, int error) {
        return QStringLiteral("%1 %2+%3 errno %4").arg(int(kind)).arg(entry).arg(more).arg(error);
    }
    // Why a launch from settings would be refused here; "" when it would not.
    QString refusal(SettingsStore& settings) {
        const std::optional<Problem> p = prepare(settings, game).refusal;
        return p ? facts(p->kind, p->entry, p->more, p->systemError) : QString();
    }
};
using Kind = Problem::Kind;
} // namespace

// Cut short through a link, finished by a launcher with another settings home
// through the real path; the first home's record then goes too.
void SwitchingTest::aSwitchCutShortThroughALinkIsFinishedFromAnotherHome() {
    Decides d;
    QVERIFY(QFile::link(d.game, d.tmp.path() + "/link"));
    QVERIFY(d.cutShort(d.tmp.path() + "/link/", *d.first));
    QCOMPARE(markerOf(d.game + "Roster"), "Frostmarch Roster_Frostmarch");
    // Temps of the record that a writer left go, unless their writer still runs.
    const QString temp = d.game + ".korvath2-launcher.%1.new";
    const qint64 self = QCoreApplication::applicationPid();
    QVERIFY(write(temp.arg(999999999), "gone") && write(temp.arg(self), "running"));
    WorldLaunch::Preparation ready = d.prepare(*d.second, d.game);
    QVERIFY(!QFile::exists(temp.arg(999999999)) && QFile::remove(temp.arg(self)));
    QVERIFY(!ready.refusal);
    QCOMPARE(ready.restored.putBack.size(), 1);
    QCOMPARE(snapshot(d.game), d.resting);
    SR::RestoreReachable(d.fs, *d.first, d.table);
    QVERIFY(SR::Pending(*d.first).isEmpty());
    // A directory spelled in another letter case is the same installation.
    QCOMPARE(d.launch(d.tmp.path() + "/GAME/", *d.first, "Frostmarch"),
             "Frostmarch Roster_Frostmarch,Frostmarch Tomes_Frostmarch");
    QCOMPARE(snapshot(d.game), d.resting);
    QVERIFY(SR::Pending(*d.first).isEmpty());
}

// Held while the launcher that wrote the record, or the program it started, runs:
// nothing renamed, the launch refused; finished once both have ended.
void SwitchingTest::heldWhileItsLauncherOrGameRuns() {
    Decides d;
    QVERIFY(d.cutShort(d.game, *d.first));
    const QStringList switchedIn = snapshot(d.game).filter(d.notRecord);
    for (const char* holder : {"launcher=", "game="}) {
        QProcess process;
        process.start("/bin/sh", {"-c", "read line"});
        QVERIFY(process.waitForStarted());
        const Processes::ProcessStamp stamp = Processes::StampOf(process.processId());
        QVERIFY(write(d.record, readText(d.record).toUtf8() + holder +
                                    QByteArray::number(stamp.pid) + ' ' + stamp.startTime + ' ' +
                                    stamp.bootId + '\n'));
        QCOMPARE(d.refusal(*d.second), Decides::facts(Kind::HeldByProgram, "", 0, 0));
        QCOMPARE(snapshot(d.game).filter(d.notRecord), switchedIn);
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished());
    }
    QCOMPARE(d.refusal(*d.second), QString());
    QCOMPARE(snapshot(d.game), d.resting);
}

// An earlier release's switch: labels only, "KVDir" without its closing separator,
// with no switch list or with an empty one. A stored label that is not a GUID never
// builds a path: nothing outside the game directory is renamed, and the record stays
// as it was.
void SwitchingTest::anEarlierReleasesLabelsAreTrustedOnlyAsGuids() {
    Decides d;
    const QString B = "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}", game = d.game;
    for (const char* list : {"<none>", ""}) {
        const auto earlier = d.home();
        for (const QString folder : {"Roster", "Tomes"}) {
            QVERIFY(QDir().rename(game + folder, game + folder + '-' + B));
            QVERIFY(QDir().rename(game + folder + "_Frostmarch", game + folder));
        }
        earlier->SaveSettings(
            kSettingsSection,
            {{"KVDir", game.chopped(1)}, {"lastDirLabel", "Frostmarch"}, {"lastBackupLabel", B}});
        if (QString(list) != "<none>")
            earlier->SaveSetting(kSettingsSection, "pendingSwitches", list);
        SR::AdoptEarlierLabels(*earlier, game.chopped(1));
        QVERIFY(!d.prepare(*earlier, game.chopped(1)).refusal);
        QCOMPARE(snapshot(game), d.resting);
        QVERIFY(SR::Pending(*earlier).isEmpty());
    }
    QVERIFY(QDir().mkpath(game + "Roster-x") && QDir().mkpath(d.tmp.path() + "/outside"));
    const QString evil = R"([{"gameDir":")" + game + R"(","dirLabel":"Frostmarch",)" +
                         R"("backupLabel":"x/../../outside"}])";
    d.first->SaveSetting(kSettingsSection, "pendingSwitches", evil);
    QCOMPARE(d.refusal(*d.first), QString());
    QVERIFY(QFileInfo(d.tmp.path() + "/outside").isDir() && QFileInfo(game + "Roster").isDir());
    QCOMPARE(d.first->GetSetting(kSettingsSection, "pendingSwitches"), evil);
}

// A record that cannot be read, or folders stowed by a switch nobody knows of:
// refused, nothing renamed. Over a resting installation a damaged record goes; a
// pipe in its place stays, and nothing waits on it.
void SwitchingTest::anUnreadableRecordOrUnknownStowedFoldersAreRefused() {
    Decides d;
    QVERIFY(d.cutShort(d.game, *d.first));
    const QStringList stuck = snapshot(d.game).filter(d.notRecord);
    QVERIFY(write(d.record, "damaged"));
    QCOMPARE(d.refusal(*d.second), Decides::facts(Kind::RecordUnreadable, "", 3, 0));
    QCOMPARE(snapshot(d.game).filter(d.notRecord), stuck);
    QVERIFY(QFile::remove(d.record));
    QCOMPARE(d.refusal(*d.second), Decides::facts(Kind::UnknownStowed, "Roster", 2, 0));
    QCOMPARE(d.refusal(*d.first), QString()); // its labels are in the first home
    QVERIFY(write(d.record, "damaged"));
    QVERIFY(d.refusal(*d.second).isEmpty() && !QFile::exists(d.record));
    QVERIFY(::mkfifo(QFile::encodeName(d.record), 0600) == 0);
    QCOMPARE(d.refusal(*d.second), Decides::facts(Kind::RecordUnreadable, "", 0, EINVAL));
    QVERIFY(QFile::remove(d.record));
    QCOMPARE(snapshot(d.game), d.resting);
}

// The path leads to a fresh installation now, the switched one moved away: nothing
// is said to be put back here, and the moved one is finished where it lies.
void SwitchingTest::aMovedInstallationIsFinishedWhereItLies() {
    Decides d;
    QVERIFY(d.cutShort(d.game, *d.first));
    QVERIFY(QDir().rename(d.game, d.tmp.path() + "/Moved"));
    d.install("Game");
    SR::RestoreOutcome restored = SR::RestoreReachable(d.fs, *d.first, d.table, {d.game});
    QVERIFY(restored.putBack.isEmpty() && restored.elsewhere.size() == 1);
    QCOMPARE(markerOf(d.tmp.path() + "/Moved/Roster"), "Frostmarch Roster_Frostmarch");
    restored = SR::RestoreReachable(d.fs, *d.second, d.table, {d.tmp.path() + "/Moved/"});
    QCOMPARE(restored.putBack.size(), 1);
    QCOMPARE(snapshot(d.tmp.path() + "/Moved"), d.resting);
}

// Two worlds whose labels differ only in case are two worlds; a twin name is taken
// where it alone can be meant, and gets its own name back.
void SwitchingTest::namesThatDifferOnlyInCase() {
    Decides d;
    const QString game = d.game;
    QVERIFY(write(game + "FROSTMARCH.ini", "[WorldData]\nDisplayName=Loud\n"));
    QVERIFY(write(game + "Tomes_FROSTMARCH/marker.txt", "FROSTMARCH Tomes\n"));
    const QStringList twins = snapshot(game);
    QCOMPARE(d.launch(game, *d.first, "FROSTMARCH"), "Valmora Roster,FROSTMARCH Tomes");
    QCOMPARE(snapshot(game), twins);
    QVERIFY(QFile::remove(game + "FROSTMARCH.ini"));
    QVERIFY(QDir().rename(game + "Roster_Frostmarch", game + "roster_FROSTMARCH"));
    const QStringList lower = snapshot(game);
    QCOMPARE(d.launch(game, *d.first, "Frostmarch"),
             "Frostmarch Roster_Frostmarch,Frostmarch Tomes_Frostmarch");
    QCOMPARE(snapshot(game), lower);
    QVERIFY(QDir().mkdir(game + "ROSTER_frostmarch"));
    QCOMPARE(d.launch(game, *d.first, "Frostmarch"),
             QStringLiteral("refused %1: %2ROSTER_frostmarch,%2roster_FROSTMARCH")
                 .arg(int(Kind::AmbiguousNames))
                 .arg(game));
    QVERIFY(QDir().rmdir(game + "ROSTER_frostmarch"));
    QCOMPARE(snapshot(game), lower);
}

QTEST_GUILESS_MAIN(SwitchingTest)
#include "tst_switching.moc"
