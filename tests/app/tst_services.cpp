// The platform services on real folders: the file-system service (lookups, the
// order of names, renames, drives) and the settings store.
#include "InstallationBuilder.h"
#include "app/LauncherError.h"
#include "support/TestSupport.h"

#include <QSettings>
#include <QtTest>

#include <unistd.h>

using namespace TestSupport;

class ServicesTest : public QObject {
    Q_OBJECT
private slots:
    void lookupsListingsAndRenames();
    void drivesAreRealFileSystemsRootFirst();
    void settingsReachTheDiskAtOnceAndFailuresAreReported();
};

void ServicesTest::lookupsListingsAndRenames() {
    // Names in the service's order: upper-case forms in code point order, a form that
    // is the start of another first, equal forms by their exact text.
    const QStringList order = {"",    "A",  "a",  "ab",     "aß",     "A_X",    "a_x",       "b",
                               "k",   "SS", "ss", "ß",      "SSA",    "sß",     "Z",         "z1",
                               "Z10", "_",  "Ä",  "\u01C5", "\u212A", "\uFF21", "\U0001F600"};
    for (int i = 0; i < order.size(); ++i) {
        for (int k = 0; k < order.size(); ++k)
            QVERIFY2(FileSystem::nameLess(order[i], order[k]) == (i < k),
                     qPrintable(order[i] + " / " + order[k]));
    }
    QTemporaryDir tmp;
    const QString root = tmp.path();
    QVERIFY(makeTree(root, {"b/", "B/", "a_x/", "A/", "Zeta/Data/", "Zeta/data/", "Zeta/Graphics/",
                            "_under/", "readme.TXT", "Frost.ini", "alpha.ini", "KORVATH2.EXE"}));
    for (const auto& [target, link] : {std::pair{"Zeta", "/linkToFolder"},
                                       {"alpha.ini", "/linkToFile"},
                                       {"nothing", "/dangling"}})
        QVERIFY(::symlink(target, QFile::encodeName(root + link)) == 0);
    LocalFileSystem fs;
    // An exact match first, else the one match without regard to case (none where
    // several differ only in case); a file is no folder and a folder no file.
    QVERIFY(fs.FileExists(root + "/korvath2.exe") && fs.FileExists(root + "//Korvath2.exe"));
    QVERIFY(!fs.FileExists(root + "/korvath2.ex") && !fs.FileExists(root + "/zeta"));
    QVERIFY(!fs.FolderExists(root + "/korvath2.exe") && fs.FolderExists(root + "/zeta/GRAPHICS"));
    QCOMPARE(fs.resolveFolder(root + "/zeta/data"), root + "/Zeta/data");
    QVERIFY_THROWS_EXCEPTION(FileSystemError, fs.resolveFolder(root + "/zeta/DATA"));
    QVERIFY_THROWS_EXCEPTION(FileSystemError, fs.GetFolder(root + "/nothing"));
    // Every listing in that order; a dangling link is neither folder nor file.
    const QStringList folders = {"A", "a_x", "B", "b", "linkToFolder", "Zeta", "_under"};
    const QStringList files = {"alpha.ini", "Frost.ini", "KORVATH2.EXE", "linkToFile",
                               "readme.TXT"};
    QCOMPARE(fs.subFolderNames(root), folders);
    QCOMPARE(fs.fileNames(root), files);
    const FolderListing listing = fs.listFolder(root);
    QStringList names;
    for (const FolderListing::SubFolder& folder : listing.subFolders)
        names.append(folder.name);
    QCOMPARE(names, folders);
    QCOMPARE(listing.files, files);
    // A rename never replaces: not even an empty folder, which rename() would.
    Folder items = fs.GetFolder(root + "/b");
    QVERIFY_THROWS_EXCEPTION(FileSystemError, items.SetName("a_x"));
    QVERIFY_THROWS_EXCEPTION(FileSystemError, items.SetName("a/b"));
    items.SetName("c");
    QCOMPARE(items.Path(), root + "/c");
    QVERIFY(QDir(root + "/c").exists() && !QDir(root + "/b").exists() &&
            QDir(root + "/a_x").exists());
}

void ServicesTest::drivesAreRealFileSystemsRootFirst() {
    QTemporaryDir tmp;
    const QString info = tmp.path() + "/mountinfo";
    QCOMPARE(
        InstallationBuilder::writeFile(info, "22 1 0:21 / /proc rw - proc proc rw\n"
                                             "25 1 0:5 / /dev rw - devtmpfs udev rw\n"
                                             "30 1 0:25 / " +
                                                 tmp.path().toUtf8() +
                                                 " rw - ext4 /dev/sdb1 rw\n"
                                                 "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                                 "31 1 0:26 / /sys/fs/cgroup rw - cgroup2 x rw\n"
                                                 "32 1 0:27 / /run rw - tmpfs tmpfs rw\n"),
        QString());
    LocalFileSystem fs;
    fs.setMountInfoPath(info);
    const QList<Drive> drives = fs.Drives();
    QCOMPARE(drives.size(), 2);
    QCOMPARE(drives[0].rootPath, QStringLiteral("/"));
    QCOMPARE(fs.RootFolder(drives[1]).Path(), tmp.path());
    // The drive of a path: the longest root that is a whole-component prefix.
    QCOMPARE(FileSystem::driveIndexOfPath(drives, tmp.path() + "/x"), 1);
    QCOMPARE(FileSystem::driveIndexOfPath(drives, tmp.path() + "x"), 0);
}

void ServicesTest::settingsReachTheDiskAtOnceAndFailuresAreReported() {
    if (!runsUnprivileged())
        return;
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    IniSettingsStore user;
    const QString file = home.path() + "/Korvath II Launcher.conf";
    QCOMPARE(user.fileName(), file);
    QCOMPARE(user.GetSetting(kSettingsSection, "KVDir", "default"), QStringLiteral("default"));
    // Lines that cannot be parsed are left out; the rest is read, and written back.
    QCOMPARE(InstallationBuilder::writeFile(file, "garbage\n[Settings]\nKVDir=/k2/\n[Tomes\nx=1\n"),
             QString());
    IniSettingsStore store(file);
    QCOMPARE(store.GetSetting(kSettingsSection, "KVDir"), QStringLiteral("/k2/"));
    store.SaveSetting(kSettingsSection, "lastDirLabel", "Frostmarch");
    store.SaveSetting(kTomeSection, "Sea Charts", "Sea Charts");
    // Another reader sees every value at once, and the store reads what others wrote.
    QSettings onDisk(file, QSettings::IniFormat);
    QCOMPARE(onDisk.status(), QSettings::NoError);
    QCOMPARE(onDisk.value("Settings/KVDir").toString(), QStringLiteral("/k2/"));
    QCOMPARE(onDisk.value("Settings/lastDirLabel").toString(), QStringLiteral("Frostmarch"));
    QCOMPARE(onDisk.value("PackageTomeDirs/Sea Charts").toString(), QStringLiteral("Sea Charts"));
    onDisk.setValue("Settings/interfaceType", "1");
    onDisk.sync();
    QCOMPARE(store.GetSetting(kSettingsSection, "interfaceType", "0"), QStringLiteral("1"));
    // Several values written together all arrive, and what was there stays.
    store.SaveSettings(kSettingsSection, {{"KVDir", ""}, {"lastDirLabel", "dawn"}});
    QSettings again(file, QSettings::IniFormat);
    QCOMPARE(again.value("Settings/KVDir", "x").toString(), QString());
    QCOMPARE(again.value("Settings/lastDirLabel").toString(), QStringLiteral("dawn"));
    QCOMPARE(again.value("Settings/interfaceType").toString(), QStringLiteral("1"));
    // A write that fails is an error, also after lines that could not be parsed.
    for (const QByteArray& content : {QByteArray("[Settings]\n"), QByteArray("garbage\n")}) {
        QCOMPARE(InstallationBuilder::writeFile(file, content), QString());
        IniSettingsStore locked(file);
        FolderLock lock(home.path(), FolderLock::ReadOnly);
        QVERIFY_THROWS_EXCEPTION(SettingsError,
                                 locked.SaveSetting(kSettingsSection, "KVDir", "/x/"));
    }
}

QTEST_GUILESS_MAIN(ServicesTest)
#include "tst_services.moc"
