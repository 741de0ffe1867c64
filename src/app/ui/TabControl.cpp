#include "app/ui/TabControl.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

TabControl::TabControl(QWidget* parent) : QWidget(parent), m_bar(new QTabBar(this)) {
    m_bar->setDrawBase(false);
    m_bar->setExpanding(false);
    m_bar->setUsesScrollButtons(false);
    m_bar->setFocusPolicy(Qt::TabFocus);
    connect(m_bar, &QTabBar::currentChanged, this, [this](int index) {
        const int previous = m_current;
        showPage(index);
        if (!m_programChange && previous != index)
            emit Click(previous);
    });
}

int TabControl::addTab(const QString& caption) {
    auto* page = new QWidget(this);
    page->setGeometry(0, 0, width(), height());
    page->hide();
    m_pages.append(page);
    const QSignalBlocker block(m_bar);
    const int index = m_bar->addTab(caption);
    m_bar->raise();
    if (m_current < 0)
        showPage(0);
    return index;
}

QWidget* TabControl::page(int index) const {
    return m_pages.value(index);
}
int TabControl::count() const {
    return m_pages.size();
}
int TabControl::Tab() const {
    return m_current;
}

void TabControl::SetTab(int index) {
    if (index < 0 || index >= m_pages.size() || index == m_current)
        return;
    m_programChange = true;
    const bool wasEnabled = m_bar->isTabEnabled(index);
    // The program may select a tab the user cannot.
    m_bar->setTabEnabled(index, true);
    m_bar->setCurrentIndex(index);
    m_bar->setTabEnabled(index, wasEnabled);
    m_programChange = false;
    showPage(index);
}

bool TabControl::TabEnabled(int index) const {
    return m_bar->isTabEnabled(index);
}

void TabControl::SetTabEnabled(int index, bool enabled) {
    // QTabBar moves the selection away from a tab that becomes disabled; the tab
    // control keeps it where the program put it.
    m_programChange = true;
    const int current = m_current;
    m_bar->setTabEnabled(index, enabled);
    if (m_bar->currentIndex() != current) {
        const QSignalBlocker block(m_bar);
        m_bar->setCurrentIndex(current);
    }
    m_programChange = false;
    showPage(current);
}

void TabControl::selectAdjacentTab(int step) {
    const int n = int(m_pages.size());
    for (int k = 1; k < n; ++k) {
        const int index = ((m_current + step * k) % n + n) % n;
        if (m_bar->isTabEnabled(index)) {
            m_bar->setCurrentIndex(index); // raises Click as a click on the tab does
            return;
        }
    }
}

void TabControl::showPage(int index) {
    m_current = index;
    for (int i = 0; i < m_pages.size(); ++i) {
        m_pages[i]->setGeometry(0, 0, width(), height());
        m_pages[i]->setVisible(i == index);
    }
    m_bar->setGeometry(0, 0, m_bar->sizeHint().width(), kTabRowHeight);
    m_bar->raise();
    update();
}

void TabControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionTabWidgetFrame option;
    option.initFrom(this);
    option.rect = QRect(0, kTabRowHeight - 1, width(), height() - kTabRowHeight + 1);
    option.shape = QTabBar::RoundedNorth;
    option.tabBarSize = QSize(m_bar->sizeHint().width(), kTabRowHeight);
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &option, &painter, this);
}
