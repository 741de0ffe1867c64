// The Player panel through the real window: the start-up's wait for a game that an
// earlier run left running and its repair, the world lists, the launch and what the
// game sees, the launch's problems in the label, and the single-instance guard.
#include "WorldsTestSupport.h"
#include "app/ui/ListBox.h"
#include "app/ui/ProblemTexts.h"
#include "app/ui/RunLauncher.h"
#include "app/ui/SingleInstance.h"
#include "app/ui/TabControl.h"
#include "gamedir/ui/DirListBox.h"
#include "gamedir/ui/DriveListBox.h"
#include "platform/InstanceLock.h"
#include "support/WindowSupport.h"
#include "worlds/DesktopEntries.h"

#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QWindow>
#include <QtTest>

#include <sys/stat.h>

using namespace TestSupport;
using WorldsTest::markerOf;
using WorldsTest::snapshot;
using WorldsTest::write;

class LaunchTest : public QObject {
    Q_OBJECT
private slots:
    void init() { fatalErrors().clear(); }
    void cleanup() { QVERIFY2(fatalErrors().isEmpty(), qPrintable(fatalErrors().join('\n'))); }
    void startUpWaitsForAnEarlierGameThenRepairs();
    void launchButtonPlaysTheSelectedWorld();
    void launchProblemsAreSaidInTheLabel();
    void listsFillWhenADirectoryIsChosen();
    void startUpLeavesWhatItsFirstFrameDoesNotShowForLater();
    void worldsGoIntoTheApplicationsMenuFromTheLists();
    void secondInstanceAsksTheFirstToTheFront();
};

namespace {

const QString kUsualPlayerText =
    "The following worlds were found in your Korvath II directory. Select a world, and then "
    "click the Launch button.";

// A demo installation in root/Game/ and the window on it.
struct Installation {
    explicit Installation(const QString& root, bool known = true)
        : fixture(root), dir(root + "/Game/") {
        const QString error = InstallationBuilder::build(dir);
        if (!error.isEmpty())
            qFatal("%s", qPrintable(error));
        if (known)
            fixture.presetSetting("KVDir", dir);
    }
    void selectWorld(const QString& name) {
        fixture.window->PlayerWorldList->SetSelected(
            listLines(fixture.window->PlayerWorldList).indexOf(name), true);
    }
    void clickLaunch() { QTest::mouseClick(fixture.window->PlayerLaunchBtn, Qt::LeftButton); }
    int runs() const { return int(fixture.runner.calls.size()); }

    WindowFixture fixture;
    QString dir;
};

} // namespace

void LaunchTest::startUpWaitsForAnEarlierGameThenRepairs() {
    RawTempDir tmp;
    Installation game(tmp.path());
    const QString dir = game.dir;
    // A tome folder whose name is not UTF-8 can be neither listed nor packaged.
    QVERIFY(::mkdir(QFile::encodeName(dir) + "Tomes/caf\xE9", 0755) == 0);
    const QStringList resting = snapshot(dir);
    // An earlier run switched Frost March in (Tomes stowed but not yet replaced),
    // started the game and ended. Its settings hold the two labels, as launchers
    // before per-directory records wrote them, beside a record list that cannot be read.
    const QString backup = "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
    for (const QString folder : {"Roster", "Data/Graphics/Items"}) {
        QVERIFY(QDir().rename(dir + folder, dir + folder + "-" + backup));
        QVERIFY(QDir().rename(dir + folder + "_Frostmarch", dir + folder));
    }
    QVERIFY(QDir().rename(dir + "Tomes", dir + "Tomes-" + backup));
    game.fixture.presetSetting("lastDirLabel", "Frostmarch");
    game.fixture.presetSetting("lastBackupLabel", backup);
    game.fixture.presetSetting("pendingSwitches", "garbage");
    QProcess earlierGame;
    earlierGame.start("/bin/sh", {"-c", "read line"});
    QVERIFY(earlierGame.waitForStarted());
    InstanceLock(game.fixture.settingsFile).recordChild(earlierGame.processId());
    const QStringList switchedIn = snapshot(dir);

    // Nothing is renamed while that game runs, also not by the packaging's check;
    // both panels say why, and their Launch buttons wait.
    Form1& window = game.fixture.createShown();
    QVERIFY(!window.SwitchSavedWorldOut(window.CreatorLabel));
    QCOMPARE(snapshot(dir), switchedIn);
    QCOMPARE(window.PlayerLabel->text() + window.CreatorLabel->text(),
             ProblemTexts::Text(Problem(Problem::Kind::EarlierRunRunning)).repeated(2));
    QVERIFY(!window.PlayerLaunchBtn->isEnabled() &&
            !window.CreatorLaunchBtn->isEnabledTo(window.CreatorPicBox));

    // The game ends: the recovery, then the catalogue and the default world's tomes.
    earlierGame.closeWriteChannel();
    QVERIFY(earlierGame.waitForFinished());
    QTRY_VERIFY(window.PlayerLaunchBtn->isEnabled() &&
                window.CreatorLaunchBtn->isEnabledTo(window.CreatorPicBox));
    QCOMPARE(snapshot(dir), resting);
    QCOMPARE(listLines(window.CreatorTomeList), QStringList({"Bestiary", "Herbalism"}));
    QCOMPARE(window.PlayerLabel->text(), kUsualPlayerText);
}

void LaunchTest::launchButtonPlaysTheSelectedWorld() {
    QTemporaryDir tmp;
    Installation game(tmp.path());
    // A switch recorded in a directory that cannot be reached is said in the label,
    // launches elsewhere notwithstanding.
    game.fixture.presetSetting("pendingSwitches",
                               R"([{"gameDir":"/nowhere/","dirLabel":"x",)"
                               R"("backupLabel":"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}"}])");
    Form1& window = game.fixture.createShown();
    const QString notice = window.PlayerLabel->text();
    QVERIFY2(notice.startsWith("A world is still switched in at"), qPrintable(notice));
    QCOMPARE(window.CreatorLabel->text(), notice); // a panel made after the first frame too

    // The window is off the screen while the game runs; a click given then is
    // dropped, not acted on once the window is back.
    bool hidden = false;
    game.fixture.runner.onRun = [&](const RecordingProcessRunner::Call&) {
        hidden = !window.isVisible() && !window.windowHandle()->isExposed();
        const QPointF at = QRectF(window.PlayerLaunchBtn->rect()).center();
        for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(window.PlayerLaunchBtn,
                                        new QMouseEvent(type, at, window.mapToGlobal(at),
                                                        Qt::LeftButton, Qt::LeftButton, {}));
    };
    game.selectWorld("Frost March");
    game.clickLaunch();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(game.runs(), 1);
    QVERIFY(hidden && window.isVisible());
    QCOMPARE(window.PlayerLabel->text(), notice);
}

void LaunchTest::launchProblemsAreSaidInTheLabel() {
    if (!runsUnprivileged())
        return;
    QTemporaryDir tmp;
    Installation game(tmp.path());
    Form1& window = game.fixture.createShown();
    const QString dir = game.dir;
    const QStringList before = snapshot(dir);

    // Folders that this user cannot rename, a game directory where the launcher cannot
    // keep its record, or a missing game: nothing is renamed or run, and the label
    // names the cause.
    game.selectWorld("Frost March");
    const QList<QPair<QString, QString>> locks = {
        {"", "Not started: the launcher could not write its record in the Korvath II directory "
             "(this user may not write there)."},
        {"Data/Graphics", "Not started: \"Data/Graphics/Items\" could not be moved (its folder "
                          "is not writable for this user)."}};
    for (const auto& [locked, message] : locks) {
        FolderLock lock(dir + locked, FolderLock::ReadOnly);
        QVERIFY(lock.isSet());
        game.clickLaunch();
        QCOMPARE(window.PlayerLabel->text(), message);
        QCOMPARE(labelOverflow(window.PlayerLabel, message), QString());
    }
    // The default world renames nothing, so it plays where no record can be kept.
    {
        FolderLock lock(dir, FolderLock::ReadOnly);
        game.selectWorld("Valmora (Default Korvath World)");
        game.clickLaunch();
        QCOMPARE(game.runs(), 1);
        game.fixture.runner.calls.clear();
        game.selectWorld("Frost March");
    }
    QVERIFY(QFile::rename(dir + "korvath2.exe", tmp.path() + "/korvath2.exe"));
    game.clickLaunch();
    QCOMPARE(window.PlayerLabel->text(), "\"korvath2.exe\" was not found in the Korvath II "
                                         "directory, so nothing was started.");
    QVERIFY(QFile::rename(tmp.path() + "/korvath2.exe", dir + "korvath2.exe"));
    QCOMPARE(game.runs(), 0);
    QCOMPARE(snapshot(dir), before);
    QCOMPARE(game.fixture.storedSetting("pendingSwitches"), QString());

    // While Frost March is switched in, someone makes a folder with its Roster's name:
    // the other folders come back, and the label says so when the window returns.
    game.fixture.runner.onRun = [&](const RecordingProcessRunner::Call&) {
        QVERIFY(QDir().mkdir(dir + "Roster_Frostmarch"));
    };
    game.clickLaunch();
    game.fixture.runner.onRun = nullptr;
    const QString backup = game.fixture.storedSetting("lastBackupLabel");
    QCOMPARE(markerOf(dir + "Tomes"), "Valmora Tomes");
    const QString refusal = "Could not restore \"Roster\" (\"Roster_Frostmarch\" is in the "
                            "way). Fix that, then click Launch again.";
    QCOMPARE(window.PlayerLabel->text(), refusal);

    // The next launch refuses: no rename, no setting, no program.
    const QStringList stuck = snapshot(dir);
    game.selectWorld("Isle of Dawn");
    game.clickLaunch();
    QCOMPARE(game.runs(), 1);
    QCOMPARE(snapshot(dir), stuck);
    QCOMPARE(game.fixture.storedSetting("lastBackupLabel"), backup);
    QCOMPARE(window.PlayerLabel->text(), refusal);
    // A new start says so at once.
    QCOMPARE(game.fixture.createShown().PlayerLabel->text(), refusal);

    // Once the name is free, the next launch puts everything back and runs, and its
    // record goes, also from a settings folder that may be written but not listed.
    QVERIFY(QDir().rmdir(dir + "Roster_Frostmarch"));
    FolderLock config(QFileInfo(game.fixture.settingsFile).path(), FolderLock::WriteOnly);
    game.clickLaunch();
    QCOMPARE(game.runs(), 2);
    QCOMPARE(snapshot(dir), before);
    QCOMPARE(game.fixture.storedSetting("pendingSwitches"), QString());
    QCOMPARE(game.fixture.window->PlayerLabel->text(), kUsualPlayerText);
}

void LaunchTest::listsFillWhenADirectoryIsChosen() {
    QTemporaryDir tmp;
    Installation game(tmp.path(), false);
    // Autofind searches the one folder that holds the game.
    game.fixture.createFileSystem = [root = tmp.path()] {
        struct OneDrive : LocalFileSystem {
            QString root;
            QList<Drive> Drives() override { return {Drive{root, {}, {}, 0}}; }
        };
        auto fileSystem = std::make_unique<OneDrive>();
        fileSystem->root = root;
        return fileSystem;
    };
    Form1& window = game.fixture.createShown();
    const auto shown = [&] {
        return QStringList{window.PlayerLabel->text(),
                           window.CreatorLabel->text(),
                           listLines(window.PlayerWorldList).join(','),
                           listLines(window.CreatorWorldList).join(','),
                           listLines(window.CreatorTomeList).join(','),
                           QString::number(window.PlayerWorldList->currentRow()) +
                               QString::number(window.CreatorWorldList->currentRow())};
    };
    const QStringList none{"", Form1::kNoDirectoryText, "", "", "", "-1-1"};
    const QStringList worlds{Form1::kPlayerWorldsText,
                             Form1::kCreatorWorldsText,
                             "Valmora (Default Korvath World),Isle of Dawn,Frost March",
                             "Valmora (Default Korvath World),Isle of Dawn,Frost March",
                             "Bestiary,Herbalism",
                             "00"};
    QCOMPARE(shown(), none);
    // Browsing to the game lists its worlds and tomes at once, as a start with it
    // does; another folder empties the lists again; Autofind fills them once more.
    window.KVDirDir->SetPath(game.dir);
    QCOMPARE(shown(), worlds);
    window.KVDirDir->SetPath(tmp.path());
    QCOMPARE(shown(), none);
    QTest::mouseClick(window.KVDirAutofindBtn, Qt::LeftButton);
    QCOMPARE(window.launcherState().gameDir, game.dir);
    QCOMPARE(shown(), worlds);
    window.LauncherTabs->SetTab(Form1::tabIndex(u"launcher"));
    game.selectWorld("Frost March");
    game.clickLaunch();
    QCOMPARE(game.runs(), 1);
}

// At start-up only the Player list's first lines are filled before the first frame;
// the other worlds' names, the hidden Creator panel, the Configuration and About tabs
// come just after it, or before any handler of the user's.
void LaunchTest::startUpLeavesWhatItsFirstFrameDoesNotShowForLater() {
    QTemporaryDir tmp;
    Installation game(tmp.path());
    for (int i = 10; i < 40; ++i)
        QCOMPARE(InstallationBuilder::writeFile(game.dir + QString("W%1.ini").arg(i),
                                                "[WorldData]\nDisplayName=World " +
                                                    QByteArray::number(i)),
                 QString());
    const auto state = [](Form1& w) {
        return QStringList{listLines(w.PlayerWorldList).join(','),
                           listLines(w.CreatorWorldList).join(','),
                           listLines(w.CreatorTomeList).join(','),
                           listLines(w.KVDirDir).join(','),
                           w.CreatorLabel->text() + w.CreatorCombo->currentText(),
                           w.KVDirDrive->Drive(),
                           w.Image1->pixmap().isNull() ? "" : "pictures"};
    };
    WindowFixture whole(tmp.path() + "/whole");
    whole.presetSetting("KVDir", game.dir);
    whole.presetSetting("interfaceType", "1"); // its Creator panel made at once
    const QStringList expected = state(whole.create());
    QCOMPARE(expected[0].count("World "), 30);

    game.fixture.finishStartup = false;
    Form1& w = game.fixture.create();
    const QStringList all = expected[0].split(',');
    const QStringList lines = listLines(w.PlayerWorldList);
    const int fit = w.PlayerWorldList->height() / w.PlayerWorldList->sizeHintForRow(0) + 1;
    QCOMPARE(lines.size(), all.size());
    QCOMPARE(lines.mid(0, fit), all.mid(0, fit));
    QVERIFY(!w.CreatorPicBox && !w.KVDirDir);
    w.show(); // a tab chosen before the first frame is made on the screen
    clickTab(w.LauncherTabs, "configuration");
    QVERIFY(w.KVDirDir && w.KVDirDir->isVisible() && w.InterfaceOption1->isChecked());
    QCOMPARE(state(w), expected);

    WindowFixture shown(tmp.path() + "/shown");
    shown.presetSetting("KVDir", game.dir);
    shown.finishStartup = false;
    Form1& later = shown.createShown();
    QTRY_VERIFY(later.KVDirDir);
    QCOMPARE(state(later), expected);
}

// A world in the desktop's applications menu from the lists' context menu: by a right
// click (which selects the line), out again by Shift+F10 on the current line. An entry
// that cannot be made (Menu key) is said in the label.
void LaunchTest::worldsGoIntoTheApplicationsMenuFromTheLists() {
    QTemporaryDir tmp, data;
    Installation game(tmp.path());
    Form1& window = game.fixture.createShown();
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const auto unset = qScopeGuard([] { qunsetenv("XDG_DATA_HOME"); });
    const QString entry = DesktopEntries::PathFor(game.dir, "Frostmarch");
    const auto fromMenu = [](const std::function<void()>& open) {
        QString chosen;
        QTimer::singleShot(0, [&chosen] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            chosen = menu->actions().first()->text();
            menu->setActiveAction(menu->actions().first());
            QTest::keyClick(menu, Qt::Key_Return);
        });
        open();
        return chosen;
    };
    const auto rightClick = [list = window.PlayerWorldList](int line) {
        const QPoint at = list->visualItemRect(list->item(line)).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &click);
    };
    game.selectWorld("Isle of Dawn");
    QCOMPARE(fromMenu([&] { rightClick(2); }), "Add to Applications Menu");
    QCOMPARE(window.PlayerWorldList->ListIndex(), 2);
    QCOMPARE(DesktopEntries::ExecArguments(DesktopEntries::Read(entry).value("Exec")),
             QStringList({QCoreApplication::applicationFilePath(), "--world", "Frostmarch",
                          "--game-dir", game.dir}));
    window.LauncherTabs->SetTab(Form1::tabIndex(u"configuration"));
    QTest::mouseClick(window.InterfaceOption2, Qt::LeftButton);
    window.LauncherTabs->SetTab(Form1::tabIndex(u"launcher"));
    window.CreatorWorldList->SetSelected(2, true);
    QCOMPARE(
        fromMenu([&] { QTest::keyClick(window.CreatorWorldList, Qt::Key_F10, Qt::ShiftModifier); }),
        "Remove from Applications Menu");
    QVERIFY(!QFile::exists(entry));
    QVERIFY(write(entry, "[Desktop Entry]\nType=Application\nName=Mine\nExec=true\n"));
    fromMenu([&] { QTest::keyClick(window.CreatorWorldList, Qt::Key_Menu); });
    QCOMPARE(window.CreatorLabel->text(), "\"Frost March\" could not be added to the applications "
                                          "menu (another file is in its place).");
    QCOMPARE(readText(entry), "[Desktop Entry]\nType=Application\nName=Mine\nExec=true\n");
}

// On the private session bus the tests run on (dbus-run-session), and without any.
void LaunchTest::secondInstanceAsksTheFirstToTheFront() {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        QSKIP("no session bus: run the tests with ./run-tests or under dbus-run-session");
    QTemporaryDir tmp;
    const QString settings = tmp.path() + "/Korvath II Launcher.conf";
    QWidget window;
    SingleInstance first(settings), second(settings),
        elsewhere(tmp.path() + "/other/Korvath II Launcher.conf");
    QCOMPARE(first.acquire(), SingleInstance::Outcome::Acquired);
    first.serve(&window);
    QSignalSpy front(&first, &SingleInstance::frontRequested);
    QCOMPARE(second.acquire(), SingleInstance::Outcome::HeldByAnother);
    QVERIFY(second.askRunningToFront());
    QTRY_COMPARE(front.count(), 1);
    // Without a session bus, the second one knows at once that nobody can be asked.
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(tmp.path()));
    QElapsedTimer asking;
    asking.start();
    QVERIFY(!second.askRunningToFront() && asking.elapsed() < 500);
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    // Another settings home is guarded on its own. Held by a launcher without a window
    // (nobody answers for it), it gets a window that says why it ends.
    QCOMPARE(elsewhere.acquire(), SingleInstance::Outcome::Acquired);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(tmp.path() + "/other"));
    const auto unset = qScopeGuard([] { qunsetenv("XDG_CONFIG_HOME"); });
    QString said;
    QTimer::singleShot(0, [&said] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        said = box ? box->text() : QString();
        QApplication::closeAllWindows();
    });
    QCOMPARE(RunLauncher(), 1);
    QCOMPARE(said, kRunningWithoutWindowText);
}

QTEST_MAIN(LaunchTest)
#include "tst_launch.moc"
