#include "gamedir/ui/DriveListBox.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QSignalBlocker>

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    connect(this, QOverload<int>::of(&QComboBox::activated), this, &DriveListBox::userPicked);
}

void DriveListBox::setFileSystem(FileSystem* fileSystem) {
    m_fs = fileSystem;
    m_chosen = -1;
    m_drives.clear();
    refreshDrives();
}

QString DriveListBox::displayText(const ::Drive& drive) {
    if (drive.label.isEmpty())
        return drive.rootPath;
    return QStringLiteral("%1 [%2]").arg(drive.rootPath, drive.label);
}

QString DriveListBox::Drive() const {
    return currentDrive().rootPath;
}

::Drive DriveListBox::currentDrive() const {
    return m_drives.value(m_chosen);
}

void DriveListBox::refreshDrives() {
    if (!m_fs)
        return;
    QList<::Drive> drives;
    try {
        drives = m_fs->Drives();
    } catch (const LauncherError&) {
        return; // keep the list as it was
    }
    int chosen = -1;
    if (m_chosen >= 0) {
        const ::Drive current = currentDrive();
        for (int i = 0; i < drives.size() && chosen < 0; ++i) {
            if (drives[i].rootPath == current.rootPath)
                chosen = i;
        }
        // A chosen drive that went away stays shown until another is chosen.
        if (chosen < 0) {
            drives.append(current);
            chosen = drives.size() - 1;
        }
    }
    setDrives(drives, chosen);
}

void DriveListBox::setDrives(const QList<::Drive>& drives, int chosen) {
    const QSignalBlocker block(this);
    m_drives = drives;
    clear();
    for (const ::Drive& drive : m_drives) {
        addItem(displayText(drive));
        setItemData(count() - 1, drive.rootPath, Qt::ToolTipRole);
    }
    m_chosen = chosen;
    setCurrentIndex(chosen);
}

bool DriveListBox::SetDrive(const QString& path) {
    const int index = FileSystem::driveIndexOfPath(m_drives, path);
    if (index < 0 || index == m_chosen)
        return false;
    {
        const QSignalBlocker block(this);
        setCurrentIndex(index);
    }
    m_chosen = index;
    emit Change();
    return true;
}

void DriveListBox::showDriveOf(const QString& path) {
    const int index = FileSystem::driveIndexOfPath(m_drives, path);
    const QSignalBlocker block(this);
    m_chosen = index;
    setCurrentIndex(index);
}

void DriveListBox::changeEvent(QEvent* event) {
    // The toolkit's drop-down list builds its popup to give it a new font; before the
    // popup is first opened there is none to give it to (it takes the font then).
    if (event->type() == QEvent::FontChange && !m_popupMade) {
        QWidget::changeEvent(event);
        return;
    }
    QComboBox::changeEvent(event);
}

void DriveListBox::showPopup() {
    if (!m_popupMade) {
        m_popupMade = true;
        view()->setTextElideMode(Qt::ElideMiddle);
        view()->window()->setFont(font());
    }
    refreshDrives();
    QComboBox::showPopup();
}

void DriveListBox::userPicked(int index) {
    if (index < 0 || index == m_chosen)
        return;
    m_chosen = index;
    emit Change();
}
