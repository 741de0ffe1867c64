#include "creator/ScriptWriters.h"

#include "app/FileSystem.h"
#include "app/SettingsStore.h"
#include "worlds/FolderNames.h"
#include "worlds/FolderSwitching.h"

#include <QPair>
#include <QSet>
#include <memory>

namespace ScriptWriters {

const QString kScriptName = QStringLiteral("kvii.nsi");

namespace {

const QString kInstallDirLine = QStringLiteral(
    "InstallDir \"C:\\Program Files\\Quillmark Games\\Stonebrook Games\\Korvath 2\"");
const QString kDirTextLine = QStringLiteral("DirText \"Installation Directory\" \"Please enter the "
                                            "location of your Korvath II directory:\"");
const QString kOutFileLine = QStringLiteral("OutFile \"output\\setup.exe\"");

// How the compiler reads a quoted text (measured with makensis 3.08):
// 1. "$\" and a quote character stand for that quote; "$\t", "$\n" and "$\r" for a
//    tab, line feed and carriage return. This pass knows nothing of "$$": the "$$"
//    and "\t" that a plain escape of "$" gives "Gold$\treasure" read as "$" and a tab.
// 2. Then "${name}" (a define) and "$%name%" (an environment variable) are replaced,
//    also right after "$$". What they put in is not read again, except that "$\"
//    and a quote character once more make an escaped quote: so no text can end in
//    "$\" (its "\" would take the closing quote), and such a name is refused.
// 3. Last, in a text for the installer "$$" stands for "$" and any other "$" starts
//    a variable; in a File source path "$" stands for itself.
// So a quote is written "$\"", and a "$" before "{", "%" or "\" as "$$" ("$" in a
// source path) followed by the brace, percent sign or backslash as a character
// define ("${U+7B}"), which pass 1 cannot see. A quote after such a backslash is
// written as its escape, which pass 1 has already read when pass 2 looks again.
QString escape(const QString& value, bool forInstaller) {
    const QString dollar = forInstaller ? QStringLiteral("$$") : QStringLiteral("$");
    QString out;
    out.reserve(value.size() + 8);
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        const QChar next = i + 1 < value.size() ? value.at(i + 1) : QChar();
        if (c == QLatin1Char('"')) {
            out += QStringLiteral("$\\\"");
        } else if (c != QLatin1Char('$')) {
            out += c;
        } else if (next == QLatin1Char('{')) {
            out += dollar + QStringLiteral("${U+7B}");
            ++i;
        } else if (next == QLatin1Char('%')) {
            out += dollar + QStringLiteral("${U+25}");
            ++i;
        } else if (next == QLatin1Char('\\')) {
            out += dollar + QStringLiteral("${U+5C}");
            ++i;
            const QChar quote = i + 1 < value.size() ? value.at(i + 1) : QChar();
            if (quote == QLatin1Char('"') || quote == QLatin1Char('\'') ||
                quote == QLatin1Char('`')) {
                out += QStringLiteral("$\\") + quote;
                ++i;
            }
        } else {
            out += dollar;
        }
    }
    return out;
}

bool endsInDollarBackslash(const QString& value) {
    return value.endsWith(QLatin1String("$\\"));
}

// The compiler reads a section whose title starts with "un." or is "Uninstall" (in
// any letter case) as part of an uninstaller and drops its files; "-" and "!" hide
// the title or set it in bold. A leading space makes any of them a plain title.
QString sectionTitle(const QString& name) {
    const bool special = name.startsWith(QLatin1Char('-')) || name.startsWith(QLatin1Char('!')) ||
                         name.startsWith(QLatin1String("un."), Qt::CaseInsensitive) ||
                         name.compare(QLatin1String("uninstall"), Qt::CaseInsensitive) == 0;
    return installerString(special ? QLatin1Char(' ') + name : name);
}

// A refusal of the name (what it names: named) or of the file or folder at path below
// gameDir.
Problem refusal(Problem::Kind kind, const QString& name,
                Problem::Named named = Problem::Named::Path, const QString& gameDir = QString()) {
    Problem problem{kind, name};
    problem.named = named;
    problem.gameDir = gameDir;
    return problem;
}

// Checks one value; pathPart says it becomes part of a folder path.
std::optional<Problem> checkValue(Problem::Named named, const QString& value, bool pathPart,
                                  QChar separator) {
    for (const QChar c : value) {
        if (IsControlCharacter(c))
            return refusal(Problem::Kind::NameHoldsControl, value, named);
    }
    // The compiler and the installer both read "\" as a folder separator, so a name
    // holding one would be split into folders that do not exist.
    if (pathPart && separator != QLatin1Char('\\') && value.contains(QLatin1Char('\\')))
        return refusal(Problem::Kind::NameHoldsBackslash, value, named);
    if (!pathPart && endsInDollarBackslash(value))
        return refusal(Problem::Kind::NameEndsInDollarBackslash, value, named);
    return std::nullopt;
}

std::optional<Problem> checkCommon(const ScriptInput& input) {
    std::optional<Problem> problem =
        checkValue(Problem::Named::GameDirectory, input.gameDir, true, input.separator);
    if (!problem)
        problem = checkValue(Problem::Named::WorldLabel, input.label, true, input.separator);
    return problem;
}

// The path as it is on disk when the folder exists, else as given.
QString folderOnDisk(FileSystem& fileSystem, const QString& path) {
    return fileSystem.FolderExists(path) ? fileSystem.resolveFolder(path) : path;
}

// A path of the game's table as the installer writes it on the player's machine.
QString installedPath(const QString& relativePath, QChar separator) {
    QString path = relativePath;
    path.replace(separator, QLatin1Char('\\'));
    return path;
}

// One section of a script, in plain text: its title, the folder below $INSTDIR it
// installs to ("\" between components, "" for $INSTDIR itself), and what it packs:
// all files below a folder, or one file.
struct Section {
    QString title;
    QString installed;
    QString source;
    bool wholeFolder = true;
};

QList<Section> worldSections(const ScriptInput& input, FileSystem& fileSystem) {
    const KVDirStuff::GameFolderTable& table = *input.folders;
    const QString& D = input.gameDir;
    const QString& L = input.label;
    QList<Section> sections;
    // The world's own versions, by the rule that switches them in.
    const FolderSwitching::Look look =
        L.isEmpty() ? FolderSwitching::Look() : FolderSwitching::LookAt(fileSystem, D, table);
    for (size_t i = 0; i < table.relativePath.size(); ++i) {
        const QString& P = table.relativePath[i];
        const QString folder = L.isEmpty() ? D + P : FolderSwitching::WorldFolder(look, P, L);
        if (folder.isEmpty() || !fileSystem.FolderExists(folder))
            continue;
        const QString installed = installedPath(P, input.separator);
        sections.append({table.shortName[i],
                         L.isEmpty() ? installed : FolderNames::WorldVersion(installed, L),
                         fileSystem.resolveFolder(folder)});
    }
    if (!L.isEmpty()) {
        // Written always: the world's description file is what announces it.
        const QString iniPath = D + L + QStringLiteral(".ini");
        const QString onDisk = fileSystem.resolveFile(iniPath);
        sections.append({QStringLiteral("The .ini File"), QString(),
                         onDisk.isEmpty() ? iniPath : onDisk, false});
    }
    return sections;
}

QList<Section> tomeSections(const ScriptInput& input, FileSystem& fileSystem) {
    const QString& D = input.gameDir;
    const QString& L = input.label;
    // One form for the whole script, from the folder the tome list shows: the world's
    // own tomes folder when it lies beside the default one, else the default one.
    const FolderSwitching::TomesFolder tomes = FolderSwitching::TomesOf(fileSystem, D, L);
    const QString installedFolder = FolderNames::InstalledTomes(tomes.worldsOwn ? L : QString());
    const QString tomesOnDisk = tomes.path.isEmpty() ? D + installedFolder : tomes.path;
    QList<Section> sections;
    for (const QString& tome : input.tomes)
        sections.append({tome, installedFolder + QLatin1Char('\\') + tome,
                         folderOnDisk(fileSystem, tomesOnDisk + input.separator + tome)});
    return sections;
}

class Script {
public:
    Script(FileSystem& fileSystem, const QString& path)
        : m_writer(fileSystem.CreateTextFile(path, true, false)) {}

    void line(const QString& text) { m_writer->WriteLine(text); }
    void header(const QString& name) {
        line(QStringLiteral("Name \"%1\"").arg(installerString(name)));
        line(QStringLiteral("Caption \"%1\"")
                 .arg(installerString(QStringLiteral("Setup for ") + name)));
        line(kOutFileLine);
        line(kInstallDirLine);
        line(kDirTextLine);
    }
    void section(const Section& section, QChar separator) {
        line(QStringLiteral("Section \"%1\"").arg(sectionTitle(section.title)));
        QString outPath = QStringLiteral("$INSTDIR");
        if (!section.installed.isEmpty())
            outPath += QLatin1Char('\\') + installerString(section.installed);
        line(QStringLiteral("SetOutPath \"%1\"").arg(outPath));
        if (section.wholeFolder)
            line(QStringLiteral("File /r \"%1\"")
                     .arg(sourcePath(section.source + separator + QStringLiteral("*.*"))));
        else
            line(QStringLiteral("File \"%1\"").arg(sourcePath(section.source)));
        line(QStringLiteral("SectionEnd"));
    }
    void close() { m_writer->Close(); }

private:
    std::unique_ptr<TextWriter> m_writer;
};

void commonStart(const ScriptInput& input, SettingsStore& settings) {
    settings.SaveSetting(kSettingsSection, kLastDirLabelKey, input.label);
}

// The first entry below folder whose name the compiler cannot take, as a refusal;
// none when there is none. The compiler also refuses a folder without a single file
// below it. Each folder is walked once, so a link that leads back up ends the walk
// there.
std::optional<Problem> firstUnpackableEntry(FileSystem& fileSystem, const ScriptInput& input,
                                            const QString& folder,
                                            QSet<QPair<quint64, quint64>>& seen) {
    const QChar sep = input.separator;
    const auto refused = [&input](Problem::Kind kind, const QString& path) {
        return refusal(kind, path, Problem::Named::Path, input.gameDir);
    };
    bool packsAFile = false;
    QStringList pending{folder};
    while (!pending.isEmpty()) {
        const QString path = pending.takeFirst();
        FolderListing listing;
        try {
            listing = fileSystem.listFolder(path);
        } catch (const FileSystemError&) {
            return refused(Problem::Kind::FolderUnpackable, path);
        }
        const QPair<quint64, quint64> id(listing.id.device, listing.id.inode);
        // A folder walked before (through a link or another section) has been
        // checked; whether it holds files is not known here.
        const bool walked = listing.id.isKnown() && seen.contains(id);
        packsAFile = packsAFile || walked || !listing.files.isEmpty();
        if (walked)
            continue;
        seen.insert(id);
        if (!listing.leftOut.isEmpty())
            return refused(Problem::Kind::NameNotUtf8, path + sep + listing.leftOut.first());
        if (!listing.notRegular.isEmpty())
            return refused(Problem::Kind::FileNotPackable, path + sep + listing.notRegular.first());
        QStringList names = listing.files;
        for (const FolderListing::SubFolder& sub : listing.subFolders)
            names.append(sub.name);
        if (sep != QLatin1Char('\\')) {
            for (const QString& name : names) {
                if (name.contains(QLatin1Char('\\')))
                    return refused(Problem::Kind::NameHoldsBackslash, path + sep + name);
            }
        }
        for (int i = listing.subFolders.size() - 1; i >= 0; --i)
            pending.prepend(path + sep + listing.subFolders[i].name);
    }
    if (!packsAFile)
        return refused(Problem::Kind::FolderEmpty, folder);
    return std::nullopt;
}

} // namespace

bool IsControlCharacter(QChar c) {
    const QChar::Category category = c.category();
    return category == QChar::Other_Control || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph;
}

QString installerString(const QString& value) {
    return escape(value, true);
}

QString sourcePath(const QString& value) {
    return escape(value, false);
}

std::optional<Problem> WorldScriptProblem(const ScriptInput& input) {
    std::optional<Problem> problem =
        checkValue(Problem::Named::WorldName, input.displayName, false, input.separator);
    if (!problem)
        problem = checkCommon(input);
    // The description file is named in the last part of a source path, where the
    // compiler reads "*" and "?" as wildcards and would pack other files too.
    if (!problem &&
        (input.label.contains(QLatin1Char('*')) || input.label.contains(QLatin1Char('?'))))
        problem =
            refusal(Problem::Kind::NameHoldsWildcard, input.label, Problem::Named::WorldLabel);
    return problem;
}

std::optional<Problem> TomeScriptProblem(const ScriptInput& input) {
    std::optional<Problem> problem = checkCommon(input);
    for (const QString& tome : input.tomes) {
        if (problem)
            break;
        problem = checkValue(Problem::Named::TomeName, tome, true, input.separator);
    }
    return problem;
}

std::optional<Problem> PackedContentProblem(const ScriptInput& input, FileSystem& fileSystem,
                                            bool worldScript) {
    QSet<QPair<quint64, quint64>> seen;
    const QList<Section> sections =
        worldScript ? worldSections(input, fileSystem) : tomeSections(input, fileSystem);
    for (const Section& section : sections) {
        if (!section.wholeFolder) {
            // The world's description file. Where its folder cannot be listed, the
            // compiler will say that it found no file.
            const int cut = section.source.lastIndexOf(input.separator) + 1;
            FolderListing listing;
            try {
                listing = fileSystem.listFolder(section.source.left(cut));
            } catch (const FileSystemError&) {
            }
            if (listing.notRegular.contains(section.source.mid(cut)))
                return refusal(Problem::Kind::FileNotPackable, section.source, Problem::Named::Path,
                               section.source.left(cut));
            continue;
        }
        if (std::optional<Problem> problem =
                firstUnpackableEntry(fileSystem, input, section.source, seen))
            return problem;
    }
    return std::nullopt;
}

std::optional<Problem> WriteWorldScript(const ScriptInput& input, FileSystem& fileSystem,
                                        SettingsStore& settings) {
    if (std::optional<Problem> problem = WorldScriptProblem(input))
        return problem;
    commonStart(input, settings);
    Script script(fileSystem, input.scriptPath);
    script.header(input.displayName);
    for (const Section& section : worldSections(input, fileSystem))
        script.section(section, input.separator);
    script.close();
    return std::nullopt;
}

std::optional<Problem> WriteTomeScript(const ScriptInput& input, FileSystem& fileSystem,
                                       SettingsStore& settings) {
    if (std::optional<Problem> problem = TomeScriptProblem(input))
        return problem;
    commonStart(input, settings);
    Script script(fileSystem, input.scriptPath);
    script.header(QStringLiteral("Korvath II Tome(s)"));
    for (const QString& tome : input.tomes)
        settings.SaveSetting(kTomeSection, tome, tome);
    for (const Section& section : tomeSections(input, fileSystem))
        script.section(section, input.separator);
    script.close();
    return std::nullopt;
}

} // namespace ScriptWriters
