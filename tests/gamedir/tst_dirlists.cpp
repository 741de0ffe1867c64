// The directory list and the drive list on their own, driven as a user drives them.
#include "TestSupport.h"
#include "gamedir/ui/DirListBox.h"
#include "gamedir/ui/DriveListBox.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using TestSupport::FakeDriveFileSystem;

namespace {

QListWidgetItem* lineNamed(QListWidget& list, const QString& text) {
    const QList<QListWidgetItem*> found = list.findItems(text, Qt::MatchExactly);
    return found.size() == 1 ? found.first() : nullptr;
}

void doubleClick(QListWidget& list, QListWidgetItem* line) {
    const QPoint centre = list.visualItemRect(line).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, centre);
}

} // namespace

class DirListsTest : public QObject {
    Q_OBJECT
private slots:
    void directoryListBrowsesFolders();
    void driveListShowsLabelsAndIsReadAgainWhenOpened();
};

void DirListsTest::directoryListBrowsesFolders() {
    QTemporaryDir tmp;
    const QString base = tmp.path();
    for (const char* name : {"Games/Korvath 2/Data", "Games/Old", "Games/alpha"})
        QVERIFY(QDir().mkpath(base + "/" + name));
    LocalFileSystem fs;
    DirListBox list;
    list.setFileSystem(&fs);
    list.resize(300, 600);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QSignalSpy changes(&list, &DirListBox::Change);

    // The path from the root down, each a step further in, then the subfolders.
    QVERIFY(list.SetPath(base + "/Games/"));
    QCOMPARE(list.Path(), base + "/Games");
    const int depth = base.count('/') + 2; // "/", each component of base, "Games"
    QCOMPARE(list.item(0)->text(), QStringLiteral("/"));
    QCOMPARE(list.currentRow(), depth - 1);
    QCOMPARE(list.count(), depth + 3);
    int row = depth;
    for (const char* name : {"alpha", "Korvath 2", "Old"}) {
        QCOMPARE(list.item(row)->text(), QString::fromUtf8(name));
        QCOMPARE(list.item(row++)->data(DirListBox::LevelRole).toInt(), depth);
    }

    // The directory it shows, in any spelling, raises nothing.
    for (const QString& same : {base + "/Games", base + "//Games//", base + "/GAMES"})
        QVERIFY2(!list.SetPath(same), qPrintable(same));
    QVERIFY_THROWS_EXCEPTION(FileSystemError, list.SetPath(base + "/Missing"));
    QCOMPARE(changes.count(), 1);

    // A click selects, a double-click or Enter opens; opening the current line,
    // or a folder that went away meanwhile, moves nothing.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(lineNamed(list, "Old")).center());
    QCOMPARE(changes.count(), 1);
    doubleClick(list, lineNamed(list, "Korvath 2"));
    QCOMPARE(list.Path(), base + "/Games/Korvath 2");
    doubleClick(list, lineNamed(list, "Korvath 2"));
    QCOMPARE(changes.count(), 2);
    list.setCurrentItem(lineNamed(list, "Games"));
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(list.Path(), base + "/Games");
    QCOMPARE(changes.count(), 3);
    QVERIFY(QDir(base + "/Games/Old").removeRecursively());
    list.setCurrentItem(lineNamed(list, "Old"));
    QTest::keyClick(&list, Qt::Key_Enter);
    QCOMPARE(list.Path(), base + "/Games");
    QCOMPARE(changes.count(), 3);
    QVERIFY(!lineNamed(list, "Old")); // the list shows what is there now
}

void DirListsTest::driveListShowsLabelsAndIsReadAgainWhenOpened() {
    QTemporaryDir tmp;
    const QString d = tmp.path() + "/D", e = tmp.path() + "/E";
    FakeDriveFileSystem fs;
    fs.drives = {FakeDriveFileSystem::driveAt(d)};
    DriveListBox drives;
    drives.setFileSystem(&fs);
    drives.showDriveOf(d + "/Games");
    QSignalSpy changes(&drives, &DriveListBox::Change);

    // A drive mounted meanwhile shows up when the list is opened; the chosen drive
    // stays chosen and nothing is raised.
    fs.drives.prepend(FakeDriveFileSystem::driveAt(e));
    fs.drives.first().label = "STICK";
    static_cast<QComboBox&>(drives).showPopup();
    QCOMPARE(drives.count(), 2);
    QCOMPARE(drives.itemText(0), e + " [STICK]");
    QCOMPARE(drives.Drive(), d);
    QCOMPARE(drives.currentIndex(), 1);
    QCOMPARE(changes.count(), 0);
}

QTEST_MAIN(DirListsTest)
#include "tst_dirlists.moc"
