// make-artwork OUTDIR
// Draws the launcher's pictures: the banner with the title, the window icon, Gustav
// the Marmoset with his speech bubble, and the title-and-credits picture (each also
// at twice the size, NAME@2x.png), and the desktop icon in the hicolor theme's
// sizes (icons/hicolor/NxN/apps/). Run it on the offscreen platform; the pictures it
// writes are kept in resources/. The banner, the one picture of the first frame, is
// written as a plain pixel map (PPM), which the window reads in a tenth of the time a
// PNG takes to decode; the resource compiler compresses it in the program.
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QTextStream>

#include <cmath>

namespace {

// The palette shared by every picture: a night sky over the mountains of Korvath,
// with gold lettering.
const QColor kNightTop(0x10, 0x16, 0x3a);
const QColor kNightBottom(0x3b, 0x2a, 0x5e);
const QColor kDusk(0xc8, 0x6a, 0x4a);
const QColor kGold(0xf3, 0xc6, 0x4f);
const QColor kGoldDark(0x9a, 0x6a, 0x14);
const QColor kInk(0x1c, 0x16, 0x2a);
const QColor kMountainFar(0x2e, 0x2c, 0x5a);
const QColor kMountainNear(0x1a, 0x18, 0x36);

QFont font(const QString& family, int pixels, int weight = QFont::Normal, qreal spacing = 0) {
    QFont f(family);
    f.setPixelSize(pixels);
    f.setWeight(QFont::Weight(weight));
    f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

void drawSky(QPainter& p, const QRectF& area, quint32 seed, int stars) {
    QLinearGradient sky(area.topLeft(), area.bottomLeft());
    sky.setColorAt(0.0, kNightTop);
    sky.setColorAt(0.7, kNightBottom);
    sky.setColorAt(1.0, kDusk);
    p.fillRect(area, sky);
    QRandomGenerator random(seed);
    for (int i = 0; i < stars; ++i) {
        const QPointF at(area.left() + random.bounded(area.width()),
                         area.top() + random.bounded(area.height() * 0.6));
        const int brightness = 140 + random.bounded(115);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 250, 230, brightness));
        const qreal size = random.bounded(3) == 0 ? 1.4 : 0.8;
        p.drawEllipse(at, size, size);
    }
}

// A jagged ridge along the bottom of area, peaks between minHeight and maxHeight.
void drawRidge(QPainter& p, const QRectF& area, quint32 seed, qreal minHeight, qreal maxHeight,
               qreal step, const QColor& color) {
    QRandomGenerator random(seed);
    QPainterPath ridge;
    ridge.moveTo(area.bottomLeft());
    for (qreal x = area.left() - step; x <= area.right() + step; x += step) {
        const qreal peak = minHeight + random.bounded(maxHeight - minHeight);
        ridge.lineTo(x, area.bottom() - peak);
        ridge.lineTo(x + step / 2, area.bottom() - minHeight * 0.6 - random.bounded(minHeight));
    }
    ridge.lineTo(area.bottomRight());
    ridge.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(ridge);
}

// Text with a dark outline, a gold gradient fill and a soft glow behind it.
void drawTitle(QPainter& p, const QPointF& baseline, const QString& text, const QFont& f,
               qreal outline) {
    QPainterPath path;
    path.addText(baseline, f, text);
    const QRectF bounds = path.boundingRect();
    for (int i = 4; i >= 1; --i) {
        p.setPen(QPen(QColor(0xff, 0xc8, 0x60, 18), outline + i * 3, Qt::SolidLine, Qt::RoundCap,
                      Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
    p.setPen(QPen(kInk, outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    QLinearGradient fill(bounds.topLeft(), bounds.bottomLeft());
    fill.setColorAt(0.0, QColor(0xff, 0xf1, 0xb8));
    fill.setColorAt(0.45, kGold);
    fill.setColorAt(1.0, kGoldDark);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(path);
}

// A small eight-pointed star used as an ornament.
void drawSparkle(QPainter& p, const QPointF& centre, qreal radius, const QColor& color) {
    QPainterPath star;
    for (int i = 0; i < 16; ++i) {
        const qreal r = (i % 2 == 0) ? radius : radius * 0.3;
        const qreal angle = i * M_PI / 8 - M_PI / 2;
        const QPointF point = centre + QPointF(std::cos(angle) * r, std::sin(angle) * r);
        if (i == 0)
            star.moveTo(point);
        else
            star.lineTo(point);
    }
    star.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(star);
}

// A picture of width x height pixels drawn at scale device pixels per pixel: the
// drawing code works in the picture's own pixels whatever the scale.
QImage canvas(int width, int height, qreal scale, QImage::Format format = QImage::Format_RGB32) {
    QImage image(qRound(width * scale), qRound(height * scale), format);
    image.fill(Qt::transparent);
    return image;
}

void begin(QPainter& p, QImage& image, qreal scale) {
    p.begin(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
}

QImage banner(qreal scale) {
    QImage image = canvas(472, 108, scale);
    QPainter p;
    begin(p, image, scale);
    const QRectF area(0, 0, 472, 108);
    drawSky(p, area, 7, 70);
    // A low moon behind the ridges.
    QRadialGradient moonGlow(QPointF(392, 44), 40);
    moonGlow.setColorAt(0, QColor(255, 240, 200, 120));
    moonGlow.setColorAt(1, QColor(255, 240, 200, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(moonGlow);
    p.drawEllipse(QPointF(392, 44), 40, 40);
    p.setBrush(QColor(0xfb, 0xf1, 0xd4));
    p.drawEllipse(QPointF(392, 44), 15, 15);
    p.setBrush(QColor(0xe6, 0xd7, 0xb0));
    p.drawEllipse(QPointF(387, 40), 3, 3);
    p.drawEllipse(QPointF(397, 49), 2, 2);
    drawRidge(p, area, 11, 18, 44, 46, kMountainFar);
    drawRidge(p, area, 23, 8, 24, 30, kMountainNear);

    drawTitle(p, QPointF(22, 62), QStringLiteral("KORVATH II"),
              font(QStringLiteral("Liberation Serif"), 50, QFont::Bold, 2), 3.5);
    p.setFont(font(QStringLiteral("Liberation Sans"), 13, QFont::Bold, 6));
    p.setPen(QColor(0xf8, 0xe8, 0xc0));
    p.drawText(QPointF(26, 86), QStringLiteral("WORLD LAUNCHER"));
    const qreal subtitleEnd =
        26 + QFontMetricsF(p.font()).horizontalAdvance(QStringLiteral("WORLD LAUNCHER"));
    p.setPen(QPen(kGold, 1));
    p.drawLine(QPointF(subtitleEnd + 6, 81.5), QPointF(318, 81.5));
    drawSparkle(p, QPointF(326, 81.5), 5, kGold);
    // A thin gold rule along the bottom edge frames the banner above the tabs.
    p.fillRect(QRectF(0, 105, 472, 1), kGoldDark);
    p.fillRect(QRectF(0, 106, 472, 2), kInk);
    p.end();
    return image;
}

// The shield of the icon, drawn on a 32 x 32 grid at size pixels.
QImage shield(int size) {
    QImage image = canvas(size, size, 1, QImage::Format_ARGB32);
    QPainter p;
    begin(p, image, size / 32.0);
    QPainterPath shield;
    shield.moveTo(16, 1.5);
    shield.lineTo(29, 5.5);
    shield.cubicTo(29, 18, 24, 26, 16, 30.5);
    shield.cubicTo(8, 26, 3, 18, 3, 5.5);
    shield.closeSubpath();
    QLinearGradient field(QPointF(0, 0), QPointF(0, 32));
    field.setColorAt(0, QColor(0x2a, 0x34, 0x8a));
    field.setColorAt(1, kNightTop);
    p.setPen(QPen(kGold, 2));
    p.setBrush(field);
    p.drawPath(shield);
    QPainterPath letter;
    letter.addText(QPointF(8.5, 23), font(QStringLiteral("Liberation Serif"), 20, QFont::Bold),
                   QStringLiteral("K"));
    p.setPen(QPen(kInk, 1));
    p.setBrush(kGold);
    p.drawPath(letter);
    p.end();
    return image;
}

// The window's own icon: the shield at 32 x 32 in sixteen colours, as the
// platform's classic icons have.
QImage icon() {
    return shield(32).convertToFormat(
        QImage::Format_Indexed8,
        {qRgba(0, 0, 0, 0), kGold.rgb(), kGoldDark.rgb(), kInk.rgb(),
         QColor(0x2a, 0x34, 0x8a).rgb(), QColor(0x24, 0x2c, 0x74).rgb(),
         QColor(0x1e, 0x24, 0x5e).rgb(), QColor(0x17, 0x1c, 0x48).rgb(), kNightTop.rgb(),
         QColor(0xc9, 0x9a, 0x3a).rgb(), QColor(0x7a, 0x68, 0x40).rgb(),
         QColor(0x4a, 0x48, 0x50).rgb(), QColor(0xff, 0xe8, 0xa0).rgb(),
         QColor(0x60, 0x50, 0x30).rgb(), QColor(0x38, 0x38, 0x70).rgb(),
         QColor(0xb0, 0x8c, 0x40).rgb()},
        Qt::ThresholdDither | Qt::ThresholdAlphaDither);
}

// Gustav's long ringed tail, curling up beside him.
void drawTail(QPainter& p) {
    QPainterPath tail;
    tail.moveTo(72, 192);
    tail.cubicTo(100, 196, 118, 180, 114, 160);
    tail.cubicTo(111, 144, 94, 146, 96, 158);
    const qreal length = tail.length();
    for (qreal s = 0; s < length; s += 0.75) {
        const QPointF at = tail.pointAtPercent(tail.percentAtLength(s));
        const bool dark = int(s / 6.5) % 2 == 0;
        const qreal width = 9 - 4.5 * (s / length);
        p.setPen(Qt::NoPen);
        p.setBrush(dark ? QColor(0x46, 0x3c, 0x34) : QColor(0xbc, 0xb0, 0x9c));
        p.drawEllipse(at, width / 2, width / 2);
    }
}

// A fan of white fur around an ear, the mark of a marmoset.
void drawEarTuft(QPainter& p, const QPointF& root, int side) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe8, 0xe6, 0xe0));
    p.drawEllipse(root + QPointF(side * 6, -1), 8.5, 9.5);
    for (int k = 0; k < 11; ++k) {
        const qreal angle = (-80 + k * 16) * M_PI / 180;
        const QPointF tip =
            root + QPointF(side * (7 + 9 * std::cos(angle)), 12 * std::sin(angle) - 1);
        p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(root + QPointF(side * 4, 0), tip);
        p.setPen(QPen(QColor(0xb4, 0xb0, 0xa8), 0.7, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(root + QPointF(side * 7, 0), root + (tip - root) * 0.8);
    }
}

// Gustav sits on a branch below his speech bubble. The bubble's inside is plain
// white from (6, 6) to (118, 120): the quote is written there.
QImage mascot(qreal scale) {
    QImage image = canvas(124, 214, scale);
    QPainter p;
    begin(p, image, scale);
    // Forest dusk behind him.
    QLinearGradient back(QPointF(0, 0), QPointF(0, 214));
    back.setColorAt(0.0, QColor(0x3b, 0x2a, 0x5e));
    back.setColorAt(0.55, QColor(0x6a, 0x4a, 0x70));
    back.setColorAt(1.0, QColor(0x2c, 0x4a, 0x3a));
    p.fillRect(QRectF(0, 0, 124, 214), back);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x24, 0x3a, 0x2e));
    for (int i = 0; i < 7; ++i)
        p.drawEllipse(QPointF(8 + i * 19, 216 - (i % 2) * 6), 22, 16);
    drawSparkle(p, QPointF(12, 150), 3, QColor(255, 240, 200, 160));
    drawSparkle(p, QPointF(104, 134), 2.5, QColor(255, 240, 200, 140));

    // The speech bubble with its tail pointing at Gustav's head.
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(2.5, 2.5, 119, 122), 12, 12);
    QPainterPath pointer;
    pointer.moveTo(34, 120);
    pointer.lineTo(40, 138);
    pointer.lineTo(54, 121);
    pointer.closeSubpath();
    bubble = bubble.united(pointer);
    p.setPen(QPen(kInk, 2));
    p.setBrush(Qt::white);
    p.drawPath(bubble.simplified());

    // The branch.
    QPainterPath branch;
    branch.moveTo(-2, 204);
    branch.cubicTo(40, 196, 80, 202, 126, 192);
    p.setPen(QPen(QColor(0x5a, 0x3c, 0x22), 7, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(branch);
    p.setPen(QPen(QColor(0x7a, 0x56, 0x32), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(branch.translated(0, -2));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4c, 0x8a, 0x4a));
    p.drawEllipse(QPointF(108, 190), 7, 3.5);
    p.drawEllipse(QPointF(12, 198), 6, 3);

    drawTail(p);

    const QColor fur(0x8c, 0x80, 0x70);
    const QColor furDark(0x5c, 0x52, 0x48);
    const QColor furLight(0xd0, 0xc4, 0xae);
    // Body with a speckled back, pale belly and crouched legs.
    p.setPen(QPen(furDark, 1.2));
    p.setBrush(fur);
    p.drawEllipse(QPointF(58, 182), 19, 16);
    p.setPen(Qt::NoPen);
    p.setBrush(furLight);
    p.drawEllipse(QPointF(55, 186), 10, 10);
    p.setBrush(furDark);
    for (const QPointF& spot : {QPointF(70, 172), QPointF(74, 180), QPointF(69, 189),
                                QPointF(44, 174), QPointF(41, 182), QPointF(66, 177)})
        p.drawEllipse(spot, 1.8, 1.2);
    p.setPen(QPen(furDark, 1.2));
    p.setBrush(fur);
    p.drawEllipse(QPointF(44, 197), 7, 4.5);
    p.drawEllipse(QPointF(69, 198), 7, 4.5);

    // Head with the white ear tufts, the pale face and the blaze on the forehead.
    const QPointF head(56, 158);
    drawEarTuft(p, head + QPointF(-12, -1), -1);
    drawEarTuft(p, head + QPointF(12, -1), 1);
    p.setPen(QPen(QColor(0x2e, 0x26, 0x22), 1.2));
    p.setBrush(QColor(0x46, 0x3c, 0x34));
    p.drawEllipse(head, 14, 13);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xdc, 0xcc, 0xb4));
    p.drawEllipse(head + QPointF(0, 3.5), 9.5, 8.5);
    p.setBrush(Qt::white);
    QPainterPath blaze;
    blaze.moveTo(head + QPointF(-3, -5));
    blaze.quadTo(head + QPointF(0, -15), head + QPointF(3, -5));
    blaze.closeSubpath();
    p.drawPath(blaze);
    // Big round eyes with a sparkle, a small nose and a grin.
    for (const int side : {-1, 1}) {
        const QPointF eye = head + QPointF(side * 4.8, 1.5);
        p.setBrush(QColor(0x2a, 0x1a, 0x10));
        p.drawEllipse(eye, 3.6, 3.8);
        p.setBrush(QColor(0x8a, 0x5a, 0x2a));
        p.drawEllipse(eye + QPointF(0, 0.6), 2.2, 2.2);
        p.setBrush(QColor(0x1a, 0x10, 0x08));
        p.drawEllipse(eye + QPointF(0, 0.6), 1.3, 1.3);
        p.setBrush(Qt::white);
        p.drawEllipse(eye + QPointF(-1.2, -1.4), 1.1, 1.1);
    }
    p.setBrush(QColor(0x3a, 0x28, 0x22));
    p.drawEllipse(head + QPointF(0, 6.5), 1.8, 1.2);
    p.setPen(QPen(QColor(0x3a, 0x28, 0x22), 1, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(head.x() - 4, head.y() + 5.5, 8, 6), 200 * 16, 140 * 16);
    // One paw raised towards the bubble, as if he were making a point.
    QPainterPath arm;
    arm.moveTo(46, 174);
    arm.cubicTo(36, 170, 30, 160, 30, 150);
    p.setPen(QPen(furDark, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(arm);
    p.setPen(QPen(fur, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(arm);
    p.setPen(QPen(furDark, 1));
    p.setBrush(QColor(0x46, 0x3c, 0x34));
    p.drawEllipse(QPointF(30, 147), 3, 3);
    p.end();
    return image;
}

QImage credits(qreal scale) {
    QImage image = canvas(262, 210, scale);
    QPainter p;
    begin(p, image, scale);
    const QRectF area(0, 0, 262, 210);
    drawSky(p, area, 31, 45);
    drawRidge(p, area, 41, 10, 30, 34, kMountainFar);
    drawRidge(p, area, 53, 5, 15, 24, kMountainNear);
    // A gold double frame.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kGold, 1.5));
    p.drawRoundedRect(area.adjusted(3.5, 3.5, -3.5, -3.5), 6, 6);
    p.setPen(QPen(kGoldDark, 1));
    p.drawRoundedRect(area.adjusted(7.5, 7.5, -7.5, -7.5), 4, 4);

    const QFont titleFont = font(QStringLiteral("Liberation Serif"), 35, QFont::Bold, 1);
    const QString title = QStringLiteral("KORVATH II");
    const qreal titleWidth = QFontMetricsF(titleFont).horizontalAdvance(title);
    drawTitle(p, QPointF((262 - titleWidth) / 2, 50), title, titleFont, 3);

    auto centred = [&p](qreal baseline, const QString& text, const QFont& f, const QColor& c) {
        p.setFont(f);
        p.setPen(c);
        const qreal width = QFontMetricsF(f).horizontalAdvance(text);
        p.drawText(QPointF((262 - width) / 2, baseline), text);
    };
    centred(68, QStringLiteral("WORLD LAUNCHER"),
            font(QStringLiteral("Liberation Sans"), 11, QFont::Bold, 5), QColor(0xf8, 0xe8, 0xc0));
    p.setPen(QPen(kGold, 1));
    p.drawLine(QPointF(60, 78), QPointF(122, 78));
    p.drawLine(QPointF(140, 78), QPointF(202, 78));
    drawSparkle(p, QPointF(131, 78), 5, kGold);

    const QFont label = font(QStringLiteral("Liberation Sans"), 10, QFont::Bold, 1);
    const QFont name = font(QStringLiteral("Liberation Serif"), 13, QFont::Normal);
    const QColor soft(0xd8, 0xd0, 0xe8);
    const QColor bright(0xff, 0xf6, 0xe0);
    centred(96, QStringLiteral("VERSION"), label, soft);
    centred(110, QStringLiteral("1.0"), name, bright);
    centred(128, QStringLiteral("LAUNCHER"), label, soft);
    centred(142, QStringLiteral("The Korvath II Launcher Team"), name, bright);
    centred(160, QStringLiteral("MASCOT"), label, soft);
    centred(174, QStringLiteral("Gustav the Marmoset, as himself"), name, bright);
    p.end();
    return image;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: make-artwork OUTDIR\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        err << "cannot create " << out.path() << '\n';
        return 1;
    }
    struct Picture {
        QString name;
        QImage image;
    };
    // Each picture of the window at 1x and at 2x (for screens with a device pixel
    // ratio above 1); the desktop icon in the hicolor theme's usual sizes.
    QList<Picture> pictures = {{QStringLiteral("icon.png"), icon()}};
    for (const qreal scale : {1.0, 2.0}) {
        const QString suffix = scale > 1 ? QStringLiteral("@2x.png") : QStringLiteral(".png");
        pictures.append({QString(suffix)
                             .replace(QLatin1String(".png"), QLatin1String(".ppm"))
                             .prepend(QLatin1String("banner")),
                         banner(scale)});
        pictures.append({QStringLiteral("mascot") + suffix, mascot(scale)});
        pictures.append({QStringLiteral("credits") + suffix, credits(scale)});
    }
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        pictures.append({QStringLiteral("icons/hicolor/%1x%1/apps/korvath2-launcher.png").arg(size),
                         shield(size)});
    for (const Picture& picture : pictures) {
        const QString path = out.filePath(picture.name);
        const QImage image = picture.image.hasAlphaChannel()
                                 ? picture.image
                                 : picture.image.convertToFormat(QImage::Format_RGB888);
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !image.save(path)) {
            err << "cannot write " << path << '\n';
            return 1;
        }
    }
    return 0;
}
