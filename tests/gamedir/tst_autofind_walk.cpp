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

// A service that keeps its tree in memory and knows nothing of identities, the way
// a simple fake does: folder path -> file names.
class MemoryFileSystem : public FileSystem {
public:
    QMap<QString, QStringList> folders;

    bool FolderExists(const QString& path) override { return folders.contains(path); }
    bool FileExists(const QString&) override { return false; }
    QList<Drive> Drives() override { return {}; }
    void CreateFolder(const QString&) override {}
    std::unique_ptr<TextWriter> CreateTextFile(const QString&, bool, bool) override { return {}; }
    QString resolveFolder(const QString& path) override { return path; }
    QString resolveFile(const QString&) override { return QString(); }
    QStringList subFolderNames(const QString& folder) override {
        const QString base = folder.endsWith('/') ? folder : folder + '/';
        QStringList names;
        for (const QString& path : folders.keys())
            if (path.size() > base.size() && path.startsWith(base) &&
                !path.mid(base.size()).contains('/'))
                names.append(path.mid(base.size()));
        return names; // keys are in order already
    }
    QStringList fileNames(const QString& folder) override { return folders.value(folder); }
    void renameFolder(const QString&, const QString&) override {}
    void checkDriveReady(const Drive&) override {}
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
    void onlyTheWholeNameMatchesInAnyCase();
    void unreadableFolderGivesUpThatDriveOnly();
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
    // A second copy later in the walk's order must not win.
    QVERIFY(makeFile(d + "/Zeta/korvath2.exe"));

    FakeDriveFileSystem fs;
    fs.drives = {FakeDriveFileSystem::driveAt(floppy), FakeDriveFileSystem::driveAt(c),
                 FakeDriveFileSystem::driveAt(d)};
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
    // The installation's own folders were searched before its executable was looked at.
    QVERIFY(run.searched.indexOf(d + "/Games/Korvath 2/Data/Graphics/Items") < gameAt);
}

void AutofindWalkTest::rootExecutableComesAfterEveryFolder() {
    QTemporaryDir tmp;
    const QString d = tmp.path() + "/d";
    QVERIFY(makeFile(d + "/korvath2.exe"));
    QVERIFY(QDir().mkpath(d + "/Alpha/Deep/Deeper"));
    QVERIFY(QDir().mkpath(d + "/zulu"));
    QVERIFY(makeFile(d + "/Alpha/xkorvath2.exe"));
    QVERIFY(makeFile(d + "/Alpha/Deep/korvath2.exe.bak"));

    FakeDriveFileSystem fs;
    fs.drives = {FakeDriveFileSystem::driveAt(d)};
    WalkRun run;
    QCOMPARE(run.run(fs, fs.drives), d + "/"); // the root with its single separator
    QCOMPARE(run.searched,
             QStringList({d + "/Alpha/Deep/Deeper", d + "/Alpha/Deep", d + "/Alpha", d + "/zulu"}));

    // A copy in a folder is met before the one at the root.
    QVERIFY(makeFile(d + "/zulu/KORVATH2.EXE"));
    WalkRun again;
    QCOMPARE(again.run(fs, fs.drives), d + "/zulu/");
}

void AutofindWalkTest::onlyTheWholeNameMatchesInAnyCase() {
    for (const char* name : {"korvath2.exe", "KORVATH2.EXE", "Korvath2.Exe"})
        QVERIFY2(AutofindWalk::isGameExecutable(QString::fromUtf8(name)), name);
    for (const char* name : {"xkorvath2.exe", "korvath2.exe.bak", "korvath2.ex", "korvath2exe",
                             "korvath2.exe ", "", "körvath2.exe", "korvath3.exe"})
        QVERIFY2(!AutofindWalk::isGameExecutable(QString::fromUtf8(name)), name);
    // Beyond ASCII the name is lower-cased as a whole, like any other name.
    const QString kelvin = QString(QChar(0x212A)) + "ORVATH2.EXE";
    QCOMPARE(AutofindWalk::isGameExecutable(kelvin), kelvin.toLower() == "korvath2.exe");
}

void AutofindWalkTest::unreadableFolderGivesUpThatDriveOnly() {
    QTemporaryDir tmp;
    const QString c = tmp.path() + "/c", d = tmp.path() + "/d";
    QVERIFY(QDir().mkpath(c + "/A/locked/inner"));
    QVERIFY(makeFile(c + "/B/korvath2.exe")); // after the locked folder: given up with it
    QVERIFY(makeFile(d + "/Game/korvath2.exe"));

    LockedFoldersFileSystem fs;
    fs.locked = {c + "/A/locked"};
    fs.drives = {FakeDriveFileSystem::driveAt(c), FakeDriveFileSystem::driveAt(d)};
    WalkRun run;
    QCOMPARE(run.run(fs, fs.drives), d + "/Game/");
    QVERIFY(!fs.listed.contains(c + "/B"));
    QVERIFY(!run.searched.contains(c + "/A")); // the failure ended every level at once

    WalkRun alone;
    QCOMPARE(alone.run(fs, {FakeDriveFileSystem::driveAt(c)}), QString());
    // An unreadable drive root is a drive given up, too.
    fs.locked = {c};
    WalkRun rootLocked;
    QCOMPARE(rootLocked.run(fs, fs.drives), d + "/Game/");
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
    fs.drives = {FakeDriveFileSystem::driveAt(d)};
    WalkRun run;
    const QString found = run.run(fs, fs.drives);
    // c: comes before drive_c in the walk's order, so the game is met through it.
    QCOMPARE(found, d + "/wine/dosdevices/c:/Games/Korvath 2/");
    QCOMPARE(canonical(found), canonical(d + "/wine/drive_c/Games/Korvath 2"));
    QSet<QString> seen;
    for (const QString& path : run.searched) {
        QVERIFY2(!seen.contains(canonical(path)), qPrintable(path + " searched twice"));
        seen.insert(canonical(path));
    }
    QVERIFY(!run.searched.contains(d + "/a/b/up"));
    QVERIFY(!run.searched.contains(d + "/wine/dosdevices/z:"));

    // With nothing to find, the walk still ends after each folder once.
    QVERIFY(QFile::remove(d + "/wine/drive_c/Games/Korvath 2/korvath2.exe"));
    WalkRun empty;
    QCOMPARE(empty.run(fs, fs.drives), QString());
    QSet<QString> all;
    for (const QString& path : empty.searched)
        all.insert(canonical(path));
    QCOMPARE(all.size(), empty.searched.size());
    QVERIFY(all.contains(canonical(d + "/wine/drive_c/Games/Korvath 2/Data/Graphics/Items")));
}

void AutofindWalkTest::linksAreFollowedOnlyOnTheDrivesFileSystem() {
    QTemporaryDir tmp;
    const QString d = tmp.path() + "/d", elsewhere = tmp.path() + "/elsewhere";
    QVERIFY(QDir().mkpath(d));
    QVERIFY(makeFile(elsewhere + "/Game/korvath2.exe"));
    QVERIFY(makeLink(elsewhere, d + "/shortcut")); // same file system, outside the drive
    FakeDriveFileSystem fs;
    fs.drives = {FakeDriveFileSystem::driveAt(d)};
    WalkRun run;
    QCOMPARE(run.run(fs, fs.drives), d + "/shortcut/Game/");

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
    fs.drives = {FakeDriveFileSystem::driveAt(e)};
    WalkRun across;
    QCOMPARE(across.run(fs, fs.drives), QString());
    fs.drives.append(FakeDriveFileSystem::driveAt(other.path()));
    WalkRun asDrive;
    QCOMPARE(asDrive.run(fs, fs.drives), other.path() + "/Game/");
}

void AutofindWalkTest::serviceWithoutIdentitiesWalksTheRoot() {
    MemoryFileSystem fs;
    fs.folders = {{"/", {"KORVATH2.EXE", "readme.txt"}},
                  {"/a", {}},
                  {"/a/x", {"notes.txt"}},
                  {"/b", {"korvath2.exe.bak"}}};
    Drive root;
    root.rootPath = "/";
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
    fs.drives = {FakeDriveFileSystem::driveAt(c), FakeDriveFileSystem::driveAt(d)};

    // A long interval: events still run once per drive, and the stop test follows
    // every yield point (2 drives, 4 folders, 3 files).
    WalkRun slow;
    QCOMPARE(slow.run(fs, fs.drives, 1000000), d + "/");
    QCOMPARE(slow.eventRounds, 2);
    QCOMPARE(slow.yieldPoints, 9);
    // No interval: events run at every yield point.
    WalkRun eager;
    QCOMPARE(eager.run(fs, fs.drives, 0), d + "/");
    QCOMPARE(eager.eventRounds, 9);

    // Stopped at the yield point before the first folder of one/two: nothing is
    // listed afterwards, and each enclosing level names its folder on its way out.
    fs.listed.clear();
    WalkRun stopped;
    stopped.stopWhen = [&] { return fs.listed.contains(c + "/one/two"); };
    QCOMPARE(stopped.run(fs, fs.drives), QString());
    QCOMPARE(fs.listed.last(), c + "/one/two");
    QCOMPARE(stopped.searched, QStringList({c + "/one/two", c + "/one"}));

    // Stopped before the first drive: nothing at all.
    fs.listed.clear();
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
    for (const FolderListing::SubFolder& folder : listing.subFolders) {
        folderNames.append(folder.name);
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(root + "/" + folder.name), &st), 0);
        QCOMPARE(folder.id.device, quint64(st.st_dev));
        QCOMPARE(folder.id.inode, quint64(st.st_ino));
    }
    QCOMPARE(folderNames, fs.subFolderNames(root));
    QCOMPARE(listing.files, fs.fileNames(root));
    QVERIFY(folderNames.contains("linkToFolder"));
    QVERIFY(listing.files.contains("linkToFile"));
    QVERIFY(!listing.files.contains("dangling"));
    // The link and its target are one folder.
    const auto idOf = [&](const QString& name) {
        for (const FolderListing::SubFolder& folder : listing.subFolders)
            if (folder.name == name)
                return folder.id;
        return FolderId();
    };
    QVERIFY(idOf("linkToFolder") == idOf("Zeta"));
    QVERIFY(!(idOf("b") == idOf("B")));
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
    QStringList alphabet;
    for (const QChar c : QString::fromUtf8("aAbBzZ_09.-~ ßäÄǅǆ") + QChar(0x212A))
        alphabet.append(QString(c));
    alphabet.append(QString::fromUcs4(U"\U0001F600", 1));
    QRandomGenerator random(20240607);
    QStringList names = {"", "s", "S", "ss", "SS", "ß", "sß", "ssa", "ß_", "Ä", "a_x", "A"};
    for (int i = 0; i < 3000; ++i) {
        QString name;
        const int length = random.bounded(5);
        for (int j = 0; j < length; ++j)
            name += alphabet.at(random.bounded(int(alphabet.size())));
        names.append(name);
    }
    for (const QString& a : names)
        for (int k = 0; k < 40; ++k) {
            const QString& b = names.at(random.bounded(int(names.size())));
            if (FileSystem::nameLess(a, b) != reference(a, b))
                QFAIL(qPrintable(QString("order of \"%1\" and \"%2\"").arg(a, b)));
        }
    for (const QString& a : names.mid(0, 12))
        for (const QString& b : names.mid(0, 12))
            QCOMPARE(FileSystem::nameLess(a, b), reference(a, b));
}

QTEST_GUILESS_MAIN(AutofindWalkTest)
#include "tst_autofind_walk.moc"
