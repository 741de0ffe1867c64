#include "app/ui/FailureDialog.h"

#include "app/CommandLine.h"
#include "app/SettingsStore.h"
#include "app/ui/LauncherFont.h"

#include <QApplication>
#include <QMessageBox>

namespace FailureDialog {

bool Shows(int status, bool failureSaid, bool errorIsTerminal, const QProcessEnvironment& env) {
    const bool launcherFailure =
        status == ExitStatus::kUsage || status == ExitStatus::kCannotLaunch ||
        status == ExitStatus::kNotStartable || status == ExitStatus::kNotFound;
    const QString platform = env.value(QStringLiteral("QT_QPA_PLATFORM"));
    const bool display = !env.value(QStringLiteral("DISPLAY")).isEmpty() ||
                         !env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
    const bool headless = platform.startsWith(QLatin1String("offscreen")) ||
                          platform.startsWith(QLatin1String("minimal"));
    return launcherFailure && failureSaid && !errorIsTerminal && display && !headless;
}

void Show(int argc, char* argv[], const QString& text) {
    // A display that cannot be opened after all must not end the launcher with the
    // toolkit's abort: the offscreen platform takes over then, and nothing is shown.
    QByteArray platforms = qgetenv("QT_QPA_PLATFORM");
    if (platforms.isEmpty())
        platforms = qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? "xcb" : "wayland;xcb";
    qputenv("QT_QPA_PLATFORM", platforms + ";offscreen");
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    QApplication::setApplicationName(kApplicationName);
    LauncherFont::apply();
    QMessageBox::critical(nullptr, kApplicationName, text);
}

} // namespace FailureDialog
