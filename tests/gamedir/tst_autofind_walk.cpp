// The search of every drive, without the window: order, matching, drives that fail,
// folder links, stopping and yielding.
#include "InstallationBuilder.h"
#include "gamedir/AutofindWalk.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using TestSupport::FakeDriveFileSystem;

namespace {

bool makeFile(const QString& path) {
    return InstallationBuilder::writeFile(path, "x").isEmpty();
}

// A symbolic link holding target exactly as given (relative or absolute).
bool makeLink(const QString& target, const QString& link) {
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) ==
           0;
}

QList<Drive> drivesAt(const QStringList& roots) {
    QList<Drive> drives;
    for (const QString& root : roots)
        drives.append(FakeDriveFileSystem::driveAt(root));
    return drives;
}

// Drives of temp folders where chosen folders cannot be listed.
class LockedFoldersFileSystem : public FakeDriveFileSystem {
public:
    QSet<QString> locked;
    QStringList listed;

    FolderListing listFolder(const QString& folderPath) override {
        listed.append(folderPath);
        if (locked.contains(folderPath))
            throw FileSystemError(QStringLiteral("Permission denied: %1").arg(folderPath));
        return FakeDriveFileSystem::listFolder(folderPath);
    }
};

// Drives of temp folders, where the folder base stands for the root "/"; its
// listings carry no folder identities, as the service's default ones.
class RootedFileSystem : public FakeDriveFileSystem {
public:
    QString base;
    FolderListing listFolder(const QString& path) override {
        return FileSystem::listFolder(base + (path == "/" ? QString() : path));
    }
};

// Runs a walk and records what it reported.
struct WalkRun {
    QStringList searched; // folders whose subtree was searched, in order
    int eventRounds = 0;  // times the window's events were processed
    int yieldPoints = 0;  // stop tests
    std::function<bool()> stopWhen;

    QString run(FileSystem& fs, const QList<Drive>& drives, int intervalMs = 20) {
        AutofindWalk::Hooks hooks;
        hooks.processEvents = [this] { ++eventRounds; };
        hooks.shouldStop = [this] {
            ++yieldPoints;
            return stopWhen && stopWhen();
        };
        hooks.folderSearched = [this](const QString& path) { searched.append(path); };
        AutofindWalk walk(fs, hooks, intervalMs);
        return walk.SearchDrives(drives);
    }
};

QString canonical(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

} // namespace

class AutofindWalkTest : public QObject {
    Q_OBJECT
private slots:
    void gameOnSecondDriveAfterOneNotReady();
    void rootExecutableComesAfterEveryFolder();
    void folderThatCannotBeListedIsPassedOver_data();
    void folderThatCannotBeListedIsPassedOver();
    void driveWhoseRootCannotBeListedIsSkipped();
    void linksUpTheTreeNeitherLoopNorRepeat();
    void linksAreFollowedOnlyOnTheDrivesFileSystem();
    void serviceWithoutIdentitiesWalksTheRoot();
    void yieldsAndStopping();
    void listingAgreesWithTheServicesListings();
    void fastNameOrderMatchesTheFullComparison();
};

void AutofindWalkTest::gameOnSecondDriveAfterOneNotReady() {
    QTemporaryDir tmp;
    const QString c = tmp.path() + "/c", floppy = tmp.path() + "/a", d = tmp.path() + "/d";
    QVERIFY(QDir().mkpath(c + "/Users/Me"));
    QVERIFY(makeFile(c + "/Users/notes.txt"));
    QVERIFY(QDir().mkpath(floppy));
    QVERIFY(QDir().mkpath(d + "/Backup"));
    QCOMPARE(InstallationBuilder::build(d + "/Games/Korvath 2"), QString());
    QVERIFY(makeFile(d + "/Zeta/korvath2.exe")); // later in the order: must not win

    FakeDriveFileSystem fs;
    fs.drives = drivesAt({floppy, c, d});
    fs.failingDrives = {floppy};
    WalkRun run;
    QCOMPARE(run.run(fs, fs.drives), d + "/Games/Korvath 2/");
    // Each folder is reported once its subtree is done: deepest first, in the
    // service's order, the game's folder and its parents included on the way out.
    const int gameAt = run.searched.indexOf(d + "/Games/Korvath 2");
    QVERIFY(gameAt > 0);
    QCOMPARE(run.searched.mid(0, 3), QStringList({c + "/Users/Me", c + "/Users", d + "/Backup"}));
    QCOMPARE(run.searched.mid(gameAt), QStringList({d + "/Games/Korvath 2", d + "/Games"}));
    QVERIFY(!run.searched.contains(d + "/Zeta"));
    QVERIFY(run.searched.indexOf(d + "/Games/Korvath 2/Data/Graphics/Items") < gameAt);
}

void AutofindWalkTest::rootExecutableComesAfterEveryFolder() {
    for (const char* name : {"korvath2.exe", "KORVATH2.EXE", "Korvath2.Exe"})
        QVERIFY2(AutofindWalk::isGameExecutable(QString::fromUtf8(name)), name);
    for (const char* name : {"xkorvath2.exe", "korvath2.exe.bak", "korvath2.ex", "korvath2exe",
                             "korvath2.exe ", "", "körvath2.exe", "korvath3.exe"})
        QVERIFY2(!AutofindWalk::isGameExecutable(QString::fromUtf8(name)), name);

    QTemporaryDir tmp;
    const QString d = tmp.path() + "/d";
    QVERIFY(makeFile(d + "/korvath2.exe"));
    QVERIFY(QDir().mkpath(d + "/Alpha/Deep/Deeper"));
    QVERIFY(QDir().mkpath(d + "/zulu"));
    QVERIFY(makeFile(d + "/Alpha/xkorvath2.exe"));
    QVERIFY(makeFile(d + "/Alpha/Deep/korvath2.exe.bak"));
    FakeDriveFileSystem fs;
    fs.drives = drivesAt({d});
    WalkRun run;
    QCOMPARE(run.run(fs, fs.drives), d + "/"); // the root with its single separator
    QCOMPARE(run.searched,
             QStringList({d + "/Alpha/Deep/Deeper", d + "/Alpha/Deep", d + "/Alpha", d + "/zulu"}));

    QVERIFY(makeFile(d + "/zulu/KORVATH2.EXE")); // a copy in a folder comes before the root's
    QCOMPARE(WalkRun().run(fs, fs.drives), d + "/zulu/");
}

void AutofindWalkTest::folderThatCannotBeListedIsPassedOver_data() {
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("unreadable") << "unreadable";
    QTest::newRow("name not UTF-8") << "not UTF-8";
    QTest::newRow("path too long") << "too long";
}

// As a player meets them: the obstacle sorts before the game's folder, and the walk
// must go past it to the rest of the drive.
void AutofindWalkTest::folderThatCannotBeListedIsPassedOver() {
    if (!TestSupport::runsUnprivileged())
        return;
    QFETCH(QString, obstacle);
    TestSupport::RawTempDir tmp;
    const QString d = tmp.path() + "/d";
    QVERIFY(makeFile(d + "/Backup/inner/x.txt"));
    QCOMPARE(InstallationBuilder::build(d + "/Games/Korvath 2"), QString());
    std::unique_ptr<TestSupport::FolderLock> lock;
    if (obstacle == "unreadable") {
        lock = std::make_unique<TestSupport::FolderLock>(d + "/Backup/inner",
                                                         TestSupport::FolderLock::Unreadable);
        QVERIFY(lock->isSet());
    } else if (obstacle == "not UTF-8") {
        const QByteArray cafe = QFile::encodeName(d + "/Backup/caf") + "\xE9";
        QVERIFY(::mkdir(cafe.constData(), 0755) == 0);
        const int game = ::creat(cafe + "/korvath2.exe", 0644); // beyond reach: no path to it
        QVERIFY(game >= 0);
        ::close(game);
        const FolderListing backup = LocalFileSystem().listFolder(d + "/Backup");
        QCOMPARE(backup.subFolders.size(), 1); // inner
        QCOMPARE(backup.leftOut, QStringList{QStringLiteral("caf\uFFFD")});
    } else {
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
    }
    FakeDriveFileSystem fs;
    WalkRun run;
    QCOMPARE(run.run(fs, drivesAt({d})), d + "/Games/Korvath 2/");
    QVERIFY(run.searched.contains(d + "/Backup"));

    // Inside such a folder the game is not found, and the search still ends.
    if (lock) {
        TestSupport::FolderLock games(d + "/Games", TestSupport::FolderLock::Unreadable);
        QCOMPARE(WalkRun().run(fs, drivesAt({d})), QString());
    }
}

void AutofindWalkTest::driveWhoseRootCannotBeListedIsSkipped() {
    QTemporaryDir tmp;
    const QString c = tmp.path() + "/c", d = tmp.path() + "/d";
    QVERIFY(QDir().mkpath(c + "/A/vanished"));
    QVERIFY(makeFile(c + "/B/korvath2.exe"));
    QVERIFY(makeFile(d + "/Game/korvath2.exe"));
    LockedFoldersFileSystem fs;
    fs.locked = {c + "/A/vanished"}; // any error listing one folder: passed over
    fs.drives = drivesAt({c, d});
    QCOMPARE(WalkRun().run(fs, fs.drives), c + "/B/");
    fs.locked = {c}; // the drive's root: the drive is skipped
    QCOMPARE(WalkRun().run(fs, fs.drives), d + "/Game/");
}

void AutofindWalkTest::linksUpTheTreeNeitherLoopNorRepeat() {
    QTemporaryDir tmp;
    const QString d = tmp.path() + "/d";
    QVERIFY(QDir().mkpath(d + "/a/b"));
    QVERIFY(makeLink(d + "/a", d + "/a/b/up"));                 // to an ancestor
    QVERIFY(QDir().mkpath(d + "/wine/dosdevices"));             // the way Wine lays out a prefix
    QVERIFY(makeLink(d, d + "/wine/dosdevices/z:"));            // the whole tree
    QVERIFY(makeLink("../drive_c", d + "/wine/dosdevices/c:")); // relative, to a sibling
    QCOMPARE(InstallationBuilder::build(d + "/wine/drive_c/Games/Korvath 2"), QString());

    FakeDriveFileSystem fs;
    fs.drives = drivesAt({d});
    // c: comes before drive_c in the walk's order, so the game is met through it.
    const QString found = WalkRun().run(fs, fs.drives);
    QCOMPARE(found, d + "/wine/dosdevices/c:/Games/Korvath 2/");
    QCOMPARE(canonical(found), canonical(d + "/wine/drive_c/Games/Korvath 2"));

    // With nothing to find, the walk ends after searching each folder once.
    QVERIFY(QFile::remove(d + "/wine/drive_c/Games/Korvath 2/korvath2.exe"));
    WalkRun empty;
    QCOMPARE(empty.run(fs, fs.drives), QString());
    QSet<QString> seen;
    for (const QString& path : empty.searched) {
        QVERIFY2(!seen.contains(canonical(path)), qPrintable(path + " searched twice"));
        seen.insert(canonical(path));
    }
    QVERIFY(seen.contains(canonical(d + "/wine/drive_c/Games/Korvath 2/Data/Graphics/Items")));
}

void AutofindWalkTest::linksAreFollowedOnlyOnTheDrivesFileSystem() {
    QTemporaryDir tmp;
    const QString d = tmp.path() + "/d", elsewhere = tmp.path() + "/elsewhere";
    QVERIFY(QDir().mkpath(d));
    QVERIFY(makeFile(elsewhere + "/Game/korvath2.exe"));
    QVERIFY(makeLink(elsewhere, d + "/shortcut")); // same file system, outside the drive
    FakeDriveFileSystem fs;
    QCOMPARE(WalkRun().run(fs, drivesAt({d})), d + "/shortcut/Game/");

    // A link into another file system is left to that file system's own drive.
    struct stat tmpStat, shmStat;
    if (::stat("/dev/shm", &shmStat) != 0 || ::stat(QFile::encodeName(d), &tmpStat) != 0 ||
        shmStat.st_dev == tmpStat.st_dev || !QFileInfo("/dev/shm").isWritable())
        QSKIP("no second writable file system to link to");
    QTemporaryDir other(QStringLiteral("/dev/shm/autofind-XXXXXX"));
    QVERIFY(other.isValid());
    QVERIFY(makeFile(other.path() + "/Game/korvath2.exe"));
    const QString e = tmp.path() + "/e";
    QVERIFY(QDir().mkpath(e));
    QVERIFY(makeLink(other.path(), e + "/other"));
    QCOMPARE(WalkRun().run(fs, drivesAt({e})), QString());
    QCOMPARE(WalkRun().run(fs, drivesAt({e, other.path()})), other.path() + "/Game/");
}

void AutofindWalkTest::serviceWithoutIdentitiesWalksTheRoot() {
    QTemporaryDir tmp;
    for (const char* file : {"KORVATH2.EXE", "readme.txt", "a/x/notes.txt", "b/korvath2.exe.bak"})
        QVERIFY(makeFile(tmp.path() + "/" + file));
    RootedFileSystem fs;
    fs.base = tmp.path();
    const Drive root = FakeDriveFileSystem::driveAt("/");
    WalkRun run;
    QCOMPARE(run.run(fs, {root}), QStringLiteral("/"));
    QCOMPARE(run.searched, QStringList({"/a/x", "/a", "/b"}));
}

void AutofindWalkTest::yieldsAndStopping() {
    QTemporaryDir tmp;
    const QString c = tmp.path() + "/c", d = tmp.path() + "/d";
    QVERIFY(QDir().mkpath(c + "/one/two/three"));
    QVERIFY(makeFile(c + "/one/a.txt"));
    QVERIFY(makeFile(c + "/uno/b.txt"));
    QVERIFY(makeFile(d + "/korvath2.exe"));
    LockedFoldersFileSystem fs;
    fs.drives = drivesAt({c, d});

    // A long interval: events still run once per drive, and the stop test follows
    // every yield point (2 drives, 4 folders, 3 files). No interval: events every time.
    WalkRun slow, eager;
    QCOMPARE(slow.run(fs, fs.drives, 1000000), d + "/");
    QCOMPARE(slow.eventRounds, 2);
    QCOMPARE(slow.yieldPoints, 9);
    QCOMPARE(eager.run(fs, fs.drives, 0), d + "/");
    QCOMPARE(eager.eventRounds, 9);

    // Stopped at the yield point before one/two's first folder: nothing more is
    // listed, and each enclosing level names its folder on its way out.
    fs.listed.clear();
    WalkRun stopped;
    stopped.stopWhen = [&] { return fs.listed.contains(c + "/one/two"); };
    QCOMPARE(stopped.run(fs, fs.drives), QString());
    QCOMPARE(fs.listed.last(), c + "/one/two");
    QCOMPARE(stopped.searched, QStringList({c + "/one/two", c + "/one"}));

    fs.listed.clear(); // stopped before the first drive: nothing at all
    WalkRun early;
    early.stopWhen = [] { return true; };
    QCOMPARE(early.run(fs, fs.drives), QString());
    QVERIFY(fs.listed.isEmpty());
    QCOMPARE(early.yieldPoints, 1);
}

void AutofindWalkTest::listingAgreesWithTheServicesListings() {
    QTemporaryDir tmp;
    const QString root = tmp.path() + "/r";
    for (const char* folder : {"b", "B", "Zeta", "_under", "ä"})
        QVERIFY(QDir().mkpath(root + "/" + QString::fromUtf8(folder)));
    for (const char* file : {"readme.TXT", "Frost.ini", "alpha.ini"})
        QVERIFY(makeFile(root + "/" + file));
    QVERIFY(makeLink(root + "/Zeta", root + "/linkToFolder"));
    QVERIFY(makeLink(root + "/alpha.ini", root + "/linkToFile"));
    QVERIFY(makeLink(root + "/nothing", root + "/dangling"));

    LocalFileSystem fs;
    const FolderListing listing = fs.listFolder(root);
    QStringList folderNames;
    QMap<QString, FolderId> ids;
    for (const FolderListing::SubFolder& folder : listing.subFolders) {
        folderNames.append(folder.name);
        ids.insert(folder.name, folder.id);
    }
    QCOMPARE(folderNames, fs.subFolderNames(root));
    QCOMPARE(listing.files, fs.fileNames(root));
    QVERIFY(listing.files.contains("linkToFile") && !listing.files.contains("dangling"));
    QVERIFY(ids.value("linkToFolder") == ids.value("Zeta")); // the link and its target are one
    QVERIFY(!(ids.value("b") == ids.value("B")));
    QVERIFY(listing.id.isKnown());
    QVERIFY_THROWS_EXCEPTION(FileSystemError, fs.listFolder(root + "/missing"));

    // The default built on the two listings gives the same names, without identities.
    const FolderListing plain = fs.FileSystem::listFolder(root);
    QCOMPARE(plain.files, listing.files);
    QCOMPARE(plain.subFolders.size(), listing.subFolders.size());
    QVERIFY(!plain.id.isKnown() && !plain.subFolders.first().id.isKnown());
}

void AutofindWalkTest::fastNameOrderMatchesTheFullComparison() {
    // The order as the service defines it, computed the long way.
    const auto reference = [](const QString& a, const QString& b) {
        const QList<uint> ua = a.toUpper().toUcs4(), ub = b.toUpper().toUcs4();
        if (ua != ub)
            return std::lexicographical_compare(ua.begin(), ua.end(), ub.begin(), ub.end());
        return a < b;
    };
    const auto check = [&](const QString& a, const QString& b) {
        if (FileSystem::nameLess(a, b) != reference(a, b))
            QFAIL(qPrintable(QString("order of \"%1\" and \"%2\"").arg(a, b)));
    };
    QStringList alphabet;
    for (const QChar c : QString::fromUtf8("aAbBzZ_09.-~ ßäÄǅǆ") + QChar(0x212A))
        alphabet.append(QString(c));
    alphabet.append(QString::fromUcs4(U"\U0001F600", 1));
    QRandomGenerator random(20240607);
    const QStringList edges = {"", "s", "S", "ss", "SS", "ß", "sß", "ssa", "ß_", "Ä", "a_x", "A"};
    QStringList names = edges;
    for (int i = 0; i < 3000; ++i) {
        QString name;
        const int length = random.bounded(5);
        for (int j = 0; j < length; ++j)
            name += alphabet.at(random.bounded(int(alphabet.size())));
        names.append(name);
    }
    for (const QString& a : names)
        for (int k = 0; k < 40; ++k)
            check(a, names.at(random.bounded(int(names.size()))));
    for (const QString& a : edges)
        for (const QString& b : edges)
            check(a, b);
}

QTEST_GUILESS_MAIN(AutofindWalkTest)
#include "tst_autofind_walk.moc"
