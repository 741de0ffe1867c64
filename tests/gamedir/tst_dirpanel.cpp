// The directory panel in the real window: browsing with the drive list and the
// directory list, the three panel states, and the Autofind button (its outcome,
// Cancel, a double press, the window closed while it searches).
#include "InstallationBuilder.h"
#include "app/ui/TabControl.h"
#include "gamedir/ui/DirListBox.h"
#include "gamedir/ui/DriveListBox.h"
#include "support/WindowSupport.h"

#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <thread>

using namespace TestSupport;

namespace {

// Drives of temp folders; the real root "/" holds the game here. Listings are
// recorded, and slow like a network share's when asked, so a search runs long
// enough to stop.
class Drives : public FakeDriveFileSystem {
public:
    QStringList listed;
    bool slow = false;
    bool FileExists(const QString& path) override {
        return path == QLatin1String("/korvath2.exe") || FakeDriveFileSystem::FileExists(path);
    }
    FolderListing listFolder(const QString& folderPath) override {
        listed.append(folderPath);
        if (slow)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return FakeDriveFileSystem::listFolder(folderPath);
    }
};

// A shown window whose drives are the given folders.
struct PanelWindow {
    WindowFixture fixture;
    Drives* fs = nullptr;

    PanelWindow(const QString& tempRoot, const QStringList& roots, const QStringList& notReady = {})
        : fixture(tempRoot) {
        fixture.createFileSystem = [this, roots, notReady] {
            auto created = std::make_unique<Drives>();
            for (const QString& root : roots)
                created->drives.append(FakeDriveFileSystem::driveAt(root));
            created->failingDrives = QSet<QString>(notReady.begin(), notReady.end());
            fs = created.get();
            return created;
        };
        fixture.createShown();
    }
    Form1& w() { return *fixture.window; }
    QPushButton* button() { return w().KVDirAutofindBtn; }
    QString mismatch(const QString& gameDir, const QString& message = kNotAnInstallation) {
        return dirPanelMismatch(fixture, gameDir, message);
    }
};

// Opens a line of the directory list by a double-click, or by Enter.
bool openLine(QListWidget* list, const QString& text, bool byEnter = false) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    if (found.size() != 1)
        return false;
    list->setFocus();
    list->setCurrentItem(found.first());
    list->scrollToItem(found.first());
    const QPoint centre = list->visualItemRect(found.first()).center();
    if (byEnter) {
        QTest::keyClick(list, Qt::Key_Return);
    } else {
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

// A click posted to the event queue, as one waits there while the program is busy.
void postClick(QWidget* button) {
    const QPointF pos = QRectF(button->rect()).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(
            button,
            new QMouseEvent(type, pos, button->mapToGlobal(pos), Qt::LeftButton,
                            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                            Qt::NoModifier));
}

// Many folders, none holding the game.
void buildBusyTree(const QString& root) {
    for (int i = 0; i < 600; ++i)
        QDir().mkpath(QStringLiteral("%1/Folder%2/Sub%3").arg(root).arg(i / 10).arg(i % 10));
}

} // namespace

class DirPanelTest : public QObject {
    Q_OBJECT
private slots:
    void init() { fatalErrors().clear(); }
    void cleanup() { QCOMPARE(fatalErrors(), QStringList()); }
    void browsingWithTheDriveAndDirectoryLists();
    void autofindNothingFoundThenFound();
    void autofindStopsOnCancelAndWhenTheWindowCloses();
};

void DirPanelTest::browsingWithTheDriveAndDirectoryLists() {
    QTemporaryDir tmp;
    const QString d = tmp.path() + "/D", e = tmp.path() + "/E", x = tmp.path() + "/X";
    const QString game = d + "/Games/Korvath 2";
    QVERIFY(makeTree(d, {"Games/Korvath 2/korvath2.exe", "Games/alpha/", "Games/Old/"}));
    QVERIFY(makeTree(x, {"Games/"})); // there, but the drive reports it is not ready
    // The lists open on the process's current directory: make it a known one.
    const QString originalDir = QDir::currentPath();
    QVERIFY(QDir().mkpath(e + "/start") && QDir::setCurrent(e + "/start"));
    const auto restoreDir = qScopeGuard([&] { QDir::setCurrent(originalDir); });
    PanelWindow p(tmp.path(), {"/", d, e, x}, {x});
    Form1& w = p.w();
    QSignalSpy changes(w.KVDirDir, &DirListBox::Change);
    QCOMPARE(w.KVDirDrive->Drive(), e); // the drive of the opening directory

    // From D's root down two levels: invalid, invalid, valid.
    pickDrive(w.KVDirDrive, Qt::Key_Up);
    QCOMPARE(w.KVDirDir->Path(), d);
    QCOMPARE(w.KVDirDirLabel->text(), QStringLiteral("/ .. /D"));
    QVERIFY(openLine(w.KVDirDir, "Games"));
    QCOMPARE(p.mismatch(""), QString());
    // The path from the root down, each a step further in, then the subfolders.
    const QStringList chain = QStringList("/") + (d + "/Games").split('/', Qt::SkipEmptyParts);
    QStringList shown;
    for (int i = 0; i < w.KVDirDir->count(); ++i)
        shown << w.KVDirDir->item(i)->text();
    QCOMPARE(shown, chain + QStringList({"alpha", "Korvath 2", "Old"}));
    QCOMPARE(w.KVDirDir->item(chain.size())->data(DirListBox::LevelRole).toInt(), chain.size());
    QCOMPARE(w.KVDirDir->currentRow(), chain.size() - 1);
    // A single click only selects.
    QListWidgetItem* old = w.KVDirDir->findItems("Old", Qt::MatchExactly).value(0);
    QTest::mouseClick(w.KVDirDir->viewport(), Qt::LeftButton, {},
                      w.KVDirDir->visualItemRect(old).center());
    QCOMPARE(w.KVDirDir->Path(), d + "/Games");
    QVERIFY(openLine(w.KVDirDir, "Korvath 2", true));
    QCOMPARE(p.mismatch(game + "/"), QString());
    QCOMPARE(w.KVDirDirLabel->text(), QStringLiteral("/ .. /Korvath 2"));
    QCOMPARE(w.LauncherTabs->Tab(), 1); // the Configuration tab stays in front
    // Opening the current line, or setting the directory it shows in any spelling,
    // moves nothing.
    QVERIFY(openLine(w.KVDirDir, "Korvath 2"));
    for (const QString& same : {game, d + "//Games//Korvath 2/", d + "/GAMES/korvath 2"})
        QVERIFY2(!w.KVDirDir->SetPath(same), qPrintable(same));
    QCOMPARE(changes.count(), 3);

    // Leaving it clears the setting at once; coming back writes it again. A folder
    // that went away meanwhile is not entered, and the list shows what is there now.
    QVERIFY(openLine(w.KVDirDir, "Games"));
    QCOMPARE(p.mismatch(""), QString());
    QVERIFY(QDir(d + "/Games/Old").removeRecursively());
    QVERIFY(openLine(w.KVDirDir, "Old"));
    QCOMPARE(w.KVDirDir->Path(), d + "/Games");
    QVERIFY(w.KVDirDir->findItems("Old", Qt::MatchExactly).isEmpty());
    QVERIFY(openLine(w.KVDirDir, "Korvath 2"));
    QCOMPARE(p.mismatch(game + "/"), QString());

    // A drive that cannot be read changes nothing but the drive list itself.
    pickDrive(w.KVDirDrive, Qt::Key_End);
    QCOMPARE(w.KVDirDrive->Drive(), x);
    QCOMPARE(w.KVDirDir->Path(), game);
    QCOMPARE(w.KVDirDirLabel->text(), QStringLiteral("/ .. /Korvath 2"));
    QCOMPARE(p.mismatch(game + "/"), QString());

    // The root of a drive that holds the game keeps its single separator.
    pickDrive(w.KVDirDrive, Qt::Key_Home);
    QCOMPARE(w.KVDirDir->Path(), QStringLiteral("/"));
    QCOMPARE(p.mismatch("/"), QString());
    QCOMPARE(w.KVDirDirLabel->text(), QStringLiteral("/"));

    // A drive mounted meanwhile shows up when the list is opened; the chosen drive
    // stays chosen and nothing is raised.
    p.fs->drives.prepend(FakeDriveFileSystem::driveAt(tmp.path() + "/S"));
    p.fs->drives.first().label = "STICK";
    static_cast<QComboBox*>(w.KVDirDrive)->showPopup();
    w.KVDirDrive->hidePopup();
    QCOMPARE(w.KVDirDrive->itemText(0), tmp.path() + "/S [STICK]");
    QCOMPARE(w.KVDirDrive->currentIndex(), 1);
    QCOMPARE(w.KVDirDir->Path(), QStringLiteral("/"));

    // The Launcher tab can now be chosen by the user.
    clickTab(w.LauncherTabs, 0);
    QCOMPARE(w.LauncherTabs->Tab(), 0);
}

void DirPanelTest::autofindNothingFoundThenFound() {
    if (!runsUnprivileged())
        return;
    QTemporaryDir tmp;
    const QString a = tmp.path() + "/a", c = tmp.path() + "/c", d = tmp.path() + "/d";
    QVERIFY(makeTree(c, {"Users/Me/Documents/", "Old/korvath2.exe.bak"}));
    // The only copy of the game lies in a folder this user may not read.
    QCOMPARE(InstallationBuilder::build(d + "/Games/Korvath 2"), QString());
    auto locked = std::make_unique<FolderLock>(d + "/Games", FolderLock::Unreadable);
    QVERIFY(locked->isSet());
    PanelWindow p(tmp.path(), {a, c, d}, {a}); // a: not ready
    p.fixture.settings->SaveSetting(kSettingsSection, "KVDir", "stale");

    // A whole search without a find ends in the invalid state with the message.
    QTest::mouseClick(p.button(), Qt::LeftButton);
    QCOMPARE(p.mismatch("", kNothingFound), QString());

    // Readable now: the next search finds it; the lists move to it.
    locked.reset();
    QTest::mouseClick(p.button(), Qt::LeftButton);
    QCOMPARE(p.mismatch(d + "/Games/Korvath 2/"), QString());
    QCOMPARE(p.w().KVDirDir->Path(), d + "/Games/Korvath 2");
    QCOMPARE(p.w().KVDirDrive->Drive(), d);
    QCOMPARE(p.w().KVDirDirLabel->text(), QStringLiteral("/ .. /Korvath 2"));
    QVERIFY(!p.w().launcherState().searching);
}

void DirPanelTest::autofindStopsOnCancelAndWhenTheWindowCloses() {
    QTemporaryDir tmp;
    const QString c = tmp.path() + "/c", d = tmp.path() + "/d";
    buildBusyTree(c);
    QVERIFY(makeTree(d, {"korvath2.exe"}));
    PanelWindow p(tmp.path(), {c, d});
    p.fs->slow = true;
    Form1& w = p.w();

    // Pressed twice at once: the second press comes at the search's first yield,
    // before any folder.
    postClick(p.button());
    postClick(p.button());
    QTRY_COMPARE(w.KVDirErrorLabel->text(), kNothingFound);
    QCOMPARE(p.fs->listed, QStringList());
    QCOMPARE(p.mismatch("", kNothingFound), QString());

    // Cancel pressed part-way through, at one of the search's yields: nothing is
    // listed after it, and the game's drive is never reached.
    bool wasRunning = false;
    QString progressShown;
    int listedBeforeCancel = 0;
    QTimer::singleShot(150, this, [&] {
        wasRunning = w.launcherState().searching && p.button()->text() == "Cancel" &&
                     w.KVDirErrorLabel->text() == kSearching && !w.KVDirDir->isEnabled() &&
                     !w.KVDirDrive->isEnabled() && QApplication::overrideCursor() &&
                     QApplication::overrideCursor()->shape() == Qt::BusyCursor;
        progressShown = w.KVDirDirLabel->text();
        listedBeforeCancel = int(p.fs->listed.size());
        QTest::mouseClick(p.button(), Qt::LeftButton);
    });
    QTest::mouseClick(p.button(), Qt::LeftButton);
    QVERIFY2(wasRunning, "the search was not running when Cancel was pressed");
    QCOMPARE(int(p.fs->listed.size()), listedBeforeCancel);
    QVERIFY(listedBeforeCancel > 1 && !p.fs->listed.contains(d));
    // The label named folders as they were finished.
    QVERIFY2(QRegularExpression("^/ \\.\\. /(Folder|Sub)\\d+$").match(progressShown).hasMatch(),
             qPrintable(progressShown));
    QCOMPARE(p.mismatch("", kNothingFound), QString());
    QVERIFY(!w.launcherState().searching);

    // Closed while a search runs: the search ends without touching the window, and
    // the program ends as the application's loop does when the last window closes.
    QVERIFY(QApplication::quitOnLastWindowClosed());
    bool clickReturned = false;
    int listedAtClose = -1;
    QTimer::singleShot(0, this, [&] {
        QTest::mouseClick(p.button(), Qt::LeftButton);
        clickReturned = true;
    });
    QTimer::singleShot(100, this, [&] {
        listedAtClose = int(p.fs->listed.size());
        w.close();
    });
    QTimer::singleShot(30000, this, [] { QCoreApplication::exit(3); }); // a search never ending
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(clickReturned && listedAtClose > listedBeforeCancel);
    QCOMPARE(int(p.fs->listed.size()), listedAtClose);
    // The window was left as it was when it closed, and nothing was saved.
    QCOMPARE(w.KVDirErrorLabel->text(), kSearching);
    QCOMPARE(p.button()->text(), QStringLiteral("Cancel"));
    QCOMPARE(w.launcherState().gameDir, QString());
    QCOMPARE(p.fixture.storedSetting("KVDir"), QString());
    // The busy pointer does not outlive the search.
    QVERIFY(!QApplication::overrideCursor());
}

QTEST_MAIN(DirPanelTest)
#include "tst_dirpanel.moc"
