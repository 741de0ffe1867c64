#include "creator/ScriptWriters.h"

#include "app/FileSystem.h"
#include "app/SettingsStore.h"

#include <memory>

namespace ScriptWriters {

const QString kScriptName = QStringLiteral("kvii.nsi");

namespace {

const QString kInstallDirLine = QStringLiteral(
    "InstallDir \"C:\\Program Files\\Quillmark Games\\Stonebrook Games\\Korvath 2\"");
const QString kDirTextLine = QStringLiteral("DirText \"Installation Directory\" \"Please enter the "
                                            "location of your Korvath II directory:\"");
const QString kOutFileLine = QStringLiteral("OutFile \"output\\setup.exe\"");

// The compiler expands "${name}" (a define) and "$%name%" (an environment variable)
// anywhere on a line before it reads the line, even right after "$$". Writing the
// brace or the percent sign through the compiler's own character define keeps the
// pair apart, so the text arrives as it was.
QString escape(const QString& value, bool escapeDollar) {
    QString out;
    out.reserve(value.size() + 8);
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('"')) {
            out += QStringLiteral("$\\\"");
        } else if (c == QLatin1Char('$')) {
            out += escapeDollar ? QStringLiteral("$$") : QStringLiteral("$");
            const QChar next = i + 1 < value.size() ? value.at(i + 1) : QChar();
            if (next == QLatin1Char('{')) {
                out += QStringLiteral("${U+7B}");
                ++i;
            } else if (next == QLatin1Char('%')) {
                out += QStringLiteral("${U+25}");
                ++i;
            }
        } else {
            out += c;
        }
    }
    return out;
}

bool isControl(QChar c) {
    const QChar::Category category = c.category();
    return category == QChar::Other_Control || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph;
}

// The name as it can be shown in a label: control characters as replacement marks,
// and a long name cut short.
QString shown(const QString& name) {
    constexpr int kLongest = 40;
    QString out = name.size() > kLongest ? name.left(kLongest - 1) + QChar(0x2026) : name;
    for (QChar& c : out) {
        if (isControl(c))
            c = QChar(QChar::ReplacementCharacter);
    }
    return out;
}

QString refusal(const QString& what, const QString& name, const QString& why) {
    return QStringLiteral("Nothing was packaged: %1 \"%2\" %3.").arg(what, shown(name), why);
}

// Checks one value; pathPart says it becomes part of a folder path.
QString checkValue(const QString& what, const QString& value, bool pathPart, QChar separator) {
    for (const QChar c : value) {
        if (isControl(c))
            return refusal(what, value, QStringLiteral("holds a control character"));
    }
    // The compiler and the installer both read "\" as a folder separator, so a name
    // holding one would be split into folders that do not exist.
    if (pathPart && separator != QLatin1Char('\\') && value.contains(QLatin1Char('\\')))
        return refusal(
            what, value,
            QStringLiteral("holds a \"\\\", which the installer reads as a folder separator"));
    return QString();
}

QString checkCommon(const ScriptInput& input) {
    QString problem =
        checkValue(QStringLiteral("the game directory"), input.gameDir, true, input.separator);
    if (problem.isEmpty())
        problem = checkValue(QStringLiteral("the world label"), input.label, true, input.separator);
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

class Script {
public:
    Script(FileSystem& fileSystem, const QString& path)
        : m_writer(fileSystem.CreateTextFile(path, true, false)) {}

    void line(const QString& text) { m_writer->WriteLine(text); }
    void header(const QString& name) {
        line(QStringLiteral("Name \"%1\"").arg(name));
        line(QStringLiteral("Caption \"Setup for %1\"").arg(name));
        line(kOutFileLine);
        line(kInstallDirLine);
        line(kDirTextLine);
    }
    // sectionName and outPath are already escaped for the installer; file is the
    // File line's arguments.
    void section(const QString& sectionName, const QString& outPath, const QString& file) {
        line(QStringLiteral("Section \"%1\"").arg(sectionName));
        line(QStringLiteral("SetOutPath \"%1\"").arg(outPath));
        line(QStringLiteral("File %1").arg(file));
        line(QStringLiteral("SectionEnd"));
    }
    void close() { m_writer->Close(); }

private:
    std::unique_ptr<TextWriter> m_writer;
};

QString recursiveFiles(const QString& folder, QChar separator) {
    return QStringLiteral("/r \"%1\"").arg(sourcePath(folder + separator + QStringLiteral("*.*")));
}

void commonStart(const ScriptInput& input, SettingsStore& settings) {
    settings.SaveSetting(kSettingsSection, QStringLiteral("lastDirLabel"), input.label);
}

} // namespace

QString installerString(const QString& value) {
    return escape(value, true);
}

QString sourcePath(const QString& value) {
    return escape(value, false);
}

QString WorldScriptProblem(const ScriptInput& input) {
    QString problem =
        checkValue(QStringLiteral("the world name"), input.displayName, false, input.separator);
    if (problem.isEmpty())
        problem = checkCommon(input);
    // The description file is named in the last part of a source path, where the
    // compiler reads "*" and "?" as wildcards and would pack other files too.
    if (problem.isEmpty() &&
        (input.label.contains(QLatin1Char('*')) || input.label.contains(QLatin1Char('?'))))
        problem = refusal(QStringLiteral("the world label"), input.label,
                          QStringLiteral("holds \"*\" or \"?\", which the compiler reads as a "
                                         "wildcard"));
    return problem;
}

QString TomeScriptProblem(const ScriptInput& input) {
    QString problem = checkCommon(input);
    for (const QString& tome : input.tomes) {
        if (!problem.isEmpty())
            break;
        problem = checkValue(QStringLiteral("the tome name"), tome, true, input.separator);
    }
    return problem;
}

QString WriteWorldScript(const ScriptInput& input, FileSystem& fileSystem,
                         SettingsStore& settings) {
    const QString problem = WorldScriptProblem(input);
    if (!problem.isEmpty())
        return problem;
    const KVDirStuff::GameFolderTable& table = *input.folders;
    const QChar sep = input.separator;
    const QString& D = input.gameDir;
    const QString& L = input.label;

    commonStart(input, settings);
    Script script(fileSystem, input.scriptPath);
    script.header(installerString(input.displayName));
    for (size_t i = 0; i < table.relativePath.size(); ++i) {
        const QString& P = table.relativePath[i];
        const QString folder = L.isEmpty() ? D + P : D + P + QLatin1Char('_') + L;
        if (!fileSystem.FolderExists(folder))
            continue;
        const QString installed =
            L.isEmpty() ? installedPath(P, sep) : installedPath(P, sep) + QLatin1Char('_') + L;
        script.section(installerString(table.shortName[i]),
                       QStringLiteral("$INSTDIR\\") + installerString(installed),
                       recursiveFiles(fileSystem.resolveFolder(folder), sep));
    }
    if (!L.isEmpty()) {
        // Written always: the world's description file is what announces it.
        const QString iniPath = D + L + QStringLiteral(".ini");
        const QString onDisk = fileSystem.resolveFile(iniPath);
        script.section(
            QStringLiteral("The .ini File"), QStringLiteral("$INSTDIR"),
            QStringLiteral("\"%1\"").arg(sourcePath(onDisk.isEmpty() ? iniPath : onDisk)));
    }
    script.close();
    return QString();
}

QString WriteTomeScript(const ScriptInput& input, FileSystem& fileSystem, SettingsStore& settings) {
    const QString problem = TomeScriptProblem(input);
    if (!problem.isEmpty())
        return problem;
    const QChar sep = input.separator;
    const QString& D = input.gameDir;
    const QString& L = input.label;

    commonStart(input, settings);
    Script script(fileSystem, input.scriptPath);
    script.header(QStringLiteral("Korvath II Tome(s)"));
    for (const QString& tome : input.tomes)
        settings.SaveSetting(kTomeSection, tome, tome);

    // One form for the whole script: the world's own tomes folder when it lies
    // beside the default one, else the default tomes folder.
    const QString stowed = D + QStringLiteral("tomes_") + L;
    const bool stowedForm = !L.isEmpty() && fileSystem.FolderExists(stowed);
    const QString tomesFolder = stowedForm ? stowed : D + QStringLiteral("tomes");
    const QString installedFolder =
        stowedForm ? QStringLiteral("tomes_") + L : QStringLiteral("tomes");
    const QString tomesOnDisk = folderOnDisk(fileSystem, tomesFolder);
    for (const QString& tome : input.tomes) {
        const QString source = folderOnDisk(fileSystem, tomesOnDisk + sep + tome);
        script.section(installerString(tome),
                       QStringLiteral("$INSTDIR\\") +
                           installerString(installedFolder + QLatin1Char('\\') + tome),
                       recursiveFiles(source, sep));
    }
    script.close();
    return QString();
}

} // namespace ScriptWriters
