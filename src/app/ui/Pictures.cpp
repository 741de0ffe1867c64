#include "app/ui/Pictures.h"

#include <QImageReader>
#include <QResource>

#include <cctype>

namespace Pictures {

namespace {

// A binary pixel map ("P6", width, height, 255, then the rows of RGB bytes) held in
// the resources as it is: its rows are used in place. A null image when it is not one.
QImage pixelMap(const QString& path) {
    const QResource resource(path);
    if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression)
        return QImage();
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(resource.data()), resource.size());
    // The header's four fields, each after blanks; one blank ends the last.
    qsizetype at = 0;
    QList<QByteArray> fields;
    while (fields.size() < 4 && at < bytes.size()) {
        while (at < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[at])))
            ++at;
        const qsizetype start = at;
        while (at < bytes.size() && !std::isspace(static_cast<unsigned char>(bytes[at])))
            ++at;
        fields.append(bytes.mid(start, at - start));
    }
    bool wide = false;
    bool high = false;
    const int width = fields.value(1).toInt(&wide);
    const int height = fields.value(2).toInt(&high);
    if (fields.size() < 4 || fields[0] != "P6" || fields[3] != "255" || !wide || !high ||
        width <= 0 || height <= 0 || bytes.size() - (at + 1) < qsizetype(width) * height * 3)
        return QImage();
    return QImage(reinterpret_cast<const uchar*>(bytes.constData() + at + 1), width, height,
                  width * 3, QImage::Format_RGB888);
}

QPixmap read(const QString& path) {
    // The banner is a plain pixel map, with nothing to decode on the way to the first
    // frame; the others are PNG.
    const bool plain = path.endsWith(QLatin1String(".ppm"));
    if (plain) {
        const QImage image = pixelMap(path);
        if (!image.isNull())
            return QPixmap::fromImage(image);
    }
    QImageReader reader(path, plain ? "ppm" : "png");
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
