// The platform services on real folders: the file-system service (lookups, the
// order of names, renames, drives) and the settings store.
#include "InstallationBuilder.h"
#include "platform/LauncherError.h"
#include "platform/SafeFiles.h"
#include "support/TestSupport.h"

#include <QSettings>
#include <QtTest>

#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace TestSupport;

class ServicesTest : public QObject {
    Q_OBJECT
private slots:
    void lookupsListingsAndRenames();
    void drivesAreRealFileSystemsRootFirst();
    void settingsKeepTheFileFormatBothWays();
    void settingsReachTheDiskAtOnceAndFailuresAreReported();
    void settingsOnAFullDiskStayWhole();
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

namespace {
// Runs body in a child process that an alarm ends after 10 s, so that a call that would
// wait for ever fails the test instead of stalling it: body's result, or 128 + signal.
int inChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(10);
        int code = 99;
        try {
            code = body();
        } catch (const LauncherError& error) {
            qWarning().noquote() << error.message();
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool writeAll(const char* path, const QByteArray& text) {
    const int fd = ::open(path, O_WRONLY);
    const bool ok = fd >= 0 && ::write(fd, text.constData(), text.size()) == text.size();
    return ::close(fd) == 0 && ok;
}

// 0 when saving a value too large for the disk fails as it must: an error, the old file
// whole, no temp file left, and the old value still what the store reads.
int refusesWhole(const QString& file) {
    const QString old = readText(file);
    IniSettingsStore store(file);
    const QString label = store.GetSetting(kSettingsSection, kLastDirLabelKey, "<missing>");
    try {
        store.SaveSetting(kSettingsSection, kLastDirLabelKey, QString(200000, u'x'));
        return 1;
    } catch (const SettingsError& error) {
        if (error.message() != "The settings could not be saved to " + file + ".")
            return 2;
    }
    if (readText(file) != old || QFile::exists(file + ".new"))
        return 3;
    return store.GetSetting(kSettingsSection, kLastDirLabelKey) == label ? 0 : 4;
}
} // namespace

void ServicesTest::settingsKeepTheFileFormatBothWays() {
    QTemporaryDir tmp;
    const QString ours = tmp.path() + "/ours.conf", theirs = tmp.path() + "/theirs.conf";
    // What the store does not set stays byte for byte; a line that cannot be parsed goes.
    const QByteArray kept = "[Settings]\nlist=a, b\nvar=@Variant(\\0\\0\\0\\xe\\0%\\x8b )\n";
    const QByteArray rest = "\n[Other%20One]\nx=\"1,2\"\n";
    QCOMPARE(InstallationBuilder::writeFile(ours, "garbage\n" + kept + " KVDir = /k2/ ;\n" + rest),
             QString());
    IniSettingsStore store(ours);
    QCOMPARE(store.GetSetting(kSettingsSection, "KVDir"), QStringLiteral("/k2/"));
    QCOMPARE(store.GetSetting(kSettingsSection, "var"), QStringLiteral("2024-05-17"));
    QCOMPARE(store.GetSetting(kSettingsSection, "list", "-"), QString()); // as QSettings has it
    store.SaveSetting(kSettingsSection, "KVDir", "/new/");
    const QList<std::pair<QString, QString>> awkward = {{"Sea Charts", "Sea Charts"},
                                                        {"a,b;c=d", "x,y;z=w"},
                                                        {"q\"u\\o/te", "\"\\/\"\\"},
                                                        {" pad ", " pad "},
                                                        {"@at", "@at"},
                                                        {"Ærø 🌊", "Ærø 🌊\t\n\r\x01"
                                                                  "5"},
                                                        {"empty", ""},
                                                        {"nul", QString("a") + QChar(0) + "1"},
                                                        {"%41", "@@x"}};
    {
        QSettings qt(theirs, QSettings::IniFormat);
        for (const auto& [key, value] : awkward) {
            store.SaveSetting(kTomeSection, key, value);
            qt.setValue(kTomeSection + '/' + key, value);
        }
    }
    QVERIFY(readText(ours).startsWith(kept + "KVDir=/new/\n" + rest + "\n[PackageTomeDirs]\n"));
    QSettings qt(ours, QSettings::IniFormat);
    IniSettingsStore fromQt(theirs);
    for (const auto& [key, value] : awkward) {
        QCOMPARE(qt.value(kTomeSection + '/' + key).toString(), value);
        QCOMPARE(fromQt.GetSetting(kTomeSection, key, "<missing>"), value);
    }
    QCOMPARE(qt.value("Settings/list").toStringList(), QStringList({"a", "b"}));
    QCOMPARE(qt.value("Other One/x").toString(), QStringLiteral("1,2"));
    // A new file is never made over anything that is there.
    try {
        SafeFiles::Write(ours, "x", SafeFiles::Mode::CreateNew);
        QFAIL("an existing file was replaced");
    } catch (const FileSystemError& error) {
        QCOMPARE(error.systemError(), EEXIST);
    }
    SafeFiles::Write(tmp.path() + "/new", "x", SafeFiles::Mode::CreateNew);
    QCOMPARE(readText(tmp.path() + "/new"), QStringLiteral("x"));
    QCOMPARE(QDir(tmp.path()).entryList(QDir::Files).size(), 3);
}

void ServicesTest::settingsReachTheDiskAtOnceAndFailuresAreReported() {
    if (!runsUnprivileged())
        return;
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8() + "/config");
    IniSettingsStore store;
    const QString file = home.path() + "/config/Korvath II Launcher.conf";
    QCOMPARE(store.fileName(), file);
    QCOMPARE(store.GetSetting(kSettingsSection, "KVDir", "default"), QStringLiteral("default"));
    store.SaveSetting(kSettingsSection, "KVDir", "/k2/"); // makes the folder
    // Another reader sees every value at once, and the store reads what others wrote.
    QSettings onDisk(file, QSettings::IniFormat);
    QCOMPARE(onDisk.value("Settings/KVDir").toString(), QStringLiteral("/k2/"));
    onDisk.setValue("Settings/interfaceType", "1");
    onDisk.sync();
    QCOMPARE(store.GetSetting(kSettingsSection, "interfaceType", "0"), QStringLiteral("1"));
    store.SaveSettings(kSettingsSection, {{"KVDir", ""}, {"lastDirLabel", "dawn"}});
    QSettings again(file, QSettings::IniFormat);
    QCOMPARE(again.value("Settings/KVDir", "x").toString(), QString());
    QCOMPARE(again.value("Settings/lastDirLabel").toString(), QStringLiteral("dawn"));
    QCOMPARE(again.value("Settings/interfaceType").toString(), QStringLiteral("1"));

    // A write that fails leaves the old file and the old values: in a read-only folder,
    // and past a file-size limit (which must not end the launcher).
    {
        FolderLock lock(home.path() + "/config", FolderLock::ReadOnly);
        QCOMPARE(refusesWhole(file), 0);
    }
    QCOMPARE(inChild([&] {
                 const rlimit limit{16384, 16384};
                 return ::setrlimit(RLIMIT_FSIZE, &limit) == 0 ? refusesWhole(file) : 5;
             }),
             0);

    // Nothing waits on a pipe: not at the settings path, not at the temp file's. A link
    // stays a link, and a temp file left by a launcher ended mid-write goes.
    const QString link = home.path() + "/link.conf", pipe = home.path() + "/pipe.conf";
    QVERIFY(::symlink("config/Korvath II Launcher.conf", QFile::encodeName(link)) == 0);
    QVERIFY(::mkfifo(QFile::encodeName(pipe), 0600) == 0);
    QCOMPARE(inChild([&] {
                 IniSettingsStore linked(link);
                 if (!InstallationBuilder::writeFile(file + ".new", "left over").isEmpty())
                     return 6;
                 linked.SaveSetting(kSettingsSection, "lastDirLabel", "linked");
                 if (!QFileInfo(link).isSymLink() || QFile::exists(file + ".new") ||
                     linked.GetSetting(kSettingsSection, "interfaceType") != "1" ||
                     IniSettingsStore(file).GetSetting(kSettingsSection, "lastDirLabel") !=
                         "linked")
                     return 1;
                 const QString before = readText(file);
                 if (::mkfifo(QFile::encodeName(file + ".new"), 0600) != 0)
                     return 2;
                 IniSettingsStore piped(pipe);
                 const std::function<void()> calls[] = {
                     [&] { linked.SaveSetting(kSettingsSection, "KVDir", "/x/"); },
                     [&] { piped.GetSetting(kSettingsSection, "KVDir"); },
                     [&] { piped.SaveSetting(kSettingsSection, "KVDir", "/x/"); }};
                 for (const auto& call : calls) {
                     try {
                         call();
                         return 3;
                     } catch (const SettingsError& error) {
                         if (!error.message().contains(&call == calls ? "saved to " + link + '.'
                                                                      : pipe + " is a pipe (FIFO)"))
                             return 4;
                     }
                 }
                 return readText(file) == before ? 0 : 5;
             }),
             0);
}

void ServicesTest::settingsOnAFullDiskStayWhole() {
    // A small file system of its own, mounted in a user namespace.
    QTemporaryDir tmp;
    const QString file = tmp.path() + "/settings.conf";
    const int code = inChild([&] {
        const QByteArray uid = QByteArray::number(::getuid()), gid = QByteArray::number(::getgid());
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 ||
            !writeAll("/proc/self/setgroups", "deny") ||
            !writeAll("/proc/self/uid_map", "0 " + uid + " 1") ||
            !writeAll("/proc/self/gid_map", "0 " + gid + " 1"))
            return 77;
        ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
        if (::mount("none", QFile::encodeName(tmp.path()), "tmpfs", 0, "size=64k") != 0)
            return 77;
        IniSettingsStore(file).SaveSetting(kSettingsSection, kLastDirLabelKey, "dawn");
        return refusesWhole(file);
    });
    if (code == 77)
        QSKIP("no user namespace to mount a small file system in; the file-size limit stands in");
    QCOMPARE(code, 0);
}

QTEST_GUILESS_MAIN(ServicesTest)
#include "tst_services.moc"
