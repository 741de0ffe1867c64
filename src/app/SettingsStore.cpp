#include "app/SettingsStore.h"

#include "app/LauncherError.h"
#include "app/LocalFileSystem.h"
#include "app/Logging.h"

#include <QFileInfo>
#include <QSettings>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

const QString kApplicationName = QStringLiteral("Korvath II Launcher");
const QString kSettingsSection = QStringLiteral("Settings");
const QString kTomeSection = QStringLiteral("PackageTomeDirs");
const QString kLastDirLabelKey = QStringLiteral("lastDirLabel");
const QString kLastBackupLabelKey = QStringLiteral("lastBackupLabel");
const QString kInterfaceTypeKey = QStringLiteral("interfaceType");
const QString kGameDirKey = QStringLiteral("KVDir");
const QString kPendingSwitchesKey = QStringLiteral("pendingSwitches");

namespace {
QString settingKey(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}

// The file's inode number, or 0 when there is no such file.
ino_t inodeOf(const QString& file) {
    struct stat st;
    return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_ino : 0;
}

// Syncs the folder that holds file, so that the file's replacement (a rename in that
// folder) survives a power cut. Returns errno, or 0.
int syncFolderOf(const QString& file) {
    const int err = LocalFileSystem::syncFolderAt(QFileInfo(file).absolutePath());
    return err == EACCES ? 0 : err; // a folder we may write but not open: nothing to do
}
} // namespace

IniSettingsStore::IniSettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             kApplicationName)) {}

IniSettingsStore::IniSettingsStore(const QString& filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

IniSettingsStore::~IniSettingsStore() = default;

QString IniSettingsStore::fileName() const {
    return m_settings->fileName();
}

QString IniSettingsStore::folder() const {
    return QFileInfo(m_settings->fileName()).absolutePath();
}

QString IniSettingsStore::GetSetting(const QString& section, const QString& key,
                                     const QString& defaultValue) {
    // Pick up what another launcher may have written since.
    m_settings->sync();
    const QVariant value = m_settings->value(settingKey(section, key));
    if (!value.isValid())
        return defaultValue;
    return value.toString();
}

void SettingsStore::SaveSettings(const QString& section,
                                 const QList<QPair<QString, QString>>& keysAndValues) {
    for (const auto& [key, value] : keysAndValues)
        SaveSetting(section, key, value);
}

void SettingsStore::SaveLosableSetting(const QString& section, const QString& key,
                                       const QString& value) {
    SaveSetting(section, key, value);
}

void IniSettingsStore::SaveSetting(const QString& section, const QString& key,
                                   const QString& value) {
    write(section, {{key, value}}, true);
}

void IniSettingsStore::SaveSettings(const QString& section,
                                    const QList<QPair<QString, QString>>& keysAndValues) {
    write(section, keysAndValues, true);
}

void IniSettingsStore::SaveLosableSetting(const QString& section, const QString& key,
                                          const QString& value) {
    write(section, {{key, value}}, false);
}

void IniSettingsStore::write(const QString& section,
                             const QList<QPair<QString, QString>>& keysAndValues, bool syncFolder) {
    for (const auto& [key, value] : keysAndValues)
        m_settings->setValue(settingKey(section, key), value);
    // The file is replaced as a whole (written beside it, then renamed), so a
    // launcher ended mid-write leaves the old values or the new ones, never a mix.
    const QString file = m_settings->fileName();
    const ino_t before = inodeOf(file);
    m_settings->sync();
    QSettings::Status status = m_settings->status();
    if (status == QSettings::FormatError) {
        // Lines that could not be parsed were left out when the file was read, and
        // that status outlives any later write. Whether this write happened shows on
        // disk: a written file is a new one.
        const ino_t after = inodeOf(file);
        status = after != 0 && after != before ? QSettings::NoError : QSettings::AccessError;
        m_settings = std::make_unique<QSettings>(file, QSettings::IniFormat);
    }
    const int folderError = status == QSettings::NoError && syncFolder ? syncFolderOf(file) : 0;
    if (status != QSettings::NoError || folderError != 0) {
        qCWarning(lcApp).noquote()
            << "the settings could not be saved to" << file << ":"
            << (folderError != 0 ? QString::fromLocal8Bit(std::strerror(folderError))
                                 : QStringLiteral("QSettings status %1").arg(int(status)));
        throw SettingsError(QStringLiteral("The settings could not be saved to %1.").arg(file));
    }
}
