#pragma once

#include <QComboBox>

class FileSystem;

// The drive list: the file-system service's drives, shown by their roots.
class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);
    void setFileSystem(FileSystem* fileSystem) { m_fs = fileSystem; }

    QString Drive() const { return m_drive; } // the chosen drive's root
    void SetDrive(const QString& path);       // the drive holding path; raises Change

signals:
    void Change();

private:
    FileSystem* m_fs = nullptr;
    QString m_drive;
};
