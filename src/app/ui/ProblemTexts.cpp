#include "app/ui/ProblemTexts.h"

#include "creator/ScriptWriters.h"
#include "gamedir/KVDirStuff.h"

#include <QDir>
#include <QStandardPaths>

#include <cerrno>

namespace ProblemTexts {

const QString kNoWorldsText = QStringLiteral(
    "No worlds are listed: choose the Korvath II directory on the Configuration tab.");

namespace {

using Kind = Problem::Kind;

bool renaming(const Problem& problem) {
    return problem.kind == Kind::FolderNotSwitchedIn || problem.kind == Kind::FolderNotPutBack;
}

bool listing(const Problem& problem) {
    return problem.kind == Kind::FolderNotRead || problem.kind == Kind::FolderNotLookedInto ||
           (renaming(problem) && problem.name.isEmpty());
}

// The folder a problem is about, as the player knows it.
QString subjectOf(const Problem& problem) {
    if (!problem.entry.isEmpty())
        return QLatin1Char('"') + problem.entry + QLatin1Char('"');
    QString relative = problem.path.mid(problem.gameDir.size());
    while (relative.endsWith(QLatin1Char('/')))
        relative.chop(1);
    if (!problem.path.startsWith(problem.gameDir) || relative.isEmpty())
        return QStringLiteral("the Korvath II directory");
    return QLatin1Char('"') + relative + QLatin1Char('"');
}

QString subjectWithMore(const Problem& problem) {
    if (problem.more == 0)
        return subjectOf(problem);
    return QStringLiteral("%1 and %2 more").arg(subjectOf(problem)).arg(problem.more);
}

// Why a folder or the record could not be dealt with, in words a player understands.
QString reasonOf(const Problem& problem) {
    const bool writing =
        problem.kind == Kind::RecordNotWritten || problem.kind == Kind::RecordNotRemoved;
    const bool unreadable = problem.kind == Kind::RecordUnreadable;
    switch (problem.systemError) {
    case EACCES:
    case EPERM:
        if (writing)
            return QStringLiteral("this user may not write there");
        if (listing(problem) || !renaming(problem))
            return QStringLiteral("this user may not read it");
        if (!problem.entry.contains(QLatin1Char('/')))
            return QStringLiteral("the Korvath II directory is not writable for this user");
        return QStringLiteral("its folder is not writable for this user");
    case EROFS:
        return QStringLiteral("the disk is read-only");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("the disk is full");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("it is in use");
    case EEXIST:
    case ENOTEMPTY:
        if (problem.kind == Kind::RecordNotWritten)
            return QStringLiteral("another launcher has just started a program there");
        if (renaming(problem) || listing(problem))
            return QStringLiteral("\"%1\" is in the way").arg(problem.name);
        break;
    case ENOENT:
        return QStringLiteral("it has gone missing");
    case EINVAL:
        if (unreadable)
            return QStringLiteral("it is not a regular file");
        break;
    case 0:
        if (unreadable)
            return QStringLiteral("it is damaged");
        return listing(problem) ? QStringLiteral("it could not be read")
                                : QStringLiteral("a name is taken, or it is locked");
    default:
        break;
    }
    return Problem::ReasonOf(problem.systemError);
}

// The switching's problems: the folders of a world switched in or put back.
QString switchText(const Problem& problem) {
    switch (problem.kind) {
    case Kind::FolderNotSwitchedIn:
        return QStringLiteral("Not started: %1 could not be moved (%2).")
            .arg(subjectWithMore(problem), reasonOf(problem));
    case Kind::FolderNotRead:
        return QStringLiteral("Not started: %1 could not be read (%2).")
            .arg(subjectOf(problem), reasonOf(problem));
    case Kind::AmbiguousNames:
        return QStringLiteral("Not started: names that differ only in letter case make %1 "
                              "unclear. Rename them, then click Launch again.")
            .arg(subjectWithMore(problem));
    case Kind::RecordNotWritten:
        return QStringLiteral("Not started: the launcher could not write its record in the "
                              "Korvath II directory (%1).")
            .arg(reasonOf(problem));
    case Kind::FolderNotPutBack:
        return QStringLiteral("Could not restore %1 (%2). Fix that, then click Launch again.")
            .arg(subjectWithMore(problem), reasonOf(problem));
    case Kind::FolderNotLookedInto:
        return QStringLiteral("Could not look into %1 (%2). Fix that, then click Launch again.")
            .arg(subjectOf(problem), reasonOf(problem));
    case Kind::RecordUnreadable:
        if (problem.more == 0)
            return QStringLiteral("The launcher's record cannot be read (%1). Remove it from the "
                                  "Korvath II directory, then click Launch again.")
                .arg(reasonOf(problem));
        return QStringLiteral("The launcher's record cannot be read (%1), and %2 folders are "
                              "stored away. Put them back, then click Launch again.")
            .arg(reasonOf(problem))
            .arg(problem.more);
    case Kind::RecordNotRemoved:
        return QStringLiteral("The launcher's record could not be removed from the Korvath II "
                              "directory (%1). Fix that, then click Launch again.")
            .arg(reasonOf(problem));
    case Kind::NotSynced:
        return QStringLiteral("Could not make sure that the folders are back on the disk (%1). "
                              "Fix that, then click Launch again.")
            .arg(reasonOf(problem));
    case Kind::UnknownStowed:
        return QStringLiteral("A launch that the launcher has no record of stored away %1. "
                              "Put that back by hand, then click Launch again.")
            .arg(subjectWithMore(problem));
    default:
        return QString();
    }
}

// Why a launch waits or started nothing; else the switching's problem.
QString launchText(const Problem& problem) {
    const QString program = problem.path.mid(problem.path.lastIndexOf(QLatin1Char('/')) + 1);
    switch (problem.kind) {
    case Kind::SettingsNotSaved:
        return problem.reason;
    case Kind::HeldByProgram:
        return QStringLiteral("Korvath II is running from this directory, started by another "
                              "launcher. Click Launch again once it has ended.");
    case Kind::EarlierRunRunning:
        return QStringLiteral("Korvath II is still running from an earlier launch. The launcher "
                              "will be ready as soon as it ends.");
    case Kind::SwitchUnreachable: {
        // The directory in full where the label has room for it.
        QString shown = KVDirStuff::NormalisePath(problem.path);
        if (shown.size() > 40)
            shown = KVDirStuff::ShortenPath(problem.path);
        if (problem.more == 0)
            return QStringLiteral("A world is still switched in at \"%1\". It will be put back "
                                  "when that directory can be reached.")
                .arg(shown);
        return QStringLiteral("Worlds are still switched in at \"%1\" and %2 more. They will be "
                              "put back when those directories can be reached.")
            .arg(shown)
            .arg(problem.more);
    }
    case Kind::ProgramNotFound:
        return QStringLiteral("\"%1\" was not found in the Korvath II directory, so nothing "
                              "was started.")
            .arg(program);
    case Kind::ProgramNeedsWine:
        // The label holds two lines: a long WINE is shown by its last name, whole in the
        // tooltip.
        if (!problem.name.isEmpty())
            return QStringLiteral("\"%1\" is a Windows program, and WINE names no program to run "
                                  "it with (\"%2\"). Correct WINE, then click Launch again.")
                .arg(program, problem.name.size() <= 12
                                  ? problem.name
                                  : QChar(0x2026) +
                                        problem.name.mid(problem.name.lastIndexOf(QLatin1Char('/')))
                                            .right(11));
        return QStringLiteral("\"%1\" is a Windows program. Install Wine to run it, then click "
                              "Launch again.")
            .arg(program);
    case Kind::ProgramNotStartable:
        return QStringLiteral("Could not start \"%1\" (%2).")
            .arg(problem.path, problem.reason.isEmpty()
                                   ? QStringLiteral("the system gave no reason")
                                   : problem.reason);
    default:
        return switchText(problem);
    }
}

// A name as it can be shown in a label: control characters as replacement marks, and
// a long name cut short (a path keeps its end, where the file's own name is). A name
// may have no space to break the line at, and the label holds two lines.
QString shown(const QString& name, bool path) {
    constexpr int kLongest = 30;
    QString out = name;
    if (out.size() > kLongest)
        out =
            path ? QChar(0x2026) + out.right(kLongest - 1) : out.left(kLongest - 1) + QChar(0x2026);
    for (QChar& c : out) {
        if (ScriptWriters::IsControlCharacter(c))
            c = QChar(QChar::ReplacementCharacter);
    }
    return out;
}

// "Nothing was packaged: the world name "X" holds a control character."
QString refusal(const Problem& problem, const QString& pathWhat, const QString& why) {
    static const QString kNamed[] = {
        QString(), QStringLiteral("the world name"), QStringLiteral("the world label"),
        QStringLiteral("the game directory"), QStringLiteral("the tome name")};
    const bool isPath = problem.named == Problem::Named::Path;
    QString name = problem.path;
    if (isPath && name.startsWith(problem.gameDir))
        name = name.mid(problem.gameDir.size());
    return QStringLiteral("Nothing was packaged: %1 \"%2\" %3.")
        .arg(isPath ? pathWhat : kNamed[int(problem.named)], shown(name, isPath), why);
}

// Why nothing was packaged; else a launch's problem.
QString packagingText(const Problem& problem) {
    switch (problem.kind) {
    case Kind::NameHoldsControl:
        return refusal(problem, QStringLiteral("the name"),
                       QStringLiteral("holds a control character"));
    case Kind::NameHoldsBackslash:
        return refusal(problem, QStringLiteral("the name"),
                       QStringLiteral("holds a \"\\\", which the installer reads as a folder "
                                      "separator"));
    case Kind::NameEndsInDollarBackslash:
        return refusal(problem, QStringLiteral("the name"),
                       QStringLiteral("ends in \"$\\\", which the installer compiler cannot read"));
    case Kind::NameHoldsWildcard:
        return refusal(problem, QStringLiteral("the name"),
                       QStringLiteral("holds \"*\" or \"?\", which the compiler reads as a "
                                      "wildcard"));
    case Kind::NameNotUtf8:
        return refusal(problem, QStringLiteral("the name of"),
                       QStringLiteral("is not UTF-8, which the installer compiler cannot read"));
    case Kind::FileNotPackable:
        // The compiler would wait forever on a pipe, and read a device without end.
        return refusal(problem, QStringLiteral("the file"),
                       QStringLiteral("is a pipe, socket or device, which the installer compiler "
                                      "cannot pack"));
    case Kind::FolderUnpackable:
        return refusal(problem, QStringLiteral("the folder"), QStringLiteral("cannot be read"));
    case Kind::FolderEmpty:
        return refusal(problem, QStringLiteral("the folder"),
                       QStringLiteral("holds no file, and the installer compiler refuses an "
                                      "empty folder"));
    case Kind::ScriptNotWritten:
        if (problem.path.isEmpty())
            return QStringLiteral("Nothing was packaged: the installer script could not be "
                                  "written in the launcher's folder.");
        return QStringLiteral("Nothing was packaged: the installer script could not be written "
                              "in the launcher's folder or in %1.")
            .arg(ShownFolder(problem.path));
    case Kind::CompilerNotFound:
        return QStringLiteral("The script kvii.nsi is written, but no installer compiler "
                              "(makensis) was found beside the launcher or on the PATH.");
    case Kind::CompilerNeedsWine:
        return QStringLiteral("The installer compiler makensis.exe is a Windows program. "
                              "Install Wine to run it, then click Launch again.");
    case Kind::CompilerNotStartable:
        return QStringLiteral("The installer compiler could not be started, so no installer was "
                              "made.");
    case Kind::CompilerFailed:
        return QStringLiteral("The installer compiler stopped with errors (exit code %1); no new "
                              "installer was made.")
            .arg(problem.exitCode);
    case Kind::CompilerCrashed:
        return QStringLiteral("The installer compiler crashed (exit code %1); no new installer "
                              "was made.")
            .arg(problem.exitCode);
    case Kind::NoInstallerMade:
        return QStringLiteral("The installer compiler made no setup.exe, so no installer was "
                              "made.");
    default:
        return launchText(problem);
    }
}

} // namespace

QString Text(const Problem& problem) {
    switch (problem.kind) {
    case Kind::MenuEntryNotAdded:
    case Kind::MenuEntryNotRemoved: {
        // A file of someone else's at the entry's place is never touched.
        const QString reason = problem.systemError == EEXIST || problem.systemError == 0
                                   ? QStringLiteral("another file is in its place")
                               : problem.reason.isEmpty() ? Problem::ReasonOf(problem.systemError)
                                                          : problem.reason;
        return (problem.kind == Kind::MenuEntryNotAdded
                    ? QStringLiteral("\"%1\" could not be added to the applications menu (%2).")
                    : QStringLiteral("\"%1\" could not be removed from the applications menu "
                                     "(%2)."))
            .arg(problem.name, reason);
    }
    default:
        return packagingText(problem);
    }
}

QString Details(const Problem& problem) {
    QStringList lines = problem.details;
    switch (problem.kind) {
    case Kind::FolderNotPutBack:
    case Kind::UnknownStowed:
        lines << QStringLiteral("Still stored away:");
        break;
    case Kind::CompilerFailed:
    case Kind::CompilerCrashed:
    case Kind::NoInstallerMade:
        // What the compiler's report says went wrong, then where the whole report lies.
        if (problem.path.isEmpty())
            return QString();
        lines << QStringLiteral("The compiler's report: %1").arg(problem.path);
        break;
    default:
        break;
    }
    return (lines + problem.folders).join(QLatin1Char('\n'));
}

QString NoticeDetails(const Problem& problem) {
    if (!problem.whilePuttingBack())
        return Details(problem);
    return problem.gameDir + QLatin1Char('\n') + Details(problem);
}

QString ShownFolder(const QString& path) {
    const QChar separator = QDir::separator();
    const QString home =
        QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::HomeLocation));
    QString shownPath = path;
    if (!home.isEmpty() && path.startsWith(home + separator))
        shownPath = QLatin1Char('~') + path.mid(home.size());
    if (shownPath.size() <= 70)
        return shownPath;
    const int last = shownPath.lastIndexOf(separator);
    return KVDirStuff::ShortenPath(shownPath.left(last), separator) + shownPath.mid(last);
}

} // namespace ProblemTexts
