#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <memory>

// The per-user settings store. One application ("Korvath II Launcher"); values are
// addressed by section and key. Every write reaches the disk before SaveSetting
// returns; a store that cannot be written raises SettingsError. A file with lines
// that cannot be parsed is read for what can be, and written back without them.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString GetSetting(const QString& section, const QString& key,
                               const QString& defaultValue = QString()) = 0;
    virtual void SaveSetting(const QString& section, const QString& key, const QString& value) = 0;
    // Writes several values of one section, in order, reaching the disk together.
    // The default writes them one by one.
    virtual void SaveSettings(const QString& section,
                              const QList<QPair<QString, QString>>& keysAndValues);
    // A write whose loss in a power cut does no harm (it only drops what is no longer
    // needed): the same, except that it need not be durable when this returns. The
    // default is SaveSetting.
    virtual void SaveLosableSetting(const QString& section, const QString& key,
                                    const QString& value);
};

extern const QString kApplicationName; // "Korvath II Launcher"
extern const QString kSettingsSection; // "Settings"
extern const QString kTomeSection;     // "PackageTomeDirs"

// The keys of the section "Settings".
extern const QString kLastDirLabelKey;    // "lastDirLabel": the world last switched in
extern const QString kLastBackupLabelKey; // "lastBackupLabel": the backup label of that switch
extern const QString kInterfaceTypeKey;   // "interfaceType": "0" Player, "1" Creator
extern const QString kGameDirKey;         // "KVDir": the game directory, "" when none
extern const QString kPendingSwitchesKey; // "pendingSwitches": switches not yet undone

// The real store: an INI file at $XDG_CONFIG_HOME/Korvath II Launcher.conf, in the form
// QSettings reads and writes (section = group), so earlier releases and the toolkit read
// it. The file is read again when it has changed on disk, and replaced whole on each
// write; entries the store does not set stay as they were, byte for byte. A pipe, socket,
// device or folder at the file's path is never opened: every call raises SettingsError.
class IniSettingsStore : public SettingsStore {
public:
    IniSettingsStore();                                 // the user's own store
    explicit IniSettingsStore(const QString& filePath); // a store in a given file (tests)
    ~IniSettingsStore() override;

    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultValue = QString()) override;
    void SaveSetting(const QString& section, const QString& key, const QString& value) override;
    // One write of the file for all the values: they reach the disk together, and
    // the file's folder is synced before this returns.
    void SaveSettings(const QString& section,
                      const QList<QPair<QString, QString>>& keysAndValues) override;
    // Leaves the folder unsynced (the file itself is still written safely: a power cut
    // leaves the old file or the new one, whole).
    void SaveLosableSetting(const QString& section, const QString& key,
                            const QString& value) override;

    QString fileName() const;
    QString folder() const; // the folder that holds the file

private:
    class Document;
    void refresh();
    void write(const QString& section, const QList<QPair<QString, QString>>& keysAndValues,
               bool syncFolder);
    QString m_file;
    std::unique_ptr<Document> m_document; // the file as last read or written; null: unread
};
