#include "app/ui/Pictures.h"

#include <QFile>
#include <QImageReader>

namespace Pictures {

namespace {

QPixmap read(const QString& path) {
    // The banner is a plain pixel map, with nothing to decode on the way to the first
    // frame; the others are PNG.
    QImageReader reader(path, path.endsWith(QLatin1String(".ppm")) ? "ppm" : "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

} // namespace

QPixmap Load(const QString& fileName, qreal devicePixelRatio) {
    if (devicePixelRatio > 1) {
        const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
        QPixmap sharp =
            read(QStringLiteral(":/") + QString(fileName).insert(dot, QLatin1String("@2x")));
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2);
            return sharp;
        }
    }
    return read(QStringLiteral(":/") + fileName);
}

} // namespace Pictures
