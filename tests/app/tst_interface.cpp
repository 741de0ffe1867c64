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
    void optionButtonsSwitchThePanelsOnly();
};

namespace {

void clickTab(TabControl* tabs, int index) {
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(index).center());
}

void clickOption(QRadioButton* option) {
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
}

// Which panel is in front and the mode on disk, e.g. "player/0". (The panels lie on
// the Launcher tab, so they count as shown when they are not hidden themselves.)
QString mode(Form1& w, WindowFixture& fixture) {
    auto shown = [](QWidget* on, QWidget* off, QRadioButton* checked, QRadioButton* unchecked) {
        return !on->isHidden() && on->isEnabled() && off->isHidden() && !off->isEnabled() &&
               checked->isChecked() && !unchecked->isChecked();
    };
    const QString panels =
        shown(w.PlayerPicBox, w.CreatorPicBox, w.InterfaceOption1, w.InterfaceOption2)   ? "player"
        : shown(w.CreatorPicBox, w.PlayerPicBox, w.InterfaceOption2, w.InterfaceOption1) ? "creator"
                                                                                         : "mixed";
    return panels + "/" + fixture.storedSetting("interfaceType");
}

// Everything switching must leave alone: list lines and selections, the tome list's
// state, the chosen action and the player caption.
QStringList untouched(Form1& w) {
    QStringList state;
    for (ListBox* list : {w.PlayerWorldList, w.CreatorWorldList, w.CreatorTomeList}) {
        for (int i = 0; i < list->count(); ++i)
            state << (list->item(i)->isSelected() ? "* " : "  ") + list->item(i)->text();
        state << "--";
    }
    return state << QString::number(w.CreatorTomeList->isEnabled())
                 << QString::number(w.CreatorCombo->currentIndex()) << w.PlayerLabel->text();
}

} // namespace

void InterfaceTest::optionButtonsSwitchThePanelsOnly() {
    QTemporaryDir tmp;
    QCOMPARE(InstallationBuilder::build(tmp.path() + "/Korvath II"), QString());
    WindowFixture fixture(tmp.path());
    fixture.presetSetting("KVDir", tmp.path() + "/Korvath II/");
    fixture.presetSetting("interfaceType", "0");
    fatalErrors().clear();
    Form1& w = fixture.create();
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(w.LauncherTabs->Tab(), 0);
    // The demo installation's worlds and tomes fill the lists at start-up.
    QVERIFY(w.PlayerWorldList->count() >= 3 && w.CreatorWorldList->count() >= 3);
    QVERIFY(w.CreatorTomeList->count() >= 2);
    w.CreatorWorldList->setCurrentRow(0);
    w.CreatorTomeList->setCurrentRow(1);
    w.PlayerWorldList->setCurrentRow(2);
    const QStringList before = untouched(w);
    clickTab(w.LauncherTabs, 1);
    QCOMPARE(mode(w, fixture), QStringLiteral("player/0"));

    clickOption(w.InterfaceOption2);
    QCOMPARE(mode(w, fixture), QStringLiteral("creator/1"));
    clickOption(w.InterfaceOption1);
    QCOMPARE(mode(w, fixture), QStringLiteral("player/0"));
    // Choosing the mode that is shown repeats its steps: the setting is written again.
    fixture.settings->SaveSetting(kSettingsSection, "interfaceType", "stale");
    clickOption(w.InterfaceOption1);
    QCOMPARE(mode(w, fixture), QStringLiteral("player/0"));
    // The arrow keys choose too.
    w.InterfaceOption1->setFocus();
    QTRY_VERIFY(w.InterfaceOption1->hasFocus());
    QTest::keyClick(w.InterfaceOption1, Qt::Key_Right);
    QCOMPARE(mode(w, fixture), QStringLiteral("creator/1"));
    QTest::keyClick(w.InterfaceOption2, Qt::Key_Left);
    QCOMPARE(mode(w, fixture), QStringLiteral("player/0"));
    clickOption(w.InterfaceOption2);
    QCOMPARE(mode(w, fixture), QStringLiteral("creator/1"));

    // The tab, the lists and the start-up state field stay as they were.
    QCOMPARE(w.LauncherTabs->Tab(), 1);
    QCOMPARE(untouched(w), before);
    QCOMPARE(w.launcherState().interfaceType, QStringLiteral("0"));
    clickTab(w.LauncherTabs, 0);
    QVERIFY(w.CreatorLaunchBtn->isVisible() && !w.PlayerLaunchBtn->isVisible());
    // The shown panel lies in front of the hidden one.
    const QObjectList pageChildren = w.LauncherTabs->page(0)->children();
    QVERIFY(pageChildren.indexOf(w.CreatorPicBox) > pageChildren.indexOf(w.PlayerPicBox));

    // The hidden panel takes no keyboard focus: walk the whole chain both ways.
    w.CreatorCombo->setFocus();
    QTRY_VERIFY(w.CreatorCombo->hasFocus());
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
    QVERIFY2(fatalErrors().isEmpty(), qPrintable(fatalErrors().join('\n')));
}

QTEST_MAIN(InterfaceTest)
#include "tst_interface.moc"
