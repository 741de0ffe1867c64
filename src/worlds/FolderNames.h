#pragma once

#include <QString>

// The names a world gives an installation's content folders. A world with label L
// keeps its own version of content folder N beside the default one, as N_L. While
// the world is switched in, the default folder is stowed as N-B (B: the switch's
// backup label) and the version takes the name N. Everything that builds or reads
// such a name (switching, the switch records, the tome list, the installer scripts)
// does it here.
namespace FolderNames {

// A world label is a name a world file can have without ".ini": not empty, no
// separator, no control character, not "." or "..".
bool IsWorldLabel(const QString& label);
// A backup label is a GUID in braces, 38 characters (hexadecimal digits in either
// letter case).
bool IsBackupLabel(const QString& label);

// N: the last component of a table entry P ("/" between components).
QString FolderName(const QString& P);

// The version of a folder for world dirLabel: its name followed by "_" and the label.
// The version lies beside the folder, so given a path (in any separator) this is the
// version's path.
QString WorldVersion(const QString& folder, const QString& dirLabel);
// N_L: the name of entry P's version for world dirLabel.
QString VersionName(const QString& P, const QString& dirLabel);
// The world label that name carries as a version of the folder named N (N in any
// letter case), or "" when name is no version of it.
QString VersionLabel(const QString& name, const QString& N);

// N-B: the name under which the folder named N is stowed under backupLabel.
QString StowedName(const QString& N, const QString& backupLabel);
// The backup label under which name stows the folder named N (N in any letter case),
// or "" when name is not N, "-" and a backup label.
QString StowedLabel(const QString& name, const QString& N);

// The tomes folder, a table entry of its own: a world's tomes lie in its version
// (Tomes_L) when it has one, else in the default folder.
extern const QString kTomes; // "Tomes"
// The tomes folder as the installer scripts name it, in lower case, which names the
// same folder on the player's machine: "tomes_L" for a world's own (dirLabel L), or
// "tomes" for the default folder (dirLabel "").
QString InstalledTomes(const QString& dirLabel);

} // namespace FolderNames
