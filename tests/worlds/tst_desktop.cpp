// Menu entries for worlds: hostile labels, directories and names round-trip through
// the file as a desktop reads it; only the launcher's own entries are replaced or
// removed; and the real launcher adds, launches from and removes them.
#include "WorldsTestSupport.h"
#include "worlds/DesktopEntries.h"

#include <QtTest>

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void hostileNamesRoundTripAndOnlyOwnEntriesAreTouched();
    void commandLineAddsLaunchesAndRemoves();
};

using TestSupport::readText;
using WorldsTest::write;
namespace DE = DesktopEntries;

void DesktopTest::hostileNamesRoundTripAndOnlyOwnEntriesAreTouched() {
    QTemporaryDir tmp;
    qputenv("XDG_DATA_HOME", QFile::encodeName(tmp.path() + "/data"));
    const QString program = tmp.path() + "/bin dir/korvath2-launcher";
    // The reader against the rules themselves: string escapes first, then quotes.
    const QString written = R"(p "a \\\\ \\"b\\" \\$x \\`" 50%% "" %f\sz)", open = R"(p "open)";
    QCOMPARE(DE::ExecArguments(written), QStringList({"p", "a \\ \"b\" $x `", "50%", "", "z"}));
    QCOMPARE(DE::ExecArguments(open), QStringList());

    const struct {
        QString label, dir, display;
    } rows[] = {
        {"Frost March", "/games/Korvath II/", "Frost March"},
        {"frost-march", "/games/Korvath II/", "Frost March"},
        {"Frost March", "/games/Korvath III/", "Frost March"},
        {"", "/games/Korvath II/", "Valmora (Default Korvath World)"},
        {"-Odd \"one\" 'two'", "/g/$HOME %f %%/", "Two\nlines"},
        {"back\\slash", "/g/ spaced /", " lead\\s"},
        {" Морозы ö 世界", "/g/tab\there\r/", "Tab\there"},
        {"50%;x", "/g/new\nline/", "$x `y` 100%"},
        {"`id`&|<>*?#()~=", "/g/a$b/", "x"},
    };
    const bool validator = !QStandardPaths::findExecutable("desktop-file-validate").isEmpty();
    const QRegularExpression name("^" + QRegularExpression::escape(tmp.path()) +
                                  "/data/applications/korvath2-[a-z0-9-]+-[0-9a-f]{16}\\.desktop$");
    // Two rows sharing a path would meet as a foreign file, which Add refuses.
    for (const auto& row : rows) {
        const QString path = DE::Add(row.dir, row.label, row.display, program).path;
        QVERIFY2(name.match(path).hasMatch() && DE::Exists(row.dir, row.label), qPrintable(path));
        const QMap<QString, QString> keys = DE::Read(path);
        QCOMPARE(DE::StringValue(keys["Name"]), QString("Korvath II \u2014 ") + row.display);
        QCOMPARE(DE::ExecArguments(keys["Exec"]),
                 QStringList({program, "--world", row.label, "--game-dir", row.dir}));
        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start("desktop-file-validate", {path});
        const QString said = check.waitForFinished() ? check.readAll() : "no answer";
        QVERIFY2(!validator || said.isEmpty(), qPrintable(said));
    }

    const QString dir = "/games/K/", path = DE::PathFor(dir, "Frostmarch");
    // Why a call changed nothing: a refusal ("added" or "removed": what was not done,
    // the entry, the reason), or a failing service.
    const auto failure = [](const std::function<DE::Result()>& call) {
        try {
            const std::optional<Problem> no = call().refused;
            if (!no)
                return QString();
            const char* what = no->kind == Problem::Kind::MenuEntryNotAdded     ? "added"
                               : no->kind == Problem::Kind::MenuEntryNotRemoved ? "removed"
                                                                                : "?";
            return QString("%1 %2: %3").arg(what, no->path, no->reason);
        } catch (const FileSystemError& error) {
            return error.message();
        }
    };
    QVERIFY(!DE::Remove(dir, "Frostmarch").removed);
    // A file of someone else's at the entry's path (or one for another world) stays.
    for (const QByteArray& foreign :
         {QByteArray("[Desktop Entry]\nName=Mine\n"), QByteArray("not an entry"),
          QByteArray("[Desktop Entry]\nX-Korvath-Launcher-GameDir=/games/K/\n"
                     "X-Korvath-Launcher-World=Frostmarch2\n")}) {
        QVERIFY(write(path, foreign) && !DE::Exists(dir, "Frostmarch"));
        QCOMPARE(failure([&] { return DE::Remove(dir, "Frostmarch"); }),
                 "removed " + path + ": another file is in its place");
        QCOMPARE(failure([&] { return DE::Add(dir, "Frostmarch", "F", "/bin/k"); }),
                 "added " + path + ": another file is in its place");
        QCOMPARE(readText(path), QString(foreign));
    }
    // The directory given without its closing separator is the same installation.
    QVERIFY(QFile::remove(path) && DE::Add("/games/K", "Frostmarch", "F", "/bin/k").path == path);
    QVERIFY(DE::Remove(dir, "Frostmarch").removed && !QFile::exists(path));
    // What no entry can hold, and a folder that cannot be made, are said with the path.
    QCOMPARE(failure([&] { return DE::Add(dir, "bell\a", "B", "/bin/k"); }),
             "added " + DE::PathFor(dir, "bell\a") +
                 ": the world's label holds a control character");
    QVERIFY(write(tmp.path() + "/file", ""));
    qputenv("XDG_DATA_HOME", QFile::encodeName(tmp.path() + "/file/data"));
    QVERIFY(failure([&] {
                return DE::Add(dir, "Frostmarch", "F", "/bin/k");
            }).contains(tmp.path() + "/file/data/applications"));
}

void DesktopTest::commandLineAddsLaunchesAndRemoves() {
    QTemporaryDir tmp;
    const QString root = tmp.path(), game = root + "/My $Games %x/Korvath II";
    const QString launcher =
        qEnvironmentVariable("KV_BINARY_DIR", KV_BINARY_DIR) + "/korvath2-launcher";
    QVERIFY(write(root + "/g.sh", "#!/bin/sh\ncat Roster/marker.txt > \"$KV_OUT/seen\"\n", true));
    QCOMPARE(InstallationBuilder::build(game, {root + "/g.sh", "", true}), QString());
    QVERIFY(write(game + "/-Odd $x%.ini", "[WorldData]\nDisplayName=Odd\n"));
    QVERIFY(write(game + "/Roster_-Odd $x%/marker.txt", "odd\n"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + "/data"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", root + "/config");
    env.insert("KV_OUT", root);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    QByteArray out, err;
    const auto run = [&](const QStringList& command) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(command.first(), command.mid(1));
        const bool ended = process.waitForFinished(30000);
        out = process.readAllStandardOutput();
        err = process.readAllStandardError();
        return ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };

    // No game directory saved: the entry starts its very world from the directory it names.
    QCOMPARE(run({launcher, "--add-to-menu", "Frost March"}), 125);
    for (const auto& [name, label, seen] :
         {std::tuple{"Frost March", "Frostmarch", "Frostmarch Roster_Frostmarch\n"},
          std::tuple{"-odd $X%", "-Odd $x%", "odd\n"}}) {
        QCOMPARE(run({launcher, "--add-to-menu", name, "--game-dir", game}), 0);
        const QString path = DE::PathFor(game + "/", label);
        QCOMPARE(QString(out), path + "\n");
        QCOMPARE(run(DE::ExecArguments(DE::Read(path)["Exec"])), 0);
        QCOMPARE(readText(root + "/seen"), QString(seen));
    }
    IniSettingsStore(root + "/config/Korvath II Launcher.conf")
        .SaveSetting(kSettingsSection, "KVDir", game + "/");
    const QString frost = DE::PathFor(game + "/", "Frostmarch");
    QCOMPARE(run({launcher, "--remove-from-menu", "frost march"}), 0);
    QVERIFY(QString(out) == frost + "\n" && !QFile::exists(frost));
    QVERIFY(write(frost, "mine"));
    QCOMPARE(run({launcher, "--remove-from-menu", "Frost March"}), 1);
    QVERIFY2(err.contains(frost.toUtf8()) && readText(frost) == "mine", err);
    QCOMPARE(run({launcher, "--remove-from-menu", "Nowhere"}), 2);
    QVERIFY(err.contains("\ndawn\tIsle of Dawn\n"));

    // A world that is gone, and an installation that is gone, can lose their entries.
    QCOMPARE(run({launcher, "--add-to-menu", "dawn"}), 0);
    QVERIFY(QFile::remove(game + "/dawn.ini"));
    QCOMPARE(run({launcher, "--remove-from-menu", "dawn"}), 0);
    QVERIFY(!QFile::exists(DE::PathFor(game + "/", "dawn")));
    QVERIFY(QDir().rename(game, root + "/moved"));
    QCOMPARE(run({launcher, "--remove-from-menu", "-Odd $x%", "--game-dir", game}), 0);
    QVERIFY(!QFile::exists(DE::PathFor(game + "/", "-Odd $x%")));
}

QTEST_GUILESS_MAIN(DesktopTest)
#include "tst_desktop.moc"
