#pragma once

#include "app/LocalFileSystem.h"
#include "app/SettingsStore.h"

#include <QStringList>

namespace TestSupport {

// What a simulated crash throws. Nothing the launcher catches derives from it, so it
// ends the procedure it hits the way a killed process would, even where errors are
// otherwise ignored.
struct SimulatedCrash {};

// A plan of faults shared by the faulty services below. The operations of the
// chosen kinds are numbered from 1; the plan decides which of them fail.
struct FaultPlan {
    enum class Mode {
        None,       // nothing fails; operations are only counted and logged
        FailOnce,   // operation n fails
        FailFrom,   // operation n and every later one fail
        CrashAfter, // after n operations the next one throws SimulatedCrash
    };
    enum Kind {
        Lookup = 1,
        Rename = 2,
        SettingsWrite = 4,
        Listing = 8,
        Sync = 16,
        File = 32,
        All = 63
    };

    FaultPlan() = default;
    FaultPlan(Mode mode, int n, int kinds = All) : mode(mode), n(n), kinds(kinds) {}

    Mode mode = Mode::None;
    int n = 0;
    int kinds = All;
    int operations = 0;   // operations numbered so far
    bool faulted = false; // a failure or a crash was injected
    QStringList log;      // every numbered operation, "<kind> <what>", marked when it failed

    // Numbers one operation; true when it is to fail. Throws SimulatedCrash.
    bool next(Kind kind, const QString& what);
};

// The real file-system service with faults from a plan: a failing lookup answers
// false (FolderExists) or nothing (lastModified); a failing rename, listing, folder sync or file
// operation (the installation's record) throws FileSystemError and changes nothing.
class FaultyFileSystem : public LocalFileSystem {
public:
    explicit FaultyFileSystem(FaultPlan& plan) : m_plan(plan) {}

    bool FolderExists(const QString& path) override {
        return !m_plan.next(FaultPlan::Lookup, "lookup " + path) &&
               LocalFileSystem::FolderExists(path);
    }
    void renameFolder(const QString& folderPath, const QString& newName) override {
        check(FaultPlan::Rename, "rename " + folderPath + " -> " + newName);
        LocalFileSystem::renameFolder(folderPath, newName);
    }
    FolderListing listFolder(const QString& folderPath) override {
        check(FaultPlan::Listing, "list " + folderPath);
        return LocalFileSystem::listFolder(folderPath);
    }
    void syncFolder(const QString& folderPath) override {
        check(FaultPlan::Sync, "sync " + folderPath);
        LocalFileSystem::syncFolder(folderPath);
    }
    std::optional<QByteArray> readFile(const QString& path) override {
        check(FaultPlan::File, "file read " + path);
        return LocalFileSystem::readFile(path);
    }
    void writeFile(const QString& path, const QByteArray& content, bool createNew) override {
        check(FaultPlan::File, "file write " + path);
        LocalFileSystem::writeFile(path, content, createNew);
    }
    void removeFile(const QString& path) override {
        check(FaultPlan::File, "file remove " + path);
        LocalFileSystem::removeFile(path);
    }
    std::optional<QByteArray> readFileEnd(const QString& path, qint64 maxBytes) override {
        check(FaultPlan::File, "file read end " + path);
        return LocalFileSystem::readFileEnd(path, maxBytes);
    }
    std::optional<QDateTime> lastModified(const QString& path) override {
        if (m_plan.next(FaultPlan::Lookup, "modified " + path))
            return std::nullopt;
        return LocalFileSystem::lastModified(path);
    }

private:
    void check(FaultPlan::Kind kind, const QString& what) {
        if (m_plan.next(kind, what))
            throw FileSystemError("Injected failure: " + what);
    }
    FaultPlan& m_plan;
};

// A settings store whose writes follow a plan (a failing write throws SettingsError
// and changes nothing); reads go to the wrapped store.
class FaultySettingsStore : public SettingsStore {
public:
    FaultySettingsStore(SettingsStore& inner, FaultPlan& plan) : m_inner(inner), m_plan(plan) {}

    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultValue = QString()) override {
        return m_inner.GetSetting(section, key, defaultValue);
    }
    void SaveSetting(const QString& section, const QString& key, const QString& value) override {
        SaveSettings(section, {{key, value}});
    }
    // One write, as the real store makes it: all the values or none.
    void SaveSettings(const QString& section,
                      const QList<QPair<QString, QString>>& keysAndValues) override;

private:
    SettingsStore& m_inner;
    FaultPlan& m_plan;
};

} // namespace TestSupport
