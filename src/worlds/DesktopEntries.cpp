#include "worlds/DesktopEntries.h"

#include "platform/LauncherError.h"
#include "platform/SafeFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace DesktopEntries {

namespace {

const QString kGroup = QStringLiteral("[Desktop Entry]");
const QString kGameDirKey = QStringLiteral("X-Korvath-Launcher-GameDir");
const QString kWorldKey = QStringLiteral("X-Korvath-Launcher-World");

QString withSeparator(const QString& gameDir) {
    return gameDir.endsWith(QLatin1Char('/')) ? gameDir : gameDir + QLatin1Char('/');
}

bool isControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

// A string value as an entry holds it: backslash and the whitespace a reader would
// take for the end of the line or trim off escaped.
QString escapeString(const QString& text) {
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else if (c == QLatin1Char(' ') && (i == 0 || i == text.size() - 1))
            out += QStringLiteral("\\s");
        else
            out += c;
    }
    return out;
}

// One argument of Exec, before the string escapes: quoted whole when it holds a
// reserved character (or is empty), with " ` $ \ escaped inside the quotes; "%" is
// doubled so that no desktop takes it for a field code.
QString execArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#()`");
    bool quote = argument.isEmpty();
    for (const QChar c : argument)
        quote = quote || reserved.contains(c);
    QString out;
    for (const QChar c : argument) {
        if (quote && QStringLiteral("\"`$\\").contains(c))
            out += QLatin1Char('\\');
        out += c;
        if (c == QLatin1Char('%'))
            out += QLatin1Char('%');
    }
    return quote ? QLatin1Char('"') + out + QLatin1Char('"') : out;
}

// What an entry cannot hold: a control character beyond the escaped ones.
bool unnameable(QChar c) {
    return isControl(c) && c != QLatin1Char('\n') && c != QLatin1Char('\t') &&
           c != QLatin1Char('\r');
}

// Makes folder and the folders above it that are missing.
void makeFolder(const QString& folder) {
    const QByteArray name = QFile::encodeName(folder);
    struct stat st;
    qsizetype slash = 0;
    do {
        slash = name.indexOf('/', slash + 1);
        const QByteArray part = slash < 0 ? name : name.left(slash);
        if ((::stat(part.constData(), &st) == 0 && S_ISDIR(st.st_mode)) ||
            ::mkdir(part.constData(), 0777) == 0)
            continue;
        const int err = errno == EEXIST ? ENOTDIR : errno;
        throw FileSystemError(QStringLiteral("Cannot create the folder %1 (%2)")
                                  .arg(folder, slash < 0 ? SystemErrorText(err)
                                                         : QFile::decodeName(part) +
                                                               QStringLiteral(": ") +
                                                               SystemErrorText(err)),
                              err);
    } while (slash >= 0);
}

QMap<QString, QString> parse(const QByteArray& content) {
    QMap<QString, QString> keys;
    bool inGroup = false;
    for (const QString& line : QString::fromUtf8(content).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line.trimmed() == kGroup;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inGroup || line.startsWith(QLatin1Char('#')) || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        QString value = line.mid(equals + 1);
        while (value.startsWith(QLatin1Char(' ')) || value.startsWith(QLatin1Char('\t')))
            value.remove(0, 1);
        if (!keys.contains(key))
            keys.insert(key, value);
    }
    return keys;
}

bool isOwn(const QMap<QString, QString>& keys, const QString& gameDir, const QString& dirLabel) {
    return keys.contains(kGameDirKey) && keys.contains(kWorldKey) &&
           StringValue(keys.value(kGameDirKey)) == withSeparator(gameDir) &&
           StringValue(keys.value(kWorldKey)) == dirLabel;
}

// Nothing was done at path, and why.
Result refused(Problem::Kind kind, const QString& path, int systemError, const QString& reason) {
    Problem problem(kind, path, reason);
    problem.systemError = systemError;
    problem.details = QStringList{path};
    return Result{path, false, problem};
}

Result foreign(Problem::Kind kind, const QString& path) {
    return refused(kind, path, EEXIST, QStringLiteral("another file is in its place"));
}

} // namespace

QString Folder() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QStringLiteral("/applications"));
}

QString PathFor(const QString& gameDir, const QString& dirLabel) {
    // The label, readable, for people looking into the folder; the hash tells apart
    // installations and labels that read the same.
    QString slug;
    for (const QChar c : dirLabel.toLower()) {
        if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
            (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            slug += c;
        else if (!slug.endsWith(QLatin1Char('-')))
            slug += QLatin1Char('-');
    }
    slug = slug.left(32);
    while (slug.startsWith(QLatin1Char('-')))
        slug.remove(0, 1);
    while (slug.endsWith(QLatin1Char('-')))
        slug.chop(1);
    if (slug.isEmpty())
        slug = dirLabel.isEmpty() ? QStringLiteral("default") : QStringLiteral("world");
    const QByteArray hash =
        QCryptographicHash::hash(withSeparator(gameDir).toUtf8() + '\0' + dirLabel.toUtf8(),
                                 QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    return Folder() + QStringLiteral("/korvath2-%1-%2.desktop").arg(slug, QLatin1String(hash));
}

bool Exists(const QString& gameDir, const QString& dirLabel) {
    try {
        return isOwn(Read(PathFor(gameDir, dirLabel)), gameDir, dirLabel);
    } catch (const FileSystemError&) {
        return false;
    }
}

Result Add(const QString& gameDir, const QString& dirLabel, const QString& displayName,
           const QString& launcherProgram) {
    const QString path = PathFor(gameDir, dirLabel);
    const QString dir = withSeparator(gameDir);
    const QString program = QFileInfo(launcherProgram).absoluteFilePath();
    for (const auto& [what, text] : {std::pair{"the world's label", dirLabel},
                                     {"the game directory", dir},
                                     {"the launcher's path", program}}) {
        if (std::any_of(text.begin(), text.end(), unnameable))
            return refused(Problem::Kind::MenuEntryNotAdded, path, EINVAL,
                           QStringLiteral("%1 holds a control character").arg(what));
    }
    // Only characters an entry cannot show are left out of the name.
    QString name = displayName;
    for (QChar& c : name) {
        if (unnameable(c))
            c = QLatin1Char(' ');
    }

    makeFolder(Folder());
    const std::optional<QByteArray> existing = SafeFiles::ReadRegularFile(path);
    if (existing && !isOwn(parse(*existing), gameDir, dirLabel))
        return foreign(Problem::Kind::MenuEntryNotAdded, path);

    QStringList exec;
    for (const QString& argument :
         {program, QStringLiteral("--world"), dirLabel, QStringLiteral("--game-dir"), dir})
        exec.append(execArgument(argument));
    const QString content =
        kGroup + QStringLiteral("\nType=Application\nVersion=1.4\nName=") +
        escapeString(QStringLiteral("Korvath II \u2014 ") + name) + QStringLiteral("\nComment=") +
        escapeString(
            QStringLiteral("Launch this world of the Korvath II installation in %1").arg(dir)) +
        QStringLiteral("\nExec=") + escapeString(exec.join(QLatin1Char(' '))) +
        QStringLiteral("\nIcon=korvath2-launcher\nCategories=Game;RolePlaying;\nTerminal=false\n") +
        kGameDirKey + QLatin1Char('=') + escapeString(dir) + QLatin1Char('\n') + kWorldKey +
        QLatin1Char('=') + escapeString(dirLabel) + QLatin1Char('\n');
    SafeFiles::Write(path, content.toUtf8(), SafeFiles::Mode::Replace, SafeFiles::Sync::Everything);
    return Result{path, false, std::nullopt};
}

Result Remove(const QString& gameDir, const QString& dirLabel) {
    const QString path = PathFor(gameDir, dirLabel);
    const std::optional<QByteArray> content = SafeFiles::ReadRegularFile(path);
    if (!content)
        return Result{path, false, std::nullopt};
    if (!isOwn(parse(*content), gameDir, dirLabel))
        return foreign(Problem::Kind::MenuEntryNotRemoved, path);
    if (::unlink(QFile::encodeName(path).constData()) != 0) {
        const int err = errno;
        if (err == ENOENT)
            return Result{path, false, std::nullopt};
        throw FileSystemError(
            QStringLiteral("Cannot remove %1 (%2)").arg(path, SystemErrorText(err)), err);
    }
    return Result{path, true, std::nullopt};
}

QMap<QString, QString> Read(const QString& path) {
    const std::optional<QByteArray> content = SafeFiles::ReadRegularFile(path);
    return content ? parse(*content) : QMap<QString, QString>();
}

QString StringValue(const QString& written) {
    QString out;
    for (qsizetype i = 0; i < written.size(); ++i) {
        const QChar c = written.at(i);
        if (c != QLatin1Char('\\') || i + 1 == written.size()) {
            out += c;
            continue;
        }
        const QChar next = written.at(++i);
        switch (next.unicode()) {
        case 's':
            out += QLatin1Char(' ');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        default: // not an escape: kept as written
            out += c;
            out += next;
        }
    }
    return out;
}

QStringList ExecArguments(const QString& execValue) {
    const QString value = StringValue(execValue);
    QStringList arguments;
    QString current;
    bool inArgument = false, quoted = false;
    const auto finish = [&] {
        // Field codes: "%%" is a "%", the others give nothing here.
        QString expanded;
        for (qsizetype i = 0; i < current.size(); ++i) {
            if (current.at(i) != QLatin1Char('%'))
                expanded += current.at(i);
            else if (++i < current.size() && current.at(i) == QLatin1Char('%'))
                expanded += QLatin1Char('%');
        }
        if (!expanded.isEmpty() || current.isEmpty())
            arguments.append(expanded);
        current.clear();
        inArgument = false;
    };
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < value.size() &&
                QStringLiteral("\"`$\\").contains(value.at(i + 1)))
                current += value.at(++i);
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                current += c;
        } else if (c == QLatin1Char(' ')) {
            if (inArgument)
                finish();
        } else {
            inArgument = true;
            if (c == QLatin1Char('"'))
                quoted = true;
            else
                current += c;
        }
    }
    if (quoted)
        return {};
    if (inArgument)
        finish();
    return arguments;
}

} // namespace DesktopEntries
