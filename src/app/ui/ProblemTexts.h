#pragma once

#include "app/Problem.h"

#include <QString>

// How the window words a problem: the one place for the sentences of the panels'
// labels and the paths and system's words of their tooltips.
namespace ProblemTexts {

// The label's text.
QString Text(const Problem& problem);
// The label's tooltip: the paths and the system's words behind the text.
QString Details(const Problem& problem);
// The tooltip of what still waits to be put back, as the panels say it at start-up
// and when a directory is chosen: the installation first where folders stay stowed.
QString NoticeDetails(const Problem& problem);

// A folder as a message names it: the home folder as "~", a long path shortened.
QString ShownFolder(const QString& path);

extern const QString kNoWorldsText; // no catalogue: no game directory

} // namespace ProblemTexts
