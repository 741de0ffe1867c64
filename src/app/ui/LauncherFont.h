#pragma once

#include <QFont>
#include <QString>

// The window's look. Its controls sit in boxes of fixed pixel size, so the text
// must be set in a font whose width is known: Liberation Sans Narrow (Debian
// fonts-liberation), sized in pixels so the screen's dots per inch change nothing,
// and drawn by the Fusion style, whose margins the boxes were measured with.
namespace LauncherFont {

// "Liberation Sans Narrow"
extern const QString kFamily;

// The window's two text sizes, in points at 96 dots per inch: most controls, and
// the panels' messages and world lists.
constexpr qreal kRegularPoints = 8.25;
constexpr qreal kLargePoints = 9.75;

// Makes the family available (from the package's files when the font database does
// not list it), sets the application font to it at kRegularPoints and selects the Fusion
// style, unless chosenStyle names a style the toolkit has (the user's -style, which
// QApplication already took). Call after the QApplication exists and before the window
// is built. Returns false when the family could not be found; the platform's font is
// used then, and long texts may not fit their boxes.
bool apply(const QString& chosenStyle = QString());

// The launcher's font at a size given in points at 96 dots per inch, as pixels.
QFont font(qreal points, bool bold = false);

} // namespace LauncherFont
