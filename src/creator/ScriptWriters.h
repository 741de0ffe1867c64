#pragma once

#include "gamedir/KVDirStuff.h"

#include <QString>
#include <QStringList>

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
// SetOutPath): "$" and '"' are escaped, and the compiler's own expansions of "${...}"
// and "$%...%" are kept from firing.
QString installerString(const QString& value);
// Text for a File source path, which the compiler reads itself: '"' escaped, "$"
// left as it is, and "${...}" / "$%...%" kept from expanding.
QString sourcePath(const QString& value);

// Why the script for this input cannot be written safely, or "" when it can. A
// refused input must get no script at all.
QString WorldScriptProblem(const ScriptInput& input);
QString TomeScriptProblem(const ScriptInput& input);

// Write the setting "lastDirLabel", then kvii.nsi (replacing any earlier one).
// Each returns the refusal text without writing anything when the input is
// refused, else "". Failures of the file-system service or of the settings store
// are raised as their errors.
QString WriteWorldScript(const ScriptInput& input, FileSystem& fileSystem, SettingsStore& settings);
QString WriteTomeScript(const ScriptInput& input, FileSystem& fileSystem, SettingsStore& settings);

} // namespace ScriptWriters
