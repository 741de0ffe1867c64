// The names a world gives the content folders, and the folder a world's tomes are
// listed and packed from.
#include "TestSupport.h"
#include "worlds/FolderNames.h"
#include "worlds/FolderSwitching.h"

#include <QtTest>

namespace FN = FolderNames;

class FolderNamesTest : public QObject {
    Q_OBJECT
private slots:
    void names_data();
    void names();
};

namespace {

const QString B = QStringLiteral("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");

// The tomes folder of world label in a game directory holding folders: its name
// there, "(own)" when it is the world's own, "" when there is none.
QString tomesIn(const QStringList& folders, const QString& label) {
    QTemporaryDir tmp;
    const QString game = tmp.path() + '/';
    if (!TestSupport::makeTree(game, folders))
        return QStringLiteral("<not made>");
    LocalFileSystem fileSystem;
    const FolderSwitching::TomesFolder tomes = FolderSwitching::TomesOf(fileSystem, game, label);
    return tomes.path.mid(game.size()) + (tomes.worldsOwn ? " (own)" : "");
}

} // namespace

void FolderNamesTest::names_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* what, const QString& name, const QString& expected) {
        QTest::newRow(what) << name << expected;
    };
    row("version of a top-level folder, a label with spaces and dots",
        FN::VersionName("Roster", "Isle of Dawn.v2."), "Roster_Isle of Dawn.v2.");
    row("version of a nested folder, beside it", FN::VersionName("Data/Graphics/Items", "dawn"),
        "Items_dawn");
    row("version path in the installer's form", FN::WorldVersion("Data\\Graphics\\Items", "dawn"),
        "Data\\Graphics\\Items_dawn");
    row("stowed name, its backup label read back in another case",
        FN::StowedLabel(FN::StowedName("ITEMS", B.toLower()), "Items"), B.toLower());
    row("another folder's stowed name is none", FN::StowedLabel("Tiles-" + B, "Items"), "");
    row("stowed under a label that leads out is none",
        FN::StowedLabel("Roster-{0F1E2D3C-4B5A-6978-8796-/../../outsi}", "Roster"), "");
    row("tomes as installed, a world's own and the default",
        FN::InstalledTomes("dawn") + ' ' + FN::InstalledTomes(""), "tomes_dawn tomes");
    const QStringList both = {"Tomes/", "Tomes_dawn/"};
    row("tomes of a world with its own", tomesIn(both, "dawn"), "Tomes_dawn (own)");
    row("tomes of a world without its own", tomesIn(both, "frost"), "Tomes");
    row("default tomes by their exact name beside a twin", tomesIn({"tomes/", "Tomes/"}, ""),
        "Tomes");
    row("no tomes folder", tomesIn({"Roster/"}, "dawn"), "");
}

void FolderNamesTest::names() {
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(name, expected);
}

QTEST_GUILESS_MAIN(FolderNamesTest)
#include "tst_foldernames.moc"
