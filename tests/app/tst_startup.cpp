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
    void startup_data();
    void startup();
};

namespace {

// The panel in front, with its option button; "mixed" for anything half-switched.
QString panel(Form1& w) {
    auto shown = [](QWidget* on, QWidget* off, QRadioButton* checked, QRadioButton* unchecked) {
        return !on->isHidden() && on->isEnabled() && off->isHidden() && !off->isEnabled() &&
               checked->isChecked() && !unchecked->isChecked();
    };
    if (shown(w.PlayerPicBox, w.CreatorPicBox, w.InterfaceOption1, w.InterfaceOption2))
        return "player";
    if (shown(w.CreatorPicBox, w.PlayerPicBox, w.InterfaceOption2, w.InterfaceOption1))
        return "creator";
    return "mixed";
}

} // namespace

void StartupTest::startup_data() {
    QTest::addColumn<QString>("stored"); // null: no settings file at all
    QTest::addColumn<QString>("game");   // "none", "installed", "broken" (no korvath2.exe)
    QTest::addColumn<QString>("expectedPanel");
    QTest::newRow("first start") << QString() << "none"
                                 << "player";
    for (const char* value : {"1", "yes", "", " 0", "2"})
        QTest::newRow(qPrintable(QStringLiteral("mode '%1'").arg(value)))
            << QString::fromLatin1(value) << "none"
            << "creator";
    QTest::newRow("saved game directory") << "1"
                                          << "installed"
                                          << "creator";
    QTest::newRow("saved directory without the game") << "0"
                                                      << "broken"
                                                      << "player";
}

void StartupTest::startup() {
    QFETCH(QString, stored);
    QFETCH(QString, game);
    QFETCH(QString, expectedPanel);
    QTemporaryDir tmp;
    const QString gameDir = tmp.path() + "/Games/Korvath II/";
    QStringList before;
    WindowFixture fixture(tmp.path());
    if (game != "none") {
        QCOMPARE(InstallationBuilder::build(gameDir), QString());
        if (game == "broken")
            QVERIFY(QFile::remove(gameDir + "korvath2.exe"));
        before = InstallationBuilder::listTree(gameDir);
        fixture.presetSetting("KVDir", gameDir);
        fixture.presetSetting("lastDirLabel", "Frostmarch");
    }
    if (!stored.isNull())
        fixture.presetSetting("interfaceType", stored);
    fatalErrors().clear();
    Form1& window = fixture.create();
    const LauncherState& state = window.launcherState();
    const bool valid = game == "installed";

    QCOMPARE(state.interfaceType, stored.isNull() ? QStringLiteral("0") : stored);
    QCOMPARE(panel(window), expectedPanel);
    QVERIFY(!state.loading);
    QCOMPARE(state.backupLabel, QString());
    QCOMPARE(state.dirLabel, game == "none" ? QString() : QStringLiteral("Frostmarch"));
    QStringList quotes;
    QuoteStuff::InitQuotes(quotes);
    QVERIFY(quotes.contains(window.QuoteLabel->text()));
    // Without a valid game directory: the Configuration tab in front, the Launcher tab
    // unavailable, no catalogue read and nothing switched back.
    QCOMPARE(state.gameDir, valid ? gameDir : QString());
    QCOMPARE(window.LauncherTabs->Tab(), valid ? 0 : 1);
    QCOMPARE(window.LauncherTabs->TabEnabled(0), valid);
    QCOMPARE(window.KVDirAutofindBtn->isEnabled(), !valid);
    if (valid)
        QCOMPARE(window.KVDirErrorLabel->text(), QString());
    QCOMPARE(window.PlayerWorldList->count() > 0, valid);
    QCOMPARE(window.CreatorWorldList->count() > 0, valid);
    if (!valid)
        QCOMPARE(window.PlayerLabel->text(), QString());
    if (game != "none")
        QCOMPARE(InstallationBuilder::listTree(gameDir), before);

    // The mode is rewritten as "0" or "1" and the directory kept or cleared.
    QCOMPARE(fixture.storedSetting("interfaceType"),
             expectedPanel == "creator" ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(fixture.storedSetting("KVDir"), valid ? gameDir : QString());
    if (game != "none")
        QCOMPARE(fixture.storedSetting("lastDirLabel"), QStringLiteral("Frostmarch"));
    if (stored.isNull()) {
        QStringList keys = QSettings(fixture.settingsFile, QSettings::IniFormat).allKeys();
        keys.sort();
        QCOMPARE(keys, QStringList({"Settings/KVDir", "Settings/interfaceType"}));
    }
    QVERIFY2(fatalErrors().isEmpty(), qPrintable(fatalErrors().join('\n')));
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
