// The game directory without the window: the installation rule, the content-folder
// table, the shortened path text, and the search of every drive (order, matching,
// drives and folders that fail, folder links, stopping and yielding).
#include "InstallationBuilder.h"
#include "gamedir/AutofindWalk.h"
#include "gamedir/KVDirStuff.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <sys/stat.h>

using namespace TestSupport;

namespace {

// Runs a shell command with the arguments $0, $1, ...: for links, and for names and
// depths Qt does not make.
bool shell(const QString& command, const QStringList& arguments) {
    return QProcess::execute("sh", QStringList{"-ec", command} + arguments) == 0;
}

// Drives of temp folders that record what was listed. Their listings carry no folder
// identities, as the service's default ones: a service that cannot tell folders apart.
class RecordingFileSystem : public LocalFileSystem {
public:
    QStringList listed;

    FolderListing listFolder(const QString& path) override {
        listed.append(path);
        return FileSystem::listFolder(path);
    }
};

// Runs a walk over drives at the given folders and records what it reported.
struct WalkRun {
    QStringList searched; // folders whose subtree was searched, in order
    int eventRounds = 0;  // times the window's events were processed
    int yieldPoints = 0;  // stop tests
    std::function<bool()> stopWhen;

    QString run(FileSystem& fs, const QStringList& roots, int intervalMs = 20) {
        AutofindWalk::Hooks hooks;
        hooks.processEvents = [this] { ++eventRounds; };
        hooks.shouldStop = [this] { return ++yieldPoints && stopWhen && stopWhen(); };
        hooks.folderSearched = [this](const QString& path) { searched.append(path); };
        QList<Drive> drives;
        for (const QString& root : roots)
            drives.append(Drive{root, {}, {}, 0});
        return AutofindWalk(fs, hooks, intervalMs).SearchDrives(drives);
    }
};

} // namespace

class GameDirTest : public QObject {
    Q_OBJECT
private slots:
    void tableInstallationAndShortenedPaths();
    void obstaclesAndLinksAreWalkedPast();
    void orderYieldsAndStopping();
};

void GameDirTest::tableInstallationAndShortenedPaths() {
    KVDirStuff::GameFolderTable table;
    KVDirStuff::FillGameFolderPaths(table, '\\');
    KVDirStuff::FillGameFolderNames(table, '\\');
    // The layout the demo installation is built with, in table order.
    QStringList entries = {"Exe/KORVATH2.EXE", "Dir/korvath2.exe/", "Near/korvath2.exe.bak",
                           "Near/old_korvath2.exe"};
    for (int i = 0; i < 11; ++i) {
        const QString path = InstallationBuilder::kContentFolders.at(i);
        QCOMPARE(table.relativePath[i], QString(path).replace('/', '\\'));
        QCOMPARE(table.shortName[i], path.section('/', -1));
        entries << "Folders/" + path + "/";
    }
    // An installation is a folder with the game's executable, in any letter case; not
    // the content folders alone, a folder by the game's name, names that only contain
    // it, a missing directory or no text at all.
    QTemporaryDir tmp;
    QVERIFY(makeTree(tmp.path(), entries));
    LocalFileSystem fs;
    for (const char* form : {"/Exe/", "/Exe", "/Exe//", "/exe/"})
        QVERIFY2(KVDirStuff::IsGameDirectory(fs, tmp.path() + form), form);
    for (const char* form : {"/Folders/", "/Dir/", "/Near/", "/", "/Missing/", ""})
        QVERIFY2(!KVDirStuff::IsGameDirectory(fs, *form ? tmp.path() + form : QString()), form);
    // The search's own test of a name.
    for (const char* name : {"korvath2.exe", "Korvath2.Exe", "\u212Aorvath2.exe"}) // KELVIN SIGN
        QVERIFY2(AutofindWalk::isGameExecutable(name), name);
    for (const char* name : {"xkorvath2.exe", "korvath2.exe.bak", "korvath2.ex", "korvath2exe", "",
                             "körvath2.exe", "korvath3.exe"})
        QVERIFY2(!AutofindWalk::isGameExecutable(name), name);
    // The shortened path. On Linux the first component of an absolute path is the
    // root "/" itself; only one closing separator is dropped.
    const QList<QPair<QString, QString>> paths = {{"D:\\", "D:\\"},
                                                  {"D:\\Games\\", "D:\\Games"},
                                                  {"D:\\Games\\Korvath 2\\", "D:\\ .. \\Korvath 2"},
                                                  {"Games", "Games\\"},
                                                  {"", "\\"},
                                                  {"/", "/"},
                                                  {"/home//", "/ .. /"},
                                                  {"/srv/a\\b", "/ .. /a\\b"}};
    for (const auto& [path, shown] : paths)
        QCOMPARE(KVDirStuff::ShortenPath(path, path.startsWith('/') ? '/' : '\\'), shown);
}

// As a player meets them: folders that cannot be listed (unreadable, a name that is
// not UTF-8, deeper than a path may be long) sorted before the game's folder, and
// folder links to an ancestor, to the whole tree (as Wine does), relative to a
// sibling, and off the drive.
void GameDirTest::obstaclesAndLinksAreWalkedPast() {
    if (!runsUnprivileged())
        return;
    RawTempDir tmp;
    const QString d = tmp.path() + "/d", elsewhere = tmp.path() + "/elsewhere";
    QVERIFY(makeTree(d, {"Backup/inner/x.txt", "Games/", "a/b/", "wine/dosdevices/",
                         "wine/drive_c/Games/Korvath 2/Data/Items/"}));
    QVERIFY(makeTree(elsewhere, {"Game/korvath2.exe"}));
    QVERIFY(shell("cd \"$0\"; mkdir $1; for i in $(seq 24); do mkdir x; mv $1 x; mv x $1; done",
                  {d + "/Backup", QString(200, 'n')}));
    QVERIFY(shell("n=\"$0/Backup/caf$(printf '\\351')\"; mkdir \"$n\"; touch \"$n/korvath2.exe\"; "
                  "cd \"$0\"; ln -s \"$0/a\" a/b/up; ln -s \"$0\" wine/dosdevices/z:; "
                  "ln -s ../drive_c wine/dosdevices/c:; ln -s \"$1\" zz",
                  {d, elsewhere}));
    QCOMPARE(LocalFileSystem().listFolder(d + "/Backup").leftOut,
             QStringList{QStringLiteral("caf\uFFFD")});
    FolderLock inner(d + "/Backup/inner", FolderLock::Unreadable);
    // A folder this user may not read is expected: logged with why, and not as a warning.
    QLoggingCategory::setFilterRules("korvath.gamedir.info=true");
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression("^Autofind passed over a folder: .*/Backup/"
                                                       "inner cannot be read: permission denied$"));
    QTest::failOnWarning(QRegularExpression("inner"));

    // With nothing to find on the drive, each folder is searched once, the obstacles
    // passed over; then the link out of the drive leads to the game.
    LocalFileSystem fs;
    WalkRun run;
    QCOMPARE(run.run(fs, {d}), d + "/zz/Game/");
    QStringList canonical;
    for (const QString& path : run.searched)
        canonical << QFileInfo(path).canonicalFilePath();
    QCOMPARE(canonical.removeDuplicates(), 0);
    QVERIFY(canonical.contains(d + "/Backup") &&
            canonical.contains(d + "/wine/drive_c/Games/Korvath 2/Data/Items"));
    // c: comes before drive_c in the walk's order, so a game there is met through it;
    // the game's folder after the obstacles is found, but not inside an unreadable one.
    QVERIFY(makeTree(d, {"wine/drive_c/Games/Korvath 2/korvath2.exe"}));
    QCOMPARE(WalkRun().run(fs, {d}), d + "/wine/dosdevices/c:/Games/Korvath 2/");
    QVERIFY(makeTree(d, {"Games/Korvath 2/korvath2.exe"}));
    QCOMPARE(WalkRun().run(fs, {d}), d + "/Games/Korvath 2/");
    QVERIFY(QFile::remove(d + "/zz") &&
            QFile::remove(d + "/wine/drive_c/Games/Korvath 2/korvath2.exe"));
    FolderLock games(d + "/Games", FolderLock::Unreadable);
    QCOMPARE(WalkRun().run(fs, {d}), QString());

    // A link into another file system is left to that file system's own drive.
    struct stat tmpStat, shmStat;
    if (::stat("/dev/shm", &shmStat) != 0 || ::stat(QFile::encodeName(d), &tmpStat) != 0 ||
        shmStat.st_dev == tmpStat.st_dev || !QFileInfo("/dev/shm").isWritable())
        QSKIP("no second writable file system to link to");
    QTemporaryDir other(QStringLiteral("/dev/shm/autofind-XXXXXX"));
    QVERIFY(makeTree(other.path(), {"Game/korvath2.exe"}));
    const QString e = tmp.path() + "/e";
    QVERIFY(shell("mkdir \"$0\"; ln -s \"$1\" \"$0/other\"", {e, other.path()}));
    QCOMPARE(WalkRun().run(fs, {e}), QString());
    QCOMPARE(WalkRun().run(fs, {e, other.path()}), other.path() + "/Game/");
}

// The search's order and its yields, on drives whose listings know no folder
// identities (every folder is still walked once) and whose root has its separator.
void GameDirTest::orderYieldsAndStopping() {
    QTemporaryDir tmp;
    const QString c = tmp.path() + "/c/", d = tmp.path() + "/d";
    QVERIFY(makeTree(c, {"one/two/three/", "one/a.txt", "uno/b.txt", "korvath2.exe"}));
    QVERIFY(makeTree(d, {"korvath2.exe"}));
    RecordingFileSystem fs;

    // Folders are searched deepest first, each reported once its subtree is done, and
    // the root's own files after every folder. A long interval: events still run once
    // per drive, and the stop test follows every yield point (1 drive, 4 folders, 2
    // files). No interval: events every time.
    WalkRun slow, eager;
    QCOMPARE(slow.run(fs, {c, d}, 1000000), c);
    QCOMPARE(slow.searched,
             QStringList({c + "one/two/three", c + "one/two", c + "one", c + "uno"}));
    QCOMPARE(slow.eventRounds, 1);
    QCOMPARE(slow.yieldPoints, 8);
    QCOMPARE(eager.run(fs, {c, d}, 0), c);
    QCOMPARE(eager.eventRounds, 8);

    // Stopped at the yield point before one/two's first folder: nothing more is
    // listed, and each enclosing level names its folder on its way out.
    fs.listed.clear();
    WalkRun stopped;
    stopped.stopWhen = [&] { return fs.listed.contains(c + "one/two"); };
    QCOMPARE(stopped.run(fs, {c, d}), QString());
    QCOMPARE(fs.listed.last(), c + "one/two");
    QCOMPARE(stopped.searched, QStringList({c + "one/two", c + "one"}));

    fs.listed.clear(); // stopped before the first drive: nothing at all
    WalkRun early;
    early.stopWhen = [] { return true; };
    QCOMPARE(early.run(fs, {c, d}), QString());
    QVERIFY(fs.listed.isEmpty());
    QCOMPARE(early.yieldPoints, 1);
}

QTEST_GUILESS_MAIN(GameDirTest)
#include "tst_gamedir.moc"
