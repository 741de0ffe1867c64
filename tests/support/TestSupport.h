#pragma once

#include "app/LocalFileSystem.h"
#include "app/SettingsStore.h"
#include "app/ui/Form1.h"
#include "worlds/LaunchStuff.h"

#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class QLabel;
class TabControl;

namespace TestSupport {

// Texts of the directory panel, exactly as the window shows them.
extern const QString kNotAnInstallation; // the invalid state's warning
extern const QString kNothingFound;      // after a search that found nothing or was stopped
extern const QString kSearching;         // while a search runs

// Makes entries below root: a name ending in "/" is a folder, any other a small file
// (its folders made as needed). False when one of them cannot be made.
bool makeTree(const QString& root, const QStringList& entries);

// Where a text would run out of its label's fixed box, wrapped at words, as a
// message naming the label; "" when it fits.
QString labelOverflow(QLabel* label, const QString& text);

// Selects a tab of the tab control by a click, as the user does.
void clickTab(TabControl* tabs, int index);

// Root ignores file permissions; a player does not. When this test program runs as
// root, runsUnprivileged() runs the current test function (and data row) again in a
// child of this program under an unprivileged user id (through setpriv), checks
// that it passed, and returns false: the caller then returns at once. Otherwise it
// returns true and the caller goes on as it is. The child's temp folders lie in the
// system's temp folder, where that user may write; HOME points at one of them.
// Usage: if (!TestSupport::runsUnprivileged()) return;
bool runsUnprivileged();
constexpr unsigned kUnprivilegedId = 65534; // "nobody"
// A temp folder that is removed whole at the end, including what Qt cannot remove:
// entries whose names are not UTF-8 and trees deeper than a path may be long.
class RawTempDir : public QTemporaryDir {
public:
    ~RawTempDir();
};

// Makes a folder impossible for a user who is not root to list (mode 0) or to
// change (read and enter only); restores access when the guard ends, so the temp
// folder can be removed.
class FolderLock {
public:
    enum Kind { Unreadable, ReadOnly };
    FolderLock(const QString& path, Kind kind);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool isSet() const { return m_set; }

private:
    QString m_path;
    bool m_set = false;
};

// Errors that escaped a window handler during the test (the window's fatal-error
// handler records them instead of ending the program). Tests check it stays empty.
QStringList& fatalErrors();
void recordFatalErrors();

// A file system on real folders whose drives are chosen by the test: each "drive"
// is a folder. A drive listed in failingDrives is not ready.
class FakeDriveFileSystem : public LocalFileSystem {
public:
    QList<Drive> drives;
    QSet<QString> failingDrives;

    QList<Drive> Drives() override { return drives; }
    void checkDriveReady(const Drive& drive) override;

    // A drive entry for a folder (no trailing separator unless it is "/").
    static Drive driveAt(const QString& root);
};

// A process runner that records its calls and answers with a fixed exit code
// instead of starting anything; onRun lets a test look at the disk meanwhile.
class RecordingProcessRunner : public ProcessRunner {
public:
    struct Call {
        QString program;
        QStringList arguments;
        QString workingDirectory;
        QMap<QString, QString> environment;
    };
    QList<Call> calls;
    int exitCode = 0;
    std::function<void(const Call&)> onRun;

    int RunAndWait(const QString& program, const QStringList& arguments,
                   const QString& workingDirectory,
                   const QMap<QString, QString>& environment = {}) override;
};

// Everything a window under test needs, in one temp folder: settings file,
// launcher folder; the file system defaults to the real one.
struct WindowFixture {
    explicit WindowFixture(const QString& tempRoot);
    ~WindowFixture();

    QString settingsFile;   // tempRoot/config/Korvath II Launcher.conf
    QString launcherFolder; // tempRoot/launcher (created)
    QString dataFolder;     // tempRoot/data/Korvath II Launcher (not created)
    std::unique_ptr<QSettingsStore> settings;
    RecordingProcessRunner runner;
    ProcessRunner* processRunner = &runner; // point at another runner before create()
    std::function<std::unique_ptr<FileSystem>()> createFileSystem;
    std::unique_ptr<Form1> window;

    // Writes settings before the window exists ("Settings" section).
    void presetSetting(const QString& key, const QString& value);
    // Reads a value back from the settings file on disk.
    QString storedSetting(const QString& key, const QString& section = kSettingsSection) const;
    // Builds the window and runs Form_Load.
    Form1& create();
    // The same, then shows the window and waits until it is on the screen.
    Form1& createShown();
};

// How the directory panel differs from its valid state for gameDir (its invalid
// state, showing message, when gameDir is ""), as the user and the settings file see
// it: "" when it does not.
QString dirPanelMismatch(WindowFixture& fixture, const QString& gameDir,
                         const QString& message = kNotAnInstallation);

} // namespace TestSupport
