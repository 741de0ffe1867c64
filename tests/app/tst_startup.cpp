// Start-up: what the window opens with and what it writes to the settings file.
#include "InstallationBuilder.h"
#include "app/QuoteStuff.h"
#include "app/ui/ListBox.h"
#include "app/ui/TabControl.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartWithoutSettings();
    void anythingButZeroOpensTheCreatorPanel_data();
    void anythingButZeroOpensTheCreatorPanel();
    void savedGameDirectoryOpensTheLauncherTab();
    void savedDirectoryWithoutTheGameIsCleared();
};

namespace {

bool playerShown(Form1& w) {
    return !w.PlayerPicBox->isHidden() && w.PlayerPicBox->isEnabled() &&
           w.CreatorPicBox->isHidden() && !w.CreatorPicBox->isEnabled() &&
           w.InterfaceOption1->isChecked() && !w.InterfaceOption2->isChecked();
}

bool creatorShown(Form1& w) {
    return !w.CreatorPicBox->isHidden() && w.CreatorPicBox->isEnabled() &&
           w.PlayerPicBox->isHidden() && !w.PlayerPicBox->isEnabled() &&
           w.InterfaceOption2->isChecked() && !w.InterfaceOption1->isChecked();
}

QStringList quoteTable() {
    QStringList quotes;
    QuoteStuff::InitQuotes(quotes);
    return quotes;
}

} // namespace

void StartupTest::firstStartWithoutSettings() {
    QTemporaryDir tmp;
    WindowFixture fixture(tmp.path());
    Form1& window = fixture.create();
    LauncherState& state = window.launcherState();

    QCOMPARE(state.dirLabel, QString());
    QCOMPARE(state.backupLabel, QString());
    QCOMPARE(state.interfaceType, QStringLiteral("0"));
    QVERIFY(!state.loading);
    QVERIFY(playerShown(window));
    // No game directory: the Configuration tab in front, the Launcher tab unavailable.
    QCOMPARE(state.gameDir, QString());
    QCOMPARE(window.LauncherTabs->Tab(), 1);
    QVERIFY(!window.LauncherTabs->TabEnabled(0));
    QVERIFY(quoteTable().contains(window.QuoteLabel->text()));
    QCOMPARE(window.PlayerWorldList->count(), 0);
    QCOMPARE(window.PlayerLabel->text(), QString());

    // The start writes the mode and the cleared directory, and nothing else.
    QCOMPARE(fixture.storedSetting("interfaceType"), QStringLiteral("0"));
    QCOMPARE(fixture.storedSetting("KVDir"), QString());
    QSettings onDisk(fixture.settingsFile, QSettings::IniFormat);
    QStringList keys = onDisk.allKeys();
    keys.sort();
    QCOMPARE(keys, QStringList({"Settings/KVDir", "Settings/interfaceType"}));
    QVERIFY(fatalErrors().isEmpty());
}

void StartupTest::anythingButZeroOpensTheCreatorPanel_data() {
    QTest::addColumn<QString>("stored");
    QTest::newRow("1") << "1";
    QTest::newRow("yes") << "yes";
    QTest::newRow("empty") << "";
    QTest::newRow("space zero") << " 0";
    QTest::newRow("2") << "2";
}

void StartupTest::anythingButZeroOpensTheCreatorPanel() {
    QFETCH(QString, stored);
    QTemporaryDir tmp;
    WindowFixture fixture(tmp.path());
    fixture.presetSetting("interfaceType", stored);
    Form1& window = fixture.create();

    QCOMPARE(window.launcherState().interfaceType, stored);
    QVERIFY(creatorShown(window));
    QCOMPARE(fixture.storedSetting("interfaceType"), QStringLiteral("1"));
    QVERIFY(quoteTable().contains(window.QuoteLabel->text()));
    QVERIFY(fatalErrors().isEmpty());
}

void StartupTest::savedGameDirectoryOpensTheLauncherTab() {
    QTemporaryDir tmp;
    const QString gameDir = tmp.path() + "/Games/Korvath II/";
    QCOMPARE(InstallationBuilder::build(gameDir), QString());
    WindowFixture fixture(tmp.path());
    fixture.presetSetting("KVDir", gameDir);
    fixture.presetSetting("interfaceType", "1");
    Form1& window = fixture.create();

    QCOMPARE(window.launcherState().gameDir, gameDir);
    QCOMPARE(window.LauncherTabs->Tab(), 0);
    QVERIFY(window.LauncherTabs->TabEnabled(0));
    QVERIFY(creatorShown(window));
    QVERIFY(!window.KVDirAutofindBtn->isEnabled());
    QCOMPARE(window.KVDirErrorLabel->text(), QString());
    QVERIFY(quoteTable().contains(window.QuoteLabel->text()));
    QCOMPARE(fixture.storedSetting("KVDir"), gameDir);
    QCOMPARE(fixture.storedSetting("interfaceType"), QStringLiteral("1"));
    QVERIFY(fatalErrors().isEmpty());
}

void StartupTest::savedDirectoryWithoutTheGameIsCleared() {
    QTemporaryDir tmp;
    const QString gameDir = tmp.path() + "/Korvath II/";
    QCOMPARE(InstallationBuilder::build(gameDir), QString());
    QVERIFY(QFile::remove(gameDir + "korvath2.exe"));
    const QStringList before = InstallationBuilder::listTree(gameDir);
    WindowFixture fixture(tmp.path());
    fixture.presetSetting("KVDir", gameDir);
    fixture.presetSetting("interfaceType", "0");
    fixture.presetSetting("lastDirLabel", "Frostmarch");
    Form1& window = fixture.create();

    QCOMPARE(window.launcherState().gameDir, QString());
    QCOMPARE(window.launcherState().dirLabel, QStringLiteral("Frostmarch"));
    QCOMPARE(window.LauncherTabs->Tab(), 1);
    QVERIFY(!window.LauncherTabs->TabEnabled(0));
    QVERIFY(playerShown(window));
    QCOMPARE(fixture.storedSetting("KVDir"), QString());
    QCOMPARE(fixture.storedSetting("interfaceType"), QStringLiteral("0"));
    QCOMPARE(fixture.storedSetting("lastDirLabel"), QStringLiteral("Frostmarch"));
    // Nothing was switched back and no catalogue read.
    QCOMPARE(InstallationBuilder::listTree(gameDir), before);
    QCOMPARE(window.PlayerWorldList->count(), 0);
    QCOMPARE(window.CreatorWorldList->count(), 0);
    QVERIFY(quoteTable().contains(window.QuoteLabel->text()));
    QVERIFY(fatalErrors().isEmpty());
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
