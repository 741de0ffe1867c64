#include "gamedir/ui/DirListBox.h"

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {}

bool DirListBox::SetPath(const QString& path) {
    if (path == m_path)
        return false;
    m_path = path;
    emit Change();
    return true;
}
