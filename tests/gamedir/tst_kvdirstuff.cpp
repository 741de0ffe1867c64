// The installation rule, the content-folder table and the shortened path text.
#include "InstallationBuilder.h"
#include "app/LocalFileSystem.h"
#include "gamedir/KVDirStuff.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace KVDirStuff;

class KVDirStuffTest : public QObject {
    Q_OBJECT
private slots:
    void folderTableFollowsTheSeparator();
    void shortenPath_data();
    void shortenPath();
    void installationIsRecognisedByTheExecutableAlone();
};

void KVDirStuffTest::folderTableFollowsTheSeparator() {
    GameFolderTable slash, backslash;
    FillGameFolderPaths(slash, '/');
    FillGameFolderNames(slash, '/');
    FillGameFolderPaths(backslash, '\\');
    FillGameFolderNames(backslash, '\\');
    for (int i = 0; i < 11; ++i) { // the layout the demo installation is built with
        const QString path = InstallationBuilder::kContentFolders.at(i);
        QCOMPARE(slash.relativePath[i], path);
        QCOMPARE(slash.shortName[i], path.section('/', -1));
        QCOMPARE(backslash.relativePath[i], QString(path).replace('/', '\\'));
        QCOMPARE(backslash.shortName[i], slash.shortName[i]);
    }
}

void KVDirStuffTest::shortenPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("shown");
    const QChar bs('\\'), sl('/');
    QTest::newRow("drive root") << "D:\\" << bs << "D:\\";
    QTest::newRow("two") << "D:\\Games" << bs << "D:\\Games";
    QTest::newRow("two, closing") << "D:\\Games\\" << bs << "D:\\Games";
    QTest::newRow("three") << "D:\\Games\\Korvath 2" << bs << "D:\\ .. \\Korvath 2";
    QTest::newRow("three, closing") << "D:\\Games\\Korvath 2\\" << bs << "D:\\ .. \\Korvath 2";
    QTest::newRow("five") << "D:\\Program Files\\Quillmark Games\\Stonebrook Games\\Korvath 2" << bs
                          << "D:\\ .. \\Korvath 2";
    QTest::newRow("bare name") << "Games" << bs << "Games\\";
    QTest::newRow("empty") << "" << bs << "\\";
    // On Linux the first component of an absolute path is the root "/" itself.
    QTest::newRow("root") << "/" << sl << "/";
    QTest::newRow("below root") << "/home/" << sl << "/home";
    QTest::newRow("two below root") << "/home/x" << sl << "/ .. /x";
    QTest::newRow("game dir") << "/home/x/Games/Korvath 2/" << sl << "/ .. /Korvath 2";
    QTest::newRow("backslash in a name") << "/srv/a\\b" << sl << "/ .. /a\\b";
}

void KVDirStuffTest::shortenPath() {
    QFETCH(QString, path);
    QFETCH(QChar, separator);
    QFETCH(QString, shown);
    QCOMPARE(ShortenPath(path, separator), shown);
}

void KVDirStuffTest::installationIsRecognisedByTheExecutableAlone() {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    LocalFileSystem fs;
    for (const QString& folder : InstallationBuilder::kContentFolders)
        QVERIFY(QDir().mkpath(root + "/Folders/" + folder));
    QVERIFY(!IsGameDirectory(fs, root + "/Folders/"));

    QCOMPARE(InstallationBuilder::writeFile(root + "/Exe/KORVATH2.EXE", "x"), QString());
    for (const char* form : {"/Exe/", "/Exe", "/Exe//", "/exe/"})
        QVERIFY2(IsGameDirectory(fs, root + form), form);

    // Not a folder by the game's name, names that only contain it, a missing
    // directory or no text at all.
    QVERIFY(QDir().mkpath(root + "/Dir/korvath2.exe"));
    QCOMPARE(InstallationBuilder::writeFile(root + "/Near/korvath2.exe.bak", "x"), QString());
    QCOMPARE(InstallationBuilder::writeFile(root + "/Near/old_korvath2.exe", "x"), QString());
    for (const char* form : {"/Dir/", "/Near/", "/", "/Missing/", "/Exe/KORVATH2.EXE/", ""})
        QVERIFY2(!IsGameDirectory(fs, *form ? root + form : QString()), form);
}

QTEST_GUILESS_MAIN(KVDirStuffTest)
#include "tst_kvdirstuff.moc"
