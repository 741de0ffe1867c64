#pragma once

#include "app/Problem.h"
#include "gamedir/KVDirStuff.h"

#include <QString>
#include <QStringList>
#include <optional>

class FileSystem;
class SettingsStore;

// The two installer scripts of the packaging action, written in the script language
// of the Nullsoft installer compiler. Everything here works on plain values; the
// window gathers them from its controls and the catalogue.
namespace ScriptWriters {

// The script's file name, in the launcher folder.
extern const QString kScriptName; // "kvii.nsi"

// What a writer needs. gameDir ends with separator; the folder table uses the same
// separator between components.
struct ScriptInput {
    QString gameDir;
    QChar separator = QLatin1Char('/');
    const KVDirStuff::GameFolderTable* folders = nullptr;
    QString label;       // the world's DirLabel, "" for the default world
    QString displayName; // the world's shown name (world script)
    QStringList tomes;   // the selected tomes, in list order (tome script)
    QString scriptPath;  // where kvii.nsi is written
};

// Text for a string the installer reads when it runs (Name, Caption, Section,
// SetOutPath), written so that the compiler hands the installer exactly value.
QString installerString(const QString& value);
// Text for a File source path, which the compiler reads itself (there "$" stands
// for itself), written so that the compiler opens exactly value.
QString sourcePath(const QString& value);

// Whether c is a character no name in a script may hold: a control character or a line
// or paragraph separator.
bool IsControlCharacter(QChar c);

// Why the script for this input cannot be written safely: a name the compiler cannot
// take (the world's name or label, the game directory, a tome's name). A refused
// input must get no script at all.
std::optional<Problem> WorldScriptProblem(const ScriptInput& input);
std::optional<Problem> TomeScriptProblem(const ScriptInput& input);

// Why the files that the script would pack cannot be packed: a file or folder below a
// packed folder whose name the compiler cannot take (not UTF-8, or holding a "\"
// where that is not the separator), a pipe or device, or a folder that cannot be read
// or holds no file. Names the first such entry, by its path (problem.gameDir: the
// folder it lies below).
std::optional<Problem> PackedContentProblem(const ScriptInput& input, FileSystem& fileSystem,
                                            bool worldScript);

// Write the setting "lastDirLabel", then kvii.nsi (replacing any earlier one).
// Each returns the refusal without writing anything when the input is refused.
// Failures of the file-system service or of the settings store are raised as their
// errors.
std::optional<Problem> WriteWorldScript(const ScriptInput& input, FileSystem& fileSystem,
                                        SettingsStore& settings);
std::optional<Problem> WriteTomeScript(const ScriptInput& input, FileSystem& fileSystem,
                                       SettingsStore& settings);

} // namespace ScriptWriters
