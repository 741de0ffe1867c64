#pragma once

#include <QLoggingCategory>

// Every failure the launcher meets is written to standard error through one
// category per subsystem, naming the path and the system's reason; a normal run
// writes nothing. QT_LOGGING_RULES selects categories ("korvath.worlds=false").
Q_DECLARE_LOGGING_CATEGORY(lcApp)     // korvath.app: settings, start-up, the window
Q_DECLARE_LOGGING_CATEGORY(lcGameDir) // korvath.gamedir: the directory panel, Autofind
Q_DECLARE_LOGGING_CATEGORY(lcWorlds)  // korvath.worlds: switching, launching programs
Q_DECLARE_LOGGING_CATEGORY(lcCreator) // korvath.creator: packaging, the compiler
