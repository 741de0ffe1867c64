#pragma once

#include <QListWidget>

// A list box like the classic one: unsorted lines, and "the selected index" taken
// from the selection (not from the current row).
class ListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);

    // Index of the selected line in a single-selection list, -1 when none.
    int ListIndex() const;
    // Number of selected lines.
    int SelCount() const;
    bool Selected(int index) const;
    void SetSelected(int index, bool selected);
};
