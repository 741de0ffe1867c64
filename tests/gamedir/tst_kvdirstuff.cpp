// The installation rule, the content-folder table and the shortened path text.
#include "InstallationBuilder.h"
#include "gamedir/KVDirStuff.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace KVDirStuff;

class KVDirStuffTest : public QObject {
    Q_OBJECT
private slots:
    void folderTableFollowsTheSeparator();
    void shortenPath();
    void installationIsRecognisedByTheExecutableAlone();
};

void KVDirStuffTest::folderTableFollowsTheSeparator() {
    GameFolderTable table;
    FillGameFolderPaths(table, '\\');
    FillGameFolderNames(table, '\\');
    // The layout the demo installation is built with, in table order.
    for (int i = 0; i < 11; ++i) {
        const QString path = InstallationBuilder::kContentFolders.at(i);
        QCOMPARE(table.relativePath[i], QString(path).replace('/', '\\'));
        QCOMPARE(table.shortName[i], path.section('/', -1));
    }
}

void KVDirStuffTest::shortenPath() {
    // On Linux the first component of an absolute path is the root "/" itself.
    const QList<QPair<QString, QString>> paths = {
        {"D:\\", "D:\\"},
        {"D:\\Games", "D:\\Games"},
        {"D:\\Games\\", "D:\\Games"},
        {"D:\\Games\\Korvath 2\\", "D:\\ .. \\Korvath 2"},
        {"D:\\Program Files\\Quillmark Games\\Stonebrook Games\\Korvath 2", "D:\\ .. \\Korvath 2"},
        {"Games", "Games\\"},
        {"", "\\"},
        {"/", "/"},
        {"/home/", "/home"},
        {"/home//", "/ .. /"}, // only one closing separator is dropped
        {"/home/x", "/ .. /x"},
        {"/srv/a\\b", "/ .. /a\\b"}};
    for (const auto& [path, shown] : paths)
        QCOMPARE(ShortenPath(path, path.startsWith('/') ? '/' : '\\'), shown);
}

void KVDirStuffTest::installationIsRecognisedByTheExecutableAlone() {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    QStringList folders;
    for (const QString& folder : InstallationBuilder::kContentFolders)
        folders << "Folders/" + folder + "/";
    QVERIFY(TestSupport::makeTree(root, folders));
    QVERIFY(TestSupport::makeTree(root, {"Exe/KORVATH2.EXE", "Dir/korvath2.exe/",
                                         "Near/korvath2.exe.bak", "Near/old_korvath2.exe"}));
    LocalFileSystem fs;
    for (const char* form : {"/Exe/", "/Exe", "/Exe//", "/exe/"})
        QVERIFY2(IsGameDirectory(fs, root + form), form);
    // Not the content folders alone, a folder by the game's name, names that only
    // contain it, a missing directory or no text at all.
    for (const char* form : {"/Folders/", "/Dir/", "/Near/", "/", "/Missing/", ""})
        QVERIFY2(!IsGameDirectory(fs, *form ? root + form : QString()), form);
}

QTEST_GUILESS_MAIN(KVDirStuffTest)
#include "tst_kvdirstuff.moc"
