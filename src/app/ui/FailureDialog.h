#pragma once

#include <QProcessEnvironment>
#include <QString>

// A command-line launch started from the desktop (a menu entry, a dock, a game
// library) has no terminal to show its failure in: there it is also shown in a
// message box, so the player sees why nothing started.
namespace FailureDialog {

// Whether a launch that ended with status shows its failure in a message box: only
// for the launcher's own failure statuses (2, 125, 126, 127) after it said why
// (never for the game's own exit status), when standard error is no terminal and a
// display can be opened (DISPLAY or WAYLAND_DISPLAY set, and not the offscreen or
// minimal platform).
bool Shows(int status, bool failureSaid, bool errorIsTerminal, const QProcessEnvironment& env);

// Shows text in a message box titled "Korvath II Launcher" and waits until it is
// closed. Call with no application object alive.
void Show(int argc, char* argv[], const QString& text);

} // namespace FailureDialog
