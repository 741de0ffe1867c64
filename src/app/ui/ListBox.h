#pragma once

#include <QListWidget>

// A list box like the classic one: unsorted lines, and "the selected index" taken
// from the selection (not from the current row). In a single-selection list the
// user can choose another line but cannot leave the list without a selection; in a
// multiple-selection list each click toggles one line (dragging toggles nothing).
class ListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);

    // Index of the selected line in a single-selection list (the first selected
    // line of a multiple-selection list), -1 when none.
    int ListIndex() const;
    // Number of selected lines.
    int SelCount() const;
    bool Selected(int index) const;
    // Selecting a line of a single-selection list deselects the other one and makes
    // it the current line.
    void SetSelected(int index, bool selected);

signals:
    // The user asks for a line's context menu: with the mouse on a line (which is
    // selected first, as a left click selects it), or from the keyboard (the Menu key,
    // Shift+F10) for the current line. globalPos is where the menu opens.
    void ContextMenu(int index, const QPoint& globalPos);

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // A list with the focus says so with a frame in the highlight colour.
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void contextMenuOfCurrentLine();
};
