// Every label of the window holds every text it can show inside its fixed box.
#include "app/QuoteStuff.h"
#include "app/ui/LauncherFont.h"
#include "app/ui/TabControl.h"
#include "support/TestSupport.h"
#include "worlds/SwitchRecords.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

class LabelFitTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyControlHoldsItsTexts();
};

namespace {

// Where a text overflows its label, as a message; "" when it fits.
QString overflow(QLabel* label, const QString& text) {
    label->setText(text);
    const QSize box = label->size();
    const int needed = label->heightForWidth(box.width());
    // A word longer than the line cannot be wrapped; it would run out of the box.
    const QRect bounds = label->fontMetrics().boundingRect(
        QRect(0, 0, box.width(), 10000), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    if (needed <= box.height() && bounds.width() <= box.width())
        return QString();
    return QStringLiteral("%1 needs %2x%3 in %4x%5: %6")
        .arg(label->objectName())
        .arg(bounds.width())
        .arg(needed)
        .arg(box.width())
        .arg(box.height())
        .arg(text);
}

} // namespace

void LabelFitTest::initTestCase() {
    QVERIFY2(LauncherFont::apply(), "Liberation Sans Narrow is not installed (fonts-liberation)");
}

void LabelFitTest::everyControlHoldsItsTexts() {
    QTemporaryDir tmp;
    WindowFixture fixture(tmp.path());
    Form1& w = fixture.create();
    QStringList quotes;
    QuoteStuff::InitQuotes(quotes);

    // What a launch can say: the longest table entries and reasons, a long directory.
    QStringList launchTexts = {"Korvath II is still running from an earlier launch. The "
                               "launcher will be ready as soon as it ends."};
    for (const char* entry : {"Roster", "Data/Graphics/Wallpapers"}) {
        for (const int error : {EACCES, EEXIST, EROFS, ENOENT, 0}) {
            for (const int more : {0, 10}) {
                const FolderSwitching::Trouble trouble{
                    "/g/", entry, "/g/" + QString(entry), "Roster_Frostmarch", error, more, {}};
                launchTexts << SwitchRecords::SwitchInFailureText(trouble)
                            << SwitchRecords::RestoreFailureText(trouble);
            }
        }
    }
    const FolderSwitching::Trouble unread{"/g/", "", "/g/Data/Graphics/", "", EACCES, 0, {}};
    launchTexts << SwitchRecords::SwitchInFailureText(unread)
                << SwitchRecords::RestoreFailureText(unread);
    const SwitchRecords::Record away{"/media/usb-disk/Games/Korvath II Gold Ed/", "x", "y"};
    const SwitchRecords::Record more{"/mnt/other/", "x", "y"};
    const SwitchRecords::Record farAway{"/media/usb-disk/Games/Korvath II Gold Edition/", "", ""};
    launchTexts << SwitchRecords::UnreachableText({farAway})
                << SwitchRecords::UnreachableText({away})
                << SwitchRecords::UnreachableText({away, more});

    const QHash<QLabel*, QStringList> texts = {
        {w.QuoteLabel, quotes},
        {w.KVDirErrorLabel,
         {"Warning: This directory does NOT contain a Korvath II installation. Please select a "
          "different directory.",
          "Warning: No Korvath II directory could be found on your computer. Please reinstall "
          "Korvath II.",
          "\r\nSearching for Korvath II directory. Please wait...", ""}},
        {w.KVDirSettingLabel, {"Current Setting:"}},
        {w.KVDirDirLabel,
         {"NONE SELECTED", "/", "/games", "/ .. /Korvath II", "/ .. /Korvath II Gold Edition"}},
        {w.PlayerLabel,
         QStringList{"", "The following worlds were found in your Korvath II directory. Select "
                         "a world, and then click the Launch button."} +
             launchTexts},
        {w.CreatorLabel,
         QStringList{w.CreatorLabel->text(),
                     "The following worlds were found in your Korvath II directory. Tomes are "
                     "listed separately for packaging purposes only."} +
             launchTexts},
    };
    // Every text label of the window is in the table above (pictures are labels too).
    for (QLabel* label : w.findChildren<QLabel*>())
        QVERIFY2(!label->pixmap().isNull() || texts.contains(label),
                 qPrintable(label->objectName()));
    QStringList failures;
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        QCOMPARE(it.key()->font().family(), LauncherFont::kFamily);
        for (const QString& text : it.value()) {
            const QString problem = overflow(it.key(), text);
            if (!problem.isEmpty())
                failures << problem;
        }
    }
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join("\n")));
    // The quote's leading line break leaves an empty first line: one line more.
    overflow(w.QuoteLabel, quotes[1]);
    const int withBreak = w.QuoteLabel->heightForWidth(w.QuoteLabel->width());
    QCOMPARE(overflow(w.QuoteLabel, quotes[1].mid(2)), QString());
    const int withoutBreak = w.QuoteLabel->heightForWidth(w.QuoteLabel->width());
    QVERIFY(withBreak - withoutBreak >= w.QuoteLabel->fontMetrics().lineSpacing());

    // The tab row stays within the strip above the panels.
    QTabBar* bar = w.LauncherTabs->tabBar();
    QVERIFY2(bar->sizeHint().height() <= TabControl::kTabRowHeight,
             qPrintable(QString::number(bar->sizeHint().height())));
    QVERIFY(bar->sizeHint().width() <= w.LauncherTabs->width());
    for (QRadioButton* option : {w.InterfaceOption1, w.InterfaceOption2})
        QVERIFY2(option->sizeHint().width() <= option->width(), qPrintable(option->objectName()));
    for (QPushButton* button : w.findChildren<QPushButton*>()) {
        for (const QString& caption : {button->text(), QStringLiteral("Cancel")})
            QVERIFY2(button->fontMetrics().horizontalAdvance(caption) + 12 <= button->width(),
                     qPrintable(button->objectName()));
    }
    for (QGroupBox* frame : w.findChildren<QGroupBox*>())
        QVERIFY(frame->fontMetrics().horizontalAdvance(frame->title()) + 16 <= frame->width());
}

QTEST_MAIN(LabelFitTest)
#include "tst_labelfit.moc"
