#pragma once

#include "app/Problem.h"
#include "creator/ScriptWriters.h"

#include <QString>
#include <optional>

class FileSystem;
class ProcessRunner;
class SettingsStore;

// The packaging action of the Creator panel without the panel: the panel hands over
// what it shows (gathered once), this module checks it once, writes the installer
// script, runs the compiler and says what came of it.
namespace Packaging {

struct Request {
    ScriptWriters::ScriptInput input; // without scriptPath: the folder is chosen here
    bool worldScript = true;          // the world script, else the tome script
    QString launcherFolder;           // first choice for kvii.nsi and output/
    QString dataFolder;               // the user's own folder, when that cannot be written
};

struct Outcome {
    std::optional<Problem> problem; // why no new installer was made
    bool dirLabelSaved = false;     // "lastDirLabel" now names the request's world
    bool ready = false;             // a new setup.exe was made
    QString installer = QString();  // its path
    QString folder = QString();     // the folder that holds it
    bool inDataFolder = false;      // made in the data folder: the launcher's cannot be written
};

// Why the request cannot be packaged: a name the compiler cannot read, in the script
// or among the packed files.
std::optional<Problem> Refusal(const Request& request, FileSystem& fileSystem);

// Writes kvii.nsi (the world or the tome script) into folder, replacing any earlier
// one, after the setting "lastDirLabel". Returns the refusal, if any.
std::optional<Problem> WriteScript(const Request& request, const QString& folder,
                                   FileSystem& fileSystem, SettingsStore& settings);

// The whole action: checked, the script written in the launcher's folder (else the
// user's data folder) with an output folder beside it, the compiler run there.
Outcome Package(const Request& request, FileSystem& fileSystem, SettingsStore& settings,
                ProcessRunner& runner);

} // namespace Packaging
