// The tab control: selection by the program and by the user, unavailable tabs.
#include "app/ui/TabControl.h"

#include <QSignalSpy>
#include <QTabBar>
#include <QtTest>

class TabControlTest : public QObject {
    Q_OBJECT
private slots:
    void disabledTabCannotBeSelectedByTheUser();
    void programSelectionRaisesNoClick();
};

namespace {
void makeThreeTabs(TabControl& tabs) {
    tabs.setGeometry(0, 0, 441, 265);
    tabs.addTab("Launcher");
    tabs.addTab("Configuration");
    tabs.addTab("About");
}
} // namespace

void TabControlTest::disabledTabCannotBeSelectedByTheUser() {
    TabControl tabs;
    makeThreeTabs(tabs);
    tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tabs));
    QCOMPARE(tabs.tabBar()->height(), TabControl::kTabRowHeight);

    tabs.SetTab(1);
    tabs.SetTabEnabled(0, false);
    QCOMPARE(tabs.Tab(), 1); // disabling another tab leaves the selection alone
    QVERIFY(!tabs.TabEnabled(0));
    QCOMPARE(tabs.tabBar()->count(), 3); // still in the row

    QSignalSpy clicks(&tabs, &TabControl::Click);
    QTest::mouseClick(tabs.tabBar(), Qt::LeftButton, {}, tabs.tabBar()->tabRect(0).center());
    QCOMPARE(tabs.Tab(), 1);
    tabs.tabBar()->setFocus();
    QTest::keyClick(tabs.tabBar(), Qt::Key_Left);
    QTest::keyClick(tabs.tabBar(), Qt::Key_Home);
    QCOMPARE(tabs.Tab(), 1);
    QVERIFY(!tabs.page(0)->isVisible());
    QCOMPARE(clicks.count(), 0);

    // The user reaches the enabled ones; each selection raises Click with the tab before.
    QTest::mouseClick(tabs.tabBar(), Qt::LeftButton, {}, tabs.tabBar()->tabRect(2).center());
    QCOMPARE(tabs.Tab(), 2);
    QVERIFY(tabs.page(2)->isVisible());
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.first().first().toInt(), 1);

    tabs.SetTabEnabled(0, true);
    QTest::mouseClick(tabs.tabBar(), Qt::LeftButton, {}, tabs.tabBar()->tabRect(0).center());
    QCOMPARE(tabs.Tab(), 0);
}

void TabControlTest::programSelectionRaisesNoClick() {
    TabControl tabs;
    makeThreeTabs(tabs);
    QSignalSpy clicks(&tabs, &TabControl::Click);
    tabs.SetTabEnabled(0, false);
    tabs.SetTab(0); // the program may select a tab the user cannot
    QCOMPARE(tabs.Tab(), 0);
    QVERIFY(!tabs.TabEnabled(0));
    tabs.SetTab(2);
    QCOMPARE(tabs.Tab(), 2);
    QCOMPARE(clicks.count(), 0);
}

QTEST_MAIN(TabControlTest)
#include "tst_tabcontrol.moc"
