#pragma once

#include <QListWidget>

class FileSystem;

// The directory list: the current path's folders from the root down, then the
// current folder's subfolders. Opening a line moves the path there.
class DirListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);
    void setFileSystem(FileSystem* fileSystem) { m_fs = fileSystem; }

    QString Path() const { return m_path; }
    // Moves to path; raises Change when that is another directory and returns
    // whether it did. Throws FileSystemError when the path cannot be read.
    bool SetPath(const QString& path);

signals:
    void Change();

private:
    FileSystem* m_fs = nullptr;
    QString m_path;
};
