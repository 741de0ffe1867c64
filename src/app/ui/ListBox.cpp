#include "app/ui/ListBox.h"

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
    if (QListWidgetItem* line = item(index))
        line->setSelected(selected);
}
