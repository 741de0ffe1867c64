#include "app/SingleInstance.h"
#include "app/ui/LauncherFont.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvath II Launcher"));
    LauncherFont::apply();
    return RunLauncher();
}
