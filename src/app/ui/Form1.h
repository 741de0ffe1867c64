#pragma once

#include "app/LauncherState.h"
#include "app/Problem.h"
#include "creator/Packaging.h"
#include "gamedir/KVDirStuff.h"
#include "gamedir/ui/DirPanelState.h"
#include "worlds/SwitchRecords.h"
#include "worlds/ui/LaunchPanelState.h"

#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class DirListBox;
class DriveListBox;
class ListBox;
class ProcessRunner;
class SettingsStore;
class TabControl;

// What the window needs from outside: the platform services (real ones in the
// program, fakes in tests), the launcher folder (where the installer compiler, its
// script and the output folder live) and the user's data folder (where the script
// and the output folder go when the launcher folder cannot be written; "" for none).
struct LauncherServices {
    std::function<std::unique_ptr<FileSystem>()> createFileSystem;
    SettingsStore* settings = nullptr;
    ProcessRunner* processRunner = nullptr;
    QString launcherFolder;
    QString dataFolder;
    // The settings file; the single-instance lock and the record of a running
    // program lie beside it ("" for a store without a file).
    QString settingsFile;
};

// The launcher's one window. It owns every control and the state record; each
// subsystem's handlers (Form1_*.cpp), its panel's layout table (*Panel.cpp) and its
// panel's state (held here by value) are in that subsystem's ui/ folder.
class Form1 : public QWidget {
    Q_OBJECT
public:
    // A tab of LauncherTabs: the name the program, the tools and the tests know it by,
    // its caption, and the panels laid out on its page, in their order.
    struct Tab {
        QString name;
        QString caption;
        QList<void (Form1::*)(QWidget* page)> panels;
    };
    // The tabs, left to right.
    static const QList<Tab>& tabs();
    // The position of the tab called name; a name no tab has throws std::logic_error.
    static int tabIndex(QStringView name);
    // The window's fixed client area and the banner across its top, in pixels.
    static constexpr int kClientWidth = 472;
    static constexpr int kClientHeight = 396;
    static constexpr int kBannerHeight = 108;
    // The panels' texts with a game directory, and the Creator panel's without one.
    static const QString kPlayerWorldsText;
    static const QString kCreatorWorldsText;
    static const QString kNoDirectoryText;

    explicit Form1(LauncherServices services, QWidget* parent = nullptr);
    ~Form1() override;

    // The start-up sequence; run once, before the window is shown.
    void Form_Load();
    // Runs now the start-up work whose result the first frame does not show (the
    // lists and pictures of panels not on the screen). The window runs it itself once
    // its first frame is on the screen, and before any handler of the user's.
    void finishStartup();

    LauncherState& launcherState() { return state; }
    const KVDirStuff::GameFolderTable& gameFolders() const { return gameFolderTable; }

    // How an untrapped error ends the program. The default shows the error's text in
    // a critical message box and quits with status 1; tests replace it.
    static void setFatalErrorHandler(std::function<void(const QString&)> handler);

    // --- controls, named as the system names them ---
    TabControl* LauncherTabs = nullptr;
    // Launcher tab: Player panel
    QWidget* PlayerPicBox = nullptr;
    QLabel* PlayerLabel = nullptr;
    ListBox* PlayerWorldList = nullptr;
    QPushButton* PlayerLaunchBtn = nullptr;
    QPushButton* PlayerQuitBtn = nullptr;
    // Launcher tab: Creator panel
    QWidget* CreatorPicBox = nullptr;
    QLabel* CreatorLabel = nullptr;
    ListBox* CreatorWorldList = nullptr;
    ListBox* CreatorTomeList = nullptr;
    QComboBox* CreatorCombo = nullptr;
    QPushButton* CreatorLaunchBtn = nullptr;
    QPushButton* CreatorQuitBtn = nullptr;
    // Configuration tab
    QGroupBox* KVDirFrame = nullptr;
    DirListBox* KVDirDir = nullptr;
    DriveListBox* KVDirDrive = nullptr;
    QPushButton* KVDirAutofindBtn = nullptr;
    QLabel* KVDirSettingLabel = nullptr;
    QLabel* KVDirDirLabel = nullptr;
    QLabel* KVDirErrorLabel = nullptr;
    QGroupBox* InterfaceFrame = nullptr;
    QRadioButton* InterfaceOption1 = nullptr;
    QRadioButton* InterfaceOption2 = nullptr;
    // About tab
    QLabel* Image1 = nullptr;
    QLabel* QuoteLabel = nullptr;
    QFrame* Line1 = nullptr;
    QLabel* Image2 = nullptr;

    // --- launcher window (src/app) ---
    void PlayerQuitBtn_Click();
    void CreatorQuitBtn_Click();
    void LauncherTabs_Click(int previousTab);
    void SetPlayerInterface();
    void SetCreatorInterface();
    void InterfaceOption1_Click();
    void InterfaceOption2_Click();

    // --- game directory (src/gamedir) ---
    void CheckSavedGameDir();
    void KVDirDrive_Change();
    void KVDirDir_Change();
    void SetDirPanelSearching();
    void SetDirPanelValid();
    void SetDirPanelInvalid();
    void KVDirAutofindBtn_Click();
    void AutofindGameDir();

    // --- worlds (src/worlds) ---
    void ScanWorlds();
    // The context menu of a line of either world list: the world in the desktop's
    // applications menu, or out of it.
    void WorldList_ContextMenu(ListBox* list, int index, const QPoint& globalPos);
    void LaunchPlayerWorld();
    void PlayerLaunchBtn_Click();
    // Puts back the folders of every recorded switch that can be reached (a no-op
    // after a clean launch). Returns false, and says in messageLabel why, while a
    // switch of the current game directory is still in place.
    bool SwitchSavedWorldOut(QLabel* messageLabel);
    // The launch path shared by the Player panel and the Creator panel's game and
    // editor actions: the world at worldListIndex (line of either world list) is
    // switched in, executableName of the game directory runs while the window is
    // hidden (only when every folder of the world took its place), and the world is
    // switched out again. What went wrong is said in messageLabel.
    void LaunchWorldProgram(const QString& executableName, int worldListIndex,
                            QLabel* messageLabel);

    // --- creator tools (src/creator) ---
    void FillCreatorActions();
    void FillTomeList();
    void CreatorCombo_Click();
    void CreatorWorldList_Click();
    void CreatorTomeList_Click();
    void CreatorLaunchBtn_Click();
    void CreatorLaunch();
    void WriteWorldScript();
    void WriteTomeScript();

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The window's controls: the banner, the tabs, and the panels of every tab.
    void createControls();
    // The panels of the tabs other than the Launcher tab, connected and in their
    // opening state (once; at once when the Configuration tab opens first).
    void createLaterPanels();
    void createInterfacePanel(QWidget* page);
    void createAboutPanel(QWidget* page);
    // Gives the drive and directory lists the file-system service and shows the
    // opening directory in them (game directory subsystem).
    void attachFileSystemToLists();
    void connectControls();
    void connectWorldListMenu(ListBox* list);                // its context menu
    std::function<void()> handled(void (Form1::*handler)()); // runs it through runHandler
    void connectShortcuts();
    // "interfaceType" := type; a failure leaves the mode for this run and is said.
    void saveInterfaceType(const QString& type);
    // Start-up focus: the first control of the tab shown that the user works with.
    void focusFirstControl();
    // Runs an event handler; an error that escapes it ends the program.
    void runHandler(const std::function<void()>& handler);
    // A message of a panel: the text in its label, the system's own words and paths
    // in the label's tooltip.
    static void showMessage(QLabel* label, const QString& text, const QString& details = {});
    static void showProblem(QLabel* label, const Problem& problem); // as ProblemTexts words it

    bool windowClosed = false; // set once the window has been closed
    // Start-up work left for finishStartup, in its order.
    void afterFirstFrame(std::function<void()> work);
    std::vector<std::function<void()>> startupWork;
    bool firstFrameSeen = false;
    void loadLateArtwork(); // the About tab's pictures and the window's icon

    LauncherServices services;
    LauncherState state;
    KVDirStuff::GameFolderTable gameFolderTable;
    QStringList Quotes;

    // ---- game directory subsystem ----
    DirPanelState dirPanel;
    void createDirPanel(QWidget* page);
    // The drive and directory lists move to the game directory, which is checked
    // again there (the start-up's last step on the Configuration tab).
    void showGameDirInLists();
    void saveGameDir(); // "KVDir" := gameDir; a failure is said in the panel

    // ---- worlds subsystem ----
    LaunchPanelState launchPanel;
    void createPlayerPanel(QWidget* page);
    // A directory became the game directory at run time: what was cut short there is
    // put back (and said in the panels when it cannot be), and its worlds and tomes are
    // listed as at a start with it. Without one, the lists are emptied.
    void gameDirAccepted();
    void gameDirRejected();
    // The catalogue, the lists and the panels' texts of gameDir (empty without one).
    void listWorldsOfGameDir();
    void adoptEarlierSwitchLabels(); // labels saved by a launcher that kept no records
    // Puts back every recorded switch that can be reached; updates the notice.
    void restoreRecordedSwitches();
    // Keeps the notice of switches still in place, for the panels.
    void noteWaitingSwitches(const SwitchRecords::RestoreOutcome& restored);
    // The start-up recovery, catalogue and tome list: now, or once that program ended.
    void restoreWorldsAtStartup();
    void finishStartupWorldSteps(); // end of start-up: the usual texts, the waiting state
    // What the launch panels say at start-up: their usual texts (or the switch still in
    // place), or while an earlier run's game runs, that, with Launch disabled.
    void showStartupLaunchState();
    void continueAfterEarlierGame();

    void restoreLaunchLabels();
    bool leaveScreenForLaunch(); // false when the window was not shown
    void returnFromLaunch(bool showAgain);
    // Keeps the window out of use, so that it takes no input, for the guard's
    // lifetime: disabled, or off the screen while a program runs (a game runs for
    // hours, and a frozen window invites the desktop to offer a force-quit). Input
    // given meanwhile is dropped when the window is back in use.
    class OutOfUse {
    public:
        enum Mode { Disabled, OffScreen };
        OutOfUse(Form1& window, Mode mode);
        ~OutOfUse();
        OutOfUse(const OutOfUse&) = delete;
        OutOfUse& operator=(const OutOfUse&) = delete;

    private:
        Form1& m_window;
        Mode m_mode;
        bool m_showAgain = false;
    };

    // ---- creator subsystem ----
    void createCreatorPanel(QWidget* page);
    // The Creator panel, connected and in the state the start-up has reached (once).
    void makeCreatorPanel();
    // What the packaging needs, gathered once from the panel: the world
    // creatorWorldIndex, its shown name or the selected tomes.
    Packaging::Request packagingRequest(bool worldScript);
    void writeScript(bool worldScript); // the world or the tome script, in the launcher folder
    void creatorPackage();              // the packaging action
};
