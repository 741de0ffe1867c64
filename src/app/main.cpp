#include "app/SingleInstance.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvath II Launcher"));
    return RunLauncher();
}
