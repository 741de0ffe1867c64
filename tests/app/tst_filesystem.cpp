// The file-system service on real folders.
#include "InstallationBuilder.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using TestSupport::makeTree;

class FileSystemTest : public QObject {
    Q_OBJECT
private slots:
    void namesMatchExactlyThenWithoutRegardToCase();
    void listingsAreSortedByUpperCaseForm();
    void fastNameOrderMatchesTheFullComparison();
    void renameNeverReplaces();
    void drivesAreRealFileSystemsRootFirst();
};

void FileSystemTest::namesMatchExactlyThenWithoutRegardToCase() {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    QVERIFY(makeTree(root, {"Game/Data/Graphics/", "Game/KORVATH2.EXE"}));
    LocalFileSystem fs;
    QVERIFY(fs.FileExists(root + "/Game/korvath2.exe"));
    QVERIFY(fs.FileExists(root + "/Game//korvath2.exe")); // doubled separator
    QVERIFY(!fs.FileExists(root + "/Game/korvath2.ex"));
    QVERIFY(!fs.FileExists(root + "/Game/Data"));
    QVERIFY(!fs.FolderExists(root + "/Game/korvath2.exe"));
    QVERIFY(fs.FolderExists(root + "/game/data/GRAPHICS"));
    QCOMPARE(fs.GetFolder(root + "/game/data").Name(), QStringLiteral("Data"));
    QVERIFY_THROWS_EXCEPTION(FileSystemError, fs.GetFolder(root + "/nothing"));
    QVERIFY_THROWS_EXCEPTION(FileSystemError, fs.subFolderNames(root + "/nothing"));
    // An exact match wins over a case-insensitive one; without an exact match the
    // first match in sorted order wins.
    QVERIFY(QDir().mkpath(root + "/Game/data"));
    QCOMPARE(fs.resolveFolder(root + "/Game/data"), root + "/Game/data");
    QCOMPARE(fs.resolveFolder(root + "/Game/DATA"), root + "/Game/Data");
}

void FileSystemTest::listingsAreSortedByUpperCaseForm() {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    QVERIFY(makeTree(root, {"b/", "B/", "a_x/", "A/", "Zeta/", "_under/", "ä/", "readme.TXT",
                            "Frost.ini", "alpha.ini"}));
    QVERIFY(::symlink("Zeta", QFile::encodeName(root + "/linkToFolder")) == 0);
    QVERIFY(::symlink("alpha.ini", QFile::encodeName(root + "/linkToFile")) == 0);
    QVERIFY(::symlink("nothing", QFile::encodeName(root + "/dangling")) == 0);
    LocalFileSystem fs;
    // Upper-case forms in code point order ("_" lies between "Z" and the letters
    // beyond it); equal forms by their exact text. A dangling link is neither.
    const QStringList folders = {"A", "a_x", "B", "b", "linkToFolder", "Zeta", "_under", "ä"};
    const QStringList files = {"alpha.ini", "Frost.ini", "linkToFile", "readme.TXT"};
    QCOMPARE(fs.subFolderNames(root), folders);
    QCOMPARE(fs.fileNames(root), files);
    QCOMPARE(fs.GetFolder(root).SubFolders().first().Path(), root + "/A");
    // The one-pass listing agrees, and knows a link and its target as one folder.
    const FolderListing listing = fs.listFolder(root);
    QStringList names;
    for (const FolderListing::SubFolder& folder : listing.subFolders)
        names.append(folder.name);
    QCOMPARE(names, folders);
    QCOMPARE(listing.files, files);
    QVERIFY(listing.id.isKnown() && listing.subFolders[4].id == listing.subFolders[5].id);
    QVERIFY(!(listing.subFolders[2].id == listing.subFolders[3].id));
    // The default built on the two listings gives the same names, without identities.
    const FolderListing plain = fs.FileSystem::listFolder(root);
    QCOMPARE(plain.files, files);
    QVERIFY(!plain.id.isKnown() && !plain.subFolders.first().id.isKnown());
}

void FileSystemTest::fastNameOrderMatchesTheFullComparison() {
    // The order as the service defines it, computed the long way.
    const auto reference = [](const QString& a, const QString& b) {
        const QList<uint> ua = a.toUpper().toUcs4(), ub = b.toUpper().toUcs4();
        if (ua != ub)
            return std::lexicographical_compare(ua.begin(), ua.end(), ub.begin(), ub.end());
        return a < b;
    };
    QStringList alphabet;
    for (const QChar c : QString::fromUtf8("aAbBzZ_09.-~ ßäÄǅǆＡ") + QChar(0x212A))
        alphabet.append(QString(c));
    alphabet.append(QString::fromUcs4(U"\U0001F600", 1));
    QRandomGenerator random(20240607);
    QStringList names = {"", "s", "S", "ss", "SS", "ß", "sß", "ssa", "ß_", "Ä", "a_x", "A"};
    for (int i = 0; i < 3000; ++i) {
        QString name;
        for (int length = random.bounded(5); length > 0; --length)
            name += alphabet.at(random.bounded(int(alphabet.size())));
        names.append(name);
    }
    for (int i = 0; i < names.size(); ++i) {
        for (int k = 0; k < 40; ++k) {
            const QString& a = names[i];
            const QString& b = names[k < 12 ? k : random.bounded(int(names.size()))];
            if (FileSystem::nameLess(a, b) != reference(a, b))
                QFAIL(qPrintable(QString("order of \"%1\" and \"%2\"").arg(a, b)));
        }
    }
}

void FileSystemTest::renameNeverReplaces() {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    QVERIFY(makeTree(root, {"Data/Items/sub/", "Data/Items_x/"})); // empty: rename() replaces it
    LocalFileSystem fs;
    Folder items = fs.GetFolder(root + "/Data/Items");
    QVERIFY_THROWS_EXCEPTION(FileSystemError, items.SetName("Items_x"));
    QVERIFY(QDir(root + "/Data/Items/sub").exists());
    items.SetName("Items-1");
    QCOMPARE(items.Path(), root + "/Data/Items-1");
    QVERIFY(QDir(root + "/Data/Items-1/sub").exists() && !QDir(root + "/Data/Items").exists());
    QVERIFY_THROWS_EXCEPTION(FileSystemError, items.SetName("a/b"));
}

void FileSystemTest::drivesAreRealFileSystemsRootFirst() {
    QTemporaryDir tmp;
    const QString info = tmp.path() + "/mountinfo";
    QCOMPARE(InstallationBuilder::writeFile(
                 info, "22 1 0:21 / /proc rw - proc proc rw\n"
                       "25 1 0:5 / /dev rw - devtmpfs udev rw\n"
                       "30 1 0:25 / " +
                           tmp.path().toUtf8() +
                           " rw - ext4 /dev/sdb1 rw\n"
                           "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                           "31 1 0:26 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
                           "32 1 0:27 / /run rw - tmpfs tmpfs rw\n"),
             QString());
    LocalFileSystem fs;
    fs.setMountInfoPath(info);
    const QList<Drive> drives = fs.Drives();
    QCOMPARE(drives.size(), 2);
    QCOMPARE(drives[0].rootPath, QStringLiteral("/"));
    QCOMPARE(drives[1].rootPath, tmp.path());
    // The drive of a path: the longest root that is a whole-component prefix.
    QCOMPARE(FileSystem::driveIndexOfPath(drives, tmp.path() + "/x"), 1);
    QCOMPARE(FileSystem::driveIndexOfPath(drives, tmp.path() + "x"), 0);
    QCOMPARE(FileSystem::driveIndexOfPath(drives, "/usr"), 0);
    QCOMPARE(fs.RootFolder(drives[1]).Path(), tmp.path());
}

QTEST_GUILESS_MAIN(FileSystemTest)
#include "tst_filesystem.moc"
