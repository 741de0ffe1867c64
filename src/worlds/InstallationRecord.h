#pragma once

#include "gamedir/KVDirStuff.h"
#include "platform/Processes.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <optional>

// The record a launcher keeps in the game directory itself while a world is
// switched in there or a program runs from there: one hidden file, the same for
// every launcher whatever settings home it uses or however it spells the path. It
// says which world is switched in and under which backup label the default folders
// are stowed, and it holds the installation: while the launcher that wrote it or
// the program it started still runs, no other launcher renames anything there. It
// goes once every folder is back in its place.
namespace InstallationRecord {

extern const QString kFileName; // ".korvath2-launcher"

struct Record {
    QString dirLabel;    // "" for the default world, which switches nothing
    QString backupLabel; // a GUID in braces
    // Table entries whose world version has a name other than N_L (it differs in
    // letter case): the name it goes back to.
    QMap<QString, QString> versionNames;
    Processes::ProcessStamp launcher; // the launcher that wrote the record
    Processes::ProcessStamp game;     // the program it started (pid 0 before)
};

QByteArray Encode(const Record& record);
// The record in content; nullopt when content is not a record, or when a label or
// a folder name in it fails its check (such a record is never used to rename).
std::optional<Record> Decode(const QByteArray& content, const KVDirStuff::GameFolderTable& table);

// Whether another launcher, or a program one started, still runs from the record's
// installation. A record of this very launcher holds nothing against it.
bool IsHeld(const Record& record);

// The record's path in a game directory (ending with the separator).
QString PathIn(const QString& gameDir);

} // namespace InstallationRecord
