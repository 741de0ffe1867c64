#include "app/ui/Form1.h"

#include "app/QuoteStuff.h"
#include "app/SettingsStore.h"
#include "app/Version.h"
#include "app/ui/AccessibleNames.h"
#include "app/ui/LauncherFont.h"
#include "app/ui/ListBox.h"
#include "app/ui/PanelLayout.h"
#include "app/ui/Pictures.h"
#include "app/ui/ProblemTexts.h"
#include "app/ui/TabControl.h"
#include "gamedir/ui/DirListBox.h"
#include "gamedir/ui/DriveListBox.h"
#include "platform/Logging.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <stdexcept>

const QString Form1::kPlayerWorldsText =
    QStringLiteral("The following worlds were found in your Korvath II directory. Select a world, "
                   "and then click the Launch button.");
const QString Form1::kCreatorWorldsText =
    QStringLiteral("The following worlds were found in your Korvath II directory. Tomes are "
                   "listed separately for packaging purposes only.");
const QString Form1::kNoDirectoryText =
    QStringLiteral("No Korvath II directory is set up yet. Choose it on the Configuration tab.");

namespace {

std::function<void(const QString&)>& fatalErrorHandler() {
    static std::function<void(const QString&)> handler;
    return handler;
}

} // namespace

Form1::Form1(LauncherServices launcherServices, QWidget* parent)
    : QWidget(parent), services(std::move(launcherServices)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kApplicationName);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(LauncherFont::font(LauncherFont::kRegularPoints));
    createControls();
    connectControls();
    connectShortcuts();
    afterFirstFrame([this] { loadLateArtwork(); });
}

void Form1::connectShortcuts() {
    // The keys of the desktop's own scheme, and those every desktop knows.
    const auto keys = [](QKeySequence::StandardKey standard, QList<QKeySequence> common) {
        for (const QKeySequence& key : QKeySequence::keyBindings(standard)) {
            if (!common.contains(key))
                common.append(key);
        }
        return common;
    };
    // Between the tabs, as in every tabbed window; a disabled tab is passed over.
    const QList<QKeySequence> next =
        keys(QKeySequence::NextChild,
             {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)});
    // An X server delivers Ctrl+Shift+Tab as Backtab with Shift, which the toolkit
    // matches as Ctrl+Shift+Tab; a synthetic Backtab is matched as it is.
    const QList<QKeySequence> previous =
        keys(QKeySequence::PreviousChild, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                                           QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                                           QKeySequence(Qt::CTRL | Qt::Key_PageUp)});
    for (const auto& [sequences, step] : {std::pair(next, 1), std::pair(previous, -1)}) {
        auto* shortcut = new QShortcut(this);
        shortcut->setKeys(sequences);
        connect(shortcut, &QShortcut::activated, this,
                [this, step = step] { LauncherTabs->selectAdjacentTab(step); });
    }
    // Ctrl+Q does what the Quit buttons do.
    auto* quit = new QShortcut(this);
    quit->setKeys(keys(QKeySequence::Quit, {QKeySequence(Qt::CTRL | Qt::Key_Q)}));
    connect(quit, &QShortcut::activated, this, [this] { runHandler([this] { close(); }); });
}

Form1::~Form1() = default;

void Form1::setFatalErrorHandler(std::function<void(const QString&)> handler) {
    fatalErrorHandler() = std::move(handler);
}

const QList<Form1::Tab>& Form1::tabs() {
    static const QList<Tab> table = {
        {"launcher", "Launcher", {&Form1::createPlayerPanel, &Form1::createCreatorPanel}},
        {"configuration", "Configuration", {&Form1::createDirPanel, &Form1::createInterfacePanel}},
        {"about", "About", {&Form1::createAboutPanel}},
    };
    return table;
}

int Form1::tabIndex(QStringView name) {
    const QList<Tab>& table = tabs();
    for (int i = 0; i < table.size(); ++i) {
        if (table[i].name == name)
            return i;
    }
    throw std::logic_error("The window has no tab called " + name.toString().toStdString());
}

void Form1::createControls() {
    // The pictures are compiled into the static window library; its resources must be
    // registered by name, or the linker may leave them out of the program.
    Q_INIT_RESOURCE(resources);
    AccessibleNames::Install();

    // The banner with the product's title, drawn at the top left above the tabs.
    auto* banner = new QLabel(this);
    banner->setObjectName(QStringLiteral("Banner"));
    banner->setGeometry(0, 0, kClientWidth, kBannerHeight);
    banner->setPixmap(Pictures::Load(QStringLiteral("banner.ppm"), devicePixelRatioF()));
    banner->setAccessibleName(QStringLiteral("Korvath II World Launcher"));
    banner->setAccessibleDescription(
        QStringLiteral("The title KORVATH II, WORLD LAUNCHER, over mountains at night"));
    banner->setAttribute(Qt::WA_TransparentForMouseEvents);

    using namespace PanelLayout;
    const Control table[] = {{&Form1::LauncherTabs, "LauncherTabs", Kind::Tabs, "",
                              twips(255, 1740, 6615, 3975), "", Font::Regular}};
    makeControls(*this, this, table);
    // Every page first, then the panels on them: the Player panel now; the others
    // once the start-up knows it shows them (the Creator panel in the Creator mode,
    // the Configuration tab without a game directory), else just after the first frame.
    for (const Tab& tab : tabs())
        LauncherTabs->addTab(tab.caption);
    createPlayerPanel(LauncherTabs->page(tabIndex(u"launcher")));
    afterFirstFrame([this] { createLaterPanels(); });
}

void Form1::createLaterPanels() {
    makeCreatorPanel();
    if (KVDirDir)
        return;
    for (int i = 0; i < tabs().size(); ++i) {
        for (const auto panel : tabs()[i].panels) {
            if (i != tabIndex(u"launcher"))
                (this->*panel)(LauncherTabs->page(i));
        }
    }
    connect(KVDirAutofindBtn, &QPushButton::clicked, this, handled(&Form1::KVDirAutofindBtn_Click));
    connect(KVDirDrive, &DriveListBox::Change, this, handled(&Form1::KVDirDrive_Change));
    connect(KVDirDir, &DirListBox::Change, this, handled(&Form1::KVDirDir_Change));
    // The option buttons raise their handlers only on the user's click.
    connect(InterfaceOption1, &QRadioButton::clicked, this,
            handled(&Form1::InterfaceOption1_Click));
    connect(InterfaceOption2, &QRadioButton::clicked, this,
            handled(&Form1::InterfaceOption2_Click));
    // The option of the mode the panels show. Tab into the group lands on the checked
    // option, and leaves the group from there; the arrow keys move between the options.
    InterfaceOption2->setChecked(!CreatorPicBox->isHidden());
    for (QRadioButton* option : {InterfaceOption1, InterfaceOption2}) {
        connect(option, &QRadioButton::toggled, option, [option](bool checked) {
            option->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
        });
        option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    }
    // A quote for the About tab, whichever tab opens.
    QuoteLabel->setText(QuoteStuff::GetRandomQuote(Quotes));
}

std::function<void()> Form1::handled(void (Form1::*handler)()) {
    return [this, handler]() { runHandler([this, handler] { (this->*handler)(); }); };
}

void Form1::connectControls() {
    connect(PlayerQuitBtn, &QPushButton::clicked, this, handled(&Form1::PlayerQuitBtn_Click));
    connect(PlayerLaunchBtn, &QPushButton::clicked, this, handled(&Form1::PlayerLaunchBtn_Click));
    connect(LauncherTabs, &TabControl::Click, this, [this](int previous) {
        runHandler([this, previous] { LauncherTabs_Click(previous); });
    });
    connectWorldListMenu(PlayerWorldList);
}

void Form1::connectWorldListMenu(ListBox* list) {
    connect(list, &ListBox::ContextMenu, this, [this, list](int index, const QPoint& at) {
        runHandler([=] { WorldList_ContextMenu(list, index, at); });
    });
}

void Form1::runHandler(const std::function<void()>& handler) {
    try {
        // The user acts on the whole window, never on one still being filled.
        if (!state.loading)
            finishStartup();
        handler();
    } catch (const std::exception& error) {
        const QString text = QString::fromUtf8(error.what());
        qCCritical(lcApp).noquote() << text;
        if (fatalErrorHandler()) {
            fatalErrorHandler()(text);
            return;
        }
        QMessageBox::critical(this, windowTitle(), text);
        windowClosed = true;
        state.searching = false;
        QCoreApplication::exit(1);
        hide();
    }
}

void Form1::showMessage(QLabel* label, const QString& text, const QString& details) {
    if (!label)
        return;
    // Texts are shown as they are: a world's name is never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setText(text);
    label->setToolTip(details);
}

void Form1::showProblem(QLabel* label, const Problem& problem) {
    showMessage(label, ProblemTexts::Text(problem), ProblemTexts::Details(problem));
}

void Form1::Form_Load() {
    // A fresh state: start-up is under way, no search runs, Creator world 0.
    state.loading = true;
    state.creatorWorldIndex = 0;
    state.searching = false;
    // The file-system service, for the drive and directory lists too.
    state.fileSystem = services.createFileSystem();
    // The settings: the labels of the last switch and the interface mode; labels of a
    // launcher that kept no switch records become the saved directory's record.
    SettingsStore& settings = *services.settings;
    state.dirLabel = settings.GetSetting(kSettingsSection, kLastDirLabelKey);
    state.backupLabel = settings.GetSetting(kSettingsSection, kLastBackupLabelKey);
    state.interfaceType =
        settings.GetSetting(kSettingsSection, kInterfaceTypeKey, QStringLiteral("0"));
    adoptEarlierSwitchLabels();
    // The interface mode: only "0" is the Player interface.
    if (state.interfaceType == QLatin1String("0")) {
        SetPlayerInterface();
    } else {
        makeCreatorPanel();
        SetCreatorInterface();
    }
    // Gustav's quotes and the folder table.
    QuoteStuff::InitQuotes(Quotes);
    const QChar separator = state.fileSystem->separator();
    KVDirStuff::FillGameFolderPaths(gameFolderTable, separator);
    KVDirStuff::FillGameFolderNames(gameFolderTable, separator);
    // The saved game directory: valid, or the panel's invalid state (the Configuration
    // tab, which then opens).
    CheckSavedGameDir();
    // Switches an earlier run left in place are put back wherever their directories
    // can be reached (they wait for a game an earlier run left running). With a
    // valid directory, its catalogue and tomes are listed and the Launcher tab opens.
    restoreWorldsAtStartup();
    if (!state.gameDir.isEmpty()) {
        PlayerLabel->setText(kPlayerWorldsText);
        if (CreatorLabel)
            CreatorLabel->setText(kCreatorWorldsText);
        PlayerQuitBtn->setEnabled(true);
        PlayerLaunchBtn->setEnabled(true);
        LauncherTabs->SetTabEnabled(tabIndex(u"launcher"), true);
        LauncherTabs->SetTab(tabIndex(u"launcher"));
        // The Configuration tab is not in the first frame.
        afterFirstFrame([this] { showGameDirInLists(); });
    }
    finishStartupWorldSteps();
    // Start-up is over: from now on the lists' changes are the user's.
    state.loading = false;
    focusFirstControl();
}

void Form1::focusFirstControl() {
    QWidget* first = !CreatorPicBox || CreatorPicBox->isHidden()
                         ? static_cast<QWidget*>(PlayerWorldList)
                         : static_cast<QWidget*>(CreatorWorldList);
    if (LauncherTabs->Tab() != tabIndex(u"launcher"))
        first = KVDirDir;
    first->setFocus(Qt::OtherFocusReason);
}

void Form1::PlayerQuitBtn_Click() {
    close();
}

void Form1::CreatorQuitBtn_Click() {
    close();
}

void Form1::LauncherTabs_Click(int /*previousTab*/) {
    if (LauncherTabs->Tab() == tabIndex(u"about"))
        QuoteLabel->setText(QuoteStuff::GetRandomQuote(Quotes));
}

void Form1::afterFirstFrame(std::function<void()> work) {
    startupWork.push_back(std::move(work));
}

void Form1::finishStartup() {
    // Their changes are still the start-up's, not the user's; work they leave for
    // later runs too.
    const bool wasLoading = state.loading;
    state.loading = true;
    while (!startupWork.empty()) {
        const std::function<void()> step = std::move(startupWork.front());
        startupWork.erase(startupWork.begin());
        step();
    }
    state.loading = wasLoading;
}

void Form1::loadLateArtwork() {
    // Not in the first frame: read just after it, with the About tab they lie on.
    Image1->setPixmap(Pictures::Load(QStringLiteral("mascot.png"), devicePixelRatioF()));
    Image2->setPixmap(Pictures::Load(QStringLiteral("credits.png"), devicePixelRatioF()));
    setWindowIcon(QIcon(Pictures::Load(QStringLiteral("icon.png"))));
}

void Form1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // Queued from the first frame itself, so that the frame is on the screen first.
    if (!firstFrameSeen) {
        firstFrameSeen = true;
        QTimer::singleShot(0, this, [this] { runHandler([this] { finishStartup(); }); });
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    // Closing saves and switches nothing; a running search is asked to stop.
    windowClosed = true;
    state.searching = false;
    event->accept();
}
