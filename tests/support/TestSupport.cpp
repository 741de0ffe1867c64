#include "TestSupport.h"

#include "InstallationBuilder.h"
#include "app/ui/LauncherFont.h"
#include "app/ui/TabControl.h"
#include "gamedir/ui/DirListBox.h"
#include "gamedir/ui/DriveListBox.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace TestSupport {

const QString kNotAnInstallation = QStringLiteral(
    "Warning: This directory does NOT contain a Korvath II installation. Please select a "
    "different directory.");
const QString kNothingFound = QStringLiteral(
    "Warning: No Korvath II directory could be found on your computer. Please reinstall "
    "Korvath II.");
const QString kSearching = QStringLiteral("\r\nSearching for Korvath II directory. Please wait...");

bool makeTree(const QString& root, const QStringList& entries) {
    for (const QString& entry : entries) {
        const QString path = root + QLatin1Char('/') + entry;
        if (entry.endsWith(QLatin1Char('/')) ? !QDir().mkpath(path)
                                             : !InstallationBuilder::writeFile(path, "x").isEmpty())
            return false;
    }
    return true;
}

QString labelOverflow(QLabel* label, const QString& text) {
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

void clickTab(TabControl* tabs, int index) {
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(index).center());
}

bool runsUnprivileged() {
    if (::geteuid() != 0)
        return true;
    QString testCase = QString::fromLatin1(QTest::currentTestFunction());
    if (QTest::currentDataTag())
        testCase += QLatin1Char(':') + QString::fromUtf8(QTest::currentDataTag());
    QTemporaryDir home;
    if (!home.isValid() || ::chown(QFile::encodeName(home.path()).constData(), kUnprivilegedId,
                                   kUnprivilegedId) != 0) {
        QTest::qFail("no home folder for the unprivileged run", __FILE__, __LINE__);
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    const QString id = QString::number(kUnprivilegedId);
    child.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=") + id, QStringLiteral("--regid=") + id,
                 QStringLiteral("--clear-groups"), QStringLiteral("--"),
                 QCoreApplication::applicationFilePath(), testCase});
    const bool ended = child.waitForFinished(240000);
    const QByteArray output = child.readAll();
    if (!ended || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        qWarning().noquote() << "unprivileged run of" << testCase << "\n" << output;
        QTest::qFail("the case failed as an unprivileged user", __FILE__, __LINE__);
    }
    return false;
}

RawTempDir::~RawTempDir() {
    if (isValid())
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), path()});
}

FolderLock::FolderLock(const QString& path, Kind kind) : m_path(path) {
    m_set = ::chmod(QFile::encodeName(path).constData(), kind == Unreadable ? 0 : 0555) == 0;
}

FolderLock::~FolderLock() {
    if (m_set)
        ::chmod(QFile::encodeName(m_path).constData(), 0755);
}

QStringList& fatalErrors() {
    static QStringList errors;
    return errors;
}

void recordFatalErrors() {
    Form1::setFatalErrorHandler([](const QString& message) { fatalErrors().append(message); });
}

void FakeDriveFileSystem::checkDriveReady(const Drive& drive) {
    if (failingDrives.contains(drive.rootPath))
        throw FileSystemError(QStringLiteral("Device unavailable: %1").arg(drive.rootPath));
    LocalFileSystem::checkDriveReady(drive);
}

Drive FakeDriveFileSystem::driveAt(const QString& root) {
    Drive drive;
    drive.rootPath = root;
    return drive;
}

int RecordingProcessRunner::RunAndWait(const QString& program, const QStringList& arguments,
                                       const QString& workingDirectory,
                                       const QMap<QString, QString>& environment) {
    const Call call{program, arguments, workingDirectory, environment};
    calls.append(call);
    if (onRun)
        onRun(call);
    return exitCode;
}

WindowFixture::WindowFixture(const QString& tempRoot)
    : settingsFile(tempRoot + QStringLiteral("/config/Korvath II Launcher.conf")),
      launcherFolder(tempRoot + QStringLiteral("/launcher")),
      dataFolder(tempRoot + QStringLiteral("/data/Korvath II Launcher")),
      settings(std::make_unique<QSettingsStore>(settingsFile)) {
    QDir().mkpath(launcherFolder);
    LauncherFont::apply();
    createFileSystem = [] { return std::make_unique<LocalFileSystem>(); };
    recordFatalErrors();
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
        {"gameDir", w.launcherState().gameDir == gameDir},
        {"KVDir", fixture.storedSetting(QStringLiteral("KVDir")) == gameDir},
        {"KVDirErrorLabel", w.KVDirErrorLabel->text() == (valid ? QString() : message)},
        {"Launcher tab", w.LauncherTabs->TabEnabled(0) == valid},
        {"Configuration tab", valid || w.LauncherTabs->Tab() == 1},
        {"Autofind", w.KVDirAutofindBtn->isEnabled() != valid &&
                         w.KVDirAutofindBtn->text() == QStringLiteral("Autofind")},
        {"lists", w.KVDirDir->isEnabled() && w.KVDirDrive->isEnabled()},
        {"pointer", !QApplication::overrideCursor()},
    };
    for (const auto& [what, good] : checks) {
        if (!good)
            return QStringLiteral("%1 (gameDir \"%2\")")
                .arg(QLatin1String(what), w.launcherState().gameDir);
    }
    return QString();
}

} // namespace TestSupport
