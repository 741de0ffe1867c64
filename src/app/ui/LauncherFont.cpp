#include "app/ui/LauncherFont.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStyleFactory>

#include <cmath>

namespace LauncherFont {

const QString kFamily = QStringLiteral("Liberation Sans Narrow");

namespace {

// Where Debian's fonts-liberation puts the family, for systems whose font
// configuration does not list it.
const char* const kFontFiles[] = {
    "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Regular.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Bold.ttf",
};

bool familyAvailable() {
    return QFontDatabase::families().contains(kFamily);
}

} // namespace

bool apply(const QString& chosenStyle) {
    if (!familyAvailable()) {
        for (const char* file : kFontFiles)
            QFontDatabase::addApplicationFont(QString::fromLatin1(file));
    }
    // A style the toolkit does not have is one it has already warned of.
    const bool chosen =
        !chosenStyle.isEmpty() && QStyleFactory::keys().contains(chosenStyle, Qt::CaseInsensitive);
    if (QStyle* fusion = chosen ? nullptr : QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    const bool found = familyAvailable();
    QApplication::setFont(font(kRegularPoints));
    return found && QFontInfo(QApplication::font()).family() == kFamily;
}

QFont font(qreal points, bool bold) {
    QFont result(kFamily);
    result.setStyleHint(QFont::SansSerif);
    result.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    result.setBold(bold);
    return result;
}

} // namespace LauncherFont
