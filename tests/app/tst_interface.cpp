// The interface mode chosen with the two option buttons of the Configuration tab.
#include "InstallationBuilder.h"
#include "app/ui/ListBox.h"
#include "app/ui/TabControl.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

class InterfaceTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void optionButtonsSwitchThePanels();
    void switchingLeavesListsAndTabAlone();
    void hiddenPanelTakesNoFocus();
    void arrowKeysChooseTheModeToo();

private:
    Form1& openWindow(const QString& mode);

    std::unique_ptr<QTemporaryDir> tmp;
    std::unique_ptr<WindowFixture> fixture;
};

namespace {

void clickTab(TabControl* tabs, int index) {
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(index).center());
}

void clickOption(QRadioButton* option) {
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
}

// Which panel is in front and the mode on disk. (The panels lie on the Launcher tab,
// so they count as shown when they are not hidden themselves.)
QString mode(Form1& w, WindowFixture& fixture) {
    const bool player = !w.PlayerPicBox->isHidden() && w.PlayerPicBox->isEnabled() &&
                        w.CreatorPicBox->isHidden() && !w.CreatorPicBox->isEnabled() &&
                        w.InterfaceOption1->isChecked() && !w.InterfaceOption2->isChecked();
    const bool creator = !w.CreatorPicBox->isHidden() && w.CreatorPicBox->isEnabled() &&
                         w.PlayerPicBox->isHidden() && !w.PlayerPicBox->isEnabled() &&
                         w.InterfaceOption2->isChecked() && !w.InterfaceOption1->isChecked();
    const QString panels = player ? "player" : creator ? "creator" : "mixed";
    return panels + "/" + fixture.storedSetting("interfaceType");
}

// Items and selection of a list, for before/after comparisons.
QStringList listState(ListBox* list) {
    QStringList state;
    for (int i = 0; i < list->count(); ++i)
        state << (list->item(i)->isSelected() ? "* " : "  ") + list->item(i)->text();
    return state;
}

} // namespace

void InterfaceTest::init() {
    tmp = std::make_unique<QTemporaryDir>();
    QCOMPARE(InstallationBuilder::build(tmp->path() + "/Korvath II"), QString());
    fixture = std::make_unique<WindowFixture>(tmp->path());
    fixture->presetSetting("KVDir", tmp->path() + "/Korvath II/");
}

void InterfaceTest::cleanup() {
    QVERIFY(fatalErrors().isEmpty());
    fixture.reset();
    tmp.reset();
}

Form1& InterfaceTest::openWindow(const QString& mode) {
    fixture->presetSetting("interfaceType", mode);
    Form1& window = fixture->create();
    window.show();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window))
        qWarning("window not active");
    return window;
}

void InterfaceTest::optionButtonsSwitchThePanels() {
    Form1& w = openWindow("0");
    QCOMPARE(w.LauncherTabs->Tab(), 0);
    clickTab(w.LauncherTabs, 1);
    QCOMPARE(mode(w, *fixture), QStringLiteral("player/0"));

    clickOption(w.InterfaceOption2);
    QCOMPARE(mode(w, *fixture), QStringLiteral("creator/1"));
    clickOption(w.InterfaceOption1);
    QCOMPARE(mode(w, *fixture), QStringLiteral("player/0"));
    // Choosing the mode that is shown repeats its steps: the setting is written again.
    fixture->settings->SaveSetting(kSettingsSection, "interfaceType", "stale");
    clickOption(w.InterfaceOption1);
    QCOMPARE(mode(w, *fixture), QStringLiteral("player/0"));
    // The state field keeps what start-up read.
    QCOMPARE(w.launcherState().interfaceType, QStringLiteral("0"));

    clickOption(w.InterfaceOption2);
    clickTab(w.LauncherTabs, 0);
    QVERIFY(w.CreatorLaunchBtn->isVisible());
    QVERIFY(!w.PlayerLaunchBtn->isVisible());
    // The shown panel lies in front of the hidden one.
    const QObjectList pageChildren = w.LauncherTabs->page(0)->children();
    QVERIFY(pageChildren.indexOf(w.CreatorPicBox) > pageChildren.indexOf(w.PlayerPicBox));
}

void InterfaceTest::switchingLeavesListsAndTabAlone() {
    Form1& w = openWindow("1");
    // The worlds and tomes of the demo installation fill the lists at start-up.
    QVERIFY(w.PlayerWorldList->count() >= 3);
    QVERIFY(w.CreatorWorldList->count() >= 3);
    QVERIFY(w.CreatorTomeList->count() >= 2);
    w.CreatorWorldList->setCurrentRow(0);
    w.CreatorTomeList->setCurrentRow(1);
    w.PlayerWorldList->setCurrentRow(2);
    const QStringList player = listState(w.PlayerWorldList);
    const QStringList worlds = listState(w.CreatorWorldList);
    const QStringList tomes = listState(w.CreatorTomeList);
    const bool tomesEnabled = w.CreatorTomeList->isEnabled();
    const int action = w.CreatorCombo->currentIndex();
    const QString playerCaption = w.PlayerLabel->text();

    clickTab(w.LauncherTabs, 1);
    for (QRadioButton* option : {w.InterfaceOption1, w.InterfaceOption2, w.InterfaceOption2,
                                 w.InterfaceOption1, w.InterfaceOption2}) {
        clickOption(option);
        QCOMPARE(w.LauncherTabs->Tab(), 1);
    }
    QCOMPARE(mode(w, *fixture), QStringLiteral("creator/1"));
    QCOMPARE(listState(w.PlayerWorldList), player);
    QCOMPARE(listState(w.CreatorWorldList), worlds);
    QCOMPARE(listState(w.CreatorTomeList), tomes);
    QCOMPARE(w.CreatorTomeList->isEnabled(), tomesEnabled);
    QCOMPARE(w.CreatorCombo->currentIndex(), action);
    QCOMPARE(w.PlayerLabel->text(), playerCaption);
}

void InterfaceTest::hiddenPanelTakesNoFocus() {
    Form1& w = openWindow("0");
    clickTab(w.LauncherTabs, 1);
    clickOption(w.InterfaceOption2);
    clickTab(w.LauncherTabs, 0);
    w.CreatorCombo->setFocus();
    QTRY_VERIFY(w.CreatorCombo->hasFocus());
    // Walk the whole focus chain both ways: no control of the Player panel is reached.
    QSet<QWidget*> reached;
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
        for (int i = 0; i < 30; ++i) {
            QTest::keyClick(QApplication::focusWidget(), key);
            reached.insert(QApplication::focusWidget());
        }
    }
    QVERIFY(reached.contains(w.CreatorLaunchBtn));
    for (QWidget* widget : reached)
        QVERIFY2(!w.PlayerPicBox->isAncestorOf(widget), qPrintable(widget->objectName()));
    // Nor does the program's own focus request reach it, nor a click.
    w.PlayerLaunchBtn->setFocus();
    QVERIFY(!w.PlayerLaunchBtn->hasFocus());
    QVERIFY(!w.PlayerQuitBtn->isEnabled());
}

void InterfaceTest::arrowKeysChooseTheModeToo() {
    Form1& w = openWindow("0");
    clickTab(w.LauncherTabs, 1);
    w.InterfaceOption1->setFocus();
    QTRY_VERIFY(w.InterfaceOption1->hasFocus());
    QTest::keyClick(w.InterfaceOption1, Qt::Key_Right);
    QCOMPARE(mode(w, *fixture), QStringLiteral("creator/1"));
    QTest::keyClick(w.InterfaceOption2, Qt::Key_Left);
    QCOMPARE(mode(w, *fixture), QStringLiteral("player/0"));
}

QTEST_MAIN(InterfaceTest)
#include "tst_interface.moc"
