#pragma once

#include "app/LocalFileSystem.h"
#include "app/SettingsStore.h"

#include <QStringList>

namespace TestSupport {

// What a simulated crash throws. It derives from nothing the launcher catches (not
// LauncherError, not even std::exception), so it ends the procedure it hits the
// way a killed process would, wherever errors are otherwise ignored.
struct SimulatedCrash {
    int afterOperations;
};

// A plan of faults shared by the faulty services below. Every operation they
// watch is numbered from 1; the plan decides which of them fail.
class FaultPlan {
public:
    enum class Mode {
        None,       // nothing fails; operations are only counted and logged
        FailOnce,   // operation n fails
        FailFrom,   // operation n and every later one fail
        CrashAfter, // after n operations the next one throws SimulatedCrash
    };
    enum Kind { Lookup = 1, Rename = 2, SettingsWrite = 4, Listing = 8, Sync = 16, All = 31 };

    FaultPlan() = default;
    FaultPlan(Mode mode, int n, int kinds = All) : mode(mode), n(n), kinds(kinds) {}

    Mode mode = Mode::None;
    int n = 0;
    int kinds = All; // the kinds of operation that are numbered and may fail

    int operations = 0;   // operations numbered so far
    bool faulted = false; // a failure or a crash was injected
    QStringList log;      // "<kind> <what>" for every numbered operation, with " FAILED"

    // Numbers one operation; true when it is to fail. Throws SimulatedCrash.
    bool next(Kind kind, const QString& what);
};

// The real file-system service with faults injected by a plan: a failing lookup
// answers false (FolderExists, FileExists) or throws FileSystemError (GetFolder), a
// failing rename, listing or folder sync throws FileSystemError and changes nothing.
class FaultyFileSystem : public LocalFileSystem {
public:
    explicit FaultyFileSystem(FaultPlan& plan) : m_plan(plan) {}

    bool FolderExists(const QString& path) override;
    bool FileExists(const QString& path) override;
    QString resolveFolder(const QString& path) override;
    QStringList subFolderNames(const QString& folderPath) override;
    QStringList fileNames(const QString& folderPath) override;
    void renameFolder(const QString& folderPath, const QString& newName) override;
    FolderListing listFolder(const QString& folderPath) override;
    void syncFolder(const QString& folderPath) override;

private:
    FaultPlan& m_plan;
};

// A settings store whose writes follow a plan (a failing write throws SettingsError
// and leaves the store unchanged); reads go straight to the wrapped store.
class FaultySettingsStore : public SettingsStore {
public:
    FaultySettingsStore(SettingsStore& inner, FaultPlan& plan) : m_inner(inner), m_plan(plan) {}

    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultValue = QString()) override;
    void SaveSetting(const QString& section, const QString& key, const QString& value) override;
    // One write, as the real store makes it: all the values or none.
    void SaveSettings(const QString& section,
                      const QList<QPair<QString, QString>>& keysAndValues) override;
    QString folder() const override {
        return folderShown.isNull() ? m_inner.folder() : folderShown;
    }

    QString folderShown; // the folder the store says it keeps its file in, when set

private:
    SettingsStore& m_inner;
    FaultPlan& m_plan;
};

} // namespace TestSupport
