#include "app/Form1.h"
#include "app/LocalFileSystem.h"
#include "app/SettingsStore.h"
#include "worlds/LaunchStuff.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvath II Launcher"));

    QSettingsStore settings;
    QProcessRunner runner;
    LauncherServices services;
    services.createFileSystem = [] { return std::make_unique<LocalFileSystem>(); };
    services.settings = &settings;
    services.processRunner = &runner;
    services.launcherFolder = QCoreApplication::applicationDirPath();

    Form1 window(services);
    try {
        window.Form_Load();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Korvath II Launcher"),
                              QString::fromUtf8(error.what()));
        return 1;
    }
    window.show();
    return app.exec();
}
