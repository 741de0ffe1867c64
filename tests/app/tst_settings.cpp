// The settings store: where it keeps its values and what a failed write does.
#include "app/LauncherError.h"
#include "app/SettingsStore.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    void userStoreLivesInTheConfigHome();
    void valuesReachTheDiskAtOnce();
    void unwritableStoreIsAnError();
    void unparsableLinesAreLeftOutAndOnlyAFailedWriteIsAnError();
};

void SettingsTest::userStoreLivesInTheConfigHome() {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QSettingsStore store;
    QCOMPARE(store.fileName(), home.path() + "/Korvath II Launcher.conf");
    QCOMPARE(store.GetSetting(kSettingsSection, "KVDir", "default"), QStringLiteral("default"));
    store.SaveSetting(kSettingsSection, "KVDir", "/games/k2/");
    QVERIFY(QFile::exists(home.path() + "/Korvath II Launcher.conf"));
}

void SettingsTest::valuesReachTheDiskAtOnce() {
    QTemporaryDir home;
    const QString file = home.path() + "/store.conf";
    QSettingsStore store(file);
    store.SaveSetting(kSettingsSection, "lastDirLabel", "Frostmarch");
    store.SaveSetting(kTomeSection, "Sea Charts", "Sea Charts");
    store.SaveSetting(kSettingsSection, "KVDir", ""); // cleared by writing "", not removed
    // Another reader of the file sees every value without the store being destroyed.
    QSettings onDisk(file, QSettings::IniFormat);
    QCOMPARE(onDisk.value("Settings/lastDirLabel").toString(), QStringLiteral("Frostmarch"));
    QCOMPARE(onDisk.value("PackageTomeDirs/Sea Charts").toString(), QStringLiteral("Sea Charts"));
    QVERIFY(onDisk.contains("Settings/KVDir"));
    QCOMPARE(store.GetSetting(kSettingsSection, "KVDir", "x"), QString());
    // A value written by someone else is read back.
    onDisk.setValue("Settings/interfaceType", "1");
    onDisk.sync();
    QCOMPARE(store.GetSetting(kSettingsSection, "interfaceType", "0"), QStringLiteral("1"));
    // Several values written together all arrive, and what was there stays.
    store.SaveSettings(kSettingsSection, {{"lastBackupLabel", "{B}"}, {"lastDirLabel", "dawn"}});
    QSettings again(file, QSettings::IniFormat);
    QCOMPARE(again.value("Settings/lastBackupLabel").toString(), QStringLiteral("{B}"));
    QCOMPARE(again.value("Settings/lastDirLabel").toString(), QStringLiteral("dawn"));
    QCOMPARE(again.value("Settings/interfaceType").toString(), QStringLiteral("1"));
}

void SettingsTest::unwritableStoreIsAnError() {
    QTemporaryDir home;
    // The store's folder cannot exist: a plain file stands in its place (this holds
    // for root too, unlike missing write permissions).
    const QString blocker = home.path() + "/notafolder";
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QSettingsStore store(blocker + "/store.conf");
    QVERIFY_THROWS_EXCEPTION(SettingsError, store.SaveSetting(kSettingsSection, "KVDir", "/x/"));
}

void SettingsTest::unparsableLinesAreLeftOutAndOnlyAFailedWriteIsAnError() {
    if (!TestSupport::runsUnprivileged())
        return;
    QTemporaryDir home;
    const QString file = home.path() + "/store.conf";
    const QByteArray broken = "garbage\n[Settings]\nKVDir=/games/k2/\n[Tomes\nx=1\n";
    for (bool writable : {true, false}) {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(broken) == broken.size());
        out.close();
        TestSupport::FolderLock lock(home.path(), TestSupport::FolderLock::ReadOnly);
        if (writable)
            QVERIFY(QFile::setPermissions(home.path(),
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QSettingsStore store(file);
        QCOMPARE(store.GetSetting(kSettingsSection, "KVDir"), QStringLiteral("/games/k2/"));
        if (!writable) {
            QVERIFY_THROWS_EXCEPTION(SettingsError,
                                     store.SaveSetting(kSettingsSection, "interfaceType", "0"));
            continue;
        }
        // Written back without the lines that could not be read.
        store.SaveSetting(kSettingsSection, "interfaceType", "0");
        store.SaveSetting(kSettingsSection, "lastDirLabel", "dawn");
        QSettings onDisk(file, QSettings::IniFormat);
        QCOMPARE(onDisk.status(), QSettings::NoError);
        QCOMPARE(onDisk.value("Settings/KVDir").toString(), QStringLiteral("/games/k2/"));
        QCOMPARE(onDisk.value("Settings/lastDirLabel").toString(), QStringLiteral("dawn"));
    }
}

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
