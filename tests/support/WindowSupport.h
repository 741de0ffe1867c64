#pragma once
// Test support for the window: a window on temp settings and services, the panel's
// texts, label-fit and tab-click helpers. Tests of the window link this.

#include "TestSupport.h"
#include "app/ui/Form1.h"

class QLabel;
class QListWidget;
class TabControl;

namespace TestSupport {

// Texts of the directory panel, exactly as the window shows them.
extern const QString kNotAnInstallation; // the invalid state's warning
extern const QString kNothingFound;      // after a search that found nothing or was stopped
extern const QString kSearching;         // while a search runs

// Where a text would run out of its label's fixed box, wrapped at words, as a
// message naming the label; "" when it fits.
QString labelOverflow(QLabel* label, const QString& text);

// The lines of a list, top to bottom.
QStringList listLines(const QListWidget* list);

// Selects the window's tab called name by a click, as the user does.
void clickTab(TabControl* tabs, const QString& name);

// Errors that escaped a window handler during the test (the window's fatal-error
// handler records them instead of ending the program). Tests check it stays empty.
QStringList& fatalErrors();

// Everything a window under test needs, in one temp folder: settings file,
// launcher folder; the file system defaults to the real one.
struct WindowFixture {
    explicit WindowFixture(const QString& tempRoot);
    ~WindowFixture();

    QString settingsFile;   // tempRoot/config/Korvath II Launcher.conf
    QString launcherFolder; // tempRoot/launcher (created)
    QString dataFolder;     // tempRoot/data/Korvath II Launcher (not created)
    std::unique_ptr<IniSettingsStore> settings;
    RecordingProcessRunner runner;
    ProcessRunner* processRunner = &runner; // point at another runner before create()
    std::function<std::unique_ptr<FileSystem>()> createFileSystem;
    std::unique_ptr<Form1> window;
    bool finishStartup = true; // false: what follows the first frame is left to the window

    // Writes settings before the window exists ("Settings" section).
    void presetSetting(const QString& key, const QString& value);
    // Reads a value back from the settings file on disk.
    QString storedSetting(const QString& key, const QString& section = kSettingsSection) const;
    // Builds the window, runs Form_Load and (see finishStartup) the start-up work its
    // first frame does not wait for.
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
