#pragma once

#include <QWidget>
#include <array>

class QTabBar;

// The tab control: one row of tabs over a pane. Each tab's page covers the whole
// control, so positions on a page count from the control's own top-left; the tab
// row lies above the pages' controls. A disabled tab stays in the row, shown
// unavailable, and the user cannot select it by mouse or keyboard.
class TabControl : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTabRowHeight = 24;

    explicit TabControl(QWidget* parent = nullptr);

    int addTab(const QString& caption);
    QWidget* page(int index) const;
    int count() const;
    QTabBar* tabBar() const { return m_bar; }

    int Tab() const;
    void SetTab(int index);
    bool TabEnabled(int index) const;
    void SetTabEnabled(int index, bool enabled);
    // Selects the next (step 1) or previous (step -1) enabled tab, round the row, as
    // the user's choice (Ctrl+Tab, Ctrl+PgDn and their reverses); a disabled tab is
    // passed over.
    void selectAdjacentTab(int step);

signals:
    // Raised when the user selects a tab; passes the tab selected before.
    void Click(int previousTab);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showPage(int index);

    QTabBar* m_bar;
    QList<QWidget*> m_pages;
    int m_current = -1;
    bool m_programChange = false;
};
