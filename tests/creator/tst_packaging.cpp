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
    QVERIFY(!ScriptWriters::WriteTomeScript(input, fs, fs));
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
    const std::optional<Problem> refused = ScriptWriters::WriteWorldScript(input, fs, fs);
    QVERIFY(refused && refused->kind == Problem::Kind::NameHoldsControl &&
            refused->named == Problem::Named::GameDirectory && refused->path == input.gameDir);
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
    using Kind = Problem::Kind;
    struct Run {
        std::optional<Kind> refused; // none: an installer is made
        QString label, name;         // the world packaged, or
        // its tomes; the installer's files, or parts of the problem's path and details
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
        {Kind::NameHoldsControl, "dawn", "Isle\nof Dawn", {}, {"\nIsle\nof Dawn\n"}},
        {Kind::NameHoldsControl, "dawn", "Isle\u2028of Dawn", {}, {"\nIsle\u2028of Dawn\n"}},
        {Kind::NameEndsInDollarBackslash, "dawn", "Gold$\\", {}, {"\nGold$\\\n"}},
        {Kind::NameHoldsWildcard, "da*wn", "Dawn", {}, {"\nda*wn\n"}},
        {Kind::NameHoldsControl, "da\x7Fwn", {}, {"Bestiary"}, {"\nda\x7Fwn\n"}},
        {Kind::NameHoldsBackslash, "Sea\\Charts", {}, {"Bestiary"}, {"\nSea\\Charts\n"}},
        {Kind::NameHoldsBackslash, {}, {}, {"Bestiary", "Back\\slash"}, {"\nBack\\slash\n"}},
        {Kind::NameHoldsBackslash, {}, {}, {"Back"}, {"/Tomes/Back/Sea\\Charts.txt\n"}},
        {Kind::NameNotUtf8, {}, {}, {"Latin"}, {"/Tomes/Latin/l"}},
        {Kind::FolderEmpty, {}, {}, {"Empty"}, {"/Tomes/Empty\n"}},
        {Kind::FileNotPackable, {}, {}, {"Pipe"}, {"/Tomes/Pipe/p\n"}},
        {Kind::FileNotPackable, "pipe", "Pipe", {}, {"/pipe.ini\n"}},
        {Kind::FolderUnpackable,
         {},
         {},
         {"Back"},
         {"/Tomes/Back\n"},
         [&] { lock({game + "Tomes/Back"}, false); }},
        {{}, label, name, {}, world, [] { qputenv("LANG", "xx_YY.UTF-8"); }},
        {{}, label, name, {}, world, [] { qputenv("LC_CTYPE", "UTF-8"); }},
        {{}, label, {}, tomes, ofTomes, [&] { lock({launcher}); }},
        {{}, {}, {}, defaultTomes, ofDefault},
        {Kind::ScriptNotWritten, label, name, {}, {"\n" + data + "\n"}, [&] { lock(both); }},
        {Kind::CompilerNotFound,
         label,
         name,
         {},
         {"/kvii.nsi\n"},
         [] { qputenv("PATH", "/nothing"); }},
        {Kind::CompilerFailed,
         label,
         name,
         {},
         {"/kvii.log\nexit 1\nError: line 7"},
         [&] { compiler(sh + "echo 'x\n  Error: line 7' >\"${2#-O}\"; exit 1"); }},
        {Kind::CompilerCrashed,
         label,
         name,
         {},
         {"exit 139"},
         [&] { compiler(sh + "kill -SEGV $$"); }},
        {Kind::NoInstallerMade,
         label,
         name,
         {},
         {"exit 0"},
         [&] {
             compiler(sh + "exit 0"); // an old one stays
         }},
        {Kind::CompilerNeedsWine,
         label,
         name,
         {},
         {"/MakeNSIS.EXE\n"},
         [&] { compiler("MZ", "MakeNSIS.EXE"); }},
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
        const QString folder = locks.empty() ? launcher : data;
        QCOMPARE(outcome.ready, !run.refused);
        if (outcome.problem) {
            const Problem& problem = *outcome.problem;
            // What it names, the exit code and the system's words, as the panel gets them.
            const QString said =
                (QStringList{"", problem.path, QStringLiteral("exit %1").arg(problem.exitCode)} +
                 problem.details)
                    .join('\n') +
                '\n';
            QVERIFY2(run.refused && problem.kind == *run.refused, qPrintable(said));
            for (const QString& part : run.expected)
                QVERIFY2(said.contains(part), qPrintable(said));
            if (problem.kind != Kind::ScriptNotWritten) // the label is saved first
                QCOMPARE(settings.GetSetting("Settings", "lastDirLabel"), labelBefore);
            continue;
        }
        QCOMPARE(outcome.folder, folder + "/output");
        QCOMPARE(outcome.inDataFolder, !locks.empty());
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
