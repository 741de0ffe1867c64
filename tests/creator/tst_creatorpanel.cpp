// The Creator panel through its real controls: the selection rules, the world list's
// classic behaviour, the launch dispatch (with a recording process runner), and
// what the panel says when it cannot act.
#include "CreatorTestSupport.h"
#include "app/ui/TabControl.h"
#include "gamedir/ui/DirListBox.h"

#include <QDir>
#include <QLabel>
#include <QTabBar>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

using namespace CreatorTest;
using TestSupport::fatalErrors;

namespace {

const QStringList kDefaultTomes = {"Bestiary", "Herbalism", "Old_Maps"};

} // namespace

class CreatorPanelTest : public QObject {
    Q_OBJECT
private slots:
    void init() { fatalErrors().clear(); }
    void cleanup() { QVERIFY2(fatalErrors().isEmpty(), qPrintable(fatalErrors().join('\n'))); }
    void selectionRules();
    void gameAndEditorRunWithTheWorldSwitchedIn();
    void packagingWritesTheScriptAndRunsTheCompiler();
    void whatCannotBePackagedIsSaid();
    void emptyCatalogueDoesNothingAndSaysWhy();
};

void CreatorPanelTest::selectionRules() {
    QTemporaryDir tmp;
    Installation game(tmp.path());
    InstallationBuilder::writeFile(game.gameDir + "Tomes/Old_Maps/coast.txt", "Coast.\n");
    Form1& w = game.start();
    ListBox* worlds = w.CreatorWorldList;
    ListBox* tomes = w.CreatorTomeList;
    const qint16& index = w.launcherState().creatorWorldIndex;
    QCOMPARE(w.CreatorCombo->currentText(), QStringLiteral("Launch Korvath II"));
    QVERIFY(!tomes->isEnabled());
    QCOMPARE(texts(tomes), kDefaultTomes);
    QCOMPARE(selectedRows(tomes), QList<int>());
    QCOMPARE(selectedRows(worlds), QList<int>{0});

    // Ctrl+click, Ctrl+Space and a click below the lines leave the world selected.
    clickRow(worlds, 0, Qt::ControlModifier);
    QTest::keyClick(worlds, Qt::Key_Space, Qt::ControlModifier);
    const QRect last = worlds->visualItemRect(worlds->item(2));
    QTest::mouseClick(worlds->viewport(), Qt::LeftButton, {}, last.center() + QPoint(0, 20));
    QCOMPARE(selectedRows(worlds), QList<int>{0});

    // Packaging enables the tome list and changes no selection.
    game.choose(2);
    QVERIFY(tomes->isEnabled());
    QCOMPARE(selectedRows(worlds), QList<int>{0});
    // Another world lists its own tomes and becomes creatorWorldIndex.
    clickRow(worlds, "Isle of Dawn");
    QCOMPARE(texts(tomes), (QStringList{"Bestiary", "Sea Charts"}));
    QCOMPARE(index, qint16(1));
    // Tomes take the world's selection away and leave the tome list as it is; the
    // selected index follows the selection, not the current row.
    clickRow(tomes, 1);
    clickRow(tomes, 0);
    QCOMPARE(selectedRows(worlds), QList<int>());
    QCOMPARE(worlds->ListIndex(), -1);
    QCOMPARE(worlds->currentRow(), 1);
    QCOMPARE(selectedRows(tomes), (QList<int>{0, 1}));
    QCOMPARE(texts(tomes), (QStringList{"Bestiary", "Sea Charts"}));
    // Clearing the last tome selects world creatorWorldIndex again.
    clickRow(tomes, 0);
    clickRow(tomes, 1);
    QCOMPARE(selectedRows(worlds), QList<int>{1});
    QCOMPARE(selectedRows(tomes), QList<int>());
    // Another action while tomes are selected: tomes cleared, list disabled, the
    // world back with its tomes listed afresh.
    clickRow(tomes, 1);
    game.choose(1);
    QVERIFY(!tomes->isEnabled());
    QCOMPARE(selectedRows(tomes), QList<int>());
    QCOMPARE(selectedRows(worlds), QList<int>{1});
    // A selection of tomes never carries over to another world (keys act as clicks).
    game.choose(2);
    clickRow(tomes, 0);
    QTest::keyClick(worlds, Qt::Key_Down);
    QCOMPARE(selectedRows(worlds), QList<int>{2});
    QCOMPARE(texts(tomes), QStringList{"Frost Lore"});
    QCOMPARE(selectedRows(tomes), QList<int>());
    QCOMPARE(index, qint16(2));
    // Without its own tomes folder a world lists the default one's; without any
    // tomes folder the list is empty.
    QDir(game.gameDir + "Tomes_Frostmarch").removeRecursively();
    clickRow(worlds, 0);
    clickRow(worlds, 2);
    QCOMPARE(texts(tomes), kDefaultTomes);
    QDir(game.gameDir + "Tomes").removeRecursively();
    clickRow(worlds, 0);
    QCOMPARE(tomes->count(), 0);
}

void CreatorPanelTest::gameAndEditorRunWithTheWorldSwitchedIn() {
    QTemporaryDir tmp;
    Installation game(tmp.path());
    Form1& w = game.start();
    QStringList seen;
    game.fixture.runner.onRun = [&](const TestSupport::RecordingProcessRunner::Call& call) {
        seen.append(call.program.mid(game.gameDir.size()) + ": " +
                    readText(game.gameDir + "Roster/marker.txt").trimmed());
    };
    clickRow(w.CreatorWorldList, "Frost March");
    game.launch();
    game.choose(1);
    game.launch();
    QCOMPARE(seen, (QStringList{"korvath2.exe: Frostmarch Roster_Frostmarch",
                                "worldforge2.exe: Frostmarch Roster_Frostmarch"}));
    QVERIFY(QFile::exists(game.gameDir + "Roster_Frostmarch/marker.txt"));
    QVERIFY(!QFile::exists(game.fixture.launcherFolder + "/kvii.nsi"));
}

void CreatorPanelTest::packagingWritesTheScriptAndRunsTheCompiler() {
    QTemporaryDir tmp;
    Installation game(tmp.path());
    Form1& w = game.start();
    const QString launcher = game.fixture.launcherFolder;
    TestSupport::RecordingProcessRunner& runner = game.fixture.runner;
    bool disabledWhileRunning = false;
    runner.onRun = [&](const TestSupport::RecordingProcessRunner::Call&) {
        disabledWhileRunning = !w.isEnabled();
        QTest::mouseClick(w.CreatorLaunchBtn, Qt::LeftButton); // not acted on
        if (runner.exitCode == 0)
            InstallationBuilder::writeFile(launcher + "/output/setup.exe", "MZ");
    };
    game.choose(2);
    clickRow(w.CreatorWorldList, "Isle of Dawn");
    game.launch();
    QCOMPARE(runner.calls.size(), 1);
    QCOMPARE(runner.calls[0].program, QStringLiteral("/usr/bin/makensis"));
    QCOMPARE(runner.calls[0].arguments, (QStringList{"-WX", "kvii.nsi"}));
    QCOMPARE(runner.calls[0].workingDirectory, launcher);
    QVERIFY(disabledWhileRunning && w.isEnabled());
    QVERIFY(game.script().startsWith("Name \"Isle of Dawn\"\r\n"));
    QCOMPARE(game.fixture.storedSetting("lastDirLabel"), QStringLiteral("dawn"));
    QCOMPARE(w.CreatorLabel->text(),
             "The installer is ready: setup.exe in " + launcher + "/output.");

    // Tomes of the default world: the script is replaced, the unselected tome gets
    // neither a value nor a section, the existing output folder is left as it is.
    InstallationBuilder::writeFile(launcher + "/output/keep.txt", "mine\n");
    clickRow(w.CreatorWorldList, 0);
    clickRow(w.CreatorTomeList, "Bestiary");
    runner.exitCode = 1;
    game.launch();
    QCOMPARE(runner.calls.size(), 2);
    QCOMPARE(game.fixture.storedSetting("Bestiary", "PackageTomeDirs"), QStringLiteral("Bestiary"));
    QCOMPARE(game.fixture.storedSetting("Herbalism", "PackageTomeDirs"),
             QStringLiteral("<missing>"));
    QCOMPARE(game.fixture.storedSetting("lastDirLabel"), QString());
    QCOMPARE(readText(launcher + "/output/keep.txt"), QStringLiteral("mine\n"));
    QVERIFY(w.CreatorLabel->text().contains("exit code 1"));
    QCOMPARE(overflow(w.CreatorLabel), QString());
}

void CreatorPanelTest::whatCannotBePackagedIsSaid() {
    TestSupport::RawTempDir tmp;
    Installation game(tmp.path());
    InstallationBuilder::writeFile(game.gameDir + "Tomes/Back\\slash/a.txt", "a\n");
    // Frost March left switched in, its version's name taken meanwhile: the stowed
    // Roster cannot come back, so nothing may write "lastDirLabel".
    const QString backup = QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    QVERIFY(QDir(game.gameDir).rename("Roster", "Roster-" + backup));
    QVERIFY(QDir(game.gameDir).rename("Roster_Frostmarch", "Roster"));
    QVERIFY(QDir().mkpath(game.gameDir + "Roster_Frostmarch"));
    game.fixture.presetSetting("lastDirLabel", "Frostmarch");
    game.fixture.presetSetting("lastBackupLabel", backup);
    Form1& w = game.start();
    const QString launcher = game.fixture.launcherFolder;
    const QString data = game.fixture.dataFolder;
    QStringList said;
    auto launch = [&] {
        game.launch();
        said.append(w.CreatorLabel->text());
        QCOMPARE(overflow(w.CreatorLabel), QString());
    };
    game.choose(2);
    launch();
    QCOMPARE(game.fixture.storedSetting("lastDirLabel"), QStringLiteral("Frostmarch"));
    QVERIFY(QDir(game.gameDir).rmdir("Roster_Frostmarch")); // the name is free again

    clickRow(w.CreatorTomeList, "Back\\slash");
    launch();
    InstallationBuilder::writeFile(game.gameDir + "Tomes/Herbalism/Sea\\Charts.txt", "s\n");
    clickRow(w.CreatorTomeList, "Herbalism");
    clickRow(w.CreatorTomeList, "Back\\slash");
    launch();
    QVERIFY(QFile::remove(game.gameDir + "Tomes/Herbalism/Sea\\Charts.txt"));
    // A name that is not UTF-8 anywhere below a packed folder (it would crash the
    // compiler), a folder with no file (it would stop it); then files in the way of
    // both folders the script may go to.
    const QByteArray stray = QFile::encodeName(game.gameDir + "Tomes/Herbalism/") + "l\xE9gende";
    QVERIFY(::close(::creat(stray.constData(), 0644)) == 0);
    launch();
    QVERIFY(::unlink(stray.constData()) == 0 &&
            QFile::remove(game.gameDir + "Tomes/Herbalism/moonwort.txt"));
    launch();
    InstallationBuilder::writeFile(game.gameDir + "Tomes/Herbalism/moonwort.txt", "m\n");
    InstallationBuilder::writeFile(launcher + "/output", "a file in the way\n");
    InstallationBuilder::writeFile(tmp.path() + "/data", "another\n");
    launch();
    QVERIFY(QFile::remove(tmp.path() + "/data"));

    // The launcher's folder cannot take the script: it goes to the data folder.
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(tmp.path() + "/nothing"));
    launch();
    QVERIFY(readText(data + "/kvii.nsi").startsWith("Name \"Korvath II Tome(s)"));
    InstallationBuilder::writeFile(launcher + "/makensis.exe", "MZ"); // no wine to run it
    launch();
    qputenv("PATH", savedPath);
    QVERIFY(QFile::remove(launcher + "/makensis.exe"));
    QVERIFY(game.fixture.runner.calls.isEmpty());
    // A compiler that crashes, or ends well without an installer, made none.
    for (const int exitCode : {139, 0}) {
        game.fixture.runner.exitCode = exitCode;
        launch();
    }
    const QStringList expected = {
        "Could not restore \"Roster\"",
        R"(the tome name "Back\slash")",
        R"(the name "Tomes/Herbalism/Sea\Charts.txt" holds a "\")",
        "the name of \"Tomes/Herbalism/l\uFFFDgende\" is not UTF-8",
        "the folder \"Tomes/Herbalism\" holds no file",
        "could not be written in the launcher's folder or in " + data + ".",
        "The script kvii.nsi is written, but no installer compiler (makensis) was found",
        "Install Wine",
        "The installer compiler crashed (exit code 139)",
        "The installer compiler made no setup.exe",
    };
    QCOMPARE(said.size(), expected.size());
    for (int i = 0; i < said.size(); ++i)
        QVERIFY2(said[i].contains(expected[i]), qPrintable(said[i]));
}

void CreatorPanelTest::emptyCatalogueDoesNothingAndSaysWhy() {
    QTemporaryDir tmp;
    Installation game(tmp.path(), false);
    Form1& w = game.start();
    // A directory chosen after start-up makes the panel usable; the lists stay empty.
    QVERIFY(w.KVDirDir->SetPath(game.gameDir));
    QTabBar* tabs = w.LauncherTabs->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    QVERIFY(w.CreatorLaunchBtn->isVisible() && w.CreatorLaunchBtn->isEnabled());
    QCOMPARE(w.CreatorWorldList->count() + w.CreatorTomeList->count(), 0);
    for (int action : {2, 0, 1}) {
        game.choose(action);
        w.CreatorLabel->clear();
        game.launch();
        QVERIFY2(w.CreatorLabel->text().startsWith("No worlds are listed"),
                 qPrintable(w.CreatorLabel->text()));
        QCOMPARE(overflow(w.CreatorLabel), QString());
    }
    QVERIFY(game.fixture.runner.calls.isEmpty());
    QVERIFY(!QDir(game.fixture.launcherFolder + "/output").exists());
    QCOMPARE(game.fixture.storedSetting("lastDirLabel"), QStringLiteral("<missing>"));
}

QTEST_MAIN(CreatorPanelTest)
#include "tst_creatorpanel.moc"
