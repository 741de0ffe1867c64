#include "worlds/FolderNames.h"

#include <algorithm>

namespace FolderNames {

namespace {

constexpr QChar kVersionMark = QLatin1Char('_');
constexpr QChar kStowedMark = QLatin1Char('-');
constexpr int kBackupLabelSize = 38;

// The text after N and mark at the start of name (N in any letter case), or a null
// string when name does not start so.
QString after(const QString& name, const QString& N, QChar mark) {
    if (name.size() <= N.size() || name.at(N.size()) != mark ||
        name.left(N.size()).compare(N, Qt::CaseInsensitive) != 0)
        return QString();
    return name.mid(N.size() + 1);
}

} // namespace

const QString kTomes = QStringLiteral("Tomes");

bool IsWorldLabel(const QString& label) {
    if (label.isEmpty() || label == QLatin1String(".") || label == QLatin1String(".."))
        return false;
    return std::none_of(label.begin(), label.end(), [](QChar c) {
        return c == QLatin1Char('/') || c == QLatin1Char('\\') ||
               c.category() == QChar::Other_Control;
    });
}

bool IsBackupLabel(const QString& label) {
    if (label.size() != kBackupLabelSize || label.front() != QLatin1Char('{') ||
        label.back() != QLatin1Char('}'))
        return false;
    for (int i = 1; i < kBackupLabelSize - 1; ++i) {
        const QChar c = label.at(i);
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        const bool hex = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                         (c >= QLatin1Char('A') && c <= QLatin1Char('F')) ||
                         (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
        if (dash ? c != QLatin1Char('-') : !hex)
            return false;
    }
    return true;
}

QString FolderName(const QString& P) {
    return P.mid(P.lastIndexOf(QLatin1Char('/')) + 1);
}

QString WorldVersion(const QString& folder, const QString& dirLabel) {
    return folder + kVersionMark + dirLabel;
}

QString VersionName(const QString& P, const QString& dirLabel) {
    return WorldVersion(FolderName(P), dirLabel);
}

QString VersionLabel(const QString& name, const QString& N) {
    return after(name, N, kVersionMark);
}

QString StowedName(const QString& N, const QString& backupLabel) {
    return N + kStowedMark + backupLabel;
}

QString StowedLabel(const QString& name, const QString& N) {
    const QString label = after(name, N, kStowedMark);
    return IsBackupLabel(label) ? label : QString();
}

QString InstalledTomes(const QString& dirLabel) {
    const QString tomes = kTomes.toLower();
    return dirLabel.isEmpty() ? tomes : WorldVersion(tomes, dirLabel);
}

} // namespace FolderNames
