#include "FaultyFileSystem.h"

#include <QHash>

namespace TestSupport {

bool FaultPlan::next(Kind kind, const QString& what) {
    if (!(kinds & kind))
        return false;
    ++operations;
    static const QHash<int, QString> names = {{Lookup, "lookup"},
                                              {Rename, "rename"},
                                              {SettingsWrite, "write"},
                                              {Listing, "list"},
                                              {Sync, "sync"}};
    QString entry = names.value(kind) + QLatin1Char(' ') + what;
    bool fail = false;
    switch (mode) {
    case Mode::None:
        break;
    case Mode::FailOnce:
        fail = operations == n;
        break;
    case Mode::FailFrom:
        fail = operations >= n;
        break;
    case Mode::CrashAfter:
        if (operations > n) {
            faulted = true;
            log.append(entry + QStringLiteral(" CRASH"));
            throw SimulatedCrash{n};
        }
        break;
    }
    if (fail) {
        faulted = true;
        entry += QStringLiteral(" FAILED");
    }
    log.append(entry);
    return fail;
}

bool FaultyFileSystem::FolderExists(const QString& path) {
    if (m_plan.next(FaultPlan::Lookup, QStringLiteral("FolderExists ") + path))
        return false;
    return LocalFileSystem::FolderExists(path);
}

bool FaultyFileSystem::FileExists(const QString& path) {
    if (m_plan.next(FaultPlan::Lookup, QStringLiteral("FileExists ") + path))
        return false;
    return LocalFileSystem::FileExists(path);
}

QString FaultyFileSystem::resolveFolder(const QString& path) {
    if (m_plan.next(FaultPlan::Lookup, QStringLiteral("GetFolder ") + path))
        throw FileSystemError(QStringLiteral("Injected lookup failure: %1").arg(path));
    return LocalFileSystem::resolveFolder(path);
}

QStringList FaultyFileSystem::subFolderNames(const QString& folderPath) {
    if (m_plan.next(FaultPlan::Listing, QStringLiteral("SubFolders ") + folderPath))
        throw FileSystemError(QStringLiteral("Injected listing failure: %1").arg(folderPath));
    return LocalFileSystem::subFolderNames(folderPath);
}

QStringList FaultyFileSystem::fileNames(const QString& folderPath) {
    if (m_plan.next(FaultPlan::Listing, QStringLiteral("Files ") + folderPath))
        throw FileSystemError(QStringLiteral("Injected listing failure: %1").arg(folderPath));
    return LocalFileSystem::fileNames(folderPath);
}

void FaultyFileSystem::renameFolder(const QString& folderPath, const QString& newName) {
    if (m_plan.next(FaultPlan::Rename, folderPath + QStringLiteral(" -> ") + newName))
        throw FileSystemError(
            QStringLiteral("Injected rename failure: %1 -> %2").arg(folderPath, newName));
    LocalFileSystem::renameFolder(folderPath, newName);
}

FolderListing FaultyFileSystem::listFolder(const QString& folderPath) {
    if (m_plan.next(FaultPlan::Listing, QStringLiteral("List ") + folderPath))
        throw FileSystemError(QStringLiteral("Injected listing failure: %1").arg(folderPath));
    return LocalFileSystem::listFolder(folderPath);
}

void FaultyFileSystem::syncFolder(const QString& folderPath) {
    if (m_plan.next(FaultPlan::Sync, folderPath))
        throw FileSystemError(QStringLiteral("Injected sync failure: %1").arg(folderPath));
    LocalFileSystem::syncFolder(folderPath);
}

QString FaultySettingsStore::GetSetting(const QString& section, const QString& key,
                                        const QString& defaultValue) {
    return m_inner.GetSetting(section, key, defaultValue);
}

void FaultySettingsStore::SaveSetting(const QString& section, const QString& key,
                                      const QString& value) {
    if (m_plan.next(FaultPlan::SettingsWrite, section + QLatin1Char('/') + key + '=' + value))
        throw SettingsError(QStringLiteral("Injected settings failure: %1/%2").arg(section, key));
    m_inner.SaveSetting(section, key, value);
}

void FaultySettingsStore::SaveSettings(const QString& section,
                                       const QList<QPair<QString, QString>>& keysAndValues) {
    QStringList what;
    for (const auto& [key, value] : keysAndValues)
        what << section + QLatin1Char('/') + key + '=' + value;
    if (m_plan.next(FaultPlan::SettingsWrite, what.join(QLatin1Char(' '))))
        throw SettingsError(QStringLiteral("Injected settings failure: %1").arg(section));
    m_inner.SaveSettings(section, keysAndValues);
}

} // namespace TestSupport
