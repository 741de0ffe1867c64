#pragma once

#include "app/FileSystem.h"

#include <QComboBox>
#include <QList>

// The drive list: the file-system service's drives, each shown by its mount point
// and, where the system has one, its label. The list is read again each time the
// user opens it, so a drive mounted meanwhile shows up.
class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);
    // Gives the list its service and reads the drives from it.
    void setFileSystem(FileSystem* fileSystem);

    QString Drive() const; // the chosen drive's root, "" when none is chosen
    // The chosen drive as the service described it (empty root when none).
    ::Drive currentDrive() const;
    // Chooses the drive holding path (the longest matching root). Raises Change and
    // returns true when that is another drive than the one chosen; a path on no
    // known drive changes nothing.
    bool SetDrive(const QString& path);
    // Chooses the drive holding path without raising Change (the opening state).
    void showDriveOf(const QString& path);
    // Reads the drives again, keeping the chosen one.
    void refreshDrives();

    // The text a drive is shown by.
    static QString displayText(const ::Drive& drive);

signals:
    void Change();

protected:
    void changeEvent(QEvent* event) override;
    void showPopup() override;

private:
    void setDrives(const QList<::Drive>& drives, int chosen);
    void userPicked(int index);

    FileSystem* m_fs = nullptr;
    QList<::Drive> m_drives;
    int m_chosen = -1;
    bool m_popupMade = false; // its popup is built when it is first opened
};
