#include "worlds/INIFileStuff.h"

#include "platform/LauncherError.h"
#include "platform/SafeFiles.h"

#include <QByteArray>
#include <QList>
#include <QStringDecoder>

namespace INIFileStuff {

namespace {

// How much of a file is read. A world description file is a few lines; a value is
// cut to 511 characters anyway. Only a damaged or hostile file is longer, and then
// what lies beyond this is not looked at: a huge file (or one that never ends)
// costs no more than a normal one.
constexpr qint64 kMaxFileBytes = 64 * 1024;

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString trimBlanks(const QString& text) {
    int begin = 0;
    int end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QString decodeLine(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

QString unquote(const QString& value) {
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

// The first kMaxValueLength characters; a character outside the basic plane is
// never split in half.
QString cutValue(const QString& value) {
    int units = 0;
    int characters = 0;
    while (units < value.size() && characters < kMaxValueLength) {
        const bool pair = value.at(units).isHighSurrogate() && units + 1 < value.size() &&
                          value.at(units + 1).isLowSurrogate();
        units += pair ? 2 : 1;
        ++characters;
    }
    return value.left(units);
}

} // namespace

QString ReadIniString(const QString& section, const QString& key, const QString& path,
                      const QString& defaultValue) {
    // Only a regular file is read: a folder or a pipe named like a world file must
    // neither fail nor block the launcher.
    QByteArray content;
    try {
        content = SafeFiles::ReadRegularFile(path, kMaxFileBytes + 1).value_or(QByteArray());
    } catch (const FileSystemError&) {
        return defaultValue;
    }
    // A line cut by the bound is not a line of the file.
    if (content.size() > kMaxFileBytes)
        content.truncate(content.lastIndexOf('\n', kMaxFileBytes - 1) + 1);
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);

    bool inSection = false;
    for (QByteArray bytes : content.split('\n')) {
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        const QString line = trimBlanks(decodeLine(bytes));
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            // Only the first section of the name is searched.
            if (inSection)
                break;
            int close = line.indexOf(QLatin1Char(']'));
            if (close < 0)
                close = line.size();
            const QString name = trimBlanks(line.mid(1, close - 1));
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        if (trimBlanks(line.left(equals)).compare(key, Qt::CaseInsensitive) != 0)
            continue;
        return cutValue(unquote(trimBlanks(line.mid(equals + 1))));
    }
    return defaultValue;
}

} // namespace INIFileStuff
