// The window as a desktop user meets it without a mouse: what a screen reader is
// told about each control, where the focus starts, and the keys between the tabs.
#include "InstallationBuilder.h"
#include "app/QuoteStuff.h"
#include "app/ui/ListBox.h"
#include "app/ui/TabControl.h"
#include "gamedir/ui/DirListBox.h"
#include "support/WindowSupport.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void init() { fatalErrors().clear(); }
    void cleanup() { QuoteStuff::setRandomSource({}); }
    void screenReaderHearsEveryControl();
    void keysMoveBetweenTheEnabledTabs();
    void commandLineAnswersWithoutTheWindow();
};

void DesktopTest::screenReaderHearsEveryControl() {
    QTemporaryDir tmp;
    QCOMPARE(InstallationBuilder::build(tmp.path() + "/game"), QString());
    WindowFixture fixture(tmp.path());
    fixture.presetSetting("KVDir", tmp.path() + "/game/");
    Form1& window = fixture.createShown();
    QCOMPARE(QApplication::focusWidget(),
             static_cast<QWidget*>(window.PlayerWorldList)); // where the player starts

    // Every list, combo box, button and picture has a name; pictures say what they show.
    int pictures = 0;
    for (QWidget* control : window.findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(control);
        const bool picture = label && !label->pixmap().isNull();
        if (!picture && !qobject_cast<QAbstractItemView*>(control) &&
            !qobject_cast<QComboBox*>(control) && !qobject_cast<QAbstractButton*>(control))
            continue;
        if (control->objectName().isEmpty() || control->objectName().startsWith("qt_"))
            continue; // the parts Qt builds inside a control (scroll bars, tab buttons)
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(control);
        QVERIFY2(reader && !reader->text(QAccessible::Name).trimmed().isEmpty(),
                 qPrintable(control->objectName()));
        if (picture) {
            ++pictures;
            QVERIFY2(!reader->text(QAccessible::Description).isEmpty(),
                     qPrintable(control->objectName()));
        }
    }
    QCOMPARE(pictures, 3);
    QVERIFY(QAccessible::queryAccessibleInterface(window.Image2)
                ->text(QAccessible::Description)
                .contains("version 1.0"));

    // "Current Setting:" is what labels the directory shown beside it.
    const auto labelledBy =
        QAccessible::queryAccessibleInterface(window.KVDirDirLabel)->relations(QAccessible::Label);
    QVERIFY(std::any_of(labelledBy.begin(), labelledBy.end(), [&](const auto& relation) {
        return relation.first->object() == window.KVDirSettingLabel;
    }));

    // Qt announces a label's new text (an accessible update event) only while the
    // label has no fixed name of its own: the panel messages must keep none.
    for (QLabel* message : {window.PlayerLabel, window.CreatorLabel, window.KVDirDirLabel,
                            window.KVDirErrorLabel, window.QuoteLabel})
        QVERIFY2(message->accessibleName().isEmpty(), qPrintable(message->objectName()));
    QVERIFY(fatalErrors().isEmpty());
}

void DesktopTest::keysMoveBetweenTheEnabledTabs() {
    QTemporaryDir tmp; // no game directory: the Launcher tab is unavailable
    WindowFixture fixture(tmp.path());
    Form1& window = fixture.createShown();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    TabControl* tabs = window.LauncherTabs;
    QCOMPARE(tabs->Tab(), 1);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.KVDirDir));
    int draws = 0;
    QuoteStuff::setRandomSource([&draws] { return float(draws++ % 19) / 19.0f; });

    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int tab;
    } steps[] = {{Qt::Key_Tab, Qt::ControlModifier, 2},
                 {Qt::Key_Tab, Qt::ControlModifier, 1}, // round the row, past tab 0
                 {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 2},
                 {Qt::Key_PageDown, Qt::ControlModifier, 1},
                 {Qt::Key_PageUp, Qt::ControlModifier, 2}};
    for (const auto& step : steps) {
        QTest::keyClick(QApplication::focusWidget(), step.key, step.modifiers);
        QCOMPARE(tabs->Tab(), step.tab);
    }
    QCOMPARE(draws, 3); // the About tab, reached by keys, draws a quote as a click does
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!window.isVisible());
    QVERIFY(fatalErrors().isEmpty());
}

// --help, --version and a wrong option answer at once: no display is needed, and
// neither the settings nor the single-instance lock are touched.
void DesktopTest::commandLineAnswersWithoutTheWindow() {
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    env.insert("XDG_CONFIG_HOME", home.path());
    const struct {
        QStringList arguments;
        int status;
        QString output; // on standard output, or on standard error when status != 0
    } cases[] = {{{"--help"}, 0, "--world <NAME>"},
                 {{"-v"}, 0, "korvath2-launcher 1.0"},
                 {{"--world-peace"}, 2, "korvath2-launcher: Unknown option 'world-peace'."},
                 {{"stray"}, 2, "korvath2-launcher: unexpected argument 'stray'"}};
    for (const auto& c : cases) {
        QProcess launcher;
        launcher.setProcessEnvironment(env);
        launcher.start(KV_BINARY_DIR "/korvath2-launcher", c.arguments);
        QVERIFY(launcher.waitForFinished(10000));
        QCOMPARE(launcher.exitCode(), c.status);
        const QString output =
            c.status == 0 ? launcher.readAllStandardOutput() : launcher.readAllStandardError();
        QVERIFY2(output.contains(c.output), qPrintable(output));
    }
    QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
