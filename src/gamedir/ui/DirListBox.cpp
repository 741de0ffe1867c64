#include "gamedir/ui/DirListBox.h"

#include "app/FileSystem.h"
#include "gamedir/KVDirStuff.h"

#include <QApplication>
#include <QStyle>
#include <QStyledItemDelegate>

namespace {

constexpr int kIndentPixels = 12;

// Draws each line moved to the right by its level, the way the folders of a path
// step in under each other.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted(option);
        shifted.rect.setLeft(shifted.rect.left() + indent(index));
        QStyledItemDelegate::paint(painter, shifted, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize size = QStyledItemDelegate::sizeHint(option, index);
        return QSize(size.width() + indent(index), size.height());
    }

private:
    static int indent(const QModelIndex& index) {
        return index.data(DirListBox::LevelRole).toInt() * kIndentPixels;
    }
};

} // namespace

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setTextElideMode(Qt::ElideRight);
    setItemDelegate(new IndentDelegate(this));
    connect(this, &QListWidget::itemActivated, this, &DirListBox::openLine);
}

QString DirListBox::resolve(const QString& path) const {
    if (!m_fs)
        throw FileSystemError(QStringLiteral("Path not found: %1").arg(path));
    return KVDirStuff::NormalisePath(m_fs->GetFolder(path).Path(), m_fs->separator());
}

bool DirListBox::SetPath(const QString& path) {
    const QChar separator = m_fs ? m_fs->separator() : QLatin1Char('/');
    if (!m_path.isEmpty() && KVDirStuff::NormalisePath(path, separator) == m_path)
        return false;
    const QString resolved = resolve(path);
    if (resolved == m_path)
        return false; // the same folder, written in other letter case
    fill(resolved);
    emit Change();
    return true;
}

void DirListBox::showPathQuietly(const QString& path) {
    try {
        fill(resolve(path));
    } catch (const LauncherError&) {
    }
}

int DirListBox::rowOfPath(const QString& path) const {
    for (int row = 0; row < count(); ++row) {
        if (item(row)->data(PathRole).toString() == path)
            return row;
    }
    return -1;
}

void DirListBox::fill(const QString& path) {
    const QChar separator = m_fs->separator();
    m_path = path;

    // The chain from the root down: "/" (or "C:\") and then each component.
    QStringList chainPaths;
    QStringList chainNames;
    const QStringList parts = path.split(separator, Qt::SkipEmptyParts);
    QString current;
    if (path.startsWith(separator)) {
        current = separator;
        chainPaths << current;
        chainNames << current;
    }
    for (int i = 0; i < parts.size(); ++i) {
        if (current.isEmpty()) {
            current = parts[i] + separator; // a drive prefix such as "C:\"
            chainNames << current;
        } else {
            current =
                current.endsWith(separator) ? current + parts[i] : current + separator + parts[i];
            chainNames << parts[i];
        }
        chainPaths << current;
    }

    // A folder that exists but cannot be listed is still shown, without subfolders.
    QList<Folder> subFolders;
    try {
        subFolders = m_fs->GetFolder(path).SubFolders();
    } catch (const LauncherError&) {
    }

    clear();
    m_chainSize = int(chainPaths.size());
    for (int i = 0; i < chainPaths.size(); ++i) {
        auto* line = new QListWidgetItem(chainNames[i], this);
        line->setData(PathRole, chainPaths[i]);
        line->setData(LevelRole, i);
        line->setToolTip(chainPaths[i]);
    }
    const int currentRow = count() - 1;
    for (const Folder& folder : subFolders) {
        const QString folderPath = KVDirStuff::NormalisePath(folder.Path(), separator);
        auto* line = new QListWidgetItem(folder.Name(), this);
        line->setData(PathRole, folderPath);
        line->setData(LevelRole, chainPaths.size());
        line->setToolTip(folderPath);
    }
    m_iconsPending = true;
    if (isVisible())
        applyIcons();
    if (currentRow >= 0) {
        setCurrentRow(currentRow);
        // Show from the root down when that fits; a deep path keeps its current
        // folder in the middle, with parents above and subfolders below it.
        scrollToTop();
        scrollToItem(item(currentRow), QAbstractItemView::PositionAtCenter);
    }
}

void DirListBox::openLine(QListWidgetItem* line) {
    if (!line)
        return;
    try {
        SetPath(line->data(PathRole).toString());
    } catch (const LauncherError&) {
        // The folder went away since the list was drawn: show what is there now.
        showPathQuietly(m_path);
    }
}

void DirListBox::showEvent(QShowEvent* event) {
    QListWidget::showEvent(event);
    applyIcons();
}

void DirListBox::applyIcons() {
    if (!m_iconsPending)
        return;
    m_iconsPending = false;
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    for (int i = 0; i < count(); ++i)
        item(i)->setIcon(i < m_chainSize ? openIcon : closedIcon);
}
