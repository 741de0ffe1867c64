// Reading values from world description files, hostile ones included.
#include "InstallationBuilder.h"
#include "worlds/INIFileStuff.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

class IniTest : public QObject {
    Q_OBJECT
private slots:
    void readsValues_data();
    void readsValues();
    void unreadableFilesGiveTheDefault();
};

// A byte array from a literal that may hold zero bytes.
#define BYTES(literal) QByteArray(literal, sizeof(literal) - 1)

namespace {
const QString kDefault = QStringLiteral("<default>");
QString read(const QString& path) {
    return INIFileStuff::ReadIniString("WorldData", "DisplayName", path, kDefault);
}
} // namespace

void IniTest::readsValues_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const QByteArray& content, const QString& expected) {
        QTest::newRow(name) << content << expected;
    };
    const QByteArray head = "[WorldData]\nDisplayName=";
    const QByteArray x600 = QByteArray("abcdefghij").repeated(60);
    const QByteArray wolf = QByteArray("\xF0\x9F\x90\xBA").repeated(600); // U+1F43A

    row("plain LF", head + "Frost March\n", "Frost March");
    row("CR LF, no final line end", "[WorldData]\r\nDisplayName=Frost March", "Frost March");
    row("byte-order mark", "\xEF\xBB\xBF[WorldData]\r\nDisplayName=Frost March\r\n", "Frost March");
    row("names without regard to case", "[WORLDDATA]\nDISPLAYNAME=Loud\n", "Loud");
    row("spaces and tabs trimmed, inner ones kept",
        "  [ WorldData ]  \n \tDisplayName \t=  Isle  of Dawn \t\n", "Isle  of Dawn");
    row("double quotes removed, spaces inside kept", head + "\"  Quoted  \"\n", "  Quoted  ");
    row("single quotes removed", head + "'Single'\n", "Single");
    row("unmatched quotes kept", head + "\"Half'\n", "\"Half'");
    row("a lone quote kept", head + "\"\n", "\"");
    row("semicolon inside a value", head + "Ice; Fire ;and Ash\n", "Ice; Fire ;and Ash");
    row("comment line", "[WorldData]\n;DisplayName=Hidden\nDisplayName=Shown\n", "Shown");
    row("equals sign inside a value", head + "a=b=c\n", "a=b=c");
    row("first key wins", head + "First\ndisplayname=Second\n", "First");
    row("first section wins",
        "[WorldData]\nAuthor=Me\n[Other]\nDisplayName=No\n[worlddata]\nDisplayName=Later\n",
        kDefault);
    row("key in another section only", "[Other]\nDisplayName=Elsewhere\n[WorldData]\n", kDefault);
    row("key before any section", "DisplayName=Orphan\n[WorldData]\n", kDefault);
    row("empty value is not the default", head + "\n", "");
    row("key that only starts like the name", "[WorldData]\nDisplayNameX=No\nDisplay Name=No\n",
        kDefault);
    row("line without equals sign", "[WorldData]\nDisplayName\nDisplayName=Yes\n", "Yes");
    row("UTF-8 text", head + "Fr\xC3\xB8st \xE2\x9D\x84\n",
        QString::fromUtf8("Fr\xC3\xB8st \xE2\x9D\x84"));
    row("single-byte code page text", head + "M\xE4rchen\n", QString::fromUtf8("M\xC3\xA4rchen"));
    row("binary garbage around the section",
        BYTES("\x00\xFF\xFE\x01garbage\x00\n\x7F\x80[\x00]\n[WorldData]\nDisplayName=Survivor\n"
              "\xFF\xFF\x00\n"),
        "Survivor");
    row("binary garbage only", BYTES("\x89PNG\r\n\x1A\n\x00\x00\x00\rIHDR\x00\x00\x01\x00"),
        kDefault);
    row("empty file", QByteArray(), kDefault);
    row("header without closing bracket", "[WorldData\nDisplayName=Lenient\n", "Lenient");
    row("600 characters cut to 511", head + x600 + "\r\n", QString::fromLatin1(x600.left(511)));
    row("quoted 600 characters cut to 511", head + "\"" + x600 + "\"\r\n",
        QString::fromLatin1(x600.left(511)));
    // Characters beyond the basic plane count as one each and are never split.
    row("600 astral characters cut to 511", head + wolf + "\n",
        QString::fromUtf8(wolf.left(511 * 4)));
    // Only the first 64 KiB of a file are read, in whole lines.
    row("key on the last line within the first 64 KiB",
        head.left(12) + QByteArray(65536 - 12 - 30, ';') + "\nDisplayName=Just within\n",
        "Just within");
    row("key beyond the first 64 KiB",
        QByteArray(1 << 16, 'x') + "=value\n" + head + "After the wall\n", kDefault);
    row("line cut by the bound", head + QByteArray(65536, 'y') + "\n", kDefault);
}

void IniTest::readsValues() {
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QTemporaryDir tmp;
    const QString path = tmp.path() + "/world.ini";
    QCOMPARE(InstallationBuilder::writeFile(path, content), QString());
    QCOMPARE(read(path), expected);
}

void IniTest::unreadableFilesGiveTheDefault() {
    QTemporaryDir tmp;
    const QString root = tmp.path() + "/";
    QVERIFY(QDir().mkpath(root + "folder.ini"));
    // A pipe named like a world file must not block the reader.
    QVERIFY(::mkfifo(QFile::encodeName(root + "pipe.ini").constData(), 0600) == 0);
    QVERIFY(QFile::link(root + "nowhere", root + "dangling.ini"));
    QVERIFY(QFile::link(root + "loop.ini", root + "loop.ini"));
    for (const char* name : {"missing.ini", "folder.ini", "pipe.ini", "dangling.ini", "loop.ini"})
        QVERIFY2(read(root + name) == kDefault, name);

    // A file without read permission (the superuser reads it all the same).
    QCOMPARE(InstallationBuilder::writeFile(root + "locked.ini", "[WorldData]\nDisplayName=L\n"),
             QString());
    QVERIFY(QFile::setPermissions(root + "locked.ini", QFileDevice::WriteOwner));
    QCOMPARE(read(root + "locked.ini"), ::geteuid() != 0 ? kDefault : QStringLiteral("L"));

    // A 4 GiB sparse file costs no more than a small one: its end is never reached.
    QFile huge(root + "huge.ini");
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(4) << 30));
    QVERIFY(huge.seek(huge.size()) && huge.write("\n[WorldData]\nDisplayName=End\n") > 0);
    huge.close();
    QCOMPARE(read(root + "huge.ini"), kDefault);
}

QTEST_GUILESS_MAIN(IniTest)
#include "tst_ini.moc"
