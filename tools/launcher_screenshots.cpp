// launcher-screenshots OUTDIR
// Starts the launcher exactly as the program does (settings from $XDG_CONFIG_HOME),
// selects each tab the way a click does and saves the window as OUTDIR/<tab name>.png.
// tools/screenshot runs it under Xvfb.
#include "app/SettingsStore.h"
#include "app/ui/Form1.h"
#include "app/ui/LauncherFont.h"
#include "app/ui/RunLauncher.h"
#include "app/ui/TabControl.h"

#include <QApplication>
#include <QDir>
#include <QTabBar>
#include <QTextStream>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationName);
    LauncherFont::apply();
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: launcher-screenshots OUTDIR\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        err << "cannot create " << out.path() << '\n';
        return 1;
    }
    bool shown = false;
    int failures = 0;
    const int status = RunLauncher([&](Form1& window) {
        shown = true;
        // Once the window is on the screen, take the shots and end the event loop.
        QTimer::singleShot(300, &window, [&] {
            QTabBar* bar = window.LauncherTabs->tabBar();
            for (int i = 0; i < Form1::tabs().size(); ++i) {
                const QString& name = Form1::tabs()[i].name;
                if (!window.LauncherTabs->TabEnabled(i)) {
                    err << name << " tab: unavailable (no valid game directory), skipped\n";
                    continue;
                }
                bar->setCurrentIndex(i);
                QApplication::processEvents();
                const QString path = out.filePath(name + QStringLiteral(".png"));
                if (window.grab().save(path)) {
                    QTextStream(stdout) << path << '\n';
                } else {
                    err << "cannot write " << path << '\n';
                    ++failures;
                }
            }
            window.close();
        });
    });
    if (!shown) {
        err << "the launcher did not open its window (is another one running with these "
               "settings?)\n";
        return 1;
    }
    return status != 0 ? status : (failures > 0 ? 1 : 0);
}
