#include "app/ui/ListBox.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>

ListBox::ListBox(QWidget* parent) : QListWidget(parent) {
    setSortingEnabled(false);
    setUniformItemSizes(true);
}

int ListBox::ListIndex() const {
    for (int i = 0; i < count(); ++i) {
        if (item(i)->isSelected())
            return i;
    }
    return -1;
}

int ListBox::SelCount() const {
    int n = 0;
    for (int i = 0; i < count(); ++i)
        n += item(i)->isSelected() ? 1 : 0;
    return n;
}

bool ListBox::Selected(int index) const {
    const QListWidgetItem* line = item(index);
    return line && line->isSelected();
}

void ListBox::SetSelected(int index, bool selected) {
    QListWidgetItem* line = item(index);
    if (!line)
        return;
    if (selected && selectionMode() == SingleSelection)
        setCurrentItem(line, QItemSelectionModel::ClearAndSelect);
    else
        line->setSelected(selected);
}

QItemSelectionModel::SelectionFlags ListBox::selectionCommand(const QModelIndex& index,
                                                              const QEvent* event) const {
    const QItemSelectionModel::SelectionFlags flags = QListWidget::selectionCommand(index, event);
    if (selectionMode() == SingleSelection) {
        // Ctrl+click, Ctrl+Space and clicks beside the lines would leave the list
        // without a selection; only choosing another line changes it.
        if (flags & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
            return QItemSelectionModel::NoUpdate;
        if ((flags & QItemSelectionModel::Clear) && !index.isValid())
            return QItemSelectionModel::NoUpdate;
    } else if (selectionMode() == MultiSelection && event && event->type() == QEvent::MouseMove) {
        return QItemSelectionModel::NoUpdate;
    }
    return flags;
}

void ListBox::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (event->reason() != QContextMenuEvent::Mouse) {
        contextMenuOfCurrentLine();
        return;
    }
    // The position is the viewport's, where the lines are.
    const QModelIndex line = indexAt(event->pos());
    if (!line.isValid())
        return;
    if (selectionMode() == SingleSelection)
        SetSelected(line.row(), true);
    else
        setCurrentRow(line.row(), QItemSelectionModel::NoUpdate);
    emit ContextMenu(line.row(), event->globalPos());
}

void ListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Menu ||
        (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        event->accept();
        contextMenuOfCurrentLine();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void ListBox::contextMenuOfCurrentLine() {
    const QModelIndex line = currentIndex();
    if (!line.isValid())
        return;
    scrollTo(line);
    emit ContextMenu(line.row(), viewport()->mapToGlobal(visualRect(line).center()));
}

bool ListBox::event(QEvent* event) {
    const bool handled = QListWidget::event(event);
    if (event->type() == QEvent::Paint && hasFocus()) {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Highlight));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    return handled;
}

void ListBox::focusInEvent(QFocusEvent* event) {
    QListWidget::focusInEvent(event);
    update();
}

void ListBox::focusOutEvent(QFocusEvent* event) {
    QListWidget::focusOutEvent(event);
    update();
}
