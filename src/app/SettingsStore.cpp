#include "app/SettingsStore.h"

#include "platform/LauncherError.h"
#include "platform/Logging.h"
#include "platform/SafeFiles.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QVariant>

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>

const QString kApplicationName = QStringLiteral("Korvath II Launcher");
const QString kSettingsSection = QStringLiteral("Settings");
const QString kTomeSection = QStringLiteral("PackageTomeDirs");
const QString kLastDirLabelKey = QStringLiteral("lastDirLabel");
const QString kLastBackupLabelKey = QStringLiteral("lastBackupLabel");
const QString kInterfaceTypeKey = QStringLiteral("interfaceType");
const QString kGameDirKey = QStringLiteral("KVDir");
const QString kPendingSwitchesKey = QStringLiteral("pendingSwitches");

namespace {

// --- Keys and section names: letters, digits, "_", "-" and "." as they are, "/" as
// "\", every other UTF-16 unit as %XX or %UXXXX.

QByteArray escapeKey(const QString& key) {
    QByteArray out;
    for (const QChar qc : key) {
        const char16_t ch = qc.unicode();
        if (ch == u'/')
            out += '\\';
        else if ((ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') ||
                 (ch >= u'0' && ch <= u'9') || ch == u'_' || ch == u'-' || ch == u'.')
            out += char(ch);
        else if (ch <= 0xFF)
            out += '%' + QByteArray::number(ch, 16).toUpper().rightJustified(2, '0');
        else
            out += "%U" + QByteArray::number(ch, 16).toUpper().rightJustified(4, '0');
    }
    return out;
}

QString unescapeKey(const QByteArray& raw) {
    const QString text = QString::fromUtf8(raw);
    QString key;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch == u'\\') {
            key += u'/';
            continue;
        }
        const qsizetype digits = i + 1 < text.size() && text[i + 1] == u'U' ? 4 : 2;
        const qsizetype first = i + 1 + (digits == 4 ? 1 : 0);
        bool ok = false;
        const ushort code = ch == u'%' && first + digits <= text.size()
                                ? QStringView(text).sliced(first, digits).toUShort(&ok, 16)
                                : 0;
        if (ok) {
            key += QChar(code);
            i = first + digits - 1;
        } else {
            key += ch;
        }
    }
    return key;
}

// The prefix a section gives its keys: "" for General, else its name and "/".
QString sectionPrefix(const QByteArray& name) {
    if (name.compare("general", Qt::CaseInsensitive) == 0)
        return QString();
    if (name.compare("%general", Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(name.mid(1)) + u'/';
    return unescapeKey(name) + u'/';
}

QByteArray sectionHeader(const QString& section) {
    if (section.isEmpty())
        return "[General]";
    if (section.compare(QLatin1String("general"), Qt::CaseInsensitive) == 0)
        return "[%" + section.toLatin1() + ']';
    return '[' + escapeKey(section) + ']';
}

// "a//b/" and "/a/b" are the key "a/b".
QString normalizedKey(const QString& section, const QString& key) {
    QString out;
    for (const QChar ch : section + u'/' + key) {
        if (ch != u'/' || (!out.isEmpty() && !out.endsWith(u'/')))
            out += ch;
    }
    if (out.endsWith(u'/'))
        out.chop(1);
    return out;
}

// --- Values

// 0 to 15 for a hex digit, else -1.
int digitValue(char16_t ch) {
    return ch >= u'0' && ch <= u'9'   ? ch - u'0'
           : ch >= u'a' && ch <= u'f' ? ch - u'a' + 10
           : ch >= u'A' && ch <= u'F' ? ch - u'A' + 10
                                      : -1;
}

// A text value as the format writes it: "@" doubled at the start, a text holding NUL
// wrapped in @String(), C escapes for control characters, "\" and '"', other text as
// UTF-8, and quotes around a value with ";", "," or "=" or a space at either end.
QByteArray encodeValue(const QString& value) {
    const QString text = value.contains(QChar(0)) ? QStringLiteral("@String(%1)").arg(value)
                         : value.startsWith(u'@') ? u'@' + value
                                                  : value;
    QByteArray out;
    bool quote = false;
    bool hexFollows = false; // a hex digit after \0 or \xN would join that escape
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t ch = text[i].unicode();
        quote = quote || ch == u';' || ch == u',' || ch == u'=';
        if (hexFollows && digitValue(ch) >= 0) {
            out += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        hexFollows = false;
        static const char named[] = "\a\b\f\n\r\t\v\"\\";
        static const char letters[] = "abfnrtv\"\\";
        if (const char* at = ch > 0 && ch < 0x80 ? std::strchr(named, char(ch)) : nullptr) {
            out += '\\';
            out += letters[at - named];
        } else if (ch < 0x20) {
            out += ch == 0 ? QByteArray("\\0") : "\\x" + QByteArray::number(ch, 16);
            hexFollows = true;
        } else if (ch < 0x80) {
            out += char(ch);
        } else { // a run of other characters, surrogate pairs kept together
            qsizetype end = i + 1;
            while (end < text.size() && text[end].unicode() >= 0x80)
                ++end;
            out += QStringView(text).sliced(i, end - i).toUtf8();
            i = end - 1;
        }
    }
    if (quote || out.startsWith(' ') || out.endsWith(' '))
        return '"' + out + '"';
    return out;
}

// A value as text, the way QSettings reads it and turns it into text: nullopt for
// @Invalid(), "" for a list (unquoted commas), the content of @String(), @ByteArray()
// and @Variant().
std::optional<QString> decodeValue(const QByteArray& raw) {
    QString text;
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false;
    bool chop = true;        // trailing spaces of an unquoted value go
    qsizetype chopLimit = 0; // nor do spaces written as escapes
    const qsizetype n = raw.size();
    qsizetype i = 0;
    const auto skipSpaces = [&] {
        while (i < n && (raw[i] == ' ' || raw[i] == '\t'))
            ++i;
        chopLimit = text.size();
    };
    const auto chopSpaces = [&] {
        while (!quoted && text.size() > chopLimit && (text.back() == u' ' || text.back() == u'\t'))
            text.chop(1);
    };
    skipSpaces();
    while (i < n) {
        const char c = raw[i];
        if (c == '\\') {
            if (++i >= n) {
                chop = false;
                break;
            }
            const char e = raw[i++];
            static const char letters[] = "abfnrtv\"?'\\";
            static const char named[] = "\a\b\f\n\r\t\v\"?'\\";
            const int base = e == 'x' ? 16 : (e >= '0' && e <= '7') ? 8 : 0;
            if (const char* at = std::strchr(letters, e); at && e) {
                text += QLatin1Char(named[at - letters]);
            } else if (base == 16 && i >= n) {
                chop = false;
                break;
            } else if (base != 0 && (base == 8 || digitValue(raw[i]) >= 0)) {
                char16_t code = base == 8 ? char16_t(e - '0') : 0;
                for (int digit; i < n && (digit = digitValue(raw[i])) >= 0 && digit < base; ++i)
                    code = char16_t(code * base + digit);
                text += QChar(code);
            } else if ((e == '\n' || e == '\r') && i < n && (raw[i] == '\n' || raw[i] == '\r') &&
                       raw[i] != e) {
                ++i; // a line continued after "\": both line-end characters go
            }
            chopLimit = text.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipSpaces();
        } else if (c == ',' && !inQuotes) {
            chopSpaces();
            isList = true;
            text.clear();
            quoted = false;
            ++i;
            skipSpaces();
        } else {
            qsizetype end = i + 1;
            while (end < n && raw[end] != '\\' && raw[end] != '"' && raw[end] != ',')
                ++end;
            text += QString::fromUtf8(raw.constData() + i, end - i);
            i = end;
        }
    }
    if (chop)
        chopSpaces();
    if (isList)
        return QString(); // what a list reads as text: nothing
    if (!text.startsWith(u'@'))
        return text;
    if (text.endsWith(u')')) {
        const auto inner = [&](qsizetype start) {
            return text.mid(start, text.size() - start - 1);
        };
        if (text.startsWith(QLatin1String("@ByteArray(")))
            return QString::fromUtf8(inner(11).toLatin1());
        if (text.startsWith(QLatin1String("@String(")))
            return inner(8);
        if (text.startsWith(QLatin1String("@Variant("))) {
            QByteArray data = inner(9).toLatin1();
            QDataStream stream(&data, QIODevice::ReadOnly);
            stream.setVersion(QDataStream::Qt_4_0);
            QVariant variant;
            stream >> variant;
            return variant.toString();
        }
        if (text == QLatin1String("@Invalid()"))
            return std::nullopt;
    }
    return text.startsWith(QLatin1String("@@")) ? text.mid(1) : text;
}

QByteArray lineEnd(const QByteArray& raw) {
    return raw.endsWith("\r\n") ? QByteArray("\r\n")
           : raw.endsWith('\n') ? QByteArray("\n")
           : raw.endsWith('\r') ? QByteArray("\r")
                                : QByteArray();
}

struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified = {};
    bool operator==(const FileStamp& o) const {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

// The stamp of the regular file at path; none for anything else (read it again).
std::optional<FileStamp> stampOf(const QString& path) {
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? std::optional<FileStamp>(FileStamp()) : std::nullopt;
    if (!S_ISREG(st.st_mode))
        return std::nullopt;
    return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

} // namespace

// The file as lines, each kept as it was read until a value in it is set. Lines that
// cannot be parsed are left out.
class IniSettingsStore::Document {
public:
    struct Line {
        enum Kind { Blank, Comment, Header, Entry } kind;
        QByteArray raw;               // as in the file, with its line end
        QString name;                 // Header: the prefix of its keys; Entry: the whole key
        QByteArray rawKey;            // Entry: the key as written
        std::optional<QString> value; // Entry: nullopt when it reads as no value
    };

    explicit Document(const QByteArray& data, std::optional<FileStamp> stamp)
        : stamp(stamp), m_eol(data.contains("\r\n") ? "\r\n" : "\n") {
        parse(data);
    }

    const Line* find(const QString& key) const {
        for (auto line = m_lines.crbegin(); line != m_lines.crend(); ++line) {
            if (line->kind == Line::Entry && line->name == key)
                return &*line; // the last one counts, as for any reader of the format
        }
        return nullptr;
    }

    void set(const QString& key, const QString& value) {
        const QByteArray encoded = encodeValue(value);
        qsizetype last = -1;
        for (qsizetype i = m_lines.size() - 1; i >= 0; --i) {
            if (m_lines[i].kind != Line::Entry || m_lines[i].name != key)
                continue;
            if (last >= 0) { // an earlier copy would only mislead whoever reads the file
                m_lines.removeAt(i);
                --last;
            } else {
                last = i;
            }
        }
        if (last >= 0) {
            Line& line = m_lines[last];
            const QByteArray eol = lineEnd(line.raw);
            line.raw = line.rawKey + '=' + encoded + (eol.isEmpty() ? m_eol : eol);
            line.value = value;
            return;
        }
        const qsizetype slash = key.indexOf(u'/');
        const QString section = slash < 0 ? QString() : key.left(slash);
        const QString prefix = slash < 0 ? QString() : section + u'/';
        const QByteArray rawKey = escapeKey(key.mid(slash + 1));
        Line entry{Line::Entry, rawKey + '=' + encoded + m_eol, key, rawKey, value};
        // After the last entry of the last section of that name (or its header).
        qsizetype at = -1;
        QString current;
        for (qsizetype i = 0; i < m_lines.size(); ++i) {
            if (m_lines[i].kind == Line::Header)
                current = m_lines[i].name;
            if ((m_lines[i].kind == Line::Header || m_lines[i].kind == Line::Entry) &&
                current == prefix)
                at = i + 1;
        }
        if (at < 0) {
            at = m_lines.size();
            if (at > 0 && m_lines.back().kind != Line::Blank) {
                endLine(at - 1);
                m_lines.append(Line{Line::Blank, m_eol, {}, {}, {}});
            }
            m_lines.append(Line{Line::Header, sectionHeader(section) + m_eol, prefix, {}, {}});
            m_lines.append(entry);
            return;
        }
        endLine(at - 1);
        m_lines.insert(at, entry);
    }

    QByteArray bytes() const {
        QByteArray out;
        for (const Line& line : m_lines)
            out += line.raw;
        return out;
    }

    std::optional<FileStamp> stamp; // the file's when it was read; none: read it again

private:
    void endLine(qsizetype index) {
        if (lineEnd(m_lines[index].raw).isEmpty())
            m_lines[index].raw += m_eol;
    }

    // Logical lines as QSettings finds them: a quoted part may span line ends, "\" takes
    // the next character (a line end too), and ";" outside quotes starts a comment.
    void parse(const QByteArray& data) {
        const qsizetype n = data.size();
        QString prefix; // of the section the lines are in
        qsizetype pos = 0;
        if (data.startsWith("\xEF\xBB\xBF")) { // a byte-order mark is kept, and not read
            m_lines.append(Line{Line::Blank, data.left(3), {}, {}, {}});
            pos = 3;
        }
        while (pos < n) {
            qsizetype i = pos;
            while (i < n &&
                   (data[i] == ' ' || data[i] == '\t' || data[i] == '\f' || data[i] == '\v'))
                ++i;
            const qsizetype start = i;
            qsizetype equals = -1;
            for (bool inQuotes = false; i < n; ++i) {
                const char c = data[i];
                if (c == '=' && !inQuotes && equals < 0)
                    equals = i;
                else if ((c == '\n' || c == '\r' || c == ';') && !inQuotes)
                    break;
                else if (c == '"')
                    inQuotes = !inQuotes;
                else if (c == '\\' && i + 1 < n) {
                    ++i; // the escaped character; a line end here continues the line
                    if (i + 1 < n && ((data[i] == '\n' && data[i + 1] == '\r') ||
                                      (data[i] == '\r' && data[i + 1] == '\n')))
                        ++i;
                }
            }
            const QByteArray content = data.mid(start, i - start);
            while (i < n && data[i] != '\n' && data[i] != '\r')
                ++i; // a comment
            i += i < n && data[i] == '\r' ? 1 : 0;
            i += i < n && data[i] == '\n' ? 1 : 0;
            Line line{Line::Blank, data.mid(pos, i - pos), {}, {}, {}};
            pos = i;
            if (content.isEmpty()) {
                line.kind = start < n && data[start] == ';' ? Line::Comment : Line::Blank;
            } else if (content.startsWith('[')) {
                const qsizetype close = content.indexOf(']');
                const QByteArray name = content.mid(1, close < 0 ? -1 : close - 1).trimmed();
                prefix = sectionPrefix(name);
                line.kind = Line::Header;
                line.name = prefix;
                if (close < 0) // a header left open is closed when written back
                    line.raw = '[' + name + ']' +
                               (lineEnd(line.raw).isEmpty() ? m_eol : lineEnd(line.raw));
            } else if (equals >= 0) {
                line.kind = Line::Entry;
                line.rawKey = content.left(equals - start).trimmed();
                if (line.rawKey.isEmpty())
                    continue; // no key: cannot be parsed
                line.name = prefix + unescapeKey(line.rawKey);
                line.value = decodeValue(content.mid(equals - start + 1));
            } else {
                continue; // cannot be parsed
            }
            m_lines.append(line);
        }
    }

    QList<Line> m_lines;
    QByteArray m_eol;
};

IniSettingsStore::IniSettingsStore()
    : m_file(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
             QLatin1Char('/') + kApplicationName + QStringLiteral(".conf")) {}

IniSettingsStore::IniSettingsStore(const QString& filePath)
    : m_file(QFileInfo(filePath).absoluteFilePath()) {}

IniSettingsStore::~IniSettingsStore() = default;

QString IniSettingsStore::fileName() const {
    return m_file;
}

QString IniSettingsStore::folder() const {
    return QFileInfo(m_file).absolutePath();
}

void IniSettingsStore::refresh() {
    // Read again only when the file has changed on disk: another launcher may have
    // written it since.
    const std::optional<FileStamp> stamp = stampOf(m_file);
    if (m_document && stamp && m_document->stamp == stamp)
        return;
    try {
        const std::optional<QByteArray> data = SafeFiles::ReadRegularFile(m_file);
        m_document = std::make_unique<Document>(data.value_or(QByteArray()), stamp);
    } catch (const FileSystemError& error) {
        m_document.reset();
        qCWarning(lcApp).noquote() << "the settings could not be read:" << error.message();
        throw SettingsError(
            QStringLiteral("The settings could not be read: %1.").arg(error.message()));
    }
}

QString IniSettingsStore::GetSetting(const QString& section, const QString& key,
                                     const QString& defaultValue) {
    refresh();
    const Document::Line* line = m_document->find(normalizedKey(section, key));
    return line && line->value ? *line->value : defaultValue;
}

void SettingsStore::SaveSettings(const QString& section,
                                 const QList<QPair<QString, QString>>& keysAndValues) {
    for (const auto& [key, value] : keysAndValues)
        SaveSetting(section, key, value);
}

void SettingsStore::SaveLosableSetting(const QString& section, const QString& key,
                                       const QString& value) {
    SaveSetting(section, key, value);
}

void IniSettingsStore::SaveSetting(const QString& section, const QString& key,
                                   const QString& value) {
    write(section, {{key, value}}, true);
}

void IniSettingsStore::SaveSettings(const QString& section,
                                    const QList<QPair<QString, QString>>& keysAndValues) {
    write(section, keysAndValues, true);
}

void IniSettingsStore::SaveLosableSetting(const QString& section, const QString& key,
                                          const QString& value) {
    write(section, {{key, value}}, false);
}

void IniSettingsStore::write(const QString& section,
                             const QList<QPair<QString, QString>>& keysAndValues, bool syncFolder) {
    // The values go onto what is on disk now, and into memory only once they are there.
    refresh();
    Document next = *m_document;
    for (const auto& [key, value] : keysAndValues)
        next.set(normalizedKey(section, key), value);
    const QByteArray content = next.bytes();
    // The same values again (the interface mode and the directory, at every start):
    // the file on disk already holds them.
    if (stampOf(m_file) && content == m_document->bytes())
        return;
    try {
        if (!QDir().mkpath(folder()))
            throw FileSystemError(QStringLiteral("Cannot create the folder %1").arg(folder()));
        SafeFiles::Write(m_file, content, SafeFiles::Mode::Replace,
                         syncFolder ? SafeFiles::Sync::Everything : SafeFiles::Sync::FileOnly);
    } catch (const FileSystemError& error) {
        qCWarning(lcApp).noquote()
            << "the settings could not be saved to" << m_file << ":" << error.message();
        throw SettingsError(QStringLiteral("The settings could not be saved to %1.").arg(m_file));
    }
    m_document = std::make_unique<Document>(content, stampOf(m_file));
}
