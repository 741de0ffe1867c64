#pragma once

#include <QString>
#include <functional>

class Form1;

// What a window says before it ends when a launcher without a window holds its
// settings home.
extern const QString kRunningWithoutWindowText;

// The launcher process after QApplication exists: one launcher per settings home
// (a second one asks the first to come to the front and ends, or says why it ends
// when the first has no window), the real services,
// the window and its event loop. whenShown runs once the window is shown (a test
// driver uses it to act on the window). Returns the program's exit status.
int RunLauncher(const std::function<void(Form1&)>& whenShown = {});
