// The player launch through the real window: what the game sees, what comes back,
// input while the window is away, a launch refused while folders are stowed, and the
// start-up wait for a game that an earlier run left running.
#include "InstallationBuilder.h"
#include "WorldsTestSupport.h"
#include "app/ui/ListBox.h"
#include "app/ui/SingleInstance.h"
#include "app/ui/TabControl.h"
#include "gamedir/ui/DirListBox.h"
#include "support/WindowSupport.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

using namespace TestSupport;
using WorldsTest::markerOf;
using WorldsTest::snapshot;

class LaunchTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void defaultAndAddOnWorldThroughLaunchButton();
    void inputGivenWhileHiddenIsDropped();
    void switchInThatCannotCompleteStartsNothing_data();
    void switchInThatCannotCompleteStartsNothing();
    void nameTakenWhileSwitchedInRefusesUntilFree();
    void missingGameIsReportedAndChangesNothing();
    void noWorldsListedWhenStartedWithoutDirectory();
    void waitsForAGameAnEarlierRunLeftRunning();
};

namespace {

const QString kUsualPlayerText =
    "The following worlds were found in your Korvath II directory. Select a world, and then "
    "click the Launch button.";

int rowOf(ListBox* list, const QString& text) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text() == text)
            return i;
    }
    return -1;
}

// "" when the label's text fits its fixed box, else what overflows.
QString overflow(QLabel* label) {
    const QSize box = label->size();
    const int needed = label->heightForWidth(box.width());
    const QRect bounds = label->fontMetrics().boundingRect(
        QRect(0, 0, box.width(), 10000), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
        label->text());
    if (needed <= box.height() && bounds.width() <= box.width())
        return QString();
    return QStringLiteral("needs %1x%2 in %3x%4: %5")
        .arg(bounds.width())
        .arg(needed)
        .arg(box.width())
        .arg(box.height())
        .arg(label->text());
}

// A demo installation in root/Game with the window started on it.
struct Installation {
    explicit Installation(const QString& root) : fixture(root), gameDir(root + "/Game/") {
        const QString error = InstallationBuilder::build(root + "/Game");
        if (!error.isEmpty())
            qFatal("%s", qPrintable(error));
        fixture.presetSetting("KVDir", gameDir);
    }
    Form1& start() { return fixture.createShown(); }
    void selectWorld(const QString& name) {
        const int row = rowOf(fixture.window->PlayerWorldList, name);
        QVERIFY2(row >= 0, qPrintable(name));
        fixture.window->PlayerWorldList->SetSelected(row, true);
    }
    void clickLaunch() { QTest::mouseClick(fixture.window->PlayerLaunchBtn, Qt::LeftButton); }

    WindowFixture fixture;
    QString gameDir;
};

} // namespace

void LaunchTest::init() {
    fatalErrors().clear();
}

void LaunchTest::cleanup() {
    QVERIFY2(fatalErrors().isEmpty(), qPrintable(fatalErrors().join('\n')));
}

void LaunchTest::defaultAndAddOnWorldThroughLaunchButton() {
    QTemporaryDir tmp;
    Installation game(tmp.path());
    Form1& window = game.start();
    const QStringList before = snapshot(tmp.path() + "/Game");
    QCOMPARE(window.PlayerWorldList->count(), 3);

    // The default world: nothing renamed, a new backup label all the same.
    QStringList seen;
    bool hidden = false;
    game.fixture.runner.onRun = [&](const RecordingProcessRunner::Call&) {
        seen = snapshot(tmp.path() + "/Game");
        hidden = !window.isVisible() && !window.windowHandle()->isExposed();
    };
    QCOMPARE(window.PlayerWorldList->ListIndex(), 0);
    game.clickLaunch();
    QCOMPARE(game.fixture.runner.calls.size(), 1);
    const RecordingProcessRunner::Call call = game.fixture.runner.calls.first();
    QCOMPARE(call.program, game.gameDir + "korvath2.exe");
    QCOMPARE(call.arguments, QStringList());
    QCOMPARE(call.workingDirectory, game.gameDir);
    QCOMPARE(seen, before);
    QVERIFY(hidden);
    QVERIFY(window.isVisible());
    const QString firstLabel = game.fixture.storedSetting("lastBackupLabel");
    QCOMPARE(firstLabel.size(), 38);
    QCOMPARE(game.fixture.storedSetting("lastDirLabel"), QString());

    // An add-on world: its folders under the plain names while the game runs.
    QStringList markers;
    game.fixture.runner.onRun = [&](const RecordingProcessRunner::Call&) {
        for (const char* folder : {"Roster", "Tomes", "Data/Graphics/Items", "Data/Music"})
            markers << markerOf(tmp.path() + "/Game/" + folder);
        hidden = !window.isVisible();
    };
    game.selectWorld("Frost March");
    hidden = false;
    game.clickLaunch();
    QCOMPARE(game.fixture.runner.calls.size(), 2);
    QCOMPARE(markers, QStringList({"Frostmarch Roster_Frostmarch", "Frostmarch Tomes_Frostmarch",
                                   "Frostmarch Items_Frostmarch", "Valmora Music"}));
    QVERIFY(hidden);
    QCOMPARE(snapshot(tmp.path() + "/Game"), before);
    QCOMPARE(game.fixture.storedSetting("lastDirLabel"), QStringLiteral("Frostmarch"));
    const QString secondLabel = game.fixture.storedSetting("lastBackupLabel");
    QCOMPARE(secondLabel.size(), 38);
    QVERIFY(secondLabel != firstLabel);
    QVERIFY(window.isVisible());
    QCOMPARE(window.PlayerLabel->text(), kUsualPlayerText);
}

void LaunchTest::inputGivenWhileHiddenIsDropped() {
    QTemporaryDir tmp;
    Installation game(tmp.path());
    Form1& window = game.start();
    game.selectWorld("Isle of Dawn");
    const QStringList before = snapshot(tmp.path() + "/Game");
    // Clicks on Launch and Quit and a key press queue up while the game runs.
    game.fixture.runner.onRun = [&](const RecordingProcessRunner::Call&) {
        for (QPushButton* button : {window.PlayerLaunchBtn, window.PlayerQuitBtn}) {
            const QPointF at = QRectF(button->rect()).center();
            const QPointF global = button->mapToGlobal(at);
            QCoreApplication::postEvent(button,
                                        new QMouseEvent(QEvent::MouseButtonPress, at, global,
                                                        Qt::LeftButton, Qt::LeftButton, {}));
            QCoreApplication::postEvent(button,
                                        new QMouseEvent(QEvent::MouseButtonRelease, at, global,
                                                        Qt::LeftButton, Qt::NoButton, {}));
        }
        QCoreApplication::postEvent(window.PlayerLaunchBtn,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, {}));
        QCoreApplication::postEvent(window.PlayerLaunchBtn,
                                    new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, {}));
    };
    game.clickLaunch();
    game.fixture.runner.onRun = nullptr;
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(game.fixture.runner.calls.size(), 1);
    QVERIFY(window.isVisible());
    QCOMPARE(snapshot(tmp.path() + "/Game"), before);

    // The window takes input again afterwards.
    game.clickLaunch();
    QCOMPARE(game.fixture.runner.calls.size(), 2);
}

void LaunchTest::switchInThatCannotCompleteStartsNothing_data() {
    QTest::addColumn<QString>("locked");
    QTest::addColumn<QString>("message");
    QTest::newRow("game directory not writable")
        << ""
        << "Not started: \"Roster\" and 1 more could not be moved (the Korvath II "
           "directory is not writable for this user).";
    QTest::newRow("one folder cannot be renamed")
        << "Data/Graphics"
        << "Not started: \"Data/Graphics/Items\" could not be moved (its "
           "folder is not writable for this user).";
}

void LaunchTest::switchInThatCannotCompleteStartsNothing() {
    if (!runsUnprivileged())
        return;
    QFETCH(QString, locked);
    QFETCH(QString, message);
    QTemporaryDir tmp;
    Installation game(tmp.path());
    Form1& window = game.start();
    const QStringList before = snapshot(tmp.path() + "/Game");
    FolderLock lock(game.gameDir + locked, FolderLock::ReadOnly);
    QVERIFY(lock.isSet());
    game.selectWorld("Frost March");
    game.clickLaunch();
    QVERIFY(game.fixture.runner.calls.isEmpty());
    QCOMPARE(snapshot(tmp.path() + "/Game"), before);
    QCOMPARE(window.PlayerLabel->text(), message);
    QVERIFY2(overflow(window.PlayerLabel).isEmpty(), qPrintable(overflow(window.PlayerLabel)));
    QCOMPARE(game.fixture.storedSetting("pendingSwitches"), QString());
    QVERIFY(window.isVisible());
}

void LaunchTest::nameTakenWhileSwitchedInRefusesUntilFree() {
    QTemporaryDir tmp;
    Installation game(tmp.path());
    Form1& window = game.start();
    const QString dir = tmp.path() + "/Game/";
    const QStringList before = snapshot(dir);

    // While Frost March is switched in, someone makes a folder with its version's name.
    game.fixture.runner.onRun = [&](const RecordingProcessRunner::Call&) {
        QVERIFY(QDir().mkdir(dir + "Roster_Frostmarch"));
    };
    game.selectWorld("Frost March");
    game.clickLaunch();
    game.fixture.runner.onRun = nullptr;
    const QString backup = game.fixture.storedSetting("lastBackupLabel");
    QVERIFY(QDir(dir + "Roster-" + backup).exists());
    QCOMPARE(markerOf(dir + "Roster"), QStringLiteral("Frostmarch Roster_Frostmarch"));
    // The other folders are back, and the label says so at once.
    QCOMPARE(markerOf(dir + "Tomes"), QStringLiteral("Valmora Tomes"));
    QCOMPARE(markerOf(dir + "Data/Graphics/Items"), QStringLiteral("Valmora Items"));
    const QStringList stuck = snapshot(dir);
    const QString refusal = "Could not restore \"Roster\" (\"Roster_Frostmarch\" is in the "
                            "way). Fix that, then click Launch again.";
    QCOMPARE(window.PlayerLabel->text(), refusal);

    // The next launch refuses: no rename, no setting, no program; the label says why.
    game.selectWorld("Valmora (Default Korvath World)");
    game.clickLaunch();
    QCOMPARE(game.fixture.runner.calls.size(), 1);
    QCOMPARE(snapshot(dir), stuck);
    QCOMPARE(game.fixture.storedSetting("lastBackupLabel"), backup);
    QCOMPARE(game.fixture.storedSetting("lastDirLabel"), QStringLiteral("Frostmarch"));
    QCOMPARE(window.launcherState().dirLabel, QStringLiteral("Frostmarch"));
    QCOMPARE(window.PlayerLabel->text(), refusal);
    QVERIFY2(overflow(window.PlayerLabel).isEmpty(), qPrintable(overflow(window.PlayerLabel)));
    QVERIFY(window.isVisible());

    // Once the name is free, the next launch puts everything back and runs.
    QVERIFY(QDir().rmdir(dir + "Roster_Frostmarch"));
    game.clickLaunch();
    QCOMPARE(game.fixture.runner.calls.size(), 2);
    QCOMPARE(snapshot(dir), before);
    QCOMPARE(game.fixture.storedSetting("lastDirLabel"), QString());
    QVERIFY(game.fixture.storedSetting("lastBackupLabel") != backup);
    QCOMPARE(window.PlayerLabel->text(), kUsualPlayerText);
}

void LaunchTest::missingGameIsReportedAndChangesNothing() {
    QTemporaryDir tmp;
    Installation game(tmp.path());
    Form1& window = game.start();
    const QString dir = tmp.path() + "/Game/";
    QVERIFY(QFile::rename(dir + "korvath2.exe", tmp.path() + "/korvath2.exe"));
    const QStringList before = snapshot(dir);
    game.selectWorld("Frost March");
    game.clickLaunch();
    QVERIFY(game.fixture.runner.calls.isEmpty());
    QCOMPARE(snapshot(dir), before);
    QVERIFY2(window.PlayerLabel->text().contains("korvath2.exe"),
             qPrintable(window.PlayerLabel->text()));
    QVERIFY2(overflow(window.PlayerLabel).isEmpty(), qPrintable(overflow(window.PlayerLabel)));
    QVERIFY(window.isVisible());

    // Back in place, the game runs and the usual text returns.
    QVERIFY(QFile::rename(tmp.path() + "/korvath2.exe", dir + "korvath2.exe"));
    game.clickLaunch();
    QCOMPARE(game.fixture.runner.calls.size(), 1);
    QCOMPARE(window.PlayerLabel->text(), kUsualPlayerText);
}

void LaunchTest::noWorldsListedWhenStartedWithoutDirectory() {
    QTemporaryDir tmp;
    QCOMPARE(InstallationBuilder::build(tmp.path() + "/Game"), QString());
    WindowFixture fixture(tmp.path());
    Form1& window = fixture.create();
    window.show();
    // The directory is chosen while the window is open; the lists stay empty.
    window.KVDirDir->SetPath(tmp.path() + "/Game");
    QCOMPARE(window.launcherState().gameDir, tmp.path() + "/Game/");
    window.LauncherTabs->SetTab(0);
    QCOMPARE(window.PlayerWorldList->count(), 0);
    QTest::mouseClick(window.PlayerLaunchBtn, Qt::LeftButton);
    QVERIFY(fixture.runner.calls.isEmpty());
    QCOMPARE(fixture.storedSetting("lastBackupLabel"), QStringLiteral("<missing>"));
    QVERIFY2(window.PlayerLabel->text().contains("Start the launcher again"),
             qPrintable(window.PlayerLabel->text()));
    QVERIFY2(overflow(window.PlayerLabel).isEmpty(), qPrintable(overflow(window.PlayerLabel)));
}

void LaunchTest::waitsForAGameAnEarlierRunLeftRunning() {
    QTemporaryDir tmp;
    Installation game(tmp.path());
    const QString dir = tmp.path() + "/Game/";
    const QStringList resting = snapshot(dir);
    // An earlier run switched Frost March in, started the game and ended. Its settings
    // hold the two labels only, as launchers before per-directory records wrote them.
    const QString backup = "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
    for (const QString folder : {"Roster", "Tomes", "Data/Graphics/Items"}) {
        QVERIFY(QDir().rename(dir + folder, dir + folder + "-" + backup));
        QVERIFY(QDir().rename(dir + folder + "_Frostmarch", dir + folder));
    }
    game.fixture.presetSetting("lastDirLabel", "Frostmarch");
    game.fixture.presetSetting("lastBackupLabel", backup);
    QProcess earlierGame;
    earlierGame.start("/bin/sh", {"-c", "read line"});
    QVERIFY(earlierGame.waitForStarted());
    SingleInstance(game.fixture.settingsFile).recordChild(earlierGame.processId());
    const QStringList switchedIn = snapshot(dir);

    Form1& window = game.start();
    QVERIFY(!window.PlayerLaunchBtn->isEnabled());
    QVERIFY(!window.CreatorLaunchBtn->isEnabledTo(window.CreatorPicBox));
    QVERIFY2(window.PlayerLabel->text().contains("still running"),
             qPrintable(window.PlayerLabel->text()));
    QVERIFY2(overflow(window.PlayerLabel).isEmpty(), qPrintable(overflow(window.PlayerLabel)));
    QVERIFY2(overflow(window.CreatorLabel).isEmpty(), qPrintable(overflow(window.CreatorLabel)));
    QCOMPARE(window.PlayerWorldList->count(), 0);
    QCOMPARE(window.LauncherTabs->Tab(), 0);
    // Nothing is renamed while that game runs, also not by the packaging's check.
    QVERIFY(!window.SwitchSavedWorldOut(window.CreatorLabel));
    QCoreApplication::processEvents();
    QCOMPARE(snapshot(dir), switchedIn);
    QVERIFY(fatalErrors().isEmpty());

    // The game ends: recovery, catalogue and tome list run, and the window is usable.
    earlierGame.closeWriteChannel();
    QVERIFY(earlierGame.waitForFinished());
    QTRY_VERIFY(window.PlayerLaunchBtn->isEnabled());
    QVERIFY(window.CreatorLaunchBtn->isEnabledTo(window.CreatorPicBox));
    QCOMPARE(snapshot(dir), resting);
    QCOMPARE(window.PlayerWorldList->count(), 3);
    QCOMPARE(window.PlayerWorldList->ListIndex(), 0);
    QCOMPARE(window.PlayerLabel->text(), kUsualPlayerText);
    game.clickLaunch();
    QCOMPARE(game.fixture.runner.calls.size(), 1);
}

QTEST_MAIN(LaunchTest)
#include "tst_launch.moc"
