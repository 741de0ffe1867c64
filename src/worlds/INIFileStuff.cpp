#include "worlds/INIFileStuff.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace INIFileStuff {

namespace {

// Lines longer than this are read only this far. A value is cut to 511
// characters anyway, so only hostile files ever reach it, and they cannot make
// the reader hold an unbounded line in memory.
constexpr qint64 kMaxLineBytes = 64 * 1024;

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

// Reads one line (without its line end) into line; false at the end of the file
// or on a read error.
bool readLine(QFile& file, QByteArray& line) {
    line.clear();
    bool any = false;
    char buffer[4096];
    for (;;) {
        const qint64 n = file.readLine(buffer, sizeof buffer);
        if (n <= 0)
            break;
        any = true;
        const bool complete = buffer[n - 1] == '\n';
        const qint64 keep = qMin<qint64>(n, kMaxLineBytes - line.size());
        if (keep > 0)
            line.append(buffer, keep);
        if (complete)
            break;
    }
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return any;
}

} // namespace

QString ReadIniString(const QString& section, const QString& key, const QString& path,
                      const QString& defaultValue) {
    // Only a regular file is read: a folder or a pipe named like a world file must
    // neither fail nor block the launcher.
    const QFileInfo info(path);
    if (!info.isFile())
        return defaultValue;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return defaultValue;

    bool inSection = false;
    bool firstLine = true;
    QByteArray bytes;
    while (readLine(file, bytes)) {
        if (firstLine && bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        firstLine = false;
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
