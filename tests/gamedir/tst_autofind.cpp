// The Autofind button in the real window: the search's outcome in the panel and the
// settings, Cancel, a double press, and the window closed while it runs.
#include "InstallationBuilder.h"
#include "app/ui/TabControl.h"
#include "gamedir/ui/DirListBox.h"
#include "gamedir/ui/DriveListBox.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <thread>

using TestSupport::FakeDriveFileSystem;
using TestSupport::WindowFixture;

namespace {

const QString kNothingFound = QStringLiteral("Warning: No Korvath II directory could be found on "
                                             "your computer. Please reinstall Korvath II.");
const QString kSearching = QStringLiteral("\r\nSearching for Korvath II directory. Please wait...");

// Drives that answer slowly, like a network share, so a search runs long enough to stop.
class SlowDriveFileSystem : public FakeDriveFileSystem {
public:
    QStringList listed;
    FolderListing listFolder(const QString& folderPath) override {
        listed.append(folderPath);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return FakeDriveFileSystem::listFolder(folderPath);
    }
};

// A click posted to the event queue, as one waits there while the program is busy.
void postClick(QWidget* button) {
    const QPointF pos = QRectF(button->rect()).center();
    const QPointF global = button->mapToGlobal(pos);
    QCoreApplication::postEvent(button,
                                new QMouseEvent(QEvent::MouseButtonPress, pos, global,
                                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(button,
                                new QMouseEvent(QEvent::MouseButtonRelease, pos, global,
                                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

// A window whose drives are the given folders of the test's temp folder.
template <class FS = FakeDriveFileSystem> struct AutofindWindow {
    WindowFixture fixture;
    FS* fs = nullptr;

    AutofindWindow(const QString& tempRoot, const QStringList& driveRoots,
                   const QStringList& notReady = {})
        : fixture(tempRoot) {
        fixture.createFileSystem = [this, driveRoots, notReady] {
            auto created = std::make_unique<FS>();
            for (const QString& root : driveRoots)
                created->drives.append(FakeDriveFileSystem::driveAt(root));
            for (const QString& root : notReady)
                created->failingDrives.insert(root);
            fs = created.get();
            return created;
        };
        fixture.create();
        fixture.window->show();
    }
    Form1& window() { return *fixture.window; }
    QPushButton* button() { return window().KVDirAutofindBtn; }
};

// Many folders, none holding the game.
void buildBusyTree(const QString& root, int folders) {
    for (int i = 0; i < folders; ++i)
        QDir().mkpath(QStringLiteral("%1/Folder%2/Sub%3").arg(root).arg(i / 10).arg(i % 10));
}

} // namespace

class AutofindTest : public QObject {
    Q_OBJECT
private slots:
    void init() { TestSupport::fatalErrors().clear(); }
    void cleanup() { QCOMPARE(TestSupport::fatalErrors(), QStringList()); }
    void nothingFoundThenFound();
    void cancelEndsTheRunningSearchQuickly();
    void pressedTwiceAtOnceStartsAndStops();
    void closingTheWindowEndsTheSearchAndTheProgram();
};

void AutofindTest::nothingFoundThenFound() {
    if (!TestSupport::runsUnprivileged())
        return;
    QTemporaryDir tmp;
    const QString a = tmp.path() + "/a", c = tmp.path() + "/c", d = tmp.path() + "/d";
    QVERIFY(QDir().mkpath(a));
    QVERIFY(QDir().mkpath(c + "/Users/Me/Documents"));
    QCOMPARE(InstallationBuilder::writeFile(c + "/Old/korvath2.exe.bak", "x"), QString());
    // The only copy of the game lies in a folder this user may not read.
    QCOMPARE(InstallationBuilder::build(d + "/Games/Korvath 2"), QString());
    auto locked = std::make_unique<TestSupport::FolderLock>(d + "/Games",
                                                            TestSupport::FolderLock::Unreadable);
    QVERIFY(locked->isSet());
    AutofindWindow<> w(tmp.path(), {a, c, d}, {a});
    w.fixture.settings->SaveSetting(kSettingsSection, "KVDir", "stale");
    Form1& window = w.window();

    // A whole search without a find ends in the invalid state with the message.
    QTest::mouseClick(w.button(), Qt::LeftButton);
    QCOMPARE(window.launcherState().gameDir, QString());
    QCOMPARE(w.fixture.storedSetting("KVDir"), QString());
    QCOMPARE(window.KVDirErrorLabel->text(), kNothingFound);
    QVERIFY(w.button()->isEnabled());
    QVERIFY(!window.LauncherTabs->TabEnabled(0));
    QCOMPARE(window.LauncherTabs->Tab(), 1);

    // Readable now: the next search finds it.
    locked.reset();
    QTest::mouseClick(w.button(), Qt::LeftButton);
    const QString gameDir = d + "/Games/Korvath 2/";
    QCOMPARE(window.launcherState().gameDir, gameDir);
    QCOMPARE(w.fixture.storedSetting("KVDir"), gameDir);
    QCOMPARE(window.KVDirDir->Path(), d + "/Games/Korvath 2");
    QCOMPARE(window.KVDirDrive->Drive(), d);
    QCOMPARE(window.KVDirDirLabel->text(), QStringLiteral("/ .. /Korvath 2"));
    QCOMPARE(window.KVDirErrorLabel->text(), QString());
    QVERIFY(!w.button()->isEnabled());
    QVERIFY(window.LauncherTabs->TabEnabled(0));
    // Both outcomes leave the panel usable and no busy pointer behind.
    QCOMPARE(w.button()->text(), QStringLiteral("Autofind"));
    QVERIFY(window.KVDirDir->isEnabled() && window.KVDirDrive->isEnabled());
    QVERIFY(!window.launcherState().searching);
    QVERIFY(!QApplication::overrideCursor());
}

void AutofindTest::cancelEndsTheRunningSearchQuickly() {
    QTemporaryDir tmp;
    const QString c = tmp.path() + "/c", d = tmp.path() + "/d";
    buildBusyTree(c, 600);
    QCOMPARE(InstallationBuilder::writeFile(d + "/korvath2.exe", "x"), QString());
    AutofindWindow<SlowDriveFileSystem> w(tmp.path(), {c, d});
    Form1& window = w.window();

    // Cancel pressed by a timer due part-way through, at the search's next yield.
    const int dueMs = 150;
    QElapsedTimer clock;
    bool wasRunning = false;
    QString progressShown;
    int listedBeforeCancel = 0;
    QTimer::singleShot(dueMs, Qt::PreciseTimer, this, [&] {
        wasRunning = window.launcherState().searching && w.button()->text() == "Cancel" &&
                     window.KVDirErrorLabel->text() == kSearching &&
                     !window.KVDirDir->isEnabled() && !window.KVDirDrive->isEnabled() &&
                     QApplication::overrideCursor();
        progressShown = window.KVDirDirLabel->text();
        listedBeforeCancel = int(w.fs->listed.size());
        QTest::mouseClick(w.button(), Qt::LeftButton);
    });
    clock.start();
    QTest::mouseClick(w.button(), Qt::LeftButton);
    const qint64 endedAfterDue = clock.elapsed() - dueMs;

    qInfo("Cancel ended the search %lld ms after it was pressed", endedAfterDue);
    QVERIFY2(wasRunning, "the search was not running when Cancel was pressed");
    QVERIFY2(endedAfterDue <= 50,
             qPrintable(QString("Cancel took %1 ms to end the search").arg(endedAfterDue)));
    QCOMPARE(int(w.fs->listed.size()), listedBeforeCancel); // nothing listed after Cancel
    QVERIFY(!w.fs->listed.contains(d));                     // the game's drive was never reached
    // The label named folders as they were finished.
    QVERIFY2(QRegularExpression("^/ \\.\\. /(Folder|Sub)\\d+$").match(progressShown).hasMatch(),
             qPrintable(progressShown));

    QCOMPARE(window.KVDirErrorLabel->text(), kNothingFound);
    QCOMPARE(w.button()->text(), QStringLiteral("Autofind"));
    QCOMPARE(w.fixture.storedSetting("KVDir"), QString());
    QVERIFY(!window.launcherState().searching);
}

void AutofindTest::pressedTwiceAtOnceStartsAndStops() {
    QTemporaryDir tmp;
    const QString d = tmp.path() + "/d";
    QCOMPARE(InstallationBuilder::build(d + "/Korvath 2"), QString());
    AutofindWindow<SlowDriveFileSystem> w(tmp.path(), {d});
    Form1& window = w.window();

    postClick(w.button());
    postClick(w.button());
    QTRY_COMPARE(window.KVDirErrorLabel->text(), kNothingFound);
    // The second press came at the search's first yield, before any folder.
    QCOMPARE(w.fs->listed, QStringList());
    QCOMPARE(w.button()->text(), QStringLiteral("Autofind"));
    // A single press then finds the game.
    postClick(w.button());
    QTRY_COMPARE(window.launcherState().gameDir, d + "/Korvath 2/");
}

void AutofindTest::closingTheWindowEndsTheSearchAndTheProgram() {
    QTemporaryDir tmp;
    const QString c = tmp.path() + "/c", d = tmp.path() + "/d";
    buildBusyTree(c, 600);
    QCOMPARE(InstallationBuilder::writeFile(d + "/korvath2.exe", "x"), QString());
    AutofindWindow<SlowDriveFileSystem> w(tmp.path(), {c, d});
    Form1& window = w.window();
    QVERIFY(QApplication::quitOnLastWindowClosed());

    // As in the program: the application's loop ends when the last window closes.
    bool clickReturned = false;
    int listedAtClose = -1;
    QTimer::singleShot(0, this, [&] {
        QTest::mouseClick(w.button(), Qt::LeftButton);
        clickReturned = true;
    });
    QTimer::singleShot(100, this, [&] {
        listedAtClose = int(w.fs->listed.size());
        window.close();
    });
    QTimer hang; // a search never ending
    hang.setSingleShot(true);
    connect(&hang, &QTimer::timeout, this, [] { QCoreApplication::exit(3); });
    hang.start(30000);
    const int status = QApplication::exec();

    QCOMPARE(status, 0);
    QVERIFY(clickReturned);
    QVERIFY(listedAtClose > 0);
    QCOMPARE(int(w.fs->listed.size()), listedAtClose);
    // The closed window was left as it was when it closed.
    QCOMPARE(window.KVDirErrorLabel->text(), kSearching);
    QCOMPARE(w.button()->text(), QStringLiteral("Cancel"));
    QCOMPARE(window.launcherState().gameDir, QString());
    QCOMPARE(w.fixture.storedSetting("KVDir"), QString());
    // The busy pointer does not outlive the search.
    QVERIFY(!QApplication::overrideCursor());
}

QTEST_MAIN(AutofindTest)
#include "tst_autofind.moc"
