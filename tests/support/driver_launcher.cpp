// The real launcher process, driven for the tests that need one. It runs what the
// launcher's main runs; once the window is ready (both Launch buttons usable, the
// world list filled) it prints "READY <worlds> | <tomes>" on stdout. With
// KV_DRIVER_WORLD set, it then selects that world and clicks Launch. It quits once
// that is over, as a user's Quit does.
#include "app/SettingsStore.h"
#include "app/ui/Form1.h"
#include "app/ui/ListBox.h"
#include "app/ui/RunLauncher.h"
#include "support/WindowSupport.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationName);
    const QString world = qEnvironmentVariable("KV_DRIVER_WORLD");

    return RunLauncher([&](Form1& window) {
        auto* watch = new QTimer(&window);
        QObject::connect(watch, &QTimer::timeout, &window, [&window, watch, world] {
            const QStringList worlds = TestSupport::listLines(window.PlayerWorldList);
            if (!window.PlayerLaunchBtn->isEnabled() || worlds.isEmpty() ||
                !window.CreatorLaunchBtn->isEnabledTo(window.CreatorPicBox))
                return;
            watch->stop();
            std::printf("READY %s | %s\n", qPrintable(worlds.join(',')),
                        qPrintable(TestSupport::listLines(window.CreatorTomeList).join(',')));
            std::fflush(stdout);
            if (!world.isEmpty()) {
                window.PlayerWorldList->SetSelected(worlds.indexOf(world), true);
                window.PlayerLaunchBtn->click();
            }
            QCoreApplication::quit();
        });
        watch->start(20);
    });
}
