#pragma once

#include <QString>
#include <QStringList>

class FileSystemError;

// Something the launcher was asked to do and did not do, for a reason the player can
// mend: what happened (kind), to what (path), the system's reason and the paths and
// words behind it. The core returns problems for such expected refusals (a folder that
// cannot be renamed, a name the installer compiler cannot take, ...) and throws
// LauncherError only when a service fails. It never words them: each front end does,
// in one place (the window's ProblemTexts, the command line's sentences).
struct Problem {
    enum class Kind {
        // Switching a world in for a launch: nothing was started.
        FolderNotSwitchedIn, // path: the folder to be renamed; entry, name (its new one), more
        FolderNotRead,       // path: a folder of the installation that could not be listed
        AmbiguousNames,      // path: the first of the folders; folders: all of them; more
        RecordNotWritten,    // path: the installation's record
        SettingsNotSaved,    // reason: the settings store's own words
        // Putting a world's folders back, after a launch or one cut short earlier.
        FolderNotPutBack,    // path: the folder to be renamed; entry, name, more
        FolderNotLookedInto, // path: a folder that could not be listed
        RecordUnreadable,    // path: the installation's record; more: the folders stowed
        RecordNotRemoved,    // path: the installation's record
        NotSynced,           // path: the folder whose renames could not be synced
        UnknownStowed,       // path: the first folder stowed by a switch no record tells of
        // Why a launch waits.
        HeldByProgram,     // path: the game directory another launcher's program runs from
        EarlierRunRunning, // a program an earlier run of this launcher started still runs
        SwitchUnreachable, // path: a game directory a switch is still in place at; more
        // Starting the game or the editor.
        ProgramNotFound,     // path: the program
        ProgramNeedsWine,    // path: the program; name: what $WINE names ("" when unset)
        ProgramNotStartable, // path: the program; reason
        // Packaging: a name the installer compiler cannot take (path: the name, see named).
        NameHoldsControl,
        NameHoldsBackslash,
        NameEndsInDollarBackslash,
        NameHoldsWildcard,
        NameNotUtf8,
        // Packaging: what would be packed (path: a file or folder below the game directory).
        FileNotPackable,   // a pipe, socket or device
        FolderUnpackable,  // a folder that cannot be read
        FolderEmpty,       // a folder without a single file below it
        ScriptNotWritten,  // path: the user's data folder tried too, "" for none
        CompilerNotFound,  // path: the script, which was written
        CompilerNeedsWine, // path: the compiler
        CompilerNotStartable,
        CompilerFailed,  // exitCode; path: its report ("" when unreadable); details: its errors
        CompilerCrashed, // the same
        NoInstallerMade, // the same, after exit code 0
        // The desktop's applications menu (path: the entry; name: the world's name).
        MenuEntryNotAdded,
        MenuEntryNotRemoved,
    };
    static constexpr int kKinds = int(Kind::MenuEntryNotRemoved) + 1;
    // What path holds, where it is a name rather than a file's or folder's path.
    enum class Named { Path, WorldName, WorldLabel, GameDirectory, TomeName };

    explicit Problem(Kind kind, const QString& path = QString(), const QString& reason = QString())
        : kind(kind), path(path), reason(reason) {}

    Kind kind;
    QString path;        // the folder, file or program it happened to
    QString reason;      // the system's own words, "" when it gave none
    int systemError = 0; // the system's error number (errno), 0 when unknown
    QStringList details; // the paths and the system's words behind it
    QStringList folders; // the folders in the same plight (stowed, or named alike)
    // The few facts a sentence needs besides.
    QString gameDir; // the installation, ending with the separator
    QString entry;   // the game folder table's entry (a relative path), "" for none
    QString name;    // see the kind
    int more = 0;    // further folders or directories in the same plight
    int exitCode = 0;
    Named named = Named::Path;

    // A call of the file-system service that failed: its error number, words and message.
    static Problem Of(Kind kind, const QString& path, const FileSystemError& error);
    // The system's words for an error number, lower-cased ("permission denied").
    static QString ReasonOf(int systemError);
    // Whether it happened while putting a world's folders back: what is left switched
    // in is put back once the cause is mended.
    bool whilePuttingBack() const;
};
