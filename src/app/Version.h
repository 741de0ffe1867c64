#pragma once

#include <QString>

// The launcher's version, from the project (shown by --version, the About tab's
// credits and the package).
inline const QString kApplicationVersion = QStringLiteral(KV_VERSION);
