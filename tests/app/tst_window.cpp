// The window: what it opens with and what start-up writes to the settings file,
// every control named and holding its texts, the interface mode, the tab row with
// Gustav's quotes (by mouse and keys), the directory panel (browsing with the drive
// and directory lists, its three states, Autofind with Cancel and a window closed
// while it searches), and the command line that needs no window.
#include "InstallationBuilder.h"
#include "app/QuoteStuff.h"
#include "app/ui/FailureDialog.h"
#include "app/ui/LauncherFont.h"
#include "app/ui/ListBox.h"
#include "app/ui/Pictures.h"
#include "app/ui/ProblemTexts.h"
#include "app/ui/TabControl.h"
#include "gamedir/ui/DirListBox.h"
#include "gamedir/ui/DriveListBox.h"
#include "support/WindowSupport.h"
#include "worlds/CommandLineRun.h"

#include <QAccessible>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <unistd.h>

using namespace TestSupport;

namespace {

// The panel in front, with its option button; "mixed" for anything half-switched.
QString panel(Form1& w) {
    const bool player = w.InterfaceOption1->isChecked();
    QWidget* const shown = player ? w.PlayerPicBox : w.CreatorPicBox;
    QWidget* const hidden = player ? w.CreatorPicBox : w.PlayerPicBox;
    const QObjectList stack = shown->parentWidget()->children();
    const bool whole = w.InterfaceOption2->isChecked() != player && !shown->isHidden() &&
                       shown->isEnabled() && hidden->isHidden() && !hidden->isEnabled() &&
                       stack.indexOf(shown) > stack.indexOf(hidden);
    return !whole ? "mixed" : player ? "player" : "creator";
}

// Drives of temp folders; the real root "/" holds the game here. Listings are
// recorded, and the test may act on each.
class FakeDrives : public LocalFileSystem {
public:
    QList<Drive> drives;
    QSet<QString> failingDrives; // not ready
    QStringList listed;
    std::function<void()> onListing;
    QList<Drive> Drives() override { return drives; }
    void checkDriveReady(const Drive& drive) override {
        if (failingDrives.contains(drive.rootPath))
            throw FileSystemError(QStringLiteral("Device unavailable: %1").arg(drive.rootPath));
        LocalFileSystem::checkDriveReady(drive);
    }
    bool FileExists(const QString& path) override {
        return path == QLatin1String("/korvath2.exe") || LocalFileSystem::FileExists(path);
    }
    FolderListing listFolder(const QString& folderPath) override {
        listed.append(folderPath);
        if (onListing)
            onListing();
        return LocalFileSystem::listFolder(folderPath);
    }
};

// A problem in the Korvath II directory "/g/": path, errno, table entry, name, more;
// the system's words for its path as details.
Problem problemAt(Problem::Kind kind, const QString& path, int error = 0, const QString& entry = {},
                  const QString& name = {}, int more = 0,
                  Problem::Named named = Problem::Named::Path) {
    Problem problem(kind, path, Problem::ReasonOf(error));
    problem.systemError = error;
    problem.gameDir = "/g/";
    problem.entry = entry;
    problem.name = name;
    problem.more = more;
    problem.exitCode = 139;
    problem.named = named;
    problem.details = QStringList{"System: " + path};
    return problem;
}

// The window on the test installation, with the About tab's pictures, which come just
// after the first frame.
Form1& shownWithItsPictures(WindowFixture& fixture, const QString& gameDir) {
    fixture.presetSetting("KVDir", gameDir);
    Form1& w = fixture.createShown();
    if (!QTest::qWaitFor(
            [&] { return !w.Image1->pixmap().isNull() && !w.Image2->pixmap().isNull(); }))
        qFatal("the About tab's pictures never came");
    return w;
}

// Opens a line of the directory list by a double-click, or by Enter.
bool openLine(QListWidget* list, const QString& text, bool byEnter = false) {
    QListWidgetItem* line = list->findItems(text, Qt::MatchExactly).value(0);
    if (!line)
        return false;
    list->setFocus();
    list->setCurrentItem(line);
    list->scrollToItem(line);
    const QPoint centre = list->visualItemRect(line).center();
    if (byEnter) {
        QTest::keyClick(list, Qt::Key_Return);
    } else {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
    }
    return true;
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_tmp; // the installations, and the folder the lists open on
    QStringList m_quotes;

private slots:
    void initTestCase();
    void init() { fatalErrors().clear(); }
    void cleanup();
    void quotesAreDrawnEvenlyFromTheWholeTable();
    void startup_data();
    void startup();
    void everyLabelHoldsEveryTextItCanShow();
    void everyControlIsNamedAndLiesInItsContainer();
    void eachFrontEndWordsEachProblem();
    void optionButtonsAndTabsByMouseAndKeys();
    void autofindIsCancelledFindsNothingOrCannotSave();
    void theDirectoryListMovesLevelByLevel();
    void drivesNotReadyOrMountedMeanwhile();
    void closingDuringASearchEndsIt();
    void commandLineAnswersWithoutTheWindow();
    void failedDesktopLaunchesAreShown();
    void tabKeysOnARealXServer();
    void picturesStaySharpOnHiDpiScreens_data();
    void picturesStaySharpOnHiDpiScreens();
};

void WindowTest::initTestCase() {
    QCOMPARE(InstallationBuilder::build(m_tmp.path() + "/Games/Korvath 2"), QString());
    QVERIFY(makeTree(m_tmp.path(), {"Lost/Korvath 2/Roster/", "Lost/Korvath 2/Data/"}));
    // The lists open on the process's current directory: make it a known one.
    QVERIFY(QDir().mkpath(m_tmp.path() + "/start") && QDir::setCurrent(m_tmp.path() + "/start"));
    QuoteStuff::InitQuotes(m_quotes);
}

void WindowTest::cleanup() {
    QuoteStuff::setRandomSource({});
    QVERIFY2(fatalErrors().isEmpty(), qPrintable(fatalErrors().join('\n')));
}

void WindowTest::quotesAreDrawnEvenlyFromTheWholeTable() {
    QCOMPARE(QSet<QString>(m_quotes.begin(), m_quotes.end()).size(), 19);
    const QRegularExpression form("^(\r\n)?\"Hey kids! This is Gustav the Marmoset reminding you "
                                  "(that|to|not to) [^\"\r\n]+[.!]\"$");
    for (int i = 0; i < m_quotes.size(); ++i) {
        QVERIFY2(form.match(m_quotes[i]).hasMatch(), qPrintable(m_quotes[i]));
        QCOMPARE(m_quotes[i].startsWith("\r\n"), QList<int>({1, 4, 5, 7, 8, 14, 17}).contains(i));
    }
    // Reseeded from the clock on every call, also microseconds apart, the picks still
    // spread evenly: the bounds lie over five standard deviations from 200 an entry.
    QHash<QString, int> counts;
    for (int i = 0; i < 19 * 200; ++i)
        ++counts[QuoteStuff::GetRandomQuote(m_quotes)];
    QCOMPARE(counts.size(), 19);
    for (const int count : std::as_const(counts))
        QVERIFY2(count > 120 && count < 290, qPrintable(QString::number(count)));
    // Each nineteenth of [0, 1) picks its own entry, at its start and its end; a draw
    // outside [0, 1) cannot read beyond the table, whose size is its own.
    float r = 0.0f;
    QuoteStuff::setRandomSource([&r] { return r; });
    QList<std::pair<float, int>> draws = {{1.0f, 18}, {-0.25f, 0}};
    for (int k = 0; k < 19; ++k)
        draws << std::pair{std::nextafter(k / 19.0f, 1.0f), k}
              << std::pair{std::nextafter((k + 1) / 19.0f, 0.0f), k};
    for (const auto& [draw, entry] : std::as_const(draws)) {
        r = draw;
        QCOMPARE(QuoteStuff::GetRandomQuote(m_quotes), m_quotes[entry]);
    }
    r = 0.5f;
    QCOMPARE(QuoteStuff::GetRandomQuote({"a", "b", "c", "d", "e"}), QStringLiteral("c"));
    QCOMPARE(QuoteStuff::GetRandomQuote(QStringList()), QString());
}

void WindowTest::startup_data() {
    QTest::addColumn<QString>("mode");  // "interfaceType"; null: not saved
    QTest::addColumn<QString>("saved"); // "KVDir" below the temp folder; null: not saved
    QTest::addColumn<QString>("panel"); // expected
    QTest::addColumn<bool>("valid");    // whether the saved directory is taken
    // The lists show the folder as it is on disk; the game directory follows them.
    QTest::newRow("first start") << QString() << QString() << QString("player") << false;
    for (const auto& [name, mode, saved, panel, valid] :
         {std::tuple{"closing separator", "", "/Games/Korvath 2/", "creator", true},
          {"other case, no closing separator", "1", "/games/KORVATH 2", "creator", true},
          {"lost its executable", "0", "/Lost/Korvath 2/", "player", false},
          {"empty", " 0", "", "creator", false}})
        QTest::newRow(name) << QString(mode) << QString(saved) << QString(panel) << valid;
}

void WindowTest::startup() {
    QFETCH(QString, mode);
    QFETCH(QString, saved);
    QFETCH(QString, panel);
    QFETCH(bool, valid);
    const QString game = m_tmp.path() + "/Games/Korvath 2";
    QTemporaryDir tmp;
    WindowFixture fixture(tmp.path());
    if (!saved.isNull()) {
        fixture.presetSetting("KVDir", saved.isEmpty() ? QString() : m_tmp.path() + saved);
        fixture.presetSetting("lastDirLabel", "Frostmarch");
    }
    if (!mode.isNull())
        fixture.presetSetting("interfaceType", mode);
    Form1& w = fixture.create();
    const LauncherState& state = w.launcherState();
    QCOMPARE(state.interfaceType, mode.isNull() ? QStringLiteral("0") : mode);
    QCOMPARE(::panel(w), panel);
    QVERIFY(m_quotes.contains(w.QuoteLabel->text()));
    // Without a valid game directory: the Configuration tab in front, the Launcher tab
    // unavailable.
    QCOMPARE(dirPanelMismatch(fixture, valid ? game + "/" : QString()), QString());
    QCOMPARE(w.LauncherTabs->Tab(), Form1::tabIndex(valid ? u"launcher" : u"configuration"));
    QCOMPARE(w.PlayerLabel->text().isEmpty(), !valid);
    // The directory panel: the lists on the game directory, or still on the opening
    // directory, which the label then names. The focus starts in the tab in front.
    QCOMPARE(w.KVDirDir->Path(), valid ? game : m_tmp.path() + "/start");
    QCOMPARE(w.KVDirDirLabel->text(), QString(valid ? "/ .. /Korvath 2" : "/ .. /start"));
    QWidget* const list = panel == "creator" ? w.CreatorWorldList : w.PlayerWorldList;
    QCOMPARE(w.focusWidget(), valid ? list : w.KVDirDir);
    // The mode is rewritten as "0" or "1"; nothing else is written but the directory.
    QCOMPARE(fixture.storedSetting("interfaceType"), QString(panel == "creator" ? "1" : "0"));
    QCOMPARE(fixture.storedSetting("lastDirLabel"),
             saved.isNull() ? QStringLiteral("<missing>") : QStringLiteral("Frostmarch"));
}

// Every text label holds, in the launcher's font, every text it can show, and keeps no
// fixed name for a screen reader (Qt announces a label's new text only without one).
void WindowTest::everyLabelHoldsEveryTextItCanShow() {
    QTemporaryDir tmp;
    WindowFixture fixture(tmp.path());
    Form1& w = shownWithItsPictures(fixture, m_tmp.path() + "/Games/Korvath 2/");
    // What a panel can say: every problem with the longest table entries and reasons,
    // and a long directory.
    const QString notSaved = "The settings could not be saved to /home/marguerite-dupont/.config/"
                             "Korvath II Launcher.conf.";
    QStringList launchTexts = {
        ProblemTexts::kNoWorldsText,
        ProblemTexts::Text(Problem(Problem::Kind::SettingsNotSaved, "", notSaved))};
    QStringList packagingTexts;
    for (int k = 0; k < Problem::kKinds; ++k) {
        for (const auto& [entry, path, world] :
             {std::tuple{"Roster", "/g/Roster", "Roster_Frostmarch"},
              {"Data/Graphics/Wallpapers",
               "/g/Data/Graphics/Wallpapers-{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}",
               "Wallpapers_Frostmarch"},
              {"", "/g/Data/Graphics/", ""},
              {"", "/media/usb-disk/Games/Korvath II Gold Edition/", ""}}) {
            for (const int error : {EACCES, EEXIST, EROFS, ENOENT, ENOSPC, 0}) {
                const bool program = k >= int(Problem::Kind::ProgramNotFound) &&
                                     k <= int(Problem::Kind::ProgramNotStartable);
                const Problem problem = problemAt(
                    Problem::Kind(k),
                    program ? "/media/usb-disk/Games/Korvath II Gold Edition/worldforge2.exe"
                            : path,
                    error, entry, program ? "/usr/lib/wine-staging/bin/wine" : world,
                    QString(path).startsWith("/media") ? 1 : 10);
                // A switch waits at a game directory, never at a stowed folder. A packaging
                // refusal may name a long name without a space, in the Creator panel.
                const bool packaging = problem.kind >= Problem::Kind::NameHoldsControl &&
                                       problem.kind <= Problem::Kind::NoInstallerMade;
                if (!packaging && (problem.kind != Problem::Kind::SwitchUnreachable ||
                                   QString(path).endsWith('/')))
                    launchTexts << ProblemTexts::Text(problem);
                else if (packaging && problem.kind <= Problem::Kind::FolderEmpty) // a name
                    packagingTexts << ProblemTexts::Text(
                        problemAt(problem.kind, "/g/Tomes/" + QString(44, 'p') + "/" + entry, error,
                                  entry, world, 1, Problem::Named(error % 5)));
            }
        }
    }
    // The labels' own texts, and what the program puts there.
    const QHash<QLabel*, QStringList> texts = {
        {w.QuoteLabel, m_quotes},
        {w.KVDirErrorLabel, {kNotAnInstallation, kNothingFound, kSearching, notSaved}},
        {w.KVDirSettingLabel, {w.KVDirSettingLabel->text()}},
        {w.KVDirDirLabel, {"NONE SELECTED", "/ .. /Korvath II Gold Edition (Collector's Box)"}},
        {w.PlayerLabel, QStringList(w.PlayerLabel->text()) + launchTexts},
        {w.CreatorLabel, QStringList(w.CreatorLabel->text()) + launchTexts + packagingTexts},
    };
    QStringList failures;
    for (QLabel* label : w.findChildren<QLabel*>()) {
        if (label->pixmap().isNull() && !texts.contains(label))
            failures << "no texts for " + label->objectName();
    }
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        QCOMPARE(it.key()->font().family(), LauncherFont::kFamily);
        if (it.key() != w.KVDirSettingLabel)
            QCOMPARE(it.key()->accessibleName(), QString());
        for (const QString& text : it.value())
            failures << labelOverflow(it.key(), text);
    }
    failures.removeAll(QString());
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join("\n")));
}

void WindowTest::everyControlIsNamedAndLiesInItsContainer() {
    QTemporaryDir tmp;
    WindowFixture fixture(tmp.path());
    Form1& w = shownWithItsPictures(fixture, m_tmp.path() + "/Games/Korvath 2/");
    // Every list, combo box, button and picture has a name for a screen reader, and
    // pictures say what they show. Every control lies whole in its container.
    QStringList failures;
    for (QWidget* control : w.findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(control);
        const bool picture = label && !label->pixmap().isNull();
        // Not the parts Qt builds inside a control.
        if (control->objectName().isEmpty() || control->objectName().startsWith("qt_"))
            continue;
        if (!control->isHidden() && !control->parentWidget()->rect().contains(control->geometry()))
            failures << control->objectName() + " lies outside its container";
        // A button is named by its caption; the rest need a name of their own (a combo
        // box would otherwise be read out by the text it shows).
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(control);
        const QString name = reader->text(QAccessible::Name);
        if ((picture || qobject_cast<QAbstractItemView*>(control) ||
             qobject_cast<QComboBox*>(control) || qobject_cast<QAbstractButton*>(control)) &&
            (name.trimmed().isEmpty() || (picture && control->accessibleDescription().isEmpty())))
            failures << "no name for " + control->objectName();
    }
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join("\n")));
    // "Current Setting:" labels the directory shown beside it.
    QCOMPARE(w.KVDirSettingLabel->buddy(), w.KVDirDirLabel);
    // A drop-down list is read by its purpose; the quote without its line break; Tab
    // reaches the checked interface option only.
    const auto read = [](QWidget* control) {
        return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
    };
    QCOMPARE(read(w.CreatorCombo) + '|' + read(w.KVDirDrive), "Action|Drive");
    w.QuoteLabel->setText("\r\nLook before you leap.");
    QCOMPARE(read(w.QuoteLabel), "Look before you leap.");
    QCOMPARE(w.InterfaceOption2->focusPolicy(), Qt::ClickFocus);
    // The tab row fills the strip above the panels.
    QCOMPARE(w.LauncherTabs->tabBar()->height(), TabControl::kTabRowHeight);
}

// Every kind of problem in the panel's words (the paths and system's words in the
// tooltip) and in the terminal's: each names what it is about, gives the system's
// words and says what to do, the terminal never with the window's sentence.
void WindowTest::eachFrontEndWordsEachProblem() {
    using Kind = Problem::Kind;
    using Named = Problem::Named;
    const QString again = "click Launch again.", fix = " Fix that, then " + again;
    const QString packaged = "Nothing was packaged: ";
    const QString items = "/g/Data/Graphics/Items", wine = " is a Windows program";
    Problem stowed = problemAt(Kind::FolderNotPutBack, "/g/Roster", EEXIST, "Roster", "Roster_Fm");
    stowed.folders = QStringList{"/g/Roster-{B}"};
    Problem report = problemAt(Kind::CompilerCrashed, "/l/kvii.log");
    const QList<QPair<Problem, QString>> rows = {
        {problemAt(Kind::FolderNotSwitchedIn, items, EACCES, "Data/Graphics/Items", "Items", 2),
         "Not started: \"Data/Graphics/Items\" and 2 more could not be moved (its folder is not "
         "writable for this user)."},
        {problemAt(Kind::FolderNotRead, "/g/Data/Graphics/", EACCES),
         "Not started: \"Data/Graphics\" could not be read (this user may not read it)."},
        {problemAt(Kind::AmbiguousNames, "/g/Data/Graphics/Items_fm", 0, {}, {}, 1),
         "Not started: names that differ only in letter case make \"Data/Graphics/Items_fm\" and "
         "1 more unclear. Rename them, then " +
             again},
        {problemAt(Kind::RecordNotWritten, "/g/.korvath2-launcher", EEXIST),
         "Not started: the launcher could not write its record in the Korvath II directory "
         "(another launcher has just started a program there)."},
        {Problem(Kind::SettingsNotSaved, {}, "The settings could not be saved to /c/K.conf."),
         "The settings could not be saved to /c/K.conf."},
        {stowed, "Could not restore \"Roster\" (\"Roster_Fm\" is in the way)." + fix},
        {problemAt(Kind::FolderNotLookedInto, "/g/", ENOENT),
         "Could not look into the Korvath II directory (it has gone missing)." + fix},
        {problemAt(Kind::RecordUnreadable, "/g/.korvath2-launcher", 0, {}, {}, 3),
         "The launcher's record cannot be read (it is damaged), and 3 folders are stored away. "
         "Put them back, then " +
             again},
        {problemAt(Kind::RecordNotRemoved, "/g/.korvath2-launcher", EROFS),
         "The launcher's record could not be removed from the Korvath II directory (the disk is "
         "read-only)." +
             fix},
        {problemAt(Kind::NotSynced, "/g/Data/", EIO),
         "Could not make sure that the folders are back on the disk (input/output error)." + fix},
        {problemAt(Kind::UnknownStowed, "/g/Roster-{B}", 0, "Roster", {}, 2),
         "A launch that the launcher has no record of stored away \"Roster\" and 2 more. Put that "
         "back by hand, then " +
             again},
        {problemAt(Kind::HeldByProgram, "/g/"),
         "Korvath II is running from this directory, started by "
         "another launcher. Click Launch again once it has ended."},
        {Problem(Kind::EarlierRunRunning), "Korvath II is still running from an earlier launch. "
                                           "The launcher will be ready as soon as it ends."},
        {problemAt(Kind::SwitchUnreachable, "/media/usb-disk/Games/Korvath II Gold Edition/", 0, {},
                   {}, 1),
         "Worlds are still switched in at \"/ .. /Korvath II Gold Edition\" and 1 more. They will "
         "be put back when those directories can be reached."},
        {problemAt(Kind::ProgramNotFound, "/g/worldforge2.exe"),
         "\"worldforge2.exe\" was not found in the Korvath II directory, so nothing was started."},
        {problemAt(Kind::ProgramNeedsWine, "/g/korvath2.exe"),
         "\"korvath2.exe\"" + wine + ". Install Wine to run it, then " + again},
        {problemAt(Kind::ProgramNeedsWine, "/g/korvath2.exe", 0, {}, "wine9"),
         "\"korvath2.exe\"" + wine +
             ", and WINE names no program to run it with (\"wine9\"). "
             "Correct WINE, then " +
             again},
        {problemAt(Kind::ProgramNotStartable, "/g/korvath2.exe", EACCES),
         "Could not start \"/g/korvath2.exe\" (permission denied)."},
        {problemAt(Kind::NameHoldsControl, "Isle\nof Dawn", 0, {}, {}, 0, Named::WorldName),
         packaged + "the world name \"Isle\uFFFDof Dawn\" holds a control character."},
        {problemAt(Kind::NameHoldsBackslash, "Back\\slash", 0, {}, {}, 0, Named::TomeName),
         packaged + "the tome name \"Back\\slash\" holds a \"\\\", which the installer reads as "
                    "a folder separator."},
        {problemAt(Kind::NameEndsInDollarBackslash, "Gold$\\", 0, {}, {}, 0, Named::WorldName),
         packaged + "the world name \"Gold$\\\" ends in \"$\\\", which the installer compiler "
                    "cannot read."},
        {problemAt(Kind::NameHoldsWildcard, "da*wn", 0, {}, {}, 0, Named::WorldLabel),
         packaged + "the world label \"da*wn\" holds \"*\" or \"?\", which the compiler reads as "
                    "a wildcard."},
        {problemAt(Kind::NameNotUtf8, "/g/Tomes/Latin/l\uFFFDgende"),
         packaged + "the name of \"Tomes/Latin/l\uFFFDgende\" is not UTF-8, which the installer "
                    "compiler cannot read."},
        {problemAt(Kind::FileNotPackable, "/g/Tomes/" + QString(40, 'p') + "/pipe"),
         packaged + "the file \"\u2026" + QString(24, 'p') +
             "/pipe\" is a pipe, socket or device, "
             "which the installer compiler cannot pack."},
        {problemAt(Kind::FolderUnpackable, "/g/Tomes/Back"),
         packaged + "the folder \"Tomes/Back\" cannot be read."},
        {problemAt(Kind::FolderEmpty, "/g/Tomes/Empty"),
         packaged + "the folder \"Tomes/Empty\" holds no file, and the installer compiler "
                    "refuses an empty folder."},
        {Problem(Kind::ScriptNotWritten, QDir::homePath() + "/.local/share/K"),
         packaged + "the installer script could not be written in the launcher's folder or in "
                    "~/.local/share/K."},
        {problemAt(Kind::CompilerNotFound, "/l/kvii.nsi"),
         "The script kvii.nsi is written, but no installer compiler (makensis) was found beside "
         "the launcher or on the PATH."},
        {problemAt(Kind::CompilerNeedsWine, "/l/makensis.exe"),
         "The installer compiler makensis.exe" + wine + ". Install Wine to run it, then " + again},
        {problemAt(Kind::CompilerNotStartable, "/l/makensis"),
         "The installer compiler could not be started, so no installer was made."},
        {problemAt(Kind::CompilerFailed, "/l/kvii.log"),
         "The installer compiler stopped with errors (exit code 139); no new installer was made."},
        {report, "The installer compiler crashed (exit code 139); no new installer was made."},
        {problemAt(Kind::NoInstallerMade, ""),
         "The installer compiler made no setup.exe, so no installer was made."},
        {problemAt(Kind::MenuEntryNotAdded, "/a/k.desktop", EEXIST, {}, "Frost March"),
         "\"Frost March\" could not be added to the applications menu (another file is in its "
         "place)."},
        {problemAt(Kind::MenuEntryNotRemoved, "/a/k.desktop", EACCES, {}, "Frost March"),
         "\"Frost March\" could not be removed from the applications menu (permission denied)."},
    };
    QSet<int> kinds;
    for (const auto& [problem, text] : rows) {
        kinds.insert(int(problem.kind));
        QCOMPARE(ProblemTexts::Text(problem), text);
        const QString said = CommandLineRun::Sentence(problem);
        const bool packaging =
            problem.kind >= Kind::NameHoldsControl && problem.kind <= Kind::NoInstallerMade;
        if (packaging)
            continue;
        const QString todo = problem.whilePuttingBack() ? "then run korvath2-launcher --recover."
                             : problem.kind == Kind::ProgramNotFound ? "--game-dir DIR"
                             : problem.kind == Kind::SwitchUnreachable
                                 ? "will be put back when it can."
                                 : "run the same command again.";
        const QString why =
            problem.kind == Kind::SettingsNotSaved ? problem.reason : problem.details.join("; ");
        QVERIFY2(said.contains(problem.path) && said.contains(why) &&
                     (said.contains(todo) || problem.kind >= Kind::MenuEntryNotAdded) &&
                     !said.contains("click Launch") && (!said.contains(text) || why == text),
                 qPrintable(said));
    }
    QCOMPARE(kinds.size(), Problem::kKinds);
    // The tooltip: the system's words, then the folders still stowed or the report; the
    // notice of a switch still in place names its installation first.
    QCOMPARE(ProblemTexts::NoticeDetails(stowed),
             "/g/\nSystem: /g/Roster\nStill stored away:\n/g/Roster-{B}");
    QCOMPARE(ProblemTexts::Details(report),
             "System: /l/kvii.log\nThe compiler's report: /l/kvii.log");
}

void WindowTest::optionButtonsAndTabsByMouseAndKeys() {
    QTemporaryDir tmp; // no game directory: the Launcher tab is unavailable
    WindowFixture fixture(tmp.path());
    float r = 3.5f / 19.0f;
    QuoteStuff::setRandomSource([&r] { return r; });
    Form1& w = fixture.createShown();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // Each option repeats its steps, also for the mode shown: the setting is written
    // again. Only the panels and the setting change.
    for (QRadioButton* option : {w.InterfaceOption1, w.InterfaceOption2, w.InterfaceOption1}) {
        fixture.presetSetting("interfaceType", "stale");
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
        QCOMPARE(::panel(w) + fixture.storedSetting("interfaceType"),
                 QString(option == w.InterfaceOption1 ? "player0" : "creator1"));
    }
    QCOMPARE(w.launcherState().interfaceType, QStringLiteral("0"));
    TabControl* tabs = w.LauncherTabs;
    QSignalSpy clicks(tabs, &TabControl::Click);
    // The tab selected, its page the only one shown, and the quote.
    auto shown = [&] {
        bool onePage = true;
        for (int i = 0; i < tabs->count(); ++i)
            onePage = onePage && tabs->page(i)->isVisible() == (i == tabs->Tab());
        return Form1::tabs().value(tabs->Tab()).name + (onePage ? " " : " and another page ") +
               QString::number(m_quotes.indexOf(w.QuoteLabel->text()));
    };
    // Only the user's selection of the About tab draws a quote, each time, by mouse or
    // keys; the keys go round the row past the disabled tab. A step: what the user
    // does ("" nothing, "tab NAME" a click, else keys), the draw a quote would take, and
    // the tab and quote shown after it.
    const struct {
        const char* action;
        float draw;
        const char* shown;
    } steps[] = {
        {"", 0.0f, "configuration 3"},           {"tab launcher", 14.5f / 19, "configuration 3"},
        {"tab about", 14.5f / 19, "about 14"},   {"Ctrl+Tab", 0.0f, "configuration 14"},
        {"Ctrl+Shift+Backtab", 0.0f, "about 0"}, {"Ctrl+PgDown", 0.5f, "configuration 0"},
        {"Ctrl+PgUp", 0.5f, "about 9"},          {"tab configuration", 0.0f, "configuration 9"}};
    for (const auto& step : steps) {
        r = step.draw;
        const QString action = step.action;
        if (action.startsWith("tab "))
            clickTab(tabs, action.mid(4));
        else if (!action.isEmpty())
            QTest::keySequence(QApplication::focusWidget(), QKeySequence(action));
        QCOMPARE(shown(), QString(step.shown));
    }
    // Each selection raised one click, passing the tab selected before; from tab to
    // tab without the About tab, nothing is drawn.
    const int about = Form1::tabIndex(u"about");
    tabs->SetTabEnabled(Form1::tabIndex(u"launcher"), true);
    clickTab(tabs, "launcher");
    QCOMPARE(shown(), "launcher 9");
    QCOMPARE(clicks.count(), 7);
    QCOMPARE(clicks.first().first().toInt(), Form1::tabIndex(u"configuration"));
    // The program's selections raise no click and draw nothing; disabling the tab
    // shown leaves it shown.
    tabs->SetTab(about);
    tabs->SetTabEnabled(about, false);
    QCOMPARE(shown(), "about 9");
    QCOMPARE(clicks.count(), 7);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!w.isVisible());
}

// The directory panel as the player meets it, in one window whose drives are temp
// folders: Autofind pressed twice at once, Cancel, a search that finds nothing (the
// only copy lies in a folder this user may not read) and one that finds the game;
// browsing with the directory and drive lists; the window closed during a search.
namespace {

// The directory panel over three drives: the first holds the folder the lists open on
// and is not ready, c holds many folders and none with the game, d holds the game
// below Games/. atTheGame: the saved directory is the game's.
struct DirPanel {
    QTemporaryDir tmp;
    const QString c = tmp.path() + "/c", d = tmp.path() + "/d", game = d + "/Games/Korvath 2";
    WindowFixture f{tmp.path()};
    FakeDrives* fs = nullptr;
    Form1* w = nullptr;

    DirPanel(const QString& firstDrive, bool atTheGame) {
        for (int i = 0; i < 200; ++i)
            QDir().mkpath(QStringLiteral("%1/Folder%2/Sub%3").arg(c).arg(i / 10).arg(i % 10));
        if (!makeTree(c, {"Old/korvath2.exe.bak"}) ||
            !makeTree(d, {"Games/Korvath 2/korvath2.exe", "Games/alpha/", "Games/Old/"}))
            qFatal("no drives");
        f.createFileSystem = [this, firstDrive] {
            auto created = std::make_unique<FakeDrives>();
            for (const QString& root : {firstDrive, c, d})
                created->drives.append(Drive{root, {}, {}, 0});
            created->failingDrives = {firstDrive};
            fs = created.get();
            return created;
        };
        if (atTheGame)
            f.presetSetting("KVDir", game + "/");
        w = &f.createShown();
    }
    void autofind() { QTest::mouseClick(w->KVDirAutofindBtn, Qt::LeftButton); }
    // The user's action once the search has listed so many more folders: it waits in
    // the event queue for the search's next yield.
    void after(int more, const std::function<void()>& action) {
        fs->onListing = [fs = fs, count = fs->listed.size() + more, action] {
            if (fs->listed.size() == count)
                QTimer::singleShot(0, action);
        };
    }
};

} // namespace

// Cancel during the search: nothing is listed after it, and the game's drive is never
// reached; a whole search without a find ends in the invalid state; a find that cannot
// be saved leaves no search showing, and says why.
void WindowTest::autofindIsCancelledFindsNothingOrCannotSave() {
    if (!runsUnprivileged())
        return;
    DirPanel p(m_tmp.path(), false);
    auto locked = std::make_unique<FolderLock>(p.d + "/Games", FolderLock::Unreadable);
    Form1& w = *p.w;
    QCOMPARE(w.KVDirDrive->Drive(), m_tmp.path());
    bool wasRunning = false;
    QString progress;
    int listedAtCancel = 0;
    p.after(50, [&] {
        wasRunning = w.launcherState().searching && w.KVDirAutofindBtn->text() == "Cancel" &&
                     w.KVDirErrorLabel->text() == kSearching && !w.KVDirDir->isEnabled() &&
                     !w.KVDirDrive->isEnabled() && QApplication::overrideCursor() &&
                     QApplication::overrideCursor()->shape() == Qt::BusyCursor;
        progress = w.KVDirDirLabel->text();
        listedAtCancel = int(p.fs->listed.size());
        p.autofind();
    });
    p.autofind();
    QVERIFY2(wasRunning, "the search was not running when Cancel was pressed");
    QCOMPARE(int(p.fs->listed.size()), listedAtCancel);
    // The label named folders as they were finished.
    QVERIFY2(QRegularExpression("^/ \\.\\. /(Folder\\d+|Sub\\d+|Old)$").match(progress).hasMatch(),
             qPrintable(progress));
    QCOMPARE(dirPanelMismatch(p.f, "", kNothingFound), QString());

    p.fs->onListing = nullptr;
    p.autofind();
    QCOMPARE(dirPanelMismatch(p.f, "", kNothingFound), QString());
    // Once the folder is readable, the next search finds the game.
    locked.reset();
    {
        FolderLock settings(QFileInfo(p.f.settingsFile).path(), FolderLock::ReadOnly);
        p.autofind();
    }
    QCOMPARE(w.KVDirErrorLabel->text(),
             "The settings could not be saved to " + p.f.settingsFile + ".");
    QVERIFY(w.KVDirAutofindBtn->text() == "Autofind" && w.KVDirDir->isEnabled() &&
            !QApplication::overrideCursor() && !w.launcherState().searching);
    QVERIFY(openLine(w.KVDirDir, "Games") && openLine(w.KVDirDir, "Korvath 2"));
    QCOMPARE(dirPanelMismatch(p.f, p.game + "/"), QString());
    QCOMPARE(w.KVDirDir->Path(), p.game);
    QCOMPARE(w.KVDirDrive->Drive(), p.d);
}

// Up one level: invalid. The list shows the path from the root down, each a step
// further in, then the subfolders; a single click only selects.
void WindowTest::theDirectoryListMovesLevelByLevel() {
    DirPanel p(m_tmp.path(), true);
    Form1& w = *p.w;
    const QString d = p.d, game = p.game;
    QSignalSpy changes(w.KVDirDir, &DirListBox::Change);
    QVERIFY(openLine(w.KVDirDir, "Games"));
    QCOMPARE(dirPanelMismatch(p.f, ""), QString());
    const QStringList chain = QStringList("/") + (d + "/Games").split('/', Qt::SkipEmptyParts);
    const QStringList shown = listLines(w.KVDirDir);
    QCOMPARE(shown, chain + QStringList({"alpha", "Korvath 2", "Old"}));
    QCOMPARE(w.KVDirDir->item(chain.size())->data(DirListBox::LevelRole).toInt(), chain.size());
    QCOMPARE(w.KVDirDir->currentRow(), chain.size() - 1);
    QTest::mouseClick(w.KVDirDir->viewport(), Qt::LeftButton, {},
                      w.KVDirDir->visualItemRect(w.KVDirDir->item(shown.indexOf("Old"))).center());
    QCOMPARE(w.KVDirDir->Path(), d + "/Games");
    // Down again by Enter: valid, and the Configuration tab stays in front. Opening the
    // current line, or setting the directory it shows in any spelling, moves nothing.
    QVERIFY(openLine(w.KVDirDir, "Korvath 2", true));
    QCOMPARE(dirPanelMismatch(p.f, game + "/"), QString());
    QCOMPARE(w.LauncherTabs->Tab(), Form1::tabIndex(u"configuration"));
    QVERIFY(openLine(w.KVDirDir, "Korvath 2"));
    for (const QString& same : {game, d + "//Games//Korvath 2/", d + "/GAMES/korvath 2"})
        QVERIFY2(!w.KVDirDir->SetPath(same), qPrintable(same));
    QCOMPARE(changes.count(), 2);
    // A folder that went away meanwhile is not entered; the list shows what is there.
    QVERIFY(openLine(w.KVDirDir, "Games"));
    QVERIFY(QDir(d + "/Games/Old").removeRecursively());
    QVERIFY(openLine(w.KVDirDir, "Old"));
    QCOMPARE(w.KVDirDir->Path(), d + "/Games");
    QVERIFY(w.KVDirDir->findItems("Old", Qt::MatchExactly).isEmpty());
}

// A drive that cannot be read changes nothing but the drive list itself. A drive
// mounted meanwhile shows up when the list is opened, and the chosen one stays chosen.
// The root of a drive that holds the game keeps its one separator.
void WindowTest::drivesNotReadyOrMountedMeanwhile() {
    DirPanel p(m_tmp.path(), true);
    Form1& w = *p.w;
    w.KVDirDrive->setFocus(); // the user steps through the drop-down with the keys
    QTest::keyClick(w.KVDirDrive, Qt::Key_Home);
    QCOMPARE(w.KVDirDrive->Drive(), m_tmp.path());
    QCOMPARE(dirPanelMismatch(p.f, p.game + "/"), QString());
    p.fs->drives.append(Drive{"/", "ROOT", {}, 0});
    static_cast<QComboBox*>(w.KVDirDrive)->showPopup();
    w.KVDirDrive->hidePopup();
    QCOMPARE(w.KVDirDrive->itemText(3), QStringLiteral("/ [ROOT]"));
    QCOMPARE(w.KVDirDrive->currentIndex(), 0);
    QTest::keyClick(w.KVDirDrive, Qt::Key_End);
    QCOMPARE(w.KVDirDirLabel->text(), QStringLiteral("/"));
    QCOMPARE(dirPanelMismatch(p.f, "/"), QString());
}

// Closed while a search runs: the search ends without touching the window, and the
// program ends as the application's loop does when the last window closes.
void WindowTest::closingDuringASearchEndsIt() {
    DirPanel p(m_tmp.path(), false);
    Form1& w = *p.w;
    int listedAtClose = -1;
    p.after(50, [&] {
        listedAtClose = int(p.fs->listed.size());
        w.close();
    });
    QTimer::singleShot(0, this, [&p] { p.autofind(); });
    QTimer::singleShot(30000, this, [] { QCoreApplication::exit(3); }); // a search never ending
    QCOMPARE(QApplication::exec(), 0);
    QCOMPARE(int(p.fs->listed.size()), listedAtClose);
    // The window was left as it was when it closed, nothing was saved, and the busy
    // pointer does not outlive the search.
    QCOMPARE(w.KVDirErrorLabel->text(), kSearching);
    QCOMPARE(p.f.storedSetting("KVDir"), QString());
    QVERIFY(!QApplication::overrideCursor());
}

// --help, --version and a wrong option answer at once: no display is needed, and
// neither the settings nor the single-instance lock are touched. The toolkit's options
// are taken in every mode; each failure is said once.
void WindowTest::commandLineAnswersWithoutTheWindow() {
    QTemporaryDir home, broken; // broken: the settings file is a folder
    QVERIFY(QDir().mkpath(broken.path() + "/Korvath II Launcher.conf"));
    const QString statuses = "\nExit status[^\n]*:\n  0 .*\n  1 .*no display.*\n  2 .*\n  125 .*"
                             "\n  126 .*\n  127 [^\n]*$";
    const struct {
        QStringList arguments;
        int status;
        QString output; // a pattern: on standard output, or on standard error when status != 0
        QString config = {};
    } cases[] = {
        {{"--help"}, 0, "^(?!.*--platform).*--world <NAME>.*" + statuses},
        {{"-platform", "xcb", "--help-all", "-reverse"}, 0, "--world <.*--platform <.*" + statuses},
        {{"-v", "--style=Windows", "-qwindowtitle", "T"}, 0, "^korvath2-launcher 1\\.0\n$"},
        {{"--platform", "offscreen", "-display", ":9", "--list-worlds"}, 125, "no Korvath II dir"},
        {{"--world", "x"}, 125, "^[^\n]*The settings could not be read", broken.path()},
        {{"-style", "Windows", "-reverse"}, 1, "no display.*--world and --list-worlds"},
        {{"-display", ":31999"}, 1, "no display"}, // one the toolkit cannot open
        {{"-platform", "offscreen", "--help", "-bogus"},
         2,
         "^korvath2-launcher: Unknown option 'bogus'"}};
    for (const auto& c : cases) {
        QProcess launcher;
        launcher.setEnvironment(
            {"XDG_CONFIG_HOME=" + (c.config.isEmpty() ? home.path() : c.config)});
        launcher.start(KV_BINARY_DIR "/korvath2-launcher", c.arguments); // and no display
        QVERIFY(launcher.waitForFinished(10000));
        QCOMPARE(launcher.exitCode(), c.status);
        const QString output = launcher.readAllStandardOutput(),
                      error = launcher.readAllStandardError();
        const QString said = c.status == 0 ? output : error;
        QVERIFY2(QRegularExpression(c.output, QRegularExpression::DotMatchesEverythingOption)
                     .match(said)
                     .hasMatch(),
                 qPrintable(said));
        // One line for a failure, and a refusal's hint at --help.
        QCOMPARE(error.count('\n'), c.status == 0 ? 0 : c.status == 2 ? 2 : 1);
        for (const QString& line : output.split('\n'))
            QVERIFY2(line.size() <= 80, qPrintable(line));
    }
    QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    // The window's Fusion gives way to a style the toolkit took from -style, if it has it.
    for (const auto& [chosen, used] : {std::pair{"Windows", "windows"}, {"bogus", "fusion"}}) {
        QApplication::setStyle("Windows");
        LauncherFont::apply(chosen);
        QCOMPARE(QApplication::style()->name().toLower(), QString(used));
    }
}

// A launch from the desktop has no terminal: its failure is shown in a message box,
// but only the launcher's own failure, said, without a terminal and with a display.
void WindowTest::failedDesktopLaunchesAreShown() {
    QProcessEnvironment x11, wayland, offscreen;
    x11.insert("DISPLAY", ":0");
    wayland.insert("WAYLAND_DISPLAY", "wayland-0");
    offscreen = x11;
    offscreen.insert("QT_QPA_PLATFORM", "offscreen");
    for (const int status : {2, 125, 126, 127})
        QVERIFY(FailureDialog::Shows(status, true, false, status == 2 ? wayland : x11));
    // Not the game's own status, nor one unsaid, nor with a terminal or no display.
    for (const auto& [status, said, terminal, env] :
         {std::tuple{7, false, false, x11}, std::tuple{2, false, false, x11},
          std::tuple{125, true, true, x11}, std::tuple{125, true, false, QProcessEnvironment()},
          std::tuple{125, true, false, offscreen}})
        QVERIFY(!FailureDialog::Shows(status, said, terminal, env));

    // On a real X server the box waits to be closed; a display that cannot be opened
    // ends the launch at once with its status, never with the toolkit's abort.
    if (QStandardPaths::findExecutable("xvfb-run").isEmpty())
        QSKIP("xvfb-run is not installed");
    QTemporaryDir home;
    const QString program =
        qEnvironmentVariable("KV_BINARY_DIR", KV_BINARY_DIR) + "/korvath2-launcher";
    for (const bool server : {true, false}) {
        QProcess launcher;
        launcher.setEnvironment({"XDG_CONFIG_HOME=" + home.path(), "PATH=/usr/bin:/bin",
                                 "DISPLAY=:31999", "HOME=" + home.path()});
        launcher.setChildProcessModifier([] { ::setpgid(0, 0); });
        if (server)
            launcher.start("xvfb-run", {"-a", program, "--world", "Frost March"});
        else
            launcher.start(program, {"--world", "Frost March"});
        const auto end = qScopeGuard([&launcher] {
            if (launcher.state() == QProcess::Running) // the launcher, and Xvfb with it
                ::kill(-pid_t(launcher.processId()), SIGKILL);
            launcher.waitForFinished();
        });
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT(
            (said += launcher.readAllStandardError()).contains("no Korvath II directory"), 20000);
        if (server) {
            QVERIFY2(launcher.state() == QProcess::Running && !launcher.waitForFinished(1500),
                     "no message box kept the launcher");
        } else {
            QVERIFY(launcher.state() == QProcess::NotRunning || launcher.waitForFinished(10000));
            QCOMPARE(launcher.exitStatus(), QProcess::NormalExit);
            QCOMPARE(launcher.exitCode(), 125);
        }
    }
}

// Ctrl+Tab and Ctrl+Shift+Tab as an X server delivers them for a real keyboard (XTest
// through xdotool): this test runs itself again under Xvfb on the xcb platform.
void WindowTest::tabKeysOnARealXServer() {
    if (QGuiApplication::platformName() != "xcb") {
        for (const char* tool : {"xvfb-run", "xdotool"}) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP(qPrintable(QString(tool) + " is not installed"));
        }
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start("xvfb-run", {"-a", QCoreApplication::applicationFilePath(), "-platform", "xcb",
                                 "tabKeysOnARealXServer"});
        QVERIFY(child.waitForFinished(120000));
        QVERIFY2(child.exitCode() == 0, child.readAll());
        return;
    }
    QTemporaryDir tmp;
    WindowFixture fixture(tmp.path());
    QCOMPARE(InstallationBuilder::build(tmp.path() + "/Game"), QString());
    fixture.presetSetting("KVDir", tmp.path() + "/Game/");
    Form1& w = fixture.createShown();
    QProcess::execute("xdotool", {"windowfocus", "--sync", QString::number(w.winId())});
    QTRY_VERIFY(w.isActiveWindow());
    // From the world list, the directory list and the About tab: the next enabled tab
    // and back, wrapping round.
    for (const auto& [keys, tab] : {std::pair{"ctrl+Tab", u"configuration"},
                                    {"ctrl+Tab", u"about"},
                                    {"ctrl+Tab", u"launcher"},
                                    {"ctrl+shift+Tab", u"about"},
                                    {"ctrl+shift+Tab", u"configuration"},
                                    {"ctrl+shift+Tab", u"launcher"}}) {
        QProcess::execute("xdotool", {"key", keys});
        QTRY_COMPARE(w.LauncherTabs->Tab(), Form1::tabIndex(tab));
    }
}

void WindowTest::picturesStaySharpOnHiDpiScreens_data() {
    QTest::addColumn<QString>("file");
    for (const char* file : {"banner.ppm", "mascot.png", "credits.png"})
        QTest::newRow(file) << QString::fromLatin1(file);
}

// Each picture the window shows has its version twice as large in the program, and
// comes at the same size on the screen.
void WindowTest::picturesStaySharpOnHiDpiScreens() {
    QFETCH(QString, file);
    const QPixmap plain = Pictures::Load(file);
    const QPixmap sharp = Pictures::Load(file, 2);
    QVERIFY(!plain.isNull());
    QCOMPARE(sharp.size(), plain.size() * 2);
    QCOMPARE(sharp.deviceIndependentSize(), plain.deviceIndependentSize());
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
