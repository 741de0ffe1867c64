// The directory panel in the real window: start-up check, browsing with the two
// lists, the three panel states.
#include "InstallationBuilder.h"
#include "TestSupport.h"
#include "app/ui/TabControl.h"
#include "gamedir/ui/DirListBox.h"
#include "gamedir/ui/DriveListBox.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

using TestSupport::FakeDriveFileSystem;
using TestSupport::WindowFixture;

namespace {

const QString kWarning = QStringLiteral("Warning: This directory does NOT contain a Korvath II "
                                        "installation. Please select a different directory.");

// Fake drives, one of them the real root "/", which holds the game here.
class GameAtRootFileSystem : public FakeDriveFileSystem {
public:
    bool FileExists(const QString& path) override {
        return path == QLatin1String("/korvath2.exe") || FakeDriveFileSystem::FileExists(path);
    }
};

bool openLine(QListWidget* list, const QString& text, bool byEnter = false) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    if (found.size() != 1)
        return false;
    list->setFocus();
    list->setCurrentItem(found.first());
    if (byEnter) {
        QTest::keyClick(list, Qt::Key_Return);
    } else {
        list->scrollToItem(found.first());
        const QPoint centre = list->visualItemRect(found.first()).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
    }
    return true;
}

// The drive list is a drop-down: the user steps through it with the keys.
void pickDrive(QComboBox* drives, Qt::Key key) {
    drives->setFocus();
    QTest::keyClick(drives, key);
}

// The panel's state as the user and the settings file see it: valid for dir,
// invalid when dir is empty.
#define VERIFY_PANEL(fixture, dir)                                                                 \
    do {                                                                                           \
        Form1& w_ = *(fixture).window;                                                             \
        const QString dir_ = (dir);                                                                \
        QCOMPARE(w_.launcherState().gameDir, dir_);                                                \
        QCOMPARE((fixture).storedSetting("KVDir"), dir_);                                          \
        QCOMPARE(w_.KVDirErrorLabel->text(), dir_.isEmpty() ? kWarning : QString());               \
        QCOMPARE(w_.LauncherTabs->TabEnabled(0), !dir_.isEmpty());                                 \
        QCOMPARE(w_.KVDirAutofindBtn->isEnabled(), dir_.isEmpty());                                \
        QCOMPARE(w_.KVDirAutofindBtn->text(), QStringLiteral("Autofind"));                         \
        if (dir_.isEmpty())                                                                        \
            QCOMPARE(w_.LauncherTabs->Tab(), 1);                                                   \
    } while (false)

} // namespace

class DirPanelTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void startup_data();
    void startup();
    void browsingWithTheDriveAndDirectoryLists();
    void validStateMovesBothListsStraightToGameDirectory();
    void mousePointerIsSetNotStacked();

private:
    std::unique_ptr<QTemporaryDir> tmp;
    QString originalDir;
};

void DirPanelTest::init() {
    TestSupport::fatalErrors().clear();
    tmp = std::make_unique<QTemporaryDir>();
    // The lists open on the process's current directory: make it a known one.
    originalDir = QDir::currentPath();
    QVERIFY(QDir().mkpath(tmp->path() + "/E/start"));
    QVERIFY(QDir::setCurrent(tmp->path() + "/E/start"));
}

void DirPanelTest::cleanup() {
    QDir::setCurrent(originalDir);
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    QCOMPARE(TestSupport::fatalErrors(), QStringList());
}

void DirPanelTest::startup_data() {
    QTest::addColumn<QString>("saved"); // "-" for no setting at all
    QTest::addColumn<bool>("valid");
    QTest::newRow("with closing separator") << "/Games/Korvath 2/" << true;
    QTest::newRow("without closing separator") << "/Games/Korvath 2" << true;
    // The lists show the folder as it is on disk; the game directory follows them.
    QTest::newRow("other letter case") << "/games/KORVATH 2/" << true;
    QTest::newRow("first start") << "-" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("lost its executable") << "/Lost/Korvath 2/" << false;
    QTest::newRow("only the folders") << "/Folders/" << false;
}

void DirPanelTest::startup() {
    QFETCH(QString, saved);
    QFETCH(bool, valid);
    const QString game = tmp->path() + "/Games/Korvath 2";
    QCOMPARE(InstallationBuilder::build(game), QString());
    QCOMPARE(InstallationBuilder::build(tmp->path() + "/Lost/Korvath 2"), QString());
    QVERIFY(QFile::remove(tmp->path() + "/Lost/Korvath 2/korvath2.exe"));
    for (const QString& folder : InstallationBuilder::kContentFolders)
        QVERIFY(QDir().mkpath(tmp->path() + "/Folders/" + folder));
    WindowFixture fixture(tmp->path());
    if (saved != "-")
        fixture.presetSetting("KVDir", saved.isEmpty() ? QString() : tmp->path() + saved);
    Form1& w = fixture.create();

    VERIFY_PANEL(fixture, valid ? game + "/" : QString());
    QCOMPARE(w.LauncherTabs->Tab(), valid ? 0 : 1);
    // An invalid panel stays on the opening directory, which the label names.
    QCOMPARE(w.KVDirDir->Path(), valid ? game : tmp->path() + "/E/start");
    QVERIFY(w.KVDirDir->Path().startsWith(w.KVDirDrive->Drive()));
    QCOMPARE(w.KVDirDirLabel->text(), QString(valid ? "/ .. /Korvath 2" : "/ .. /start"));
    QVERIFY(w.KVDirDir->isEnabled() && w.KVDirDrive->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
}

void DirPanelTest::browsingWithTheDriveAndDirectoryLists() {
    const QString d = tmp->path() + "/D", e = tmp->path() + "/E", x = tmp->path() + "/X";
    const QString game = d + "/Games/Korvath 2";
    QCOMPARE(InstallationBuilder::build(game), QString());
    QVERIFY(QDir().mkpath(x + "/Games")); // there, but the drive reports it is not ready
    WindowFixture fixture(tmp->path());
    fixture.createFileSystem = [d, e, x] {
        auto fs = std::make_unique<GameAtRootFileSystem>();
        for (const QString& root : {QStringLiteral("/"), d, e, x})
            fs->drives.append(FakeDriveFileSystem::driveAt(root));
        fs->failingDrives = {x};
        return fs;
    };
    Form1& w = fixture.create();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.KVDirDrive->Drive(), e); // the drive of the opening directory

    // From D's root down two levels: invalid, invalid, valid.
    pickDrive(w.KVDirDrive, Qt::Key_Up);
    QCOMPARE(w.KVDirDir->Path(), d);
    VERIFY_PANEL(fixture, QString());
    QCOMPARE(w.KVDirDirLabel->text(), QStringLiteral("/ .. /D"));
    QVERIFY(openLine(w.KVDirDir, "Games"));
    VERIFY_PANEL(fixture, QString());
    QVERIFY(openLine(w.KVDirDir, "Korvath 2", true));
    VERIFY_PANEL(fixture, game + "/");
    QCOMPARE(w.KVDirDirLabel->text(), QStringLiteral("/ .. /Korvath 2"));
    QCOMPARE(w.LauncherTabs->Tab(), 1); // the Configuration tab stays in front

    // Leaving it clears the setting at once; coming back writes it again.
    QVERIFY(openLine(w.KVDirDir, "Games"));
    VERIFY_PANEL(fixture, QString());
    QVERIFY(openLine(w.KVDirDir, "Korvath 2"));
    VERIFY_PANEL(fixture, game + "/");

    // A drive that cannot be read changes nothing but the drive list itself.
    pickDrive(w.KVDirDrive, Qt::Key_End);
    QCOMPARE(w.KVDirDrive->Drive(), x);
    QCOMPARE(w.KVDirDir->Path(), game);
    QCOMPARE(w.KVDirDirLabel->text(), QStringLiteral("/ .. /Korvath 2"));
    VERIFY_PANEL(fixture, game + "/");

    // The root of a drive that holds the game keeps its single separator.
    pickDrive(w.KVDirDrive, Qt::Key_Home);
    QCOMPARE(w.KVDirDir->Path(), QStringLiteral("/"));
    VERIFY_PANEL(fixture, QStringLiteral("/"));
    QCOMPARE(w.KVDirDirLabel->text(), QStringLiteral("/"));

    // The Launcher tab can now be chosen by the user.
    QTabBar* bar = w.LauncherTabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    QCOMPARE(w.LauncherTabs->Tab(), 0);
}

void DirPanelTest::validStateMovesBothListsStraightToGameDirectory() {
    // A found directory is handed over as gameDir, then the valid state, with both
    // lists still elsewhere.
    const QString d = tmp->path() + "/D", e = tmp->path() + "/E";
    const QString game = d + "/Games/Korvath 2";
    QCOMPARE(InstallationBuilder::build(game), QString());
    WindowFixture fixture(tmp->path());
    fixture.createFileSystem = [d, e] {
        auto fs = std::make_unique<FakeDriveFileSystem>();
        fs->drives = {FakeDriveFileSystem::driveAt(d), FakeDriveFileSystem::driveAt(e)};
        return fs;
    };
    Form1& w = fixture.create();
    QSignalSpy dirChanges(w.KVDirDir, &DirListBox::Change);

    w.launcherState().gameDir = game + "/";
    w.SetDirPanelValid();
    QCOMPARE(w.KVDirDrive->Drive(), d);
    QCOMPARE(dirChanges.count(), 1); // not by way of D's root
    QCOMPARE(w.KVDirDir->Path(), game);
    VERIFY_PANEL(fixture, game + "/");
    QCOMPARE(w.KVDirDirLabel->text(), QStringLiteral("/ .. /Korvath 2"));
    w.SetDirPanelValid(); // the lists are in place: nothing moves
    QCOMPARE(dirChanges.count(), 1);

    // Afterwards the drive list moves the directory list again.
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    pickDrive(w.KVDirDrive, Qt::Key_Down);
    QCOMPARE(w.KVDirDir->Path(), e);
    VERIFY_PANEL(fixture, QString());
}

void DirPanelTest::mousePointerIsSetNotStacked() {
    WindowFixture fixture(tmp->path());
    Form1& w = fixture.create();
    QApplication::setOverrideCursor(Qt::WaitCursor); // left by someone else
    w.SetDirPanelSearching();
    w.SetDirPanelSearching();
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    QVERIFY(!w.KVDirDir->isEnabled() && !w.KVDirDrive->isEnabled());
    QCOMPARE(w.KVDirAutofindBtn->text(), QStringLiteral("Cancel"));
    QCOMPARE(w.KVDirErrorLabel->text(),
             QStringLiteral("\r\nSearching for Korvath II directory. Please wait..."));

    w.SetDirPanelInvalid();
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(w.KVDirDir->isEnabled() && w.KVDirDrive->isEnabled());
    VERIFY_PANEL(fixture, QString());
}

QTEST_MAIN(DirPanelTest)
#include "tst_dirpanel.moc"
