#pragma once

#include <QString>

// Backup labels for the default folders stowed while a world is switched in.
namespace GUIDStuff {

// A new random GUID in its registry form, upper case with braces, 38 characters:
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}". "" when no GUID could be made.
QString NewGuidString();

} // namespace GUIDStuff
