// The Creator panel through its real controls: the selection rules, the world list's
// classic behaviour, the dispatch of the three actions (with a recording process
// runner), and the refusals only the window makes; every message fits its label.
#include "InstallationBuilder.h"
#include "WindowSupport.h"
#include "app/ui/ListBox.h"
#include "gamedir/ui/DirListBox.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QTextDocumentFragment>
#include <QtTest>

using TestSupport::fatalErrors;
using TestSupport::readText;

namespace {

// A click on a line (the lists are short: every line is in view), as the user gives it.
void clickRow(ListBox* list, int row, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(list->item(row)).center());
}

// Takes the address the desktop would be asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit UrlCatcher(QUrl& url) : m_url(url) {}
public slots:
    void open(const QUrl& url) { m_url = url; }

private:
    QUrl& m_url;
};

// The demo installation with an old tome in the default Tomes, in the Creator interface.
struct Panel {
    QTemporaryDir tmp;
    TestSupport::WindowFixture fixture{tmp.path()};
    const QString game = tmp.path() + "/Game/";

    Panel() {
        if (!InstallationBuilder::build(game).isEmpty())
            qFatal("no installation");
        InstallationBuilder::writeFile(game + "Tomes/Old_Maps/coast.txt", "Coast.\n");
        fixture.presetSetting("KVDir", game);
        fixture.presetSetting("interfaceType", "1");
    }
    // Picks the action with this caption, as the user does.
    void choose(const QString& action) {
        QComboBox* chooser = fixture.window->CreatorCombo;
        chooser->setCurrentIndex(chooser->findText(action));
        QCOMPARE(chooser->currentText(), action);
        emit chooser->activated(chooser->currentIndex());
    }
    // Clicks Launch; returns the panel's message, or why it does not fit its label.
    QString launch() {
        QTest::mouseClick(fixture.window->CreatorLaunchBtn, Qt::LeftButton);
        QLabel* label = fixture.window->CreatorLabel;
        const QString said = label->textFormat() == Qt::RichText
                                 ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                                 : label->text();
        const QString shown = label->text(); // the check below puts said there
        const QString overflow = TestSupport::labelOverflow(label, said);
        label->setTextFormat(said == shown ? Qt::PlainText : Qt::RichText);
        label->setText(shown);
        return overflow.isEmpty() ? said : overflow;
    }
};

} // namespace

class CreatorPanelTest : public QObject {
    Q_OBJECT
private slots:
    void init() { fatalErrors().clear(); }
    void cleanup() { QVERIFY2(fatalErrors().isEmpty(), qPrintable(fatalErrors().join('\n'))); }
    void aWorldThatCannotBeRestoredIsNotSaved();
    void theTomeListFollowsTheSelection();
    void actionsRunWithTheWorldSwitchedIn();
};

// Frost March left switched in, its version's name taken meanwhile: the stowed
// Roster cannot come back, so nothing may write "lastDirLabel".
void CreatorPanelTest::aWorldThatCannotBeRestoredIsNotSaved() {
    Panel p;
    const QString backup = QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    QVERIFY(QDir(p.game).rename("Roster", "Roster-" + backup));
    QVERIFY(QDir(p.game).rename("Roster_Frostmarch", "Roster"));
    QVERIFY(QDir().mkpath(p.game + "Roster_Frostmarch"));
    p.fixture.presetSetting("lastDirLabel", "Frostmarch");
    p.fixture.presetSetting("lastBackupLabel", backup);
    p.fixture.createShown();
    p.choose("Launch Packaging Utility");
    QVERIFY(p.launch().contains("Could not restore \"Roster\""));
    QCOMPARE(p.fixture.storedSetting("lastDirLabel"), "Frostmarch");
}

void CreatorPanelTest::theTomeListFollowsTheSelection() {
    Panel p;
    const QString game = p.game;
    Form1& w = p.fixture.createShown();
    ListBox* worlds = w.CreatorWorldList;
    ListBox* tomes = w.CreatorTomeList;
    // The tomes (a selected one in brackets); whether they can be chosen; the selected
    // world; creatorWorldIndex.
    auto panel = [&] {
        QString shown;
        for (int i = 0; i < tomes->count(); ++i)
            shown += QString(tomes->Selected(i) ? "[%1]," : "%1,").arg(tomes->item(i)->text());
        return shown + QStringLiteral(" %1 %2 %3")
                           .arg(tomes->isEnabled())
                           .arg(worlds->ListIndex())
                           .arg(w.launcherState().creatorWorldIndex);
    };
    QCOMPARE(w.CreatorCombo->currentText(), QStringLiteral("Launch Korvath II"));
    // Ctrl+click and a click below the lines leave the world selected.
    clickRow(worlds, 0, Qt::ControlModifier);
    const QRect last = worlds->visualItemRect(worlds->item(2));
    QTest::mouseClick(worlds->viewport(), Qt::LeftButton, {}, last.center() + QPoint(0, 20));
    QCOMPARE(panel(), "Bestiary,Herbalism,Old_Maps, 0 0 0");
    // Packaging enables the tome list; another world lists its own tomes.
    p.choose("Launch Packaging Utility");
    clickRow(worlds, 1);
    QCOMPARE(panel(), "Bestiary,Sea Charts, 1 1 1");
    // Tomes take the world's selection away; clearing the last tome selects world
    // creatorWorldIndex again.
    clickRow(tomes, 1);
    clickRow(tomes, 0);
    QCOMPARE(panel(), "[Bestiary],[Sea Charts], 1 -1 1");
    clickRow(tomes, 0);
    clickRow(tomes, 1);
    QCOMPARE(panel(), "Bestiary,Sea Charts, 1 1 1");
    // Another action while tomes are selected: tomes cleared, list disabled, the
    // world back with its tomes listed afresh.
    clickRow(tomes, 1);
    p.choose("Launch Korvath II Creator");
    QCOMPARE(panel(), "Bestiary,Sea Charts, 0 1 1");
    // A selection of tomes never carries over to another world (keys act as clicks).
    p.choose("Launch Packaging Utility");
    clickRow(tomes, 0);
    QTest::keyClick(worlds, Qt::Key_Down);
    QCOMPARE(panel(), "Frost Lore, 1 2 2");
    // Without its own tomes folder a world lists the default one's.
    QDir(game + "Tomes_Frostmarch").removeRecursively();
    clickRow(worlds, 0);
    clickRow(worlds, 2);
    QCOMPARE(panel(), "Bestiary,Herbalism,Old_Maps, 1 2 2");
}

// The game and the editor run with the world switched in; the packaging compiler
// runs in the launcher's folder with the window disabled (a click meanwhile is
// not acted on), for the selected world or the selected tomes only.
void CreatorPanelTest::actionsRunWithTheWorldSwitchedIn() {
    Panel p;
    const QString game = p.game;
    Form1& w = p.fixture.createShown();
    ListBox* worlds = w.CreatorWorldList;
    clickRow(worlds, 2);
    const QString launcher = p.fixture.launcherFolder;
    TestSupport::RecordingProcessRunner& runner = p.fixture.runner;
    QStringList seen;
    runner.onRun = [&](const TestSupport::RecordingProcessRunner::Call& call) {
        seen << QStringLiteral("%1 %2 in %3: %4, %5")
                    .arg(call.program.section('/', -1), call.arguments.join(' '),
                         QDir(call.workingDirectory).dirName(),
                         readText(game + "Roster/marker.txt").trimmed())
                    .arg(w.isEnabled() && w.isVisible());
        if (w.isVisible())
            QTest::mouseClick(w.CreatorLaunchBtn, Qt::LeftButton);
        InstallationBuilder::writeFile(launcher + "/output/setup.exe", "MZ");
    };
    p.choose("Launch Korvath II Creator");
    p.launch();
    p.choose("Launch Korvath II");
    p.launch();
    p.choose("Launch Packaging Utility");
    clickRow(worlds, 1);
    QCOMPARE(p.launch(), "The installer is ready: setup.exe in " + launcher + "/output.");
    // The folder's name opens the folder, also from the keyboard.
    QUrl opened;
    UrlCatcher catcher(opened);
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    QApplication::setActiveWindow(&w);
    w.CreatorLabel->setFocus(Qt::TabFocusReason); // Tab into the label, Tab to its link
    QTest::keyClick(w.CreatorLabel, Qt::Key_Tab);
    QTest::keyClick(w.CreatorLabel, Qt::Key_Return);
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(opened, QUrl::fromLocalFile(launcher + "/output"));
    const QStringList script = readText(launcher + "/kvii.nsi").split("\r\n");
    QCOMPARE(script.mid(0, 1) + script.filter("Section ") + script.mid(script.size() - 4, 2),
             (QStringList{R"(Name "Isle of Dawn")", R"(Section "Tomes")", R"(Section "Music")",
                          R"(Section "The .ini File")", R"(SetOutPath "$INSTDIR")",
                          "File \"" + game + "dawn.ini\""}));
    // The selected tomes of the default world.
    clickRow(worlds, 0);
    clickRow(w.CreatorTomeList, 0);
    QVERIFY(p.launch().startsWith("The installer is ready"));
    QCOMPARE(seen,
             (QStringList{"worldforge2.exe  in Game: Frostmarch Roster_Frostmarch, 0",
                          "korvath2.exe  in Game: Frostmarch Roster_Frostmarch, 0",
                          "makensis -WX -Okvii.log kvii.nsi in launcher: Valmora Roster, 0",
                          "makensis -WX -Okvii.log kvii.nsi in launcher: Valmora Roster, 0"}));
    QCOMPARE(p.fixture.storedSetting("Herbalism", "PackageTomeDirs"), "<missing>");
}

QTEST_MAIN(CreatorPanelTest)
#include "tst_creatorpanel.moc"
