// The settings store: where it keeps its values and what a failed write does.
#include "app/LauncherError.h"
#include "app/SettingsStore.h"

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

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
