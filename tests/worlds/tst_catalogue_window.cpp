// The world catalogue as the window shows it: both world lists after start-up, and
// the repair of a left-over world before the catalogue is read.
#include "TestSupport.h"
#include "WorldsTestSupport.h"
#include "app/ui/ListBox.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace TestSupport;
using namespace WorldsTest;

class CatalogueWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { fatalErrors().clear(); }
    void bothListsShowTheCatalogue();
    void withoutWorldFilesOnlyTheDefaultWorldIsListed();
    void leftOverWorldIsSwitchedOutBeforeTheCatalogueIsRead();
};

namespace {

QStringList lines(const ListBox* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result.append(list->item(i)->text());
    return result;
}

// Both lists show the catalogue in its order, line k belonging to entry k + 1, and
// line 0 is selected in each.
void verifyLists(Form1& window, const QStringList& names, const QStringList& labels) {
    QCOMPARE(lines(window.PlayerWorldList), names);
    QCOMPARE(lines(window.CreatorWorldList), names);
    QCOMPARE(window.PlayerWorldList->ListIndex(), 0);
    QCOMPARE(window.CreatorWorldList->ListIndex(), 0);
    WorldList& worlds = window.launcherState().Worlds();
    QCOMPARE(worlds.Count(), names.size());
    for (int k = 0; k < names.size(); ++k) {
        QCOMPARE(worlds.Item(k + 1).DisplayName(), names[k]);
        QCOMPARE(worlds.Item(k + 1).DirLabel(), labels[k]);
    }
}

const QString kDefaultName = QStringLiteral("Valmora (Default Korvath World)");

} // namespace

void CatalogueWindowTest::bothListsShowTheCatalogue() {
    QTemporaryDir tmp;
    const QString game = tmp.path() + "/Korvath 2";
    QCOMPARE(InstallationBuilder::build(game), QString());
    auto write = [&](const QString& name, const QByteArray& content) {
        return InstallationBuilder::writeFile(game + "/" + name, content);
    };
    QCOMPARE(write("FROST.INI", "[WorldData]\nDisplayName=Shouting\n"), QString());
    QCOMPARE(write("Frost.Ini", "[WorldData]\nDisplayName=Mixed\n"), QString());
    QCOMPARE(write("Frost.ini.ini", "[WorldData]\nDisplayName=Double\n"), QString());
    QCOMPARE(write(".ini", "[WorldData]\nDisplayName=Label-less\n"), QString());
    QCOMPARE(write("notes.ini", "; not a world at all\nverbose=1\n"), QString());
    QCOMPARE(write("long.ini", "[worlddata]\ndisplayname=" + QByteArray(600, 'x') + "\n"),
             QString());
    QCOMPARE(write("Data/extra.ini", "[WorldData]\nDisplayName=Too deep\n"), QString());
    QCOMPARE(write("Roster_Frostmarch/inner.ini", "[WorldData]\nDisplayName=Inside\n"), QString());
    // Things named like world files that are not plain files.
    QVERIFY(QDir().mkpath(game + "/folder.ini"));
    QVERIFY(::mkfifo(QFile::encodeName(game + "/pipe.ini").constData(), 0600) == 0);

    WindowFixture fixture(tmp.path());
    fixture.presetSetting("KVDir", game + "/");
    Form1& window = fixture.create();
    QVERIFY2(fatalErrors().isEmpty(), qPrintable(fatalErrors().join('\n')));
    QCOMPARE(window.launcherState().gameDir, game + "/");
    verifyLists(window,
                {kDefaultName, "Label-less", "Isle of Dawn", "Double", "Frost March",
                 QString(511, 'x'), "", ""},
                {"", "", "dawn", "Frost", "Frostmarch", "long", "notes", "pipe"});
}

void CatalogueWindowTest::withoutWorldFilesOnlyTheDefaultWorldIsListed() {
    QTemporaryDir tmp;
    const QString game = tmp.path() + "/game";
    InstallationBuilder::Options options;
    options.withWorlds = false;
    QCOMPARE(InstallationBuilder::build(game, options), QString());
    WindowFixture fixture(tmp.path());
    fixture.presetSetting("KVDir", game + "/");
    Form1& window = fixture.create();
    QVERIFY2(fatalErrors().isEmpty(), qPrintable(fatalErrors().join('\n')));
    verifyLists(window, {kDefaultName}, {""});
}

void CatalogueWindowTest::leftOverWorldIsSwitchedOutBeforeTheCatalogueIsRead() {
    QTemporaryDir tmp;
    const QString game = tmp.path() + "/game";
    QCOMPARE(InstallationBuilder::build(game), QString());
    const QStringList before = snapshot(game);
    // An earlier launcher ended while Frost March was in: Roster and Items fully
    // switched, Tomes stowed but not yet replaced.
    const QString B = "{6A6A6A6A-7B7B-8C8C-9D9D-0E0E0E0E0E0E}";
    auto rename = [&](const QString& from, const QString& to) {
        return QDir(game).rename(from, to);
    };
    QVERIFY(rename("Roster", "Roster-" + B));
    QVERIFY(rename("Roster_Frostmarch", "Roster"));
    QVERIFY(rename("Data/Graphics/Items", "Data/Graphics/Items-" + B));
    QVERIFY(rename("Data/Graphics/Items_Frostmarch", "Data/Graphics/Items"));
    QVERIFY(rename("Tomes", "Tomes-" + B));

    WindowFixture fixture(tmp.path());
    fixture.presetSetting("KVDir", game + "/");
    fixture.presetSetting("lastDirLabel", "Frostmarch");
    fixture.presetSetting("lastBackupLabel", B);
    FaultPlan plan; // counts and logs only
    fixture.createFileSystem = [&plan] { return std::make_unique<FaultyFileSystem>(plan); };
    Form1& window = fixture.create();
    QVERIFY2(fatalErrors().isEmpty(), qPrintable(fatalErrors().join('\n')));

    QCOMPARE(snapshot(game), before);
    int listing = plan.log.indexOf("list Files " + game);
    if (listing < 0)
        listing = plan.log.indexOf("list Files " + game + "/");
    QVERIFY2(listing >= 0, qPrintable(plan.log.join('\n')));
    int lastRename = -1;
    for (int i = 0; i < plan.log.size(); ++i)
        lastRename = plan.log[i].startsWith("rename ") ? i : lastRename;
    QVERIFY(lastRename >= 0 && lastRename < listing);
    verifyLists(window, {kDefaultName, "Isle of Dawn", "Frost March"}, {"", "dawn", "Frostmarch"});
    // The labels stay as they were: nothing was launched.
    QCOMPARE(fixture.storedSetting("lastBackupLabel"), B);
    QCOMPARE(fixture.storedSetting("lastDirLabel"), "Frostmarch");
}

QTEST_MAIN(CatalogueWindowTest)
#include "tst_catalogue_window.moc"
