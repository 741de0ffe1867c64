// The file-system service on real folders.
#include "InstallationBuilder.h"
#include "app/LocalFileSystem.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class FileSystemTest : public QObject {
    Q_OBJECT
private slots:
    void namesMatchExactlyThenWithoutRegardToCase();
    void listingsAreSortedByUpperCaseForm();
    void renameNeverReplaces();
    void missingFolderFailsGetFolder();
    void drivesAreRealFileSystemsRootFirst();
};

void FileSystemTest::namesMatchExactlyThenWithoutRegardToCase() {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    QVERIFY(QDir().mkpath(root + "/Game/Data/Graphics"));
    QCOMPARE(InstallationBuilder::writeFile(root + "/Game/KORVATH2.EXE", "x"), QString());
    LocalFileSystem fs;
    QVERIFY(fs.FileExists(root + "/Game/korvath2.exe"));
    QVERIFY(fs.FileExists(root + "/Game//korvath2.exe")); // doubled separator
    QVERIFY(!fs.FileExists(root + "/Game/korvath2.ex"));
    QVERIFY(!fs.FolderExists(root + "/Game/korvath2.exe"));
    QVERIFY(fs.FolderExists(root + "/game/data/GRAPHICS"));
    QCOMPARE(fs.GetFolder(root + "/game/data").Path(), root + "/Game/Data");
    QCOMPARE(fs.GetFolder(root + "/game/data").Name(), QStringLiteral("Data"));
    // An exact match wins over a case-insensitive one.
    QVERIFY(QDir().mkpath(root + "/Game/data"));
    QCOMPARE(fs.resolveFolder(root + "/Game/data"), root + "/Game/data");
    // Without an exact match the first match in sorted order wins.
    QCOMPARE(fs.resolveFolder(root + "/Game/DATA"), root + "/Game/Data");
}

void FileSystemTest::listingsAreSortedByUpperCaseForm() {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    for (const char* name : {"b", "B", "a_x", "A", "Zeta", "_under", "ä"})
        QVERIFY(QDir().mkpath(root + "/" + QString::fromUtf8(name)));
    for (const char* name : {"readme.TXT", "Frost.ini", "alpha.ini"})
        QCOMPARE(InstallationBuilder::writeFile(root + "/" + name, "x"), QString());
    LocalFileSystem fs;
    // Upper-case forms in code point order ("_" lies between "Z" and "a"... in upper
    // case between "Z" and letters beyond it); equal forms by their exact text.
    QCOMPARE(fs.subFolderNames(root),
             QStringList({"A", "a_x", "B", "b", "Zeta", "_under", QString::fromUtf8("ä")}));
    QCOMPARE(fs.fileNames(root), QStringList({"alpha.ini", "Frost.ini", "readme.TXT"}));
    const QList<Folder> subFolders = fs.GetFolder(root).SubFolders();
    QCOMPARE(subFolders.size(), 7);
    QCOMPARE(subFolders.first().Path(), root + "/A");
}

void FileSystemTest::renameNeverReplaces() {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    QVERIFY(QDir().mkpath(root + "/Data/Items/sub"));
    QVERIFY(QDir().mkpath(root + "/Data/Items_x")); // empty: rename() would replace it
    LocalFileSystem fs;
    Folder items = fs.GetFolder(root + "/Data/Items");
    QVERIFY_THROWS_EXCEPTION(FileSystemError, items.SetName("Items_x"));
    QVERIFY(QDir(root + "/Data/Items/sub").exists());
    items.SetName("Items-1");
    QCOMPARE(items.Path(), root + "/Data/Items-1");
    QVERIFY(QDir(root + "/Data/Items-1/sub").exists());
    QVERIFY(!QDir(root + "/Data/Items").exists());
    QVERIFY_THROWS_EXCEPTION(FileSystemError, items.SetName("a/b"));
}

void FileSystemTest::missingFolderFailsGetFolder() {
    QTemporaryDir tmp;
    LocalFileSystem fs;
    QVERIFY_THROWS_EXCEPTION(FileSystemError, fs.GetFolder(tmp.path() + "/nothing"));
    QVERIFY(!fs.FolderExists(tmp.path() + "/nothing"));
    QVERIFY_THROWS_EXCEPTION(FileSystemError, fs.subFolderNames(tmp.path() + "/nothing"));
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
    QCOMPARE(FileSystem::driveIndexOfPath(drives, tmp.path() + "/x"), 1);
    QCOMPARE(FileSystem::driveIndexOfPath(drives, "/usr"), 0);
    QCOMPARE(fs.RootFolder(drives[1]).Path(), tmp.path());
}

QTEST_GUILESS_MAIN(FileSystemTest)
#include "tst_filesystem.moc"
