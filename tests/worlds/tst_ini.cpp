// Reading values from world description files, hostile ones included.
#include "InstallationBuilder.h"
#include "worlds/INIFileStuff.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using INIFileStuff::ReadIniString;

class IniTest : public QObject {
    Q_OBJECT
private slots:
    void readsValues_data();
    void readsValues();
    void longValuesAreCutTo511Characters();
    void unreadableFilesGiveTheDefault();
    void largeHostileFileIsReadWithoutTrouble();
};

// A byte array from a literal that may hold zero bytes.
#define BYTES(literal) QByteArray(literal, sizeof(literal) - 1)

namespace {
const QString kDefault = QStringLiteral("<default>");
}

void IniTest::readsValues_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QString ws = QStringLiteral("WorldData");
    const QString dn = QStringLiteral("DisplayName");
    QTest::newRow("plain LF") << QByteArray("[WorldData]\nDisplayName=Frost March\n") << ws << dn
                              << "Frost March";
    QTest::newRow("CR LF, no final line end")
        << QByteArray("[WorldData]\r\nDisplayName=Frost March") << ws << dn << "Frost March";
    QTest::newRow("byte-order mark")
        << QByteArray("\xEF\xBB\xBF[WorldData]\r\nDisplayName=Frost March\r\n") << ws << dn
        << "Frost March";
    QTest::newRow("names without regard to case")
        << QByteArray("[WORLDDATA]\nDISPLAYNAME=Loud\n") << ws << dn << "Loud";
    QTest::newRow("spaces and tabs trimmed, inner ones kept")
        << QByteArray("  [ WorldData ]  \n \tDisplayName \t=  Isle  of Dawn \t\n") << ws << dn
        << "Isle  of Dawn";
    QTest::newRow("double quotes removed, spaces inside kept")
        << QByteArray("[WorldData]\nDisplayName=\"  Quoted  \"\n") << ws << dn << "  Quoted  ";
    QTest::newRow("single quotes removed")
        << QByteArray("[WorldData]\nDisplayName='Single'\n") << ws << dn << "Single";
    QTest::newRow("unmatched quotes kept")
        << QByteArray("[WorldData]\nDisplayName=\"Half'\n") << ws << dn << "\"Half'";
    QTest::newRow("a lone quote kept")
        << QByteArray("[WorldData]\nDisplayName=\"\n") << ws << dn << "\"";
    QTest::newRow("semicolon inside a value is part of it")
        << QByteArray("[WorldData]\nDisplayName=Ice; Fire ;and Ash\n") << ws << dn
        << "Ice; Fire ;and Ash";
    QTest::newRow("comment line does not define a key")
        << QByteArray("[WorldData]\n;DisplayName=Hidden\nDisplayName=Shown\n") << ws << dn
        << "Shown";
    QTest::newRow("equals sign inside a value")
        << QByteArray("[WorldData]\nDisplayName=a=b=c\n") << ws << dn << "a=b=c";
    QTest::newRow("first key wins")
        << QByteArray("[WorldData]\nDisplayName=First\ndisplayname=Second\n") << ws << dn
        << "First";
    QTest::newRow("first section wins, a later one is not searched")
        << QByteArray("[WorldData]\nAuthor=Me\n[Other]\nDisplayName=No\n[worlddata]\n"
                      "DisplayName=Later\n")
        << ws << dn << kDefault;
    QTest::newRow("key in another section only")
        << QByteArray("[Other]\nDisplayName=Elsewhere\n[WorldData]\nAuthor=Me\n") << ws << dn
        << kDefault;
    QTest::newRow("key before any section")
        << QByteArray("DisplayName=Orphan\n[WorldData]\n") << ws << dn << kDefault;
    QTest::newRow("empty value is empty, not the default")
        << QByteArray("[WorldData]\nDisplayName=\n") << ws << dn << "";
    QTest::newRow("key that only starts like the name")
        << QByteArray("[WorldData]\nDisplayNameX=No\nDisplay Name=No\n") << ws << dn << kDefault;
    QTest::newRow("line without equals sign skipped")
        << QByteArray("[WorldData]\nDisplayName\nDisplayName=Yes\n") << ws << dn << "Yes";
    QTest::newRow("UTF-8 text") << QByteArray(
                                       "[WorldData]\nDisplayName=Fr\xC3\xB8st \xE2\x9D\x84\n")
                                << ws << dn << QString::fromUtf8("Fr\xC3\xB8st \xE2\x9D\x84");
    QTest::newRow("single-byte code page text")
        << QByteArray("[WorldData]\nDisplayName=M\xE4rchen\n") << ws << dn
        << QString::fromUtf8("M\xC3\xA4rchen");
    QTest::newRow("binary garbage around the section")
        << BYTES("\x00\xFF\xFE\x01garbage\x00\n\x7F\x80[\x00]\n[WorldData]\n"
                 "DisplayName=Survivor\n\xFF\xFF\x00\n")
        << ws << dn << "Survivor";
    QTest::newRow("binary garbage only")
        << BYTES("\x89PNG\r\n\x1A\n\x00\x00\x00\rIHDR\x00\x00\x01\x00") << ws << dn << kDefault;
    QTest::newRow("empty file") << QByteArray() << ws << dn << kDefault;
    QTest::newRow("section header without closing bracket")
        << QByteArray("[WorldData\nDisplayName=Lenient\n") << ws << dn << "Lenient";
}

void IniTest::readsValues() {
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QTemporaryDir tmp;
    const QString path = tmp.path() + "/world.ini";
    QCOMPARE(InstallationBuilder::writeFile(path, content), QString());
    QCOMPARE(ReadIniString(section, key, path, kDefault), expected);
}

void IniTest::longValuesAreCutTo511Characters() {
    QTemporaryDir tmp;
    const QString path = tmp.path() + "/long.ini";
    const QByteArray name600 = QByteArray("abcdefghij").repeated(60);
    // Characters beyond the basic plane count as one each and are never split.
    QByteArray astral;
    for (int i = 0; i < 600; ++i)
        astral += "\xF0\x9F\x90\xBA"; // U+1F43A
    QCOMPARE(InstallationBuilder::writeFile(path, "[WorldData]\r\nDisplayName=" + name600 +
                                                      "\r\nQuoted=\"" + name600 +
                                                      "\"\r\nAstral=" + astral + "\r\n"),
             QString());
    QCOMPARE(ReadIniString("WorldData", "DisplayName", path, kDefault),
             QString::fromLatin1(name600.left(511)));
    QCOMPARE(ReadIniString("WorldData", "Quoted", path, kDefault),
             QString::fromLatin1(name600.left(511)));
    const QString astralValue = ReadIniString("WorldData", "Astral", path, kDefault);
    QCOMPARE(astralValue.toUcs4().size(), 511);
    QCOMPARE(astralValue, QString::fromUtf8(astral.left(511 * 4)));
}

void IniTest::unreadableFilesGiveTheDefault() {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    QCOMPARE(ReadIniString("WorldData", "DisplayName", root + "/missing.ini", kDefault), kDefault);

    // A folder named like a world file.
    QVERIFY(QDir().mkpath(root + "/folder.ini"));
    QCOMPARE(ReadIniString("WorldData", "DisplayName", root + "/folder.ini", kDefault), kDefault);

    // A pipe named like one must not block the reader.
    QVERIFY(::mkfifo(QFile::encodeName(root + "/pipe.ini").constData(), 0600) == 0);
    QCOMPARE(ReadIniString("WorldData", "DisplayName", root + "/pipe.ini", kDefault), kDefault);

    // Dangling and looping links.
    QVERIFY(QFile::link(root + "/nowhere", root + "/dangling.ini"));
    QVERIFY(QFile::link(root + "/loop.ini", root + "/loop.ini"));
    QCOMPARE(ReadIniString("WorldData", "DisplayName", root + "/dangling.ini", kDefault), kDefault);
    QCOMPARE(ReadIniString("WorldData", "DisplayName", root + "/loop.ini", kDefault), kDefault);

    // A file without read permission (the superuser reads it all the same).
    const QString locked = root + "/locked.ini";
    QCOMPARE(InstallationBuilder::writeFile(locked, "[WorldData]\nDisplayName=Locked\n"),
             QString());
    QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    if (::geteuid() != 0)
        QCOMPARE(ReadIniString("WorldData", "DisplayName", locked, kDefault), kDefault);
    else
        QCOMPARE(ReadIniString("WorldData", "DisplayName", locked, kDefault), "Locked");
}

void IniTest::largeHostileFileIsReadWithoutTrouble() {
    // A megabyte-long line without any line end, then the real section.
    QTemporaryDir tmp;
    const QString path = tmp.path() + "/huge.ini";
    QByteArray content(1 << 20, 'x');
    content += "=value\n[WorldData]\nDisplayName=After the wall\n";
    QCOMPARE(InstallationBuilder::writeFile(path, content), QString());
    QCOMPARE(ReadIniString("WorldData", "DisplayName", path, kDefault), "After the wall");
}

QTEST_GUILESS_MAIN(IniTest)
#include "tst_ini.moc"
