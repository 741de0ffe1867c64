#include "ContentReport.h"

#include "InstallationBuilder.h"

#include <QFile>
#include <QStringList>

ContentReport ContentReport::read(const QString& gameDir) {
    ContentReport report;
    for (const QString& folder : InstallationBuilder::kContentFolders) {
        ContentEntry entry{folder, QString()};
        QFile marker(gameDir + QLatin1Char('/') + folder + QStringLiteral("/marker.txt"));
        if (marker.open(QIODevice::ReadOnly))
            entry.world =
                QString::fromUtf8(marker.readLine()).section(QLatin1Char(' '), 0, 0).trimmed();
        report.entries.append(entry);
    }
    return report;
}

QString ContentReport::summary() const {
    QStringList worlds;
    QList<int> counts;
    for (const ContentEntry& entry : entries) {
        const QString world = entry.world.isEmpty() ? QStringLiteral("missing") : entry.world;
        const int at = worlds.indexOf(world);
        if (at < 0) {
            worlds.append(world);
            counts.append(1);
        } else {
            ++counts[at];
        }
    }
    QStringList parts;
    for (int i = 0; i < worlds.size(); ++i)
        parts.append(QStringLiteral("%1: %2 folder%3")
                         .arg(worlds[i])
                         .arg(counts[i])
                         .arg(counts[i] == 1 ? QString() : QStringLiteral("s")));
    return parts.join(QStringLiteral(", "));
}

QStringList ContentReport::lines() const {
    QStringList result;
    for (const ContentEntry& entry : entries)
        result.append(entry.folder + QStringLiteral(": ") +
                      (entry.world.isEmpty() ? QStringLiteral("missing") : entry.world));
    return result;
}
