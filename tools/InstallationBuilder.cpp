#include "InstallationBuilder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace InstallationBuilder {

const QStringList kContentFolders = {
    QStringLiteral("Roster"),
    QStringLiteral("Tomes"),
    QStringLiteral("Library"),
    QStringLiteral("Data/Interface"),
    QStringLiteral("Data/Music"),
    QStringLiteral("Data/Sounds"),
    QStringLiteral("Data/Graphics/Creatures"),
    QStringLiteral("Data/Graphics/Effects"),
    QStringLiteral("Data/Graphics/Items"),
    QStringLiteral("Data/Graphics/Tiles"),
    QStringLiteral("Data/Graphics/Wallpapers"),
};

QString writeFile(const QString& path, const QByteArray& content, bool executable) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("cannot create the folder of %1").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    file.close();
    if (executable && !file.setPermissions(file.permissions() | QFileDevice::ExeOwner |
                                           QFileDevice::ExeGroup | QFileDevice::ExeOther))
        return QStringLiteral("cannot make %1 executable").arg(path);
    return QString();
}

namespace {

QString installProgram(const QString& source, const QString& target) {
    if (source.isEmpty())
        return writeFile(target, "#!/bin/sh\nexit 0\n", true);
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1").arg(source);
    return writeFile(target, in.readAll(), true);
}

QString marker(const QString& world, const QString& folder) {
    return QStringLiteral("%1 %2\n").arg(world, folder);
}

QString addFolder(const QString& gameDir, const QString& relative, const QString& world) {
    const QString name = relative.section(QLatin1Char('/'), -1);
    return writeFile(gameDir + QLatin1Char('/') + relative + QStringLiteral("/marker.txt"),
                     marker(world, name).toUtf8());
}

} // namespace

QString build(const QString& gameDirIn, const Options& options) {
    QString gameDir = gameDirIn;
    while (gameDir.size() > 1 && gameDir.endsWith(QLatin1Char('/')))
        gameDir.chop(1);
    QStringList errors;
    auto check = [&errors](const QString& error) {
        if (!error.isEmpty())
            errors.append(error);
    };
    check(installProgram(options.gameProgram, gameDir + QStringLiteral("/korvath2.exe")));
    check(installProgram(options.editorProgram, gameDir + QStringLiteral("/worldforge2.exe")));
    for (const QString& folder : kContentFolders)
        check(addFolder(gameDir, folder, QStringLiteral("Valmora")));
    // Tomes of the default world.
    check(writeFile(gameDir + QStringLiteral("/Tomes/Bestiary/wolves.txt"),
                    "Wolves hunt in packs.\n"));
    check(
        writeFile(gameDir + QStringLiteral("/Tomes/Herbalism/moonwort.txt"), "Moonwort heals.\n"));
    check(writeFile(gameDir + QStringLiteral("/readme.txt"), "Korvath II demo installation.\n"));

    if (options.withWorlds) {
        check(writeFile(gameDir + QStringLiteral("/Frostmarch.ini"),
                        "[WorldData]\r\nDisplayName=Frost March\r\n"));
        check(
            addFolder(gameDir, QStringLiteral("Roster_Frostmarch"), QStringLiteral("Frostmarch")));
        check(addFolder(gameDir, QStringLiteral("Tomes_Frostmarch"), QStringLiteral("Frostmarch")));
        check(addFolder(gameDir, QStringLiteral("Data/Graphics/Items_Frostmarch"),
                        QStringLiteral("Frostmarch")));
        check(writeFile(gameDir + QStringLiteral("/Tomes_Frostmarch/Frost Lore/ice.txt"),
                        "Ice remembers.\n"));

        check(writeFile(gameDir + QStringLiteral("/dawn.ini"),
                        "[WorldData]\r\nDisplayName=Isle of Dawn\r\n"));
        check(addFolder(gameDir, QStringLiteral("Tomes_dawn"), QStringLiteral("dawn")));
        check(addFolder(gameDir, QStringLiteral("Data/Music_dawn"), QStringLiteral("dawn")));
        check(writeFile(gameDir + QStringLiteral("/Tomes_dawn/Bestiary/gulls.txt"),
                        "Gulls steal bread.\n"));
        check(writeFile(gameDir + QStringLiteral("/Tomes_dawn/Sea Charts/reef.txt"),
                        "Beware the reef.\n"));
    }
    return errors.join(QLatin1Char('\n'));
}

QStringList listTree(const QString& root) {
    QStringList entries;
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = base.relativeFilePath(info.filePath());
        if (info.isDir() && !info.isSymLink())
            entries.append(relative + QLatin1Char('/'));
        else
            entries.append(QStringLiteral("%1 (%2)").arg(relative).arg(info.size()));
    }
    entries.sort();
    return entries;
}

} // namespace InstallationBuilder
