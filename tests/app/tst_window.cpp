// The window: what it opens with and what start-up writes to the settings file, the
// interface mode chosen with the two option buttons, and every text in its box.
#include "InstallationBuilder.h"
#include "app/QuoteStuff.h"
#include "app/ui/LauncherFont.h"
#include "app/ui/ListBox.h"
#include "app/ui/TabControl.h"
#include "gamedir/ui/DirListBox.h"
#include "gamedir/ui/DriveListBox.h"
#include "support/WindowSupport.h"
#include "worlds/SwitchRecords.h"
#include "worlds/WorldLaunch.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void startup_data();
    void startup();
    void optionButtonsSwitchThePanelsOnly();
    void everyControlHoldsItsTexts();
};

namespace {

// The panel in front, with its option button; "mixed" for anything half-switched.
QString panel(Form1& w) {
    auto shown = [](QWidget* on, QWidget* off, QRadioButton* checked, QRadioButton* unchecked) {
        return !on->isHidden() && on->isEnabled() && off->isHidden() && !off->isEnabled() &&
               checked->isChecked() && !unchecked->isChecked();
    };
    return shown(w.PlayerPicBox, w.CreatorPicBox, w.InterfaceOption1, w.InterfaceOption2) ? "player"
           : shown(w.CreatorPicBox, w.PlayerPicBox, w.InterfaceOption2, w.InterfaceOption1)
               ? "creator"
               : "mixed";
}

} // namespace

void WindowTest::startup_data() {
    QTest::addColumn<QString>("mode");  // "interfaceType"; null: not saved
    QTest::addColumn<QString>("saved"); // "KVDir" below the temp folder; null: not saved
    QTest::addColumn<QString>("panel"); // expected
    QTest::addColumn<bool>("valid");    // whether the saved directory is taken
    struct Row {
        const char *name, *mode, *saved, *panel;
        bool valid;
    };
    // The lists show the folder as it is on disk; the game directory follows them.
    for (const Row& row : {Row{"first start", nullptr, nullptr, "player", false},
                           Row{"closing separator", "1", "/Games/Korvath 2/", "creator", true},
                           Row{"no closing separator", "yes", "/Games/Korvath 2", "creator", true},
                           Row{"other letter case", "", "/games/KORVATH 2/", "creator", true},
                           Row{"lost its executable", "0", "/Lost/Korvath 2/", "player", false},
                           Row{"empty", " 0", "", "creator", false}})
        QTest::newRow(row.name) << QString(row.mode) << QString(row.saved) << QString(row.panel)
                                << row.valid;
}

void WindowTest::startup() {
    QFETCH(QString, mode);
    QFETCH(QString, saved);
    QFETCH(QString, panel);
    QFETCH(bool, valid);
    QTemporaryDir tmp;
    const QString game = tmp.path() + "/Games/Korvath 2", lost = tmp.path() + "/Lost/Korvath 2";
    QCOMPARE(InstallationBuilder::build(game), QString());
    QCOMPARE(InstallationBuilder::build(lost), QString());
    QVERIFY(QFile::remove(lost + "/korvath2.exe"));
    const auto trees = [&] {
        return InstallationBuilder::listTree(game) + InstallationBuilder::listTree(lost);
    };
    const QStringList before = trees();
    // The lists open on the process's current directory: make it a known one.
    const QString originalDir = QDir::currentPath();
    QVERIFY(QDir().mkpath(tmp.path() + "/start") && QDir::setCurrent(tmp.path() + "/start"));
    const auto restoreDir = qScopeGuard([&] { QDir::setCurrent(originalDir); });
    WindowFixture fixture(tmp.path());
    if (!saved.isNull()) {
        fixture.presetSetting("KVDir", saved.isEmpty() ? QString() : tmp.path() + saved);
        fixture.presetSetting("lastDirLabel", "Frostmarch");
    }
    if (!mode.isNull())
        fixture.presetSetting("interfaceType", mode);
    fatalErrors().clear();
    Form1& w = fixture.create();
    const LauncherState& state = w.launcherState();

    QCOMPARE(state.interfaceType, mode.isNull() ? QStringLiteral("0") : mode);
    QCOMPARE(::panel(w), panel);
    QVERIFY(!state.loading);
    QCOMPARE(state.backupLabel, QString());
    QCOMPARE(state.dirLabel, saved.isNull() ? QString() : QStringLiteral("Frostmarch"));
    QStringList quotes;
    QuoteStuff::InitQuotes(quotes);
    QVERIFY(quotes.contains(w.QuoteLabel->text()));
    // Without a valid game directory: the Configuration tab in front, the Launcher tab
    // unavailable, no catalogue read and nothing switched back.
    QCOMPARE(dirPanelMismatch(fixture, valid ? game + "/" : QString()), QString());
    QCOMPARE(w.LauncherTabs->Tab(), valid ? 0 : 1);
    QCOMPARE(w.PlayerWorldList->count() > 0 && w.CreatorWorldList->count() > 0, valid);
    QCOMPARE(w.PlayerLabel->text().isEmpty(), !valid);
    QCOMPARE(trees(), before);
    // The directory panel: the lists on the game directory, or still on the opening
    // directory, which the label then names.
    QCOMPARE(w.KVDirDir->Path(), valid ? game : tmp.path() + "/start");
    QVERIFY(w.KVDirDir->Path().startsWith(w.KVDirDrive->Drive()));
    QCOMPARE(w.KVDirDirLabel->text(), QString(valid ? "/ .. /Korvath 2" : "/ .. /start"));

    // The mode is rewritten as "0" or "1" and the directory kept or cleared.
    QCOMPARE(fixture.storedSetting("interfaceType"), QString(panel == "creator" ? "1" : "0"));
    QCOMPARE(fixture.storedSetting("lastDirLabel"),
             saved.isNull() ? QStringLiteral("<missing>") : QStringLiteral("Frostmarch"));
    if (mode.isNull()) {
        QStringList keys = QSettings(fixture.settingsFile, QSettings::IniFormat).allKeys();
        keys.sort();
        QCOMPARE(keys, QStringList({"Settings/KVDir", "Settings/interfaceType"}));
    }
    QVERIFY2(fatalErrors().isEmpty(), qPrintable(fatalErrors().join('\n')));
}

void WindowTest::optionButtonsSwitchThePanelsOnly() {
    QTemporaryDir tmp;
    QCOMPARE(InstallationBuilder::build(tmp.path() + "/Korvath II"), QString());
    WindowFixture fixture(tmp.path());
    fixture.presetSetting("KVDir", tmp.path() + "/Korvath II/");
    fatalErrors().clear();
    Form1& w = fixture.createShown();
    // Everything switching must leave alone: list lines and selections, the tome
    // list's state, the chosen action and the player caption.
    w.CreatorWorldList->setCurrentRow(0);
    w.CreatorTomeList->setCurrentRow(1);
    w.PlayerWorldList->setCurrentRow(2);
    auto untouched = [&w] {
        QStringList state;
        for (ListBox* list : {w.PlayerWorldList, w.CreatorWorldList, w.CreatorTomeList}) {
            for (int i = 0; i < list->count(); ++i)
                state << (list->item(i)->isSelected() ? "* " : "  ") + list->item(i)->text();
        }
        return state << QString::number(w.CreatorTomeList->isEnabled())
                     << QString::number(w.CreatorCombo->currentIndex()) << w.PlayerLabel->text();
    };
    const QStringList before = untouched();
    QVERIFY(before.size() >= 11);
    clickTab(w.LauncherTabs, 1);
    auto mode = [&] { return ::panel(w) + "/" + fixture.storedSetting("interfaceType"); };
    auto click = [](QRadioButton* option) {
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
    };
    QCOMPARE(mode(), QStringLiteral("player/0"));
    click(w.InterfaceOption2);
    QCOMPARE(mode(), QStringLiteral("creator/1"));
    click(w.InterfaceOption1);
    QCOMPARE(mode(), QStringLiteral("player/0"));
    // Choosing the mode that is shown repeats its steps: the setting is written again.
    fixture.settings->SaveSetting(kSettingsSection, "interfaceType", "stale");
    click(w.InterfaceOption1);
    QCOMPARE(mode(), QStringLiteral("player/0"));
    click(w.InterfaceOption2);
    QCOMPARE(mode(), QStringLiteral("creator/1"));
    // The tab, the lists and the start-up state field stay as they were; the shown
    // panel lies in front of the hidden one.
    QCOMPARE(w.LauncherTabs->Tab(), 1);
    QCOMPARE(untouched(), before);
    QCOMPARE(w.launcherState().interfaceType, QStringLiteral("0"));
    const QObjectList pageChildren = w.LauncherTabs->page(0)->children();
    QVERIFY(pageChildren.indexOf(w.CreatorPicBox) > pageChildren.indexOf(w.PlayerPicBox));
    QVERIFY2(fatalErrors().isEmpty(), qPrintable(fatalErrors().join('\n')));
}

void WindowTest::everyControlHoldsItsTexts() {
    QVERIFY2(LauncherFont::apply(), "Liberation Sans Narrow is not installed (fonts-liberation)");
    QTemporaryDir tmp;
    WindowFixture fixture(tmp.path());
    Form1& w = fixture.create();
    QStringList quotes;
    QuoteStuff::InitQuotes(quotes);
    // What a launch can say: the longest table entries and reasons, a long directory.
    QStringList launchTexts = {WorldLaunch::kEarlierRunText, WorldLaunch::kNoWorldsText};
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
        {w.KVDirErrorLabel, {kNotAnInstallation, kNothingFound, kSearching, ""}},
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
        for (const QString& text : it.value())
            failures << labelOverflow(it.key(), text);
    }
    failures.removeAll(QString());
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join("\n")));
    // The quote's leading line break leaves an empty first line: one line more.
    labelOverflow(w.QuoteLabel, quotes[1]);
    const int withBreak = w.QuoteLabel->heightForWidth(w.QuoteLabel->width());
    labelOverflow(w.QuoteLabel, quotes[1].mid(2));
    const int withoutBreak = w.QuoteLabel->heightForWidth(w.QuoteLabel->width());
    QVERIFY(withBreak - withoutBreak >= w.QuoteLabel->fontMetrics().lineSpacing());

    // The tab row fills the strip above the panels.
    QTabBar* bar = w.LauncherTabs->tabBar();
    QCOMPARE(bar->height(), TabControl::kTabRowHeight);
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

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
