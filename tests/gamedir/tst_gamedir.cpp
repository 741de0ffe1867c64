// The game directory without the window: the installation rule, the content-folder
// table, the shortened path text, and the search of every drive (order, matching,
// drives and folders that fail, folder links, stopping and yielding).
#include "InstallationBuilder.h"
#include "gamedir/AutofindWalk.h"
#include "gamedir/KVDirStuff.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

// A symbolic link holding target exactly as given (relative or absolute).
bool makeLink(const QString& target, const QString& link) {
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) ==
           0;
}

// Drives of temp folders that record what was listed; listing a locked folder fails.
// With a base, the folder base stands for the root "/" and listings carry no folder
// identities, as the service's default ones.
class RecordingFileSystem : public FakeDriveFileSystem {
public:
    QSet<QString> locked;
    QStringList listed;
    QString base;

    FolderListing listFolder(const QString& path) override {
        listed.append(path);
        if (locked.contains(path))
            throw FileSystemError(QStringLiteral("Permission denied: %1").arg(path));
        if (!base.isEmpty())
            return FileSystem::listFolder(base + (path == "/" ? QString() : path));
        return FakeDriveFileSystem::listFolder(path);
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
            drives.append(FakeDriveFileSystem::driveAt(root));
        return AutofindWalk(fs, hooks, intervalMs).SearchDrives(drives);
    }
};

} // namespace

class GameDirTest : public QObject {
    Q_OBJECT
private slots:
    void folderTableAndShortenedPaths();
    void installationIsRecognisedByTheExecutableAlone();
    void firstMatchInDepthFirstOrder();
    void folderThatCannotBeListedIsPassedOver_data();
    void folderThatCannotBeListedIsPassedOver();
    void linksNeitherLoopNorLeaveTheFileSystem();
    void yieldsAndStopping();
};

void GameDirTest::folderTableAndShortenedPaths() {
    KVDirStuff::GameFolderTable table;
    KVDirStuff::FillGameFolderPaths(table, '\\');
    KVDirStuff::FillGameFolderNames(table, '\\');
    // The layout the demo installation is built with, in table order.
    for (int i = 0; i < 11; ++i) {
        const QString path = InstallationBuilder::kContentFolders.at(i);
        QCOMPARE(table.relativePath[i], QString(path).replace('/', '\\'));
        QCOMPARE(table.shortName[i], path.section('/', -1));
    }
    // On Linux the first component of an absolute path is the root "/" itself; only
    // one closing separator is dropped.
    const QList<QPair<QString, QString>> paths = {
        {"D:\\", "D:\\"},
        {"D:\\Games\\", "D:\\Games"},
        {"D:\\Games\\Korvath 2\\", "D:\\ .. \\Korvath 2"},
        {"D:\\Program Files\\Quillmark\\Korvath 2", "D:\\ .. \\Korvath 2"},
        {"Games", "Games\\"},
        {"", "\\"},
        {"/", "/"},
        {"/home//", "/ .. /"},
        {"/srv/a\\b", "/ .. /a\\b"}};
    for (const auto& [path, shown] : paths)
        QCOMPARE(KVDirStuff::ShortenPath(path, path.startsWith('/') ? '/' : '\\'), shown);
}

void GameDirTest::installationIsRecognisedByTheExecutableAlone() {
    QTemporaryDir tmp;
    QStringList entries = {"Exe/KORVATH2.EXE", "Dir/korvath2.exe/", "Near/korvath2.exe.bak",
                           "Near/old_korvath2.exe"};
    for (const QString& folder : InstallationBuilder::kContentFolders)
        entries << "Folders/" + folder + "/";
    QVERIFY(makeTree(tmp.path(), entries));
    LocalFileSystem fs;
    for (const char* form : {"/Exe/", "/Exe", "/Exe//", "/exe/"})
        QVERIFY2(KVDirStuff::IsGameDirectory(fs, tmp.path() + form), form);
    // Not the content folders alone, a folder by the game's name, names that only
    // contain it, a missing directory or no text at all.
    for (const char* form : {"/Folders/", "/Dir/", "/Near/", "/", "/Missing/", ""})
        QVERIFY2(!KVDirStuff::IsGameDirectory(fs, *form ? tmp.path() + form : QString()), form);
    // The search's own test of a name.
    for (const char* name : {"korvath2.exe", "Korvath2.Exe", "\u212Aorvath2.exe"}) // KELVIN SIGN
        QVERIFY2(AutofindWalk::isGameExecutable(name), name);
    for (const char* name : {"xkorvath2.exe", "korvath2.exe.bak", "korvath2.ex", "korvath2exe", "",
                             "körvath2.exe", "korvath3.exe"})
        QVERIFY2(!AutofindWalk::isGameExecutable(name), name);
}

void GameDirTest::firstMatchInDepthFirstOrder() {
    QTemporaryDir tmp;
    const QString a = tmp.path() + "/a", c = tmp.path() + "/c", d = tmp.path() + "/d";
    QVERIFY(makeTree(a, {"Games/korvath2.exe"})); // a drive that is not ready
    QVERIFY(makeTree(c, {"Users/Me/", "Users/notes.txt", "Locked/korvath2.exe", "Old/x.txt"}));
    QVERIFY(makeTree(d, {"korvath2.exe", "Alpha/Deep/korvath2.exe.bak", "Alpha/xkorvath2.exe",
                         "Games/Korvath 2/Data/Items/", "Games/Korvath 2/korvath2.exe",
                         "Zeta/KORVATH2.EXE"}));
    RecordingFileSystem fs;
    fs.failingDrives = {a};
    fs.locked = {c + "/Locked"}; // any error listing a folder: passed over, the drive goes on
    WalkRun run;
    QCOMPARE(run.run(fs, {a, c, d}), d + "/Games/Korvath 2/");
    // Each folder is reported once its subtree is done: deepest first, in the
    // service's order, the game's folder and its parents included on the way out.
    QCOMPARE(run.searched,
             QStringList({c + "/Locked", c + "/Old", c + "/Users/Me", c + "/Users",
                          d + "/Alpha/Deep", d + "/Alpha", d + "/Games/Korvath 2/Data/Items",
                          d + "/Games/Korvath 2/Data", d + "/Games/Korvath 2", d + "/Games"}));
    // Later copies: in a folder (any letter case), then at the root after every folder.
    QVERIFY(QFile::remove(d + "/Games/Korvath 2/korvath2.exe"));
    QCOMPARE(WalkRun().run(fs, {c, d}), d + "/Zeta/");
    QVERIFY(QFile::remove(d + "/Zeta/KORVATH2.EXE"));
    WalkRun root;
    QCOMPARE(root.run(fs, {d, c}), d + "/"); // the root with its single separator
    QCOMPARE(root.searched.size(), 7);
    // A drive whose root cannot be listed is skipped.
    fs.locked = {d};
    QCOMPARE(WalkRun().run(fs, {d, a + "/Games"}), a + "/Games/");

    // A service without folder identities walks every folder once, from the root "/".
    RecordingFileSystem rooted;
    rooted.base = d;
    WalkRun plain;
    QCOMPARE(plain.run(rooted, {"/"}), QStringLiteral("/"));
    QCOMPARE(plain.searched.size(), 7);
    QCOMPARE(plain.searched.first(), QStringLiteral("/Alpha/Deep"));
}

void GameDirTest::folderThatCannotBeListedIsPassedOver_data() {
    QTest::addColumn<QString>("obstacle");
    for (const char* obstacle : {"unreadable", "not UTF-8", "too long"})
        QTest::newRow(obstacle) << obstacle;
}

// As a player meets them: the obstacle sorts before the game's folder, and the walk
// must go past it to the rest of the drive.
void GameDirTest::folderThatCannotBeListedIsPassedOver() {
    if (!runsUnprivileged())
        return;
    QFETCH(QString, obstacle);
    RawTempDir tmp;
    const QString d = tmp.path() + "/d";
    QVERIFY(makeTree(d, {"Backup/inner/x.txt", "Games/Korvath 2/korvath2.exe"}));
    std::unique_ptr<FolderLock> lock;
    if (obstacle == "unreadable") {
        lock = std::make_unique<FolderLock>(d + "/Backup/inner", FolderLock::Unreadable);
        QVERIFY(lock->isSet());
    } else if (obstacle == "too long") {
        // Folders nested deeper than a path may be long: made one level at a time.
        int fd = ::open(QFile::encodeName(d + "/Backup").constData(), O_DIRECTORY);
        const QByteArray level(200, 'n');
        for (int i = 0; i < 25 && fd >= 0; ++i) {
            QVERIFY(::mkdirat(fd, level.constData(), 0755) == 0);
            const int next = ::openat(fd, level.constData(), O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        QVERIFY(fd >= 0);
        ::close(fd);
    } else {
        const QByteArray cafe = QFile::encodeName(d + "/Backup/caf") + "\xE9";
        QVERIFY(::mkdir(cafe.constData(), 0755) == 0);
        const int game = ::creat(cafe + "/korvath2.exe", 0644); // beyond reach: no path to it
        QVERIFY(game >= 0);
        ::close(game);
        const FolderListing backup = LocalFileSystem().listFolder(d + "/Backup");
        QCOMPARE(backup.subFolders.size(), 1); // inner
        QCOMPARE(backup.leftOut, QStringList{QStringLiteral("caf\uFFFD")});
    }
    FakeDriveFileSystem fs;
    WalkRun run;
    QCOMPARE(run.run(fs, {d}), d + "/Games/Korvath 2/");
    QVERIFY(run.searched.contains(d + "/Backup"));
    // Inside such a folder the game is not found, and the search still ends.
    if (lock) {
        FolderLock games(d + "/Games", FolderLock::Unreadable);
        QCOMPARE(WalkRun().run(fs, {d}), QString());
    }
}

void GameDirTest::linksNeitherLoopNorLeaveTheFileSystem() {
    QTemporaryDir tmp;
    const QString d = tmp.path() + "/d", elsewhere = tmp.path() + "/elsewhere";
    QVERIFY(makeTree(d, {"a/b/", "wine/dosdevices/", "wine/drive_c/Games/Korvath 2/Data/Items/"}));
    QVERIFY(makeTree(elsewhere, {"Game/korvath2.exe"}));
    QVERIFY(makeLink(d + "/a", d + "/a/b/up"));                 // to an ancestor
    QVERIFY(makeLink(d, d + "/wine/dosdevices/z:"));            // the whole tree, as Wine does
    QVERIFY(makeLink("../drive_c", d + "/wine/dosdevices/c:")); // relative, to a sibling
    QVERIFY(makeLink(elsewhere, d + "/zz"));                    // same file system, off the drive

    // With nothing to find on the drive, each folder is searched once; then the link
    // out of the drive leads to the game.
    FakeDriveFileSystem fs;
    WalkRun run;
    QCOMPARE(run.run(fs, {d}), d + "/zz/Game/");
    QSet<QString> seen;
    for (const QString& path : run.searched) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        QVERIFY2(!seen.contains(canonical), qPrintable(path + " searched twice"));
        seen.insert(canonical);
    }
    QVERIFY(seen.contains(
        QFileInfo(d + "/wine/drive_c/Games/Korvath 2/Data/Items").canonicalFilePath()));
    // c: comes before drive_c in the walk's order, so the game is met through it.
    QVERIFY(makeTree(d, {"wine/drive_c/Games/Korvath 2/korvath2.exe"}));
    QCOMPARE(WalkRun().run(fs, {d}), d + "/wine/dosdevices/c:/Games/Korvath 2/");

    // A link into another file system is left to that file system's own drive.
    struct stat tmpStat, shmStat;
    if (::stat("/dev/shm", &shmStat) != 0 || ::stat(QFile::encodeName(d), &tmpStat) != 0 ||
        shmStat.st_dev == tmpStat.st_dev || !QFileInfo("/dev/shm").isWritable())
        QSKIP("no second writable file system to link to");
    QTemporaryDir other(QStringLiteral("/dev/shm/autofind-XXXXXX"));
    QVERIFY(makeTree(other.path(), {"Game/korvath2.exe"}));
    const QString e = tmp.path() + "/e";
    QVERIFY(QDir().mkpath(e) && makeLink(other.path(), e + "/other"));
    QCOMPARE(WalkRun().run(fs, {e}), QString());
    QCOMPARE(WalkRun().run(fs, {e, other.path()}), other.path() + "/Game/");
}

void GameDirTest::yieldsAndStopping() {
    QTemporaryDir tmp;
    const QString c = tmp.path() + "/c", d = tmp.path() + "/d";
    QVERIFY(makeTree(c, {"one/two/three/", "one/a.txt", "uno/b.txt"}));
    QVERIFY(makeTree(d, {"korvath2.exe"}));
    RecordingFileSystem fs;

    // A long interval: events still run once per drive, and the stop test follows
    // every yield point (2 drives, 4 folders, 3 files). No interval: events every time.
    WalkRun slow, eager;
    QCOMPARE(slow.run(fs, {c, d}, 1000000), d + "/");
    QCOMPARE(slow.eventRounds, 2);
    QCOMPARE(slow.yieldPoints, 9);
    QCOMPARE(eager.run(fs, {c, d}, 0), d + "/");
    QCOMPARE(eager.eventRounds, 9);

    // Stopped at the yield point before one/two's first folder: nothing more is
    // listed, and each enclosing level names its folder on its way out.
    fs.listed.clear();
    WalkRun stopped;
    stopped.stopWhen = [&] { return fs.listed.contains(c + "/one/two"); };
    QCOMPARE(stopped.run(fs, {c, d}), QString());
    QCOMPARE(fs.listed.last(), c + "/one/two");
    QCOMPARE(stopped.searched, QStringList({c + "/one/two", c + "/one"}));

    fs.listed.clear(); // stopped before the first drive: nothing at all
    WalkRun early;
    early.stopWhen = [] { return true; };
    QCOMPARE(early.run(fs, {c, d}), QString());
    QVERIFY(fs.listed.isEmpty());
    QCOMPARE(early.yieldPoints, 1);
}

QTEST_GUILESS_MAIN(GameDirTest)
#include "tst_gamedir.moc"
