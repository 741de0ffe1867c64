// The world catalogue: the WorldList collection, the world files of a game directory,
// and values read from world description files, hostile ones included.
#include "TestSupport.h"
#include "WorldsTestSupport.h"
#include "worlds/INIFileStuff.h"
#include "worlds/WorldCatalogue.h"
#include "worlds/WorldList.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using WorldsTest::write;

class CatalogueTest : public QObject {
    Q_OBJECT
private slots:
    void listKeepsOrderAndReachesEntriesByPositionOrKey();
    void worldFilesOfTheGameDirectory();
    void readsValues_data();
    void readsValues();
    void unreadableFilesGiveTheDefault();
};

// A byte array from a literal that may hold zero bytes.
#define BYTES(literal) QByteArray(literal, sizeof(literal) - 1)

namespace {

const QString kDefault = "<default>";

QString read(const QString& path) {
    return INIFileStuff::ReadIniString("WorldData", "DisplayName", path, kDefault);
}

// One field of every entry, in the catalogue's order.
QStringList column(const WorldList& worlds, QString (WorldData::*field)() const) {
    QStringList result;
    for (const WorldData& world : worlds)
        result.append((world.*field)());
    return result;
}

} // namespace

void CatalogueTest::listKeepsOrderAndReachesEntriesByPositionOrKey() {
    WorldList worlds;
    worlds.Add("Valmora", "");
    worlds.Add("Frost March", "Frostmarch", "frost");
    worlds.Add("Isle of Dawn", "dawn");
    // A key in use, and a key (exact text) or position not in use, are errors;
    // removing moves the later entries up by one, keys with them.
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Add("Other", "other", "frost"));
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Item("Frost"));
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Item(""));
    QVERIFY_THROWS_EXCEPTION(WorldListError, worlds.Item(4));
    worlds.Remove(1);
    QCOMPARE(worlds.Item("frost").DisplayName() + worlds.Item(2).DirLabel(), "Frost Marchdawn");
}

void CatalogueTest::worldFilesOfTheGameDirectory() {
    TestSupport::RawTempDir tmp;
    const QString game = tmp.path() + "/Korvath 2";
    LocalFileSystem fileSystem;
    // A game directory that went away after its check: the default world alone.
    WorldList gone;
    WorldCatalogue::ReadWorlds(fileSystem, game + "/", gone);
    QCOMPARE(column(gone, &WorldData::DirLabel), QStringList{""});

    QCOMPARE(InstallationBuilder::build(game), QString());
    const QList<QPair<QString, QByteArray>> files = {
        {"FROST.INI", "DisplayName=Shouting"},
        {"Frost.ini.ini", "DisplayName=Double"},
        {".ini", "DisplayName=Label-less"},
        {"...ini", "DisplayName=Dots"},
        {"Tales...ini", "DisplayName=Tales"},
        {"tab\there.ini", "DisplayName=Tab"},
        {"notes.ini", "verbose=1"},
        {"long.ini", "displayname=" + QByteArray(600, 'x')},
        {"Roster_Frostmarch/inner.ini", "DisplayName=Inside"},
    };
    for (const auto& [name, line] : files)
        QVERIFY(write(game + "/" + name, "[WorldData]\n" + line + "\n"));
    // A folder named like a world file is none; a name that is not UTF-8 can be
    // neither switched nor packaged, so it is never listed.
    QVERIFY(QDir().mkpath(game + "/folder.ini"));
    QVERIFY(::mkfifo(QFile::encodeName(game) + "/\xE9t\xE9.ini", 0600) == 0);

    WorldList worlds;
    WorldCatalogue::ReadWorlds(fileSystem, game + "/", worlds);
    QCOMPARE(column(worlds, &WorldData::DisplayName),
             QStringList({"Valmora (Default Korvath World)", "Isle of Dawn", "Double",
                          "Frost March", QString(511, 'x'), "", "Tales"}));
    // Only labels that can name a world's folders: not "", "..", nor one with a tab.
    QCOMPARE(column(worlds, &WorldData::DirLabel),
             QStringList({"", "dawn", "Frost", "Frostmarch", "long", "notes", "Tales.."}));
}

void CatalogueTest::readsValues_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const QByteArray& content, const QString& expected) {
        QTest::newRow(name) << content << expected;
    };
    const QByteArray head = "[WorldData]\nDisplayName=";
    const QByteArray x600 = QByteArray("abcdefghij").repeated(60);
    const QByteArray wolf = QByteArray("\xF0\x9F\x90\xBA").repeated(600); // U+1F43A

    row("CR LF, no final line end", "[WorldData]\r\nDisplayName=Frost March", "Frost March");
    row("byte-order mark", "\xEF\xBB\xBF[WorldData]\r\nDisplayName=Frost March\r\n", "Frost March");
    row("names without regard to case", "[WORLDDATA]\nDISPLAYNAME=Loud\n", "Loud");
    row("blanks trimmed", "  [ WorldData ]  \n \tDisplayName \t=  Isle  of  \t\n", "Isle  of");
    row("double quotes removed, spaces inside kept", head + "\"  Quoted  \"\n", "  Quoted  ");
    row("single quotes removed", head + "'Single'\n", "Single");
    row("unmatched quotes kept", head + "\"Half'\n", "\"Half'");
    row("semicolon inside a value", head + "Ice; Fire ;and Ash\n", "Ice; Fire ;and Ash");
    row("equals sign inside a value", head + "a=b=c\n", "a=b=c");
    row("first key wins", head + "First\ndisplayname=Second\n", "First");
    row("only the first section of the name", "[WorldData]\n[Other]\n" + head + "2\n", kDefault);
    row("key in another section only", "[Other]\nDisplayName=Elsewhere\n[WorldData]\n", kDefault);
    row("empty value is not the default", head + "\n", "");
    row("longer key names", "[WorldData]\nDisplayNameX=No\nDisplay Name=No\n", kDefault);
    row("line without equals sign", "[WorldData]\nDisplayName\nDisplayName=Yes\n", "Yes");
    row("single-byte code page text", head + "M\xE4rchen\n", QString::fromUtf8("M\xC3\xA4rchen"));
    row("binary garbage",
        BYTES("\x00\xFF\n\x7F\x80[\x00]\n[WorldData]\nDisplayName=Ok\n\xFF\x00\n"), "Ok");
    row("header without closing bracket", "[WorldData\nDisplayName=Lenient\n", "Lenient");
    row("600 characters cut to 511", head + x600 + "\r\n", QString::fromLatin1(x600.left(511)));
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

void CatalogueTest::readsValues() {
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QTemporaryDir tmp;
    const QString path = tmp.path() + "/world.ini";
    QVERIFY(write(path, content));
    QCOMPARE(read(path), expected);
}

void CatalogueTest::unreadableFilesGiveTheDefault() {
    QTemporaryDir tmp;
    const QString root = tmp.path() + "/";
    // A pipe named like a world file must not block the reader.
    QVERIFY(::mkfifo(QFile::encodeName(root + "pipe.ini").constData(), 0600) == 0);
    QCOMPARE(read(root + "pipe.ini") + read(root + "missing.ini"), kDefault + kDefault);

    // A 4 GiB sparse file costs no more than a small one: its end is never reached.
    QFile huge(root + "huge.ini");
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(4) << 30));
    QVERIFY(huge.seek(huge.size()) && huge.write("\n[WorldData]\nDisplayName=End\n") > 0);
    huge.close();
    QCOMPARE(read(root + "huge.ini"), kDefault);
}

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
