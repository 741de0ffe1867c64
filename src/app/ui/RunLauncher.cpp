#include "app/ui/RunLauncher.h"

#include "app/RealServices.h"
#include "app/ui/Form1.h"
#include "app/ui/SingleInstance.h"
#include "creator/CompilerLookup.h"
#include "platform/Logging.h"

#include <QApplication>
#include <QMessageBox>

const QString kRunningWithoutWindowText = QStringLiteral(
    "The Korvath II Launcher is already running without a window (a world started from the "
    "command line). Start it again once that has ended.");

namespace {

// An error before the window opens: said in a message box, and the launcher ends.
int failBeforeWindow(const std::exception& error) {
    qCCritical(lcApp).noquote() << error.what();
    QMessageBox::critical(nullptr, kApplicationName, QString::fromUtf8(error.what()));
    return 1;
}

} // namespace

int RunLauncher(const std::function<void(Form1&)>& whenShown) {
    RealServices real;
    SingleInstance instance(real.settingsFile);
    SingleInstance::Outcome lock;
    try {
        lock = instance.acquire();
    } catch (const std::exception& error) {
        return failBeforeWindow(error);
    }
    if (lock == SingleInstance::Outcome::HeldByAnother) {
        if (instance.askRunningToFront())
            return 0;
        // A launcher without a window (the command line's) holds the settings.
        QMessageBox::information(nullptr, kApplicationName, kRunningWithoutWindowText);
        return 1;
    }
    instance.serve(nullptr); // at once, for a second launcher started with this one

    LauncherServices services;
    services.createFileSystem = &RealServices::createFileSystem;
    services.settings = &real.settings;
    services.processRunner = &real.processRunner;
    services.launcherFolder = QCoreApplication::applicationDirPath();
    services.dataFolder = CompilerLookup::UserDataFolder();
    services.settingsFile = real.settingsFile;

    Form1 window(services);
    instance.serve(&window);
    try {
        window.Form_Load();
    } catch (const std::exception& error) {
        return failBeforeWindow(error);
    }
    window.show();
    if (whenShown)
        whenShown(window);
    return QApplication::exec();
}
