#include "app/ui/Form1.h"

#include "app/Logging.h"
#include "app/QuoteStuff.h"
#include "app/SettingsStore.h"
#include "app/Version.h"
#include "app/ui/AccessibleNames.h"
#include "app/ui/LauncherFont.h"
#include "app/ui/ListBox.h"
#include "app/ui/ProblemTexts.h"
#include "app/ui/TabControl.h"
#include "gamedir/ui/DirListBox.h"
#include "gamedir/ui/DriveListBox.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

namespace {

// Positions are given in twips, 15 to the pixel.
QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

// Sizes are given in points at 96 dots per inch; the font is set in pixels so the
// fixed boxes hold their texts on any screen.
QFont uiFont(qreal points, bool bold = false) {
    return LauncherFont::font(points, bold);
}

template <class W> W* place(W* widget, const QString& name, const QRect& geometry) {
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QRect& geometry, const QString& text,
                  const QFont& font) {
    auto* label = place(new QLabel(text, parent), name, geometry);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QRect& geometry,
                        const QString& text) {
    auto* button = place(new QPushButton(text, parent), name, geometry);
    button->setFont(uiFont(LauncherFont::kRegularPoints));
    button->setAutoDefault(false);
    return button;
}

// A classic frame: the caption sits on the border line, so the frame's own controls
// can start just below the caption, where the layout puts them.
void styleFrame(QGroupBox* frame) {
    frame->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 3px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 8px; padding: 0 3px; }"));
}

// A PNG of the resources. Read as PNG and nothing else: guessing the format would load
// every image plugin of the system before the first frame.
QPixmap png(const QString& path) {
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

// One of the window's pictures, drawn twice as large for a screen with more than
// one device pixel per pixel (a plain pixmap from the resources would not pick it).
QPixmap picture(const QWidget* widget, const QString& name) {
    if (widget->devicePixelRatioF() > 1) {
        QPixmap sharp = png(QStringLiteral(":/%1@2x.png").arg(name));
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2);
            return sharp;
        }
    }
    return png(QStringLiteral(":/%1.png").arg(name));
}

// What a screen reader says for a control that shows no text of its own.
void describe(QWidget* widget, const QString& name, const QString& description = QString()) {
    widget->setAccessibleName(name);
    if (!description.isEmpty())
        widget->setAccessibleDescription(description);
}

} // namespace

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
    setFont(uiFont(LauncherFont::kRegularPoints));
    createControls();
    connectControls();
    connectShortcuts();
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

void Form1::createControls() {
    // The pictures are compiled into the static window library; its resources must be
    // registered by name, or the linker may leave them out of the program.
    Q_INIT_RESOURCE(resources);
    AccessibleNames::Install();
    const QFont regular = uiFont(LauncherFont::kRegularPoints);
    const QFont bold = uiFont(LauncherFont::kRegularPoints, true);
    const QFont large = uiFont(LauncherFont::kLargePoints);

    // The banner with the product's title, drawn at the top left above the tabs.
    auto* banner =
        place(new QLabel(this), QStringLiteral("Banner"), QRect(0, 0, kClientWidth, kBannerHeight));
    banner->setPixmap(picture(this, QStringLiteral("banner")));
    describe(banner, QStringLiteral("Korvath II World Launcher"),
             QStringLiteral("The title KORVATH II, WORLD LAUNCHER, over mountains at night"));
    banner->setAttribute(Qt::WA_TransparentForMouseEvents);

    LauncherTabs =
        place(new TabControl(this), QStringLiteral("LauncherTabs"), twips(255, 1740, 6615, 3975));
    LauncherTabs->setFont(regular);
    LauncherTabs->addTab(QStringLiteral("Launcher"));
    LauncherTabs->addTab(QStringLiteral("Configuration"));
    LauncherTabs->addTab(QStringLiteral("About"));
    QWidget* tab0 = LauncherTabs->page(0);
    QWidget* tab1 = LauncherTabs->page(1);
    QWidget* tab2 = LauncherTabs->page(2);

    // Player panel
    PlayerPicBox =
        place(new QWidget(tab0), QStringLiteral("PlayerPicBox"), twips(120, 360, 6375, 3495));
    PlayerLabel = makeLabel(PlayerPicBox, QStringLiteral("PlayerLabel"), twips(495, 180, 5415, 495),
                            QString(), large);
    PlayerWorldList = place(new ListBox(PlayerPicBox), QStringLiteral("PlayerWorldList"),
                            twips(480, 840, 5415, 1980));
    PlayerWorldList->setFont(large);
    describe(PlayerWorldList, QStringLiteral("Worlds"));
    PlayerWorldList->setSelectionMode(QAbstractItemView::SingleSelection);
    PlayerLaunchBtn = makeButton(PlayerPicBox, QStringLiteral("PlayerLaunchBtn"),
                                 twips(1800, 3000, 1215, 375), QStringLiteral("Launch"));
    PlayerQuitBtn = makeButton(PlayerPicBox, QStringLiteral("PlayerQuitBtn"),
                               twips(3360, 3000, 1215, 375), QStringLiteral("Quit"));

    // Creator panel: same place, hidden and disabled at opening.
    CreatorPicBox =
        place(new QWidget(tab0), QStringLiteral("CreatorPicBox"), twips(120, 360, 6375, 3495));
    CreatorLabel = makeLabel(CreatorPicBox, QStringLiteral("CreatorLabel"),
                             twips(255, 180, 5895, 495), kNoDirectoryText, large);
    CreatorWorldList = place(new ListBox(CreatorPicBox), QStringLiteral("CreatorWorldList"),
                             twips(240, 840, 5895, 1020));
    CreatorWorldList->setFont(large);
    describe(CreatorWorldList, QStringLiteral("Worlds"));
    CreatorWorldList->setSelectionMode(QAbstractItemView::SingleSelection);
    CreatorTomeList = place(new ListBox(CreatorPicBox), QStringLiteral("CreatorTomeList"),
                            twips(240, 2040, 5895, 780));
    CreatorTomeList->setFont(large);
    describe(CreatorTomeList, QStringLiteral("Tomes"),
             QStringLiteral("The tomes of the world chosen last, for packaging"));
    CreatorTomeList->setSelectionMode(QAbstractItemView::MultiSelection);
    CreatorTomeList->setEnabled(false);
    CreatorCombo = place(new QComboBox(CreatorPicBox), QStringLiteral("CreatorCombo"),
                         twips(240, 3000, 3255, 315));
    CreatorCombo->setFont(regular);
    describe(CreatorCombo, QStringLiteral("Action"));
    CreatorLaunchBtn = makeButton(CreatorPicBox, QStringLiteral("CreatorLaunchBtn"),
                                  twips(3600, 3000, 1215, 375), QStringLiteral("Launch"));
    CreatorQuitBtn = makeButton(CreatorPicBox, QStringLiteral("CreatorQuitBtn"),
                                twips(4920, 3000, 1215, 375), QStringLiteral("Quit"));
    CreatorPicBox->setEnabled(false);
    CreatorPicBox->hide();

    // Configuration tab: directory panel
    KVDirFrame = place(new QGroupBox(QStringLiteral("Korvath II Directory"), tab1),
                       QStringLiteral("KVDirFrame"), twips(240, 480, 6135, 2535));
    KVDirFrame->setFont(bold);
    styleFrame(KVDirFrame);
    KVDirDir =
        place(new DirListBox(KVDirFrame), QStringLiteral("KVDirDir"), twips(120, 360, 3135, 1440));
    KVDirDir->setFont(regular);
    describe(KVDirDir, QStringLiteral("Directory"),
             QStringLiteral("The folders of the chosen directory; choose the Korvath II "
                            "directory"));
    KVDirDrive = place(new DriveListBox(KVDirFrame), QStringLiteral("KVDirDrive"),
                       twips(120, 1920, 3135, 315));
    KVDirDrive->setFont(regular);
    describe(KVDirDrive, QStringLiteral("Drive"));
    KVDirAutofindBtn = makeButton(KVDirFrame, QStringLiteral("KVDirAutofindBtn"),
                                  twips(3600, 1920, 2175, 375), QStringLiteral("Autofind"));
    KVDirAutofindBtn->setEnabled(false);
    KVDirSettingLabel =
        makeLabel(KVDirFrame, QStringLiteral("KVDirSettingLabel"), twips(3480, 360, 2535, 255),
                  QStringLiteral("Current Setting:"), bold);
    KVDirDirLabel =
        makeLabel(KVDirFrame, QStringLiteral("KVDirDirLabel"), twips(3480, 600, 2535, 420),
                  QStringLiteral("NONE SELECTED"), regular);
    KVDirErrorLabel = makeLabel(
        KVDirFrame, QStringLiteral("KVDirErrorLabel"), twips(3480, 1080, 2535, 615),
        QStringLiteral("Warning: This directory does NOT contain a Korvath II installation. "
                       "Please select a different directory."),
        regular);
    // "Current Setting:" labels the directory shown below it.
    KVDirSettingLabel->setBuddy(KVDirDirLabel);

    // Configuration tab: interface mode
    InterfaceFrame = place(new QGroupBox(QStringLiteral("Interface"), tab1),
                           QStringLiteral("InterfaceFrame"), twips(240, 3120, 6135, 615));
    InterfaceFrame->setFont(bold);
    styleFrame(InterfaceFrame);
    InterfaceOption1 = place(new QRadioButton(QStringLiteral("Player Interface"), InterfaceFrame),
                             QStringLiteral("InterfaceOption1"), twips(1080, 240, 1815, 195));
    InterfaceOption1->setFont(bold);
    InterfaceOption2 = place(new QRadioButton(QStringLiteral("Creator Interface"), InterfaceFrame),
                             QStringLiteral("InterfaceOption2"), twips(3495, 240, 2055, 195));
    InterfaceOption2->setFont(bold);
    InterfaceOption1->setChecked(true);
    // The style's round indicator is taller than the classic 13-pixel row: each
    // button grows about the row's middle, so the circle is drawn whole.
    for (QRadioButton* option : {InterfaceOption1, InterfaceOption2}) {
        const QRect row = option->geometry();
        const int height = std::max(row.height(), option->sizeHint().height());
        option->setGeometry(row.x(), row.y() + (row.height() - height) / 2, row.width(), height);
    }

    // About tab
    Image1 = place(new QLabel(tab2), QStringLiteral("Image1"), twips(240, 510, 1860, 3210));
    describe(Image1, QStringLiteral("Gustav the Marmoset"),
             QStringLiteral("Gustav the Marmoset, the launcher's mascot, sits on a branch below "
                            "a speech bubble that holds his advice"));
    QuoteLabel = makeLabel(tab2, QStringLiteral("QuoteLabel"), twips(375, 645, 1605, 1620),
                           QString(), regular);
    // Both start with a line break for their place in the box, which is not read out.
    for (QLabel* label : {QuoteLabel, KVDirErrorLabel})
        label->setProperty("kvTrimmedName", true);
    Line1 = place(new QFrame(tab2), QStringLiteral("Line1"),
                  QRect(2310 / 15, 540 / 15, 1, (3690 - 540) / 15));
    Line1->setFrameShape(QFrame::VLine);
    Line1->setFrameShadow(QFrame::Plain);
    Image2 = place(new QLabel(tab2), QStringLiteral("Image2"), twips(2475, 540, 3930, 3150));
    // The About tab's pictures and the window's icon are not in the first frame: they
    // are read just after it, or as soon as the About tab is chosen.
    tab2->installEventFilter(this);
    describe(Image2, QStringLiteral("Credits"),
             QStringLiteral("Korvath II World Launcher, version %1. Launcher: The Korvath II "
                            "Launcher Team. Mascot: Gustav the Marmoset, as himself.")
                 .arg(kApplicationVersion));
    for (QWidget* passive : {static_cast<QWidget*>(Image1), static_cast<QWidget*>(QuoteLabel),
                             static_cast<QWidget*>(Line1), static_cast<QWidget*>(Image2)})
        passive->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Form1::connectControls() {
    auto handle = [this](void (Form1::*handler)()) {
        return [this, handler]() { runHandler([this, handler] { (this->*handler)(); }); };
    };
    connect(PlayerQuitBtn, &QPushButton::clicked, this, handle(&Form1::PlayerQuitBtn_Click));
    connect(CreatorQuitBtn, &QPushButton::clicked, this, handle(&Form1::CreatorQuitBtn_Click));
    connect(PlayerLaunchBtn, &QPushButton::clicked, this, handle(&Form1::PlayerLaunchBtn_Click));
    connect(CreatorLaunchBtn, &QPushButton::clicked, this, handle(&Form1::CreatorLaunchBtn_Click));
    connect(KVDirAutofindBtn, &QPushButton::clicked, this, handle(&Form1::KVDirAutofindBtn_Click));
    connect(LauncherTabs, &TabControl::Click, this, [this](int previous) {
        runHandler([this, previous] { LauncherTabs_Click(previous); });
    });
    connect(KVDirDrive, &DriveListBox::Change, this, handle(&Form1::KVDirDrive_Change));
    connect(KVDirDir, &DirListBox::Change, this, handle(&Form1::KVDirDir_Change));
    // The option buttons and the chooser raise their handlers only on the user's
    // click; the Creator panel's lists on every selection change, so the program's
    // own selections there (at start-up and by the rules) raise them as well.
    connect(InterfaceOption1, &QRadioButton::clicked, this, handle(&Form1::InterfaceOption1_Click));
    connect(InterfaceOption2, &QRadioButton::clicked, this, handle(&Form1::InterfaceOption2_Click));
    // Tab into the group lands on the checked option, and leaves the group from there;
    // the arrow keys move between the options.
    for (QRadioButton* option : {InterfaceOption1, InterfaceOption2}) {
        connect(option, &QRadioButton::toggled, option, [option](bool checked) {
            option->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
        });
        option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    }
    connect(CreatorCombo, QOverload<int>::of(&QComboBox::activated), this,
            handle(&Form1::CreatorCombo_Click));
    connect(CreatorWorldList, &QListWidget::itemSelectionChanged, this,
            handle(&Form1::CreatorWorldList_Click));
    connect(CreatorTomeList, &QListWidget::itemSelectionChanged, this,
            handle(&Form1::CreatorTomeList_Click));
    // A link in a label (the installer's folder) opens in the desktop's own program.
    connect(CreatorLabel, &QLabel::linkActivated, this,
            [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
    for (ListBox* list : {PlayerWorldList, CreatorWorldList})
        connect(list, &ListBox::ContextMenu, this, [this, list](int index, const QPoint& at) {
            runHandler([=] { WorldList_ContextMenu(list, index, at); });
        });
}

void Form1::runHandler(const std::function<void()>& handler) {
    try {
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
    attachFileSystemToLists();
    // The settings: the labels of the last switch and the interface mode; labels of a
    // launcher that kept no switch records become the saved directory's record.
    SettingsStore& settings = *services.settings;
    state.dirLabel = settings.GetSetting(kSettingsSection, kLastDirLabelKey);
    state.backupLabel = settings.GetSetting(kSettingsSection, kLastBackupLabelKey);
    state.interfaceType =
        settings.GetSetting(kSettingsSection, kInterfaceTypeKey, QStringLiteral("0"));
    adoptEarlierSwitchLabels();
    // The interface mode: only "0" is the Player interface.
    if (state.interfaceType == QLatin1String("0"))
        SetPlayerInterface();
    else
        SetCreatorInterface();
    // Gustav's quotes, the folder table and the Creator panel's actions.
    QuoteStuff::InitQuotes(Quotes);
    const QChar separator = state.fileSystem->separator();
    KVDirStuff::FillGameFolderPaths(gameFolderTable, separator);
    KVDirStuff::FillGameFolderNames(gameFolderTable, separator);
    FillCreatorActions();
    // The saved game directory: valid, or the panel's invalid state.
    CheckSavedGameDir();
    // Switches an earlier run left in place are put back wherever their directories
    // can be reached (they wait for a game an earlier run left running). With a
    // valid directory, its catalogue and tomes are listed and the Launcher tab opens.
    restoreWorldsAtStartup();
    if (!state.gameDir.isEmpty()) {
        PlayerLabel->setText(kPlayerWorldsText);
        CreatorLabel->setText(kCreatorWorldsText);
        PlayerQuitBtn->setEnabled(true);
        PlayerLaunchBtn->setEnabled(true);
        KVDirDrive->SetDrive(state.gameDir);
        // The directory list is checked again even when it shows the directory already.
        if (!KVDirDir->SetPath(state.gameDir))
            KVDirDir_Change();
        KVDirAutofindBtn->setEnabled(false);
        LauncherTabs->SetTabEnabled(kLauncherTab, true);
        LauncherTabs->SetTab(kLauncherTab);
    }
    finishStartupWorldSteps();
    // A quote for the About tab, whichever tab opens.
    QuoteLabel->setText(QuoteStuff::GetRandomQuote(Quotes));
    // Start-up is over: from now on the lists' changes are the user's.
    state.loading = false;
    focusFirstControl();
}

void Form1::focusFirstControl() {
    QWidget* first = KVDirDir;
    if (LauncherTabs->Tab() == kLauncherTab)
        first = CreatorPicBox->isHidden() ? static_cast<QWidget*>(PlayerWorldList)
                                          : static_cast<QWidget*>(CreatorWorldList);
    first->setFocus(Qt::OtherFocusReason);
}

void Form1::PlayerQuitBtn_Click() {
    close();
}

void Form1::CreatorQuitBtn_Click() {
    close();
}

void Form1::LauncherTabs_Click(int /*previousTab*/) {
    if (LauncherTabs->Tab() == kAboutTab)
        QuoteLabel->setText(QuoteStuff::GetRandomQuote(Quotes));
}

void Form1::loadLateArtwork() {
    if (lateArtworkLoaded)
        return;
    lateArtworkLoaded = true;
    Image1->setPixmap(picture(this, QStringLiteral("mascot")));
    Image2->setPixmap(picture(this, QStringLiteral("credits")));
    setWindowIcon(QIcon(png(QStringLiteral(":/icon.png"))));
}

void Form1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // Queued from the first frame itself, so that the frame is on the screen first.
    if (!lateArtworkLoaded && !lateArtworkQueued) {
        lateArtworkQueued = true;
        QTimer::singleShot(0, this, &Form1::loadLateArtwork);
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched == LauncherTabs->page(kAboutTab))
        loadLateArtwork();
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
    // Closing saves and switches nothing; a running search is asked to stop.
    windowClosed = true;
    state.searching = false;
    event->accept();
}
