#include "gamedir/ui/DriveListBox.h"

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {}

void DriveListBox::SetDrive(const QString& path) {
    if (path == m_drive)
        return;
    m_drive = path;
    emit Change();
}
