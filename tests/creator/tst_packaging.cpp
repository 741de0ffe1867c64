// Packaging without the window: the script writers' lines and settings, in order, on
// the first platform's paths; the names they refuse without writing anything; and
// round trips through the real installer compiler (makensis) and 7-Zip's listing of
// each installer, for names built to trip the compiler up, under locales that only
// claim to be UTF-8, and from a launcher folder that cannot be written.
#include "InstallationBuilder.h"
#include "TestSupport.h"
#include "creator/CompilerLookup.h"
#include "creator/Packaging.h"

#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Writes nothing: the files, lines and settings a writer would write all go into one
// log, so their order shows. Paths take the first platform's form ("\" between
// components).
class ScriptLog : public LocalFileSystem, public IniSettingsStore {
public:
    QStringList log;

    ScriptLog() : IniSettingsStore(QStringLiteral("/nonexistent/settings.conf")) {}
    std::unique_ptr<TextWriter> CreateTextFile(const QString& path, bool overwrite,
                                               bool wide) override {
        log.append(QStringLiteral("<create %1 %2 %3>").arg(path).arg(overwrite).arg(wide));
        struct Forward : TextWriter {
            QStringList& to;
            explicit Forward(QStringList& log) : to(log) {}
            void WriteLine(const QString& text) override { to.append(text); }
            void Close() override { to.append("<close>"); }
        };
        return std::make_unique<Forward>(log);
    }
    void SaveSetting(const QString& section, const QString& key, const QString& value) override {
        log.append(QStringLiteral("<%1/%2=%3>").arg(section, key, value));
    }
};

// What hostile names are made of: section prefixes the compiler reads specially, its
// variables, defines, environment references and language strings, quotes and the
// letters that follow "$\" in its escapes, comment and wildcard characters, letters
// beyond ASCII, spaces, and length.
const QStringList kPieces =
    QString("un.|UN.|Uninstall|-|!| |$|$$|$0|$INSTDIR|$R1|${NSISDIR}|"
            "${U+41}|$%HOME%|$(^Name)|\"|'|`|t|n|r|;|#|*|?|[1]|&|Zoë|日本|🐉")
        .split('|')
    << QString(50, 'L');

// A text of an installer script that the installer would read as a variable, a
// define or an environment reference: one with a "$" that is not "$$" or one of the
// compiler's escapes for a character ("$\" and a quote, "${U+...}").
const QRegularExpression kVariable(QStringLiteral(
    R"(^(?:Name|Caption|Section|SetOutPath) "(?:\$INSTDIR)?+(?:[^$]|\$\$|\$\\["'`]|\$\{U\+[0-9A-F]+\})*+\$)"));

} // namespace

class PackagingTest : public QObject {
    Q_OBJECT
private slots:
    void tomeScriptLinesAndSettingsInOrder();
    void installersHoldExactlyTheirFiles();
};

void PackagingTest::tomeScriptLinesAndSettingsInOrder() {
    ScriptLog fs;
    // Titles the compiler would read specially start with a space; a "?" in a label
    // harms only the world script (its .ini file's name).
    const QString D = QStringLiteral("D:\\Games\\Korvath 2\\");
    ScriptWriters::ScriptInput input{D, '\\', nullptr, "da?wn", {}, {"!Maps", "un.Lore"}, "C:\\k"};
    QCOMPARE(ScriptWriters::WriteTomeScript(input, fs, fs), QString());
    QStringList expected = {
        "<Settings/lastDirLabel=da?wn>",
        "<create C:\\k 1 0>",
        R"x(Name "Korvath II Tome(s)")x",
        R"x(Caption "Setup for Korvath II Tome(s)")x",
        R"(OutFile "output\setup.exe")",
        R"(InstallDir "C:\Program Files\Quillmark Games\Stonebrook Games\Korvath 2")",
        R"(DirText "Installation Directory" "Please enter the location of your Korvath II directory:")",
        "<PackageTomeDirs/!Maps=!Maps>",
        "<PackageTomeDirs/un.Lore=un.Lore>"};
    for (const QString& tome : input.tomes)
        expected << QString("Section \" %1\"").arg(tome)
                 << QString(R"(SetOutPath "$INSTDIR\tomes\%1")").arg(tome)
                 << QString(R"(File /r "%1tomes\%2\*.*")").arg(D, tome) << "SectionEnd";
    QCOMPARE(fs.log, expected << "<close>");
    // A refused script writes nothing at all.
    fs.log.clear();
    input.gameDir = "D:\\Ga\rmes\\";
    QVERIFY(ScriptWriters::WriteWorldScript(input, fs, fs).contains(R"(directory "D:\Ga�mes\")"));
    QCOMPARE(fs.log, QStringList());

    qputenv("XDG_DATA_HOME", "/home/pat/.local/share");
    QCOMPARE(CompilerLookup::UserDataFolder(), "/home/pat/.local/share/Korvath II Launcher");
    qunsetenv("XDG_DATA_HOME");
}

// Every installer is built by the real compiler from the launcher's or the data folder
// (a user's launcher folder may be read-only), under another locale that the launcher
// may be given, and holds exactly its files, each under the path it installs to; or
// what could not be packaged is said, with nothing written.
void PackagingTest::installersHoldExactlyTheirFiles() {
    if (!TestSupport::runsUnprivileged())
        return;
    const int seed =
        qEnvironmentVariableIsSet("KV_SEED") ? qEnvironmentVariableIntValue("KV_SEED") : 20261206;
    qInfo("hostile names from seed %d (set KV_SEED to replay)", seed);
    QRandomGenerator random(seed);
    int count = 0;
    // start, one to three pieces, a number, one more piece, end.
    auto hostile = [&](const QString& start = {}, const QString& end = {}) {
        QString name = start + kPieces[random.bounded(kPieces.size())];
        for (int i = random.bounded(3); i > 0; --i)
            name += kPieces[random.bounded(kPieces.size())];
        return name + QString::number(++count) + kPieces[random.bounded(kPieces.size())] + end;
    };
    TestSupport::RawTempDir tmp;
    KVDirStuff::GameFolderTable table;
    KVDirStuff::FillGameFolderPaths(table);
    KVDirStuff::FillGameFolderNames(table);
    const QString game = tmp.path() + "/Game/", launcher = tmp.path() + "/launcher";
    const QString data = tmp.path() + "/data";
    Packaging::Request request{{game, '/', &table, {}, {}, {}, {}}, true, launcher, data};
    // Writes a file below game; returns its path there.
    auto put = [&](const QString& path) {
        InstallationBuilder::writeFile(game + path, "x");
        return path;
    };
    // The world's label is not ASCII; it ends in "$", which meets the "\" before each
    // of its tomes, and holds no wildcard: its .ini file is named in a File line
    // (refused apart); its .ini file is found without regard to case. Its name holds
    // every piece, and "$\" before every escape letter.
    const QString label = hostile("日本").remove('*').remove('?') + '$';
    const QString name = "World " + kPieces.join(' ') + " $\\t$\\n$\\r$\\\"$\\'$\\`$\\$$\\\\ end";
    QStringList world{put(label + ".INI")}, tomes = {"Uninstall", "uN.Lore"}, ofTomes, ofDefault;
    QStringList defaultTomes;
    for (const QString start : {"t", "n", "r", "'", "`", "\"", "-", "!", "un."})
        tomes << hostile(start);
    for (const QString start : {"un.", "-", "!", " "})
        defaultTomes << hostile(start);
    for (const QString& tome : tomes)
        ofTomes << "t" + put("Tomes_" + label + "/" + tome + "/" + hostile()).mid(1);
    for (const QString& tome : defaultTomes)
        ofDefault << "tomes/" + put("Tomes/" + tome + "/" + hostile({}, " ")).mid(6);
    for (int i = 0; i < 9; ++i)
        world << put("Data/Graphics/Tiles_" + label + "/" + hostile() + "/" + hostile());
    for (const QString& file : ofTomes)
        world << "T" + file.mid(1);
    for (QStringList* expected : {&world, &ofTomes, &ofDefault})
        expected->sort();
    // Names the compiler cannot take below packed folders.
    put("Tomes/Back/Sea\\Charts.txt");
    QVERIFY(QDir().mkpath(game + "Tomes/Empty/Sub") && QDir().mkpath(game + "Tomes/Latin"));
    const QByteArray latin = QFile::encodeName(game + "Tomes/Latin/l") + "\xE9gende";
    QVERIFY(::close(::creat(latin.constData(), 0644)) == 0);
    QVERIFY(QDir().mkpath(game + "Tomes/Pipe"));
    for (const QString pipe : {"Tomes/Pipe/p", "pipe.ini"})
        QVERIFY(::mkfifo(QFile::encodeName(game + pipe).constData(), 0600) == 0);

    std::list<TestSupport::FolderLock> locks;
    auto lock = [&](const QStringList& folders, bool readOnly = true) {
        for (const QString& folder : folders)
            locks.emplace_back(folder, readOnly ? TestSupport::FolderLock::ReadOnly
                                                : TestSupport::FolderLock::Unreadable);
    };
    struct Run {
        QString label, name; // the world packaged, or
        // its tomes; the installer's files, or a part of the message
        QStringList tomes, expected;
        std::function<void()> prepare = [] {};
    };
    // A compiler beside the launcher (preferred to the one on the PATH).
    auto compiler = [&](const QByteArray& program, const QString& name = "makensis") {
        InstallationBuilder::writeFile(launcher + "/" + name, program, true);
    };
    const QByteArray sh = "#!/bin/sh\n";
    const QStringList both = {launcher, data};
    const QList<Run> runs = {
        {"dawn", "Isle\nof Dawn", {}, {R"(the world name "Isle�of Dawn" holds a control)"}},
        {"dawn", "Isle\u2028of Dawn", {}, {R"("Isle�of Dawn" holds a control)"}},
        {"dawn", "Gold$\\", {}, {R"(the world name "Gold$\" ends in "$\")"}},
        {"da*wn", "Dawn", {}, {"which the compiler reads as a wildcard"}},
        {"da\x7Fwn", {}, {"Bestiary"}, {R"(the world label "da�wn")"}},
        {"Sea\\Charts", {}, {"Bestiary"}, {R"("Sea\Charts" holds a "\")"}},
        {{}, {}, {"Bestiary", "Back\\slash"}, {R"(the tome name "Back\slash" holds a "\")"}},
        {{}, {}, {"Back"}, {R"(the name "Tomes/Back/Sea\Charts.txt" holds a "\")"}},
        {{}, {}, {"Latin"}, {R"(the name of "Tomes/Latin/l�gende" is not UTF-8)"}},
        {{}, {}, {"Empty"}, {R"(the folder "Tomes/Empty" holds no file)"}},
        {{}, {}, {"Pipe"}, {R"(the file "Tomes/Pipe/p" is a pipe, socket or device)"}},
        {"pipe", "Pipe", {}, {R"(the file "pipe.ini" is a pipe, socket or device)"}},
        {{}, {}, {"Back"}, {"cannot be read"}, [&] { lock({game + "Tomes/Back"}, false); }},
        {label, name, {}, world, [] { qputenv("LANG", "xx_YY.UTF-8"); }},
        {label, name, {}, world, [] { qputenv("LC_CTYPE", "UTF-8"); }},
        {label, {}, tomes, ofTomes, [&] { lock({launcher}); }},
        {{}, {}, defaultTomes, ofDefault},
        {label, name, {}, {"launcher's folder or in"}, [&] { lock(both); }},
        {label, name, {}, {"(makensis) was found"}, [] { qputenv("PATH", "/nothing"); }},
        {label,
         name,
         {},
         {"errors (exit code 1)", "\nError: line 7\nThe compiler's report: "},
         [&] { // its end is read: past a long report's start
             compiler(sh + "{ head -c 99999 /dev/zero | tr '\\0' x; echo '\n  Error: line 7'; } "
                           ">\"${2#-O}\"; exit 1");
         }},
        {label, name, {}, {"crashed (exit code 139)"}, [&] { compiler(sh + "kill -SEGV $$"); }},
        {label,
         name,
         {},
         {"made no setup.exe"},
         [&] { compiler(sh + "exit 0"); }}, // an old one stays
        {label, name, {}, {"Install Wine"}, [&] { compiler("MZ", "MakeNSIS.EXE"); }},
    };
    LocalFileSystem fs;
    IniSettingsStore settings(tmp.path() + "/settings.conf");
    QProcessRunner runner;
    const QByteArray searchPath = qgetenv("PATH");
    for (const Run& run : runs) {
        request.input.label = run.label;
        request.input.displayName = run.name;
        request.input.tomes = run.tomes;
        request.worldScript = run.tomes.isEmpty();
        for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"})
            qunsetenv(name);
        qputenv("PATH", searchPath);
        locks.clear();
        run.prepare();
        const QString labelBefore = settings.GetSetting("Settings", "lastDirLabel");
        const Packaging::Outcome outcome = Packaging::Package(request, fs, settings, runner);
        const QString said = outcome.text;
        const QString folder = locks.empty() ? launcher : data;
        if (!said.startsWith("The installer is ready")) {
            for (const QString& part : run.expected) // in the message, or in its tooltip
                QVERIFY2((said + '\n' + outcome.details).contains(part), qPrintable(said));
            if (!said.contains("could not be written")) // the label is saved first
                QCOMPARE(settings.GetSetting("Settings", "lastDirLabel"), labelBefore);
            continue;
        }
        QCOMPARE(said, "The installer is ready: setup.exe in " + folder + "/output" +
                           (locks.empty() ? "." : " (the launcher's folder cannot be written)."));
        // 7-Zip's listing of the installer: every path (a name may end in a space).
        QProcess lister;
        lister.start("7zz", {"l", "-ba", "-slt", folder + "/output/setup.exe"});
        QVERIFY(lister.waitForFinished(60000));
        QStringList paths =
            QString::fromUtf8(lister.readAll()).split('\n').filter(QRegularExpression("^Path = "));
        for (QString& path : paths)
            path.remove(0, 7);
        paths.sort();
        QCOMPARE(paths, run.expected);
        // 7-Zip lists "$0" and "$$0" alike: variables are looked for in the script.
        const QString script = TestSupport::readText(folder + "/kvii.nsi");
        QVERIFY(!script.isEmpty());
        for (const QString& text : script.split("\r\n"))
            QVERIFY2(!kVariable.match(text).hasMatch(), qPrintable(text));
    }
}

QTEST_GUILESS_MAIN(PackagingTest)
#include "tst_packaging.moc"
