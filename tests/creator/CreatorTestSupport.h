#pragma once
// The window in the Creator mode on a demo installation, and the user's actions on
// its panel (header only; shared by the panel and packaging tests).

#include "InstallationBuilder.h"
#include "WindowSupport.h"
#include "app/ui/ListBox.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace CreatorTest {

inline QStringList texts(const ListBox* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines.append(list->item(i)->text());
    return lines;
}

inline QList<int> selectedRows(const ListBox* list) {
    QList<int> rows;
    for (int i = 0; i < list->count(); ++i) {
        if (list->Selected(i))
            rows.append(i);
    }
    return rows;
}

// A click on a line (given by its row or its text), the way the user gives it.
inline void clickRow(ListBox* list, int row, Qt::KeyboardModifiers modifiers = {}) {
    QListWidgetItem* line = list->item(row);
    QVERIFY2(line, qPrintable(QStringLiteral("no line %1").arg(row)));
    list->scrollToItem(line);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(line).center());
}
inline void clickRow(ListBox* list, const QString& text) {
    clickRow(list, texts(list).indexOf(text));
}

// "" when the label's text fits its fixed box, else the text.
inline QString overflow(const QLabel* label) {
    const QRect needed = label->fontMetrics().boundingRect(QRect(QPoint(), label->size()),
                                                           Qt::TextWordWrap, label->text());
    return label->rect().contains(needed) ? QString() : label->text();
}

inline QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The demo installation in root/Game with the window started on it.
struct Installation {
    explicit Installation(const QString& root, bool withGameDir = true)
        : fixture(root), gameDir(root + "/Game/") {
        const QString error = InstallationBuilder::build(root + "/Game");
        if (!error.isEmpty())
            qFatal("%s", qPrintable(error));
        if (withGameDir)
            fixture.presetSetting("KVDir", gameDir);
        fixture.presetSetting("interfaceType", "1");
    }
    Form1& start() { return fixture.createShown(); }
    // Chooses an action as the keyboard does in the drop-down list (Home, End, Up).
    void choose(int action) {
        QComboBox* combo = fixture.window->CreatorCombo;
        QTest::keyClick(combo, action == 0 ? Qt::Key_Home : Qt::Key_End);
        if (action == 1)
            QTest::keyClick(combo, Qt::Key_Up);
        QCOMPARE(combo->currentIndex(), action);
    }
    void launch() { QTest::mouseClick(fixture.window->CreatorLaunchBtn, Qt::LeftButton); }
    QString script() const { return readText(fixture.launcherFolder + "/kvii.nsi"); }

    TestSupport::WindowFixture fixture;
    QString gameDir;
};

} // namespace CreatorTest
