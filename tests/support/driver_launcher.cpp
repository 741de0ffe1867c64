// The real launcher process, driven for tests that need one (crash and
// single-instance tests). It runs exactly what the launcher's main runs, then:
// - prints "STATE waiting" / "STATE ready <worlds> | <tomes>" on stdout whenever the
//   window's state changes (ready: the Launch button is usable and the lists filled),
//   and "LABEL <text>" whenever the Player panel's label changes;
// - with KV_DRIVER_WORLD set, selects that world once ready and clicks Launch, then
//   prints "LAUNCHED"; with KV_DRIVER_QUIT_AFTER_LAUNCH=1 it quits afterwards.
#include "app/ui/Form1.h"
#include "app/ui/LauncherFont.h"
#include "app/ui/ListBox.h"
#include "app/ui/RunLauncher.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace {

void say(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QStringList lines(ListBox* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvath II Launcher"));
    LauncherFont::apply();
    const QString world = qEnvironmentVariable("KV_DRIVER_WORLD");
    const bool quitAfterLaunch = qEnvironmentVariableIntValue("KV_DRIVER_QUIT_AFTER_LAUNCH") == 1;

    return RunLauncher([&](Form1& window) {
        auto* watch = new QTimer(&window);
        auto last = std::make_shared<QString>();
        auto lastLabel = std::make_shared<QString>();
        auto launched = std::make_shared<bool>(false);
        QObject::connect(watch, &QTimer::timeout, &window,
                         [&window, watch, last, lastLabel, launched, world, quitAfterLaunch] {
                             if (window.PlayerLabel->text() != *lastLabel) {
                                 *lastLabel = window.PlayerLabel->text();
                                 say(QStringLiteral("LABEL ") + *lastLabel);
                             }
                             const bool ready = window.PlayerLaunchBtn->isEnabled() &&
                                                window.PlayerWorldList->count() > 0;
                             const QString state =
                                 ready ? QStringLiteral("STATE ready ") +
                                             lines(window.PlayerWorldList).join(",") +
                                             QStringLiteral(" | ") +
                                             lines(window.CreatorTomeList).join(",")
                                       : QStringLiteral("STATE waiting");
                             if (state != *last) {
                                 *last = state;
                                 say(state);
                             }
                             if (!ready || world.isEmpty() || *launched)
                                 return;
                             *launched = true;
                             const QList<QListWidgetItem*> found =
                                 window.PlayerWorldList->findItems(world, Qt::MatchExactly);
                             if (found.isEmpty()) {
                                 say(QStringLiteral("NO WORLD ") + world);
                                 return;
                             }
                             window.PlayerWorldList->SetSelected(
                                 window.PlayerWorldList->row(found.first()), true);
                             watch->stop();
                             window.PlayerLaunchBtn->click();
                             say(QStringLiteral("LAUNCHED"));
                             if (quitAfterLaunch)
                                 QCoreApplication::quit();
                             else
                                 watch->start();
                         });
        watch->start(20);
    });
}
