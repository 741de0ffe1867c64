// Menu entries for worlds: hostile labels, directories and names round-trip through
// the file as a desktop reads it; only the launcher's own entries are replaced or
// removed; and the real launcher adds, launches from and removes them.
#include "WorldsTestSupport.h"
#include "app/LauncherError.h"
#include "worlds/DesktopEntries.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void hostileNamesRoundTrip();
    void onlyTheLaunchersOwnEntriesAreTouched();
    void commandLineAddsLaunchesAndRemoves();
};

using TestSupport::readText;
using WorldsTest::write;
namespace DE = DesktopEntries;

void DesktopTest::hostileNamesRoundTrip() {
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
    QSet<QString> paths;
    for (const auto& row : rows) {
        const QString path = DE::Add(row.dir, row.label, row.display, program);
        paths.insert(path);
        QCOMPARE(path, DE::PathFor(row.dir, row.label));
        QCOMPARE(QFileInfo(path).path(), tmp.path() + "/data/applications");
        QVERIFY2(QRegularExpression("^korvath2-[a-z0-9-]+-[0-9a-f]{16}\\.desktop$")
                     .match(QFileInfo(path).fileName())
                     .hasMatch(),
                 qPrintable(path));
        QVERIFY(DE::Exists(row.dir, row.label));
        const QMap<QString, QString> keys = DE::Read(path);
        QCOMPARE(DE::StringValue(keys["Name"]), QString("Korvath II \u2014 ") + row.display);
        QCOMPARE(DE::ExecArguments(keys["Exec"]),
                 QStringList({program, "--world", row.label, "--game-dir", row.dir}));
        if (validator) {
            QProcess check;
            check.start("desktop-file-validate", {path});
            QVERIFY(check.waitForFinished());
            // Releases before 0.27 do not know version 1.5 yet; nothing else may be said.
            const QString said =
                QString::fromUtf8(check.readAllStandardOutput() + check.readAllStandardError())
                    .remove(path + ": error: value \"1.5\" for key \"Version\" in group "
                                   "\"Desktop Entry\" is not a known version\n");
            QVERIFY2(said.isEmpty(), qPrintable(said));
        }
    }
    QCOMPARE(paths.size(), int(std::size(rows)));
    if (!validator)
        QSKIP("desktop-file-validate is not installed: the entries were not validated");
}

void DesktopTest::onlyTheLaunchersOwnEntriesAreTouched() {
    QTemporaryDir tmp;
    qputenv("XDG_DATA_HOME", QFile::encodeName(tmp.path()));
    const QString dir = "/games/K/", path = DE::PathFor(dir, "Frostmarch");
    bool removed = true;
    QCOMPARE(DE::Remove(dir, "Frostmarch", &removed), path);
    QVERIFY(!removed);
    // A file of someone else's at the entry's path (or one for another world) stays.
    for (const QByteArray& foreign :
         {QByteArray("[Desktop Entry]\nName=Mine\n"), QByteArray("not an entry"),
          QByteArray("[Desktop Entry]\nX-Korvath-Launcher-GameDir=/games/K/\n"
                     "X-Korvath-Launcher-World=Frostmarch2\n")}) {
        QVERIFY(write(path, foreign));
        QVERIFY(!DE::Exists(dir, "Frostmarch"));
        QVERIFY_THROWS_EXCEPTION(FileSystemError, DE::Remove(dir, "Frostmarch"));
        QVERIFY_THROWS_EXCEPTION(FileSystemError, DE::Add(dir, "Frostmarch", "F", "/bin/k"));
        QCOMPARE(readText(path), QString(foreign));
    }
    QVERIFY(QFile::remove(path));
    // The directory given without its closing separator is the same installation.
    DE::Add("/games/K", "Frostmarch", "Frost March", "/bin/k");
    QVERIFY(DE::Exists(dir, "Frostmarch") && !DE::Exists("/games/L/", "Frostmarch"));
    QCOMPARE(DE::Remove(dir, "Frostmarch", &removed), path);
    QVERIFY(removed && !QFile::exists(path));
    // What no entry can hold, and a folder that cannot be made, are said with the path.
    try {
        DE::Add(dir, QString("bell\a"), "B", "/bin/k");
        QFAIL("a label with a control character was written");
    } catch (const FileSystemError& error) {
        QCOMPARE(error.systemError(), EINVAL);
    }
    QVERIFY(write(tmp.path() + "/file", ""));
    qputenv("XDG_DATA_HOME", QFile::encodeName(tmp.path() + "/file/data"));
    try {
        DE::Add(dir, "Frostmarch", "F", "/bin/k");
        QFAIL("an entry was written below a file");
    } catch (const FileSystemError& error) {
        QVERIFY2(error.message().contains(tmp.path() + "/file/data"), qPrintable(error.message()));
    }
}

void DesktopTest::commandLineAddsLaunchesAndRemoves() {
    QTemporaryDir tmp;
    const QString root = tmp.path(), game = root + "/My $Games %x/Korvath II";
    const QString launcher =
        qEnvironmentVariable("KV_BINARY_DIR", KV_BINARY_DIR) + "/korvath2-launcher";
    QVERIFY(
        write(root + "/game.sh", "#!/bin/sh\ncat Roster/marker.txt > \"$KV_OUT/seen\"\n", true));
    InstallationBuilder::Options options;
    options.gameProgram = root + "/game.sh";
    QCOMPARE(InstallationBuilder::build(game, options), QString());
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
    const auto setGameDir = [&](const QString& dir) {
        IniSettingsStore(root + "/config/Korvath II Launcher.conf")
            .SaveSetting(kSettingsSection, "KVDir", dir);
    };

    QCOMPARE(run({launcher, "--add-to-menu", "Frost March"}), 125);
    // The entry starts its very world, from the directory it names, not the saved one.
    for (const auto& [name, label, seen] :
         {std::tuple{"Frost March", "Frostmarch", "Frostmarch Roster_Frostmarch\n"},
          std::tuple{"-odd $X%", "-Odd $x%", "odd\n"}}) {
        setGameDir(game + "/");
        QCOMPARE(run({launcher, "--add-to-menu", name}), 0);
        const QString path = DE::PathFor(game + "/", label);
        QCOMPARE(QString(out), path + "\n");
        setGameDir("");
        QCOMPARE(run(DE::ExecArguments(DE::Read(path)["Exec"])), 0);
        QCOMPARE(readText(root + "/seen"), QString(seen));
    }
    setGameDir(game + "/");
    const QString frost = DE::PathFor(game + "/", "Frostmarch");
    QCOMPARE(run({launcher, "--remove-from-menu", "frost march"}), 0);
    QVERIFY(QString(out) == frost + "\n" && !QFile::exists(frost));
    QVERIFY(write(frost, "[Desktop Entry]\nName=Mine\n"));
    QCOMPARE(run({launcher, "--remove-from-menu", "Frost March"}), 1);
    QVERIFY2(err.contains(frost.toUtf8()), err);
    QCOMPARE(readText(frost), "[Desktop Entry]\nName=Mine\n");
    for (const char* option : {"--add-to-menu", "--remove-from-menu"}) {
        QCOMPARE(run({launcher, option, "Nowhere"}), 2);
        QVERIFY(err.contains("\ndawn\tIsle of Dawn\n"));
    }

    // A world that is gone, and an installation that is gone, can lose their entries.
    QCOMPARE(run({launcher, "--add-to-menu", "dawn"}), 0);
    QVERIFY(QFile::remove(game + "/dawn.ini"));
    QCOMPARE(run({launcher, "--remove-from-menu", "dawn"}), 0);
    QVERIFY(!QFile::exists(DE::PathFor(game + "/", "dawn")));
    QVERIFY(QDir().rename(game, root + "/moved"));
    QCOMPARE(run({launcher, "--remove-from-menu", "-Odd $x%", "--game-dir", game}), 0);
    QVERIFY(!QFile::exists(DE::PathFor(game + "/", "-Odd $x%")));
    QCOMPARE(run({launcher, "--remove-from-menu", "-Odd $x%", "--game-dir", game}), 125);
}

QTEST_GUILESS_MAIN(DesktopTest)
#include "tst_desktop.moc"
