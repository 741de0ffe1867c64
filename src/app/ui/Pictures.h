#pragma once

#include <QPixmap>
#include <QString>

namespace Pictures {

// The window's picture fileName ("banner.ppm", "mascot.png") from the resources, for a
// screen of the given device pixel ratio: above 1, its version drawn twice as large
// ("mascot@2x.png"), so that it stays sharp. Read in the format its name gives and no
// other: guessing would load every image plugin of the system before the first frame.
QPixmap Load(const QString& fileName, qreal devicePixelRatio = 1);

} // namespace Pictures
