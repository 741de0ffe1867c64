#include "worlds/InstallationRecord.h"

#include "worlds/FolderNames.h"

#include <QList>

namespace InstallationRecord {

const QString kFileName = QStringLiteral(".korvath2-launcher");

namespace {

const QByteArray kHeader = "Korvath II Launcher: a world is switched in here, or a program runs. "
                           "The launcher removes this file itself.";

// Values are kept readable but never span a line or hold the ":" between a folder
// and its name.
QByteArray encode(const QString& value) {
    return value.toUtf8().toPercentEncoding(" /{}");
}

QString decode(const QByteArray& value) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(value));
}

QByteArray stampText(const Processes::ProcessStamp& stamp) {
    return QByteArray::number(stamp.pid) + ' ' + stamp.startTime + ' ' + stamp.bootId;
}

Processes::ProcessStamp stampOf(const QByteArray& text) {
    const QList<QByteArray> fields = text.simplified().split(' ');
    return Processes::ProcessStamp{fields.value(0).toLongLong(), fields.value(1), fields.value(2)};
}

} // namespace

QByteArray Encode(const Record& record) {
    QByteArray content = kHeader + '\n';
    content += "dirLabel=" + encode(record.dirLabel) + '\n';
    content += "backupLabel=" + encode(record.backupLabel) + '\n';
    for (auto it = record.versionNames.begin(); it != record.versionNames.end(); ++it)
        content += "version=" + encode(it.key()) + ':' + encode(it.value()) + '\n';
    content += "launcher=" + stampText(record.launcher) + '\n';
    if (record.game.pid > 0)
        content += "game=" + stampText(record.game) + '\n';
    return content;
}

std::optional<Record> Decode(const QByteArray& content, const KVDirStuff::GameFolderTable& table) {
    const QList<QByteArray> lines = content.split('\n');
    if (lines.value(0) != kHeader)
        return std::nullopt;
    Record record;
    int labels = 0;
    for (const QByteArray& line : lines) {
        const int equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals), value = line.mid(equals + 1);
        if (key == "dirLabel" || key == "backupLabel") {
            (key == "dirLabel" ? record.dirLabel : record.backupLabel) = decode(value);
            ++labels;
        } else if (key == "version") {
            const int colon = value.indexOf(':');
            record.versionNames.insert(decode(value.left(colon)), decode(value.mid(colon + 1)));
        } else if (key == "launcher") {
            record.launcher = stampOf(value);
        } else if (key == "game") {
            // Noted twice: by the program itself as it starts, then with its start
            // time; a line cut short by a power cut is no process.
            const Processes::ProcessStamp game = stampOf(value);
            if (game.pid > 0)
                record.game =
                    Processes::ProcessStamp{game.pid, game.startTime, record.launcher.bootId};
        }
    }
    // Both labels once each; the backup label a GUID; the world label one a world
    // file can have, or "" for the default world.
    if (labels != 2 || !FolderNames::IsBackupLabel(record.backupLabel) ||
        (!record.dirLabel.isEmpty() && !FolderNames::IsWorldLabel(record.dirLabel)))
        return std::nullopt;
    // A version's name is its entry's world name in another letter case, nothing else.
    for (auto it = record.versionNames.begin(); it != record.versionNames.end(); ++it) {
        const auto entry =
            std::find(table.relativePath.begin(), table.relativePath.end(), it.key());
        if (entry == table.relativePath.end() || record.dirLabel.isEmpty() ||
            it.value().compare(FolderNames::VersionName(*entry, record.dirLabel),
                               Qt::CaseInsensitive) != 0)
            return std::nullopt;
    }
    return record;
}

bool IsHeld(const Record& record) {
    const Processes::ProcessStamp self = Processes::OwnProcess();
    const bool ours =
        record.launcher.pid == self.pid && record.launcher.startTime == self.startTime;
    return (!ours && Processes::StillRuns(record.launcher)) || Processes::StillRuns(record.game);
}

QString PathIn(const QString& gameDir) {
    return gameDir + kFileName;
}

} // namespace InstallationRecord
