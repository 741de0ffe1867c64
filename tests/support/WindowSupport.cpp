#include "WindowSupport.h"

#include "app/ui/LauncherFont.h"
#include "app/ui/TabControl.h"
#include "gamedir/ui/DirListBox.h"
#include "gamedir/ui/DriveListBox.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QTest>

namespace TestSupport {

const QString kNotAnInstallation = QStringLiteral(
    "Warning: This directory does NOT contain a Korvath II installation. Please select a "
    "different directory.");
const QString kNothingFound = QStringLiteral(
    "Warning: No Korvath II directory could be found on your computer. Please reinstall "
    "Korvath II.");
const QString kSearching = QStringLiteral("\r\nSearching for Korvath II directory. Please wait...");

QString labelOverflow(QLabel* label, const QString& text) {
    label->setText(text);
    // A word longer than the line cannot be wrapped; it would run out of the box.
    const QRect wrapped = label->fontMetrics().boundingRect(
        QRect(0, 0, label->width(), 10000), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    if (label->heightForWidth(label->width()) <= label->height() &&
        wrapped.width() <= label->width())
        return QString();
    return QStringLiteral("%1 cannot hold: %2").arg(label->objectName(), text);
}

QStringList listLines(const QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

void clickTab(TabControl* tabs, const QString& name) {
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {},
                      tabs->tabBar()->tabRect(Form1::tabIndex(name)).center());
}

QStringList& fatalErrors() {
    static QStringList errors;
    return errors;
}

WindowFixture::WindowFixture(const QString& tempRoot)
    : settingsFile(tempRoot + QStringLiteral("/config/Korvath II Launcher.conf")),
      launcherFolder(tempRoot + QStringLiteral("/launcher")),
      dataFolder(tempRoot + QStringLiteral("/data/Korvath II Launcher")),
      settings(std::make_unique<IniSettingsStore>(settingsFile)) {
    QDir().mkpath(launcherFolder);
    LauncherFont::apply();
    createFileSystem = [] { return std::make_unique<LocalFileSystem>(); };
    Form1::setFatalErrorHandler([](const QString& message) { fatalErrors().append(message); });
}

WindowFixture::~WindowFixture() = default;

void WindowFixture::presetSetting(const QString& key, const QString& value) {
    settings->SaveSetting(kSettingsSection, key, value);
}

QString WindowFixture::storedSetting(const QString& key, const QString& section) const {
    QSettings onDisk(settingsFile, QSettings::IniFormat);
    return onDisk.value(section + QLatin1Char('/') + key, QStringLiteral("<missing>")).toString();
}

Form1& WindowFixture::create() {
    LauncherServices services;
    services.createFileSystem = createFileSystem;
    services.settings = settings.get();
    services.processRunner = processRunner;
    services.launcherFolder = launcherFolder;
    services.dataFolder = dataFolder;
    services.settingsFile = settingsFile;
    window = std::make_unique<Form1>(services);
    window->Form_Load();
    if (finishStartup)
        window->finishStartup();
    return *window;
}

Form1& WindowFixture::createShown() {
    Form1& shown = create();
    shown.show();
    if (!QTest::qWaitForWindowExposed(&shown))
        qWarning("the window was not exposed");
    return shown;
}

QString dirPanelMismatch(WindowFixture& fixture, const QString& gameDir, const QString& message) {
    Form1& w = *fixture.window;
    const bool valid = !gameDir.isEmpty();
    const QList<std::pair<const char*, bool>> checks = {
        {"directory", w.launcherState().gameDir == gameDir &&
                          fixture.storedSetting(QStringLiteral("KVDir")) == gameDir},
        {"message", w.KVDirErrorLabel->text() == (valid ? QString() : message)},
        {"tabs", w.LauncherTabs->TabEnabled(Form1::tabIndex(u"launcher")) == valid &&
                     (valid || w.LauncherTabs->Tab() == Form1::tabIndex(u"configuration"))},
        {"Autofind", w.KVDirAutofindBtn->isEnabled() != valid &&
                         w.KVDirAutofindBtn->text() == QStringLiteral("Autofind")},
        {"lists", w.KVDirDir->isEnabled() && w.KVDirDrive->isEnabled()},
        {"pointer", !QApplication::overrideCursor()}};
    for (const auto& [what, good] : checks) {
        if (!good)
            return QStringLiteral("%1 wrong for \"%2\"").arg(QLatin1String(what), gameDir);
    }
    return QString();
}

} // namespace TestSupport
