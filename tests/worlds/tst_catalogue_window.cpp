// The world catalogue as the window shows it: both world lists after start-up, and
// the repair of a left-over world before the catalogue is read.
#include "WindowSupport.h"
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

const QString kDefaultName = QStringLiteral("Valmora (Default Korvath World)");

// Both lists show the catalogue in its order, line k belonging to entry k + 1, and
// line 0 is selected in each.
void verifyLists(Form1& window, const QStringList& names, const QStringList& labels) {
    QVERIFY2(fatalErrors().isEmpty(), qPrintable(fatalErrors().join('\n')));
    for (const ListBox* list : {window.PlayerWorldList, window.CreatorWorldList}) {
        QStringList lines;
        for (int i = 0; i < list->count(); ++i)
            lines.append(list->item(i)->text());
        QCOMPARE(lines, names);
        QCOMPARE(list->ListIndex(), 0);
    }
    WorldList& worlds = window.launcherState().Worlds();
    QCOMPARE(worlds.Count(), names.size());
    for (int k = 0; k < names.size(); ++k) {
        QCOMPARE(worlds.Item(k + 1).DisplayName(), names[k]);
        QCOMPARE(worlds.Item(k + 1).DirLabel(), labels[k]);
    }
}

} // namespace

void CatalogueWindowTest::bothListsShowTheCatalogue() {
    TestSupport::RawTempDir tmp;
    const QString game = tmp.path() + "/Korvath 2";
    QCOMPARE(InstallationBuilder::build(game), QString());
    const QList<QPair<QString, QByteArray>> files = {
        {"FROST.INI", "DisplayName=Shouting"},
        {"Frost.Ini", "DisplayName=Mixed"},
        {"Frost.ini.ini", "DisplayName=Double"},
        {".ini", "DisplayName=Label-less"},
        {"notes.ini", "verbose=1"},
        {"long.ini", "displayname=" + QByteArray(600, 'x')},
        {"Data/extra.ini", "DisplayName=Too deep"},
        {"Roster_Frostmarch/inner.ini", "DisplayName=Inside"},
    };
    for (const auto& [name, line] : files)
        QCOMPARE(InstallationBuilder::writeFile(game + "/" + name, "[WorldData]\n" + line + "\n"),
                 QString());
    // Things named like world files that are not plain files.
    QVERIFY(QDir().mkpath(game + "/folder.ini"));
    QVERIFY(::mkfifo(QFile::encodeName(game + "/pipe.ini").constData(), 0600) == 0);
    // Names that are not UTF-8 can be neither switched nor packaged: never listed.
    const QByteArray raw = QFile::encodeName(game);
    QVERIFY(::mkfifo(raw + "/\xE9t\xE9.ini", 0600) == 0);
    QVERIFY(::mkdir(raw + "/Tomes/caf\xE9", 0755) == 0);

    WindowFixture fixture(tmp.path());
    fixture.presetSetting("KVDir", game + "/");
    Form1& window = fixture.create();
    QCOMPARE(window.launcherState().gameDir, game + "/");
    verifyLists(window,
                {kDefaultName, "Label-less", "Isle of Dawn", "Double", "Frost March",
                 QString(511, 'x'), "", ""},
                {"", "", "dawn", "Frost", "Frostmarch", "long", "notes", "pipe"});
    QVERIFY(window.CreatorTomeList->count() > 0);
    for (int i = 0; i < window.CreatorTomeList->count(); ++i)
        QVERIFY(!window.CreatorTomeList->item(i)->text().contains(QChar::ReplacementCharacter));
}

void CatalogueWindowTest::withoutWorldFilesOnlyTheDefaultWorldIsListed() {
    QTemporaryDir tmp;
    const QString game = tmp.path() + "/game";
    InstallationBuilder::Options options;
    options.withWorlds = false;
    QCOMPARE(InstallationBuilder::build(game, options), QString());
    WindowFixture fixture(tmp.path());
    fixture.presetSetting("KVDir", game + "/");
    verifyLists(fixture.create(), {kDefaultName}, {""});
}

void CatalogueWindowTest::leftOverWorldIsSwitchedOutBeforeTheCatalogueIsRead() {
    QTemporaryDir tmp;
    const QString game = tmp.path() + "/game";
    QCOMPARE(InstallationBuilder::build(game), QString());
    const QStringList before = snapshot(game);
    // An earlier launcher ended while Frost March was in: Roster and Items fully
    // switched, Tomes stowed but not yet replaced.
    const QString B = "{6A6A6A6A-7B7B-8C8C-9D9D-0E0E0E0E0E0E}";
    for (const QString& folder : QStringList{"Roster", "Data/Graphics/Items"}) {
        QVERIFY(QDir(game).rename(folder, folder + "-" + B));
        QVERIFY(QDir(game).rename(folder + "_Frostmarch", folder));
    }
    QVERIFY(QDir(game).rename("Tomes", "Tomes-" + B));

    WindowFixture fixture(tmp.path());
    fixture.presetSetting("KVDir", game + "/");
    fixture.presetSetting("lastDirLabel", "Frostmarch");
    fixture.presetSetting("lastBackupLabel", B);
    FaultPlan plan; // counts and logs only
    fixture.createFileSystem = [&plan] { return std::make_unique<FaultyFileSystem>(plan); };
    Form1& window = fixture.create();

    QCOMPARE(snapshot(game), before);
    const int listing = plan.log.indexOf(
        QRegularExpression("^list Files " + QRegularExpression::escape(game) + "/?$"));
    const int lastRename = plan.log.lastIndexOf(QRegularExpression("rename .*"));
    QVERIFY2(lastRename >= 0 && lastRename < listing, qPrintable(plan.log.join('\n')));
    verifyLists(window, {kDefaultName, "Isle of Dawn", "Frost March"}, {"", "dawn", "Frostmarch"});
    // The labels stay as they were: nothing was launched.
    QCOMPARE(fixture.storedSetting("lastBackupLabel"), B);
    QCOMPARE(fixture.storedSetting("lastDirLabel"), "Frostmarch");
}

QTEST_MAIN(CatalogueWindowTest)
#include "tst_catalogue_window.moc"
