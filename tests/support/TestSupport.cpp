#include "TestSupport.h"

#include "app/ui/LauncherFont.h"

#include <QDir>
#include <QSettings>
#include <QTest>

namespace TestSupport {

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

} // namespace TestSupport
