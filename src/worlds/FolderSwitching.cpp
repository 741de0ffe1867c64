#include "worlds/FolderSwitching.h"

#include "app/LauncherState.h"
#include "app/SettingsStore.h"
#include "platform/Logging.h"
#include "worlds/FolderNames.h"
#include "worlds/GUIDStuff.h"
#include "worlds/InstallationRecord.h"
#include "worlds/SwitchRecords.h"
#include "worlds/WorldCatalogue.h"

#include <algorithm>
#include <cerrno>

namespace FolderSwitching {

namespace {

using FolderNames::FolderName;
using FolderNames::IsBackupLabel;
using FolderNames::IsWorldLabel;
using FolderNames::VersionName;

// The relative path of the entry's parent folder ("" for the game directory).
QString parentOf(const QString& P) {
    const int i = P.lastIndexOf(QLatin1Char('/'));
    return i < 0 ? QString() : P.left(i);
}

// The folders of a listing whose names equal name without regard to case.
QStringList caseTwins(const FolderListing& listing, const QString& name) {
    QStringList names;
    for (const FolderListing::SubFolder& folder : listing.subFolders) {
        if (folder.name.compare(name, Qt::CaseInsensitive) == 0)
            names.append(folder.name);
    }
    return names;
}

// Renames a folder within its parent. Errors of the service are ignored (the folder
// then keeps its name) and noted in failures as a problem of that kind; returns
// whether the rename happened.
bool rename(FileSystem& fileSystem, Problem::Kind kind, const QString& gameDir, const QString& P,
            const QString& path, const QString& newName, Failures& failures) {
    try {
        fileSystem.GetFolder(path).SetName(newName);
        return true;
    } catch (const FileSystemError& error) {
        // Ignored, as a single rename's failure is, but never silently.
        qCWarning(lcWorlds).noquote() << "rename failed:" << error.message();
        Problem problem = Problem::Of(kind, path, error);
        problem.gameDir = gameDir;
        problem.entry = P;
        problem.name = newName;
        failures.append(problem);
        return false;
    }
}

// A folder of the installation that could not be listed.
Problem unread(const QString& gameDir, const QString& path, int systemError,
               const QStringList& details) {
    Problem problem{Problem::Kind::FolderNotLookedInto, path};
    problem.gameDir = gameDir;
    problem.systemError = systemError;
    problem.reason = Problem::ReasonOf(systemError);
    problem.details = details;
    return problem;
}

// The folders of a listing that can be entry P's version for world dirLabel: the
// exact name, else its twins in another case that are not another world's exact
// name (otherLabels: the labels of the installation's other worlds).
QStringList versionCandidates(const FolderListing& listing, const QString& P,
                              const QString& dirLabel, const QStringList& otherLabels) {
    const QString wanted = VersionName(P, dirLabel);
    QStringList versions = caseTwins(listing, wanted);
    if (versions.contains(wanted))
        return QStringList{wanted};
    versions.removeIf([&](const QString& name) {
        return otherLabels.contains(FolderNames::VersionLabel(name, FolderName(P)));
    });
    return versions;
}

} // namespace

const FolderListing* Look::parentListing(const QString& P) const {
    const auto it = listings.find(parentOf(P));
    return it == listings.end() ? nullptr : &*it;
}

bool Look::hasFile(const QString& name) const {
    const auto it = listings.find(QString());
    return it != listings.end() && it->files.contains(name);
}

QStringList Look::worldLabels() const {
    QStringList labels;
    const auto it = listings.find(QString());
    for (const QString& file : it == listings.end() ? QStringList() : it->files) {
        const QString label = WorldCatalogue::DirLabelOf(file);
        if (WorldCatalogue::IsWorldFileName(file) && IsWorldLabel(label))
            labels.append(label);
    }
    return labels;
}

QString WorldFolder(const Look& look, const QString& P, const QString& dirLabel) {
    const FolderListing* listing = look.parentListing(P);
    if (!listing || dirLabel.isEmpty())
        return QString();
    QStringList others = look.worldLabels();
    others.removeAll(dirLabel);
    const QStringList versions = versionCandidates(*listing, P, dirLabel, others);
    return versions.size() == 1 ? look.paths[parentOf(P)] + versions.first() : QString();
}

QString WorldFolder(FileSystem& fileSystem, const QString& gameDir, const QString& P,
                    const QString& dirLabel) {
    // A look at the folders on the way to that one entry only.
    KVDirStuff::GameFolderTable entry;
    entry.relativePath.fill(P);
    return WorldFolder(LookAt(fileSystem, gameDir, entry), P, dirLabel);
}

TomesFolder TomesOf(FileSystem& fileSystem, const QString& gameDir, const QString& dirLabel) {
    const QString own = WorldFolder(fileSystem, gameDir, FolderNames::kTomes, dirLabel);
    TomesFolder tomes{own.isEmpty() ? gameDir + FolderNames::kTomes : own, !own.isEmpty()};
    try {
        tomes.path =
            fileSystem.FolderExists(tomes.path) ? fileSystem.resolveFolder(tomes.path) : QString();
    } catch (const FileSystemError&) {
        tomes.path.clear(); // gone since it was looked at
    }
    return tomes;
}

Look LookAt(FileSystem& fileSystem, const QString& gameDir,
            const KVDirStuff::GameFolderTable& table) {
    Look look;
    const QChar separator = fileSystem.separator();
    // The parent folders of the table's entries and their ancestors, shallow first;
    // each is found in its own parent's listing, so a folder that is not there is
    // known to be absent rather than merely out of reach.
    QStringList parents{QString()};
    for (const QString& P : table.relativePath) {
        for (int i = P.indexOf(separator); i >= 0; i = P.indexOf(separator, i + 1)) {
            if (!parents.contains(P.left(i)))
                parents.append(P.left(i));
        }
    }
    std::stable_sort(
        parents.begin(), parents.end(), [separator](const QString& a, const QString& b) {
            return a.count(separator) + !a.isEmpty() < b.count(separator) + !b.isEmpty();
        });
    // The game directory in its on-disk spelling, so that every path built on it is.
    look.gameDir = KVDirStuff::ResolveGameDir(fileSystem, gameDir);
    if (look.gameDir.isEmpty()) {
        look.gameDir = gameDir;
        look.unread = unread(gameDir, gameDir, ENOENT, {gameDir});
        return look;
    }
    for (const QString& relative : parents) {
        QString path = look.gameDir;
        if (!relative.isEmpty()) {
            const int i = relative.lastIndexOf(separator);
            const QString parent = i < 0 ? QString() : relative.left(i);
            if (!look.listings.contains(parent))
                continue;
            // The folder the game itself would use: its exact name, else its one twin.
            const QString name = relative.mid(i + 1);
            QStringList names = caseTwins(look.listings[parent], name);
            if (names.contains(name))
                names = QStringList{name};
            if (names.size() != 1)
                continue;
            path = look.paths[parent] + names.first() + separator;
        }
        try {
            look.listings.insert(relative, fileSystem.listFolder(path));
            look.paths.insert(relative, path);
            if (relative.isEmpty())
                look.id = look.listings[relative].id;
        } catch (const FileSystemError& error) {
            if (!look.unread)
                look.unread = unread(look.gameDir, path, error.systemError(), {error.message()});
        }
    }
    return look;
}

QList<Stowed> StowedFolders(const Look& look, const KVDirStuff::GameFolderTable& table) {
    QList<Stowed> stowed;
    for (const QString& P : table.relativePath) {
        const FolderListing* listing = look.parentListing(P);
        if (!listing)
            continue;
        const QString N = FolderName(P);
        for (const FolderListing::SubFolder& folder : listing->subFolders) {
            const QString& name = folder.name;
            const QString backupLabel = FolderNames::StowedLabel(name, N);
            if (!backupLabel.isEmpty())
                stowed.append(
                    Stowed{P, look.paths[parentOf(P)], name, name.left(N.size()), backupLabel});
        }
    }
    return stowed;
}

QList<Stowed> StowedUnder(const Look& look, const KVDirStuff::GameFolderTable& table,
                          const QString& backupLabel) {
    QList<Stowed> stowed = StowedFolders(look, table);
    stowed.removeIf([&backupLabel](const Stowed& folder) {
        return folder.backupLabel.compare(backupLabel, Qt::CaseInsensitive) != 0;
    });
    return stowed;
}

Plan PlanSwitchIn(const Look& look, const KVDirStuff::GameFolderTable& table,
                  const QString& dirLabel) {
    Plan plan;
    if (dirLabel.isEmpty())
        return plan;
    QStringList otherLabels = look.worldLabels();
    otherLabels.removeAll(dirLabel);
    for (const QString& P : table.relativePath) {
        const FolderListing* listing = look.parentListing(P);
        if (!listing)
            continue;
        const QString parent = look.paths[parentOf(P)];
        // The default folder: its exact name, else its one twin in another case.
        const QString N = FolderName(P);
        QStringList defaults = caseTwins(*listing, N);
        if (defaults.contains(N))
            defaults = QStringList{N};
        // The world's version: its exact name, else its one twin that is not another
        // world's exact name.
        const QStringList versions = versionCandidates(*listing, P, dirLabel, otherLabels);
        if (versions.isEmpty())
            continue;
        for (const QStringList& names : {defaults, versions}) {
            if (names.size() > 1) {
                for (const QString& name : names)
                    plan.ambiguous.append(parent + name);
                if (!plan.ambiguousEntries.contains(P))
                    plan.ambiguousEntries.append(P);
            }
        }
        if (defaults.size() == 1 && versions.size() == 1)
            plan.placements.append(
                Placement{look.gameDir, P, parent, defaults.first(), versions.first()});
    }
    return plan;
}

Failures SwitchFolderIn(FileSystem& fileSystem, const Placement& placement,
                        const QString& backupLabel) {
    Failures failures;
    const QString& P = placement.relativePath;
    const QString& gameDir = placement.gameDir;
    const QString stowedName = FolderNames::StowedName(placement.defaultName, backupLabel);
    const Problem::Kind kind = Problem::Kind::FolderNotSwitchedIn;
    const bool stowed = rename(fileSystem, kind, gameDir, P,
                               placement.parent + placement.defaultName, stowedName, failures);
    const bool placed =
        rename(fileSystem, kind, gameDir, P, placement.parent + placement.versionName,
               placement.defaultName, failures);
    // The world's version could not take the name: put the default folder back at
    // once rather than leave the game without it.
    if (stowed && !placed)
        rename(fileSystem, kind, gameDir, P, placement.parent + stowedName, placement.defaultName,
               failures);
    return failures;
}

SwitchedOut SwitchFolderOut(FileSystem& fileSystem, const Look& look, const Stowed& stowed,
                            const Switch& sw) {
    SwitchedOut out;
    const QString& P = stowed.relativePath;
    const FolderListing* listing = look.parentListing(P);
    // The version in the default place has the name the default folder had: the
    // stowed folder's, else its one twin (the stowed folder's case was changed since).
    QString inPlace;
    if (listing) {
        QStringList twins = caseTwins(*listing, stowed.defaultName);
        if (twins.contains(stowed.defaultName))
            twins = QStringList{stowed.defaultName};
        if (twins.size() == 1)
            inPlace = twins.first();
    }
    const Problem::Kind kind = Problem::Kind::FolderNotPutBack;
    bool changed = false;
    // The default place is empty when a switch was cut short between its two renames.
    if (!inPlace.isEmpty())
        changed = rename(fileSystem, kind, look.gameDir, P, stowed.parent + inPlace,
                         sw.versionNames.value(P, VersionName(P, sw.dirLabel)), out.failures);
    const QString defaultName = inPlace.isEmpty() ? stowed.defaultName : inPlace;
    if (rename(fileSystem, kind, look.gameDir, P, stowed.path(), defaultName, out.failures) ||
        changed)
        out.changed.append(stowed.parent);
    return out;
}

SwitchedOut SwitchOut(FileSystem& fileSystem, const Look& look,
                      const KVDirStuff::GameFolderTable& table, const Switch& sw) {
    SwitchedOut out;
    if (!IsWorldLabel(sw.dirLabel) || !IsBackupLabel(sw.backupLabel))
        return out;
    for (const Stowed& stowed : StowedUnder(look, table, sw.backupLabel)) {
        const SwitchedOut folder = SwitchFolderOut(fileSystem, look, stowed, sw);
        out.failures += folder.failures;
        if (!folder.changed.isEmpty() && !out.changed.contains(stowed.parent))
            out.changed.append(stowed.parent);
    }
    return out;
}

SwitchInOutcome SwitchWorldIn(LauncherState& state, SettingsStore& settings,
                              const KVDirStuff::GameFolderTable& table) {
    SwitchInOutcome outcome;
    FileSystem& fileSystem = *state.fileSystem;
    const QString previousBackupLabel = state.backupLabel;
    const Look look = LookAt(fileSystem, state.gameDir, table);
    const auto refuse = [&](Problem problem) {
        state.backupLabel = previousBackupLabel;
        problem.gameDir = look.gameDir;
        outcome.refused = problem;
        outcome.plan = Plan();
        return outcome;
    };
    outcome.gameDir = look.gameDir;
    if (look.unread) {
        Problem unreadable = *look.unread;
        unreadable.kind = Problem::Kind::FolderNotRead;
        return refuse(unreadable);
    }
    outcome.plan = PlanSwitchIn(look, table, state.dirLabel);
    if (!outcome.plan.ambiguous.isEmpty()) {
        Problem ambiguous{Problem::Kind::AmbiguousNames, outcome.plan.ambiguous.first()};
        ambiguous.more = int(outcome.plan.ambiguous.size()) - 1;
        ambiguous.folders = outcome.plan.ambiguous;
        return refuse(ambiguous);
    }
    // Folders stowed under an empty label ("Roster-") could never be told apart from
    // a stray folder: without a label nothing is switched.
    state.backupLabel = GUIDStuff::NewGuidString();
    if (state.backupLabel.isEmpty()) {
        Problem noLabel{Problem::Kind::RecordNotWritten, look.gameDir};
        noLabel.details = QStringList{QStringLiteral("no backup label could be made")};
        return refuse(noLabel);
    }

    // The installation's record, before anything is renamed: any launcher can finish
    // the switch from it, and while this launch runs it holds the installation.
    InstallationRecord::Record record{
        state.dirLabel, state.backupLabel, {}, Processes::OwnProcess(), {}};
    for (const Placement& placement : outcome.plan.placements) {
        if (placement.versionName != VersionName(placement.relativePath, state.dirLabel))
            record.versionNames.insert(placement.relativePath, placement.versionName);
    }
    const QString recordPath = InstallationRecord::PathIn(look.gameDir);
    try {
        fileSystem.writeFile(recordPath, InstallationRecord::Encode(record), true);
        outcome.recordPath = recordPath;
    } catch (const FileSystemError& error) {
        // The default world renames nothing, so it plays where nothing can be written.
        if (!state.dirLabel.isEmpty())
            return refuse(Problem::Of(Problem::Kind::RecordNotWritten, recordPath, error));
        qCInfo(lcWorlds).noquote()
            << "the default world plays without a record:" << error.message();
    }

    // Both labels and the record of this switch in the settings, for an earlier
    // release of the launcher; records of switches not yet undone elsewhere stay.
    QList<SwitchRecords::Record> pending = SwitchRecords::Pending(settings);
    if (!state.dirLabel.isEmpty())
        pending.append(SwitchRecords::Record{look.gameDir, state.dirLabel, state.backupLabel,
                                             SwitchRecords::IdText(look.id)});
    try {
        settings.SaveSettings(kSettingsSection,
                              {{kPendingSwitchesKey, SwitchRecords::Encode(pending)},
                               {kLastBackupLabelKey, state.backupLabel},
                               {kLastDirLabelKey, state.dirLabel}});
    } catch (...) {
        state.backupLabel = previousBackupLabel;
        if (!outcome.recordPath.isEmpty()) {
            try {
                fileSystem.removeFile(outcome.recordPath);
            } catch (const FileSystemError& error) {
                qCWarning(lcWorlds).noquote() << error.message();
            }
        }
        throw;
    }
    for (const Placement& placement : outcome.plan.placements)
        outcome.failures += SwitchFolderIn(fileSystem, placement, state.backupLabel);
    return outcome;
}

SwitchedOut SwitchWorldOut(LauncherState& state, const KVDirStuff::GameFolderTable& table) {
    FileSystem& fileSystem = *state.fileSystem;
    Look look = LookAt(fileSystem, state.gameDir, table);
    const QString recordPath = InstallationRecord::PathIn(look.gameDir);
    Switch sw{state.dirLabel, state.backupLabel, {}};
    // The names the versions had, as the installation's record of this switch keeps them.
    bool recorded = false;
    try {
        const std::optional<QByteArray> content = fileSystem.readFile(recordPath);
        const auto record = content ? InstallationRecord::Decode(*content, table) : std::nullopt;
        recorded = record && record->backupLabel == sw.backupLabel;
        if (recorded)
            sw.versionNames = record->versionNames;
    } catch (const FileSystemError&) {
    }
    const SwitchedOut out = SwitchOut(fileSystem, look, table, sw);
    if (!recorded)
        return out;
    // Once every folder is back and those renames are on disk, the record goes.
    try {
        look = LookAt(fileSystem, state.gameDir, table);
        if (look.unread || !StowedUnder(look, table, sw.backupLabel).isEmpty())
            return out;
        for (const QString& parent : out.changed)
            fileSystem.syncFolder(parent);
        fileSystem.removeFile(recordPath);
    } catch (const FileSystemError& error) {
        qCWarning(lcWorlds).noquote() << "the record stays for now:" << error.message();
    }
    return out;
}

QStringList StowedFolders(LauncherState& state, const KVDirStuff::GameFolderTable& table) {
    QStringList paths;
    if (state.gameDir.isEmpty() || state.backupLabel.isEmpty())
        return paths;
    for (const Stowed& stowed :
         StowedUnder(LookAt(*state.fileSystem, state.gameDir, table), table, state.backupLabel))
        paths.append(stowed.path());
    return paths;
}

} // namespace FolderSwitching
