#pragma once

#include <QListWidget>

class FileSystem;

// The directory list: the current path's folders from the root down (shown open,
// each one step further in), then the current folder's subfolders (shown closed,
// one step further in again). Opening a line (double-click, or Enter on it) moves
// the path there. A single click only selects a line.
class DirListBox : public QListWidget {
    Q_OBJECT
public:
    // Item data: the line's full path and how far it is indented.
    static constexpr int PathRole = Qt::UserRole;
    static constexpr int LevelRole = Qt::UserRole + 1;

    explicit DirListBox(QWidget* parent = nullptr);
    void setFileSystem(FileSystem* fileSystem) { m_fs = fileSystem; }

    // The current directory as it is on disk, without a closing separator except
    // at the root; "" before any directory is shown.
    QString Path() const { return m_path; }
    // Moves to path; raises Change when that is another directory and returns
    // whether it did. Throws FileSystemError when there is no such folder.
    bool SetPath(const QString& path);
    // Shows path without raising Change (the opening state). A path that cannot be
    // shown leaves the list as it was.
    void showPathQuietly(const QString& path);

    // The line that shows the folder at path, or -1.
    int rowOfPath(const QString& path) const;

signals:
    void Change();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The folder icons: looking them up in the desktop's icon theme takes a while, so
    // a list that is not on the screen gets them when it is shown.
    void applyIcons();
    int m_chainSize = 0;
    bool m_iconsPending = false;

    // The folder's path as it is on disk, normalised; throws FileSystemError.
    QString resolve(const QString& path) const;
    void fill(const QString& path);
    void openLine(QListWidgetItem* item);

    FileSystem* m_fs = nullptr;
    QString m_path;
};
