#include "app/SettingsStore.h"

#include "app/LauncherError.h"

#include <QSettings>

const QString kApplicationName = QStringLiteral("Korvath II Launcher");
const QString kSettingsSection = QStringLiteral("Settings");
const QString kTomeSection = QStringLiteral("PackageTomeDirs");

namespace {
QString settingKey(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}
} // namespace

QSettingsStore::QSettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             kApplicationName)) {}

QSettingsStore::QSettingsStore(const QString& filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

QSettingsStore::~QSettingsStore() = default;

QString QSettingsStore::fileName() const {
    return m_settings->fileName();
}

QString QSettingsStore::GetSetting(const QString& section, const QString& key,
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

void QSettingsStore::SaveSetting(const QString& section, const QString& key, const QString& value) {
    m_settings->setValue(settingKey(section, key), value);
    syncOrThrow();
}

void QSettingsStore::SaveSettings(const QString& section,
                                  const QList<QPair<QString, QString>>& keysAndValues) {
    for (const auto& [key, value] : keysAndValues)
        m_settings->setValue(settingKey(section, key), value);
    syncOrThrow();
}

void QSettingsStore::syncOrThrow() {
    // The file is replaced as a whole (written beside it, then renamed), so a
    // launcher ended mid-write leaves the old values or the new ones, never a mix.
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        throw SettingsError(
            QStringLiteral("The settings could not be saved to %1.").arg(m_settings->fileName()));
}
