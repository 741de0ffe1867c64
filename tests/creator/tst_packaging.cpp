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
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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
    void installersHoldExactlyTheirFiles_data();
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

namespace {

// A game directory whose world and tomes have hostile names (drawn from a seed, so each
// row sees the same ones), beside names the compiler cannot take and files it cannot
// pack; a launcher folder and the data folder it falls back on.
struct Packed {
    using Kind = Problem::Kind;
    struct Run {
        const char* tag;
        std::optional<Kind> refused; // none: an installer is made
        QString label, name;         // the world packaged, or
        // its tomes; the installer's files, or parts of the problem's path and details
        QStringList tomes, expected;
        std::function<void()> prepare = [] {};
    };

    const int seed =
        qEnvironmentVariableIsSet("KV_SEED") ? qEnvironmentVariableIntValue("KV_SEED") : 20261206;
    QRandomGenerator random{quint32(seed)};
    int count = 0;
    TestSupport::RawTempDir tmp;
    const QString game = tmp.path() + "/Game/", launcher = tmp.path() + "/launcher";
    const QString data = tmp.path() + "/data";
    std::list<TestSupport::FolderLock> locks;
    // The world's label is not ASCII; it ends in "$", which meets the "\" before each
    // of its tomes, and holds no wildcard: its .ini file is named in a File line
    // (refused apart); its .ini file is found without regard to case. Its name holds
    // every piece, and "$\" before every escape letter.
    const QString label = hostile("日本").remove('*').remove('?') + '$';
    const QString name = "World " + kPieces.join(' ') + " $\\t$\\n$\\r$\\\"$\\'$\\`$\\$$\\\\ end";
    QStringList world{label + ".INI"}, tomes = {"Uninstall", "uN.Lore"}, ofTomes, ofDefault;
    QStringList defaultTomes;

    Packed() {
        for (const QString start : {"t", "n", "r", "'", "`", "\"", "-", "!", "un."})
            tomes << hostile(start);
        for (const QString start : {"un.", "-", "!", " "})
            defaultTomes << hostile(start);
        for (const QString& tome : tomes)
            ofTomes << "tomes_" + label + "/" + tome + "/" + hostile();
        for (const QString& tome : defaultTomes)
            ofDefault << "tomes/" + tome + "/" + hostile({}, " ");
        for (int i = 0; i < 9; ++i)
            world << "Data/Graphics/Tiles_" + label + "/" + hostile() + "/" + hostile();
        for (const QString& file : ofTomes)
            world << "T" + file.mid(1);
        for (QStringList* expected : {&world, &ofTomes, &ofDefault})
            expected->sort();
    }
    // start, one to three pieces, a number, one more piece, end.
    QString hostile(const QString& start = {}, const QString& end = {}) {
        QString name = start + kPieces[random.bounded(kPieces.size())];
        for (int i = random.bounded(3); i > 0; --i)
            name += kPieces[random.bounded(kPieces.size())];
        return name + QString::number(++count) + kPieces[random.bounded(kPieces.size())] + end;
    }
    // Writes the game directory's files; false when one cannot be made.
    bool make() const {
        // Beside a twin in another case ("tomes"), the default tomes are packed from the
        // folder the tome list shows them from, the one named exactly.
        QStringList files =
            world + QString("Tomes/Back/Sea\\Charts.txt|Tomes/Empty/Sub/|Tomes/Latin/|"
                            "Tomes/Pipe/|Tomes/Socket/|Tomes/Device/|tomes/Decoy/decoy.txt")
                        .split('|');
        for (const QString& file : ofDefault)
            files << "T" + file.mid(1);
        if (!TestSupport::makeTree(game, files) || !QDir().mkpath(launcher) || !QDir().mkpath(data))
            return false;
        // What the compiler cannot take below packed folders: a name that is not UTF-8,
        // and files it would wait on or read without end.
        const QByteArray latin = QFile::encodeName(game + "Tomes/Latin/l") + "\xE9gende";
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray socketPath = QFile::encodeName(game + "Tomes/Socket/s");
        const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        qstrncpy(address.sun_path, socketPath.constData(), sizeof address.sun_path);
        return ::close(::creat(latin.constData(), 0644)) == 0 &&
               ::mkfifo(QFile::encodeName(game + "Tomes/Pipe/p").constData(), 0600) == 0 &&
               ::mkfifo(QFile::encodeName(game + "pipe.ini").constData(), 0600) == 0 &&
               ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
               ::close(socket) == 0 && QFile::link("/dev/zero", game + "Tomes/Device/zero");
    }
    void lock(const QStringList& folders, bool readOnly = true) {
        for (const QString& folder : folders)
            locks.emplace_back(folder, readOnly ? TestSupport::FolderLock::ReadOnly
                                                : TestSupport::FolderLock::Unreadable);
    }
    // A compiler beside the launcher (preferred to the one on the PATH).
    void compiler(const QByteArray& program, const QString& name = "makensis") const {
        InstallationBuilder::writeFile(launcher + "/" + name, program, true);
    }

    QList<Run> runs() {
        static const QByteArray sh = "#!/bin/sh\n";
        // clang-format off
        return {
            {"control character in the name", Kind::NameHoldsControl, "dawn", "Isle\nof Dawn", {},
             {"\nIsle\nof Dawn\n"}},
            {"line separator in the name", Kind::NameHoldsControl, "dawn", "Isle\u2028of Dawn", {},
             {"\nIsle\u2028of Dawn\n"}},
            {"name ending in $\\", Kind::NameEndsInDollarBackslash, "dawn", "Gold$\\", {},
             {"\nGold$\\\n"}},
            {"wildcard in the label", Kind::NameHoldsWildcard, "da*wn", "Dawn", {}, {"\nda*wn\n"}},
            {"control character in the label", Kind::NameHoldsControl, "da\x7Fwn", {}, {"Bestiary"},
             {"\nda\x7Fwn\n"}},
            {"backslash in the label", Kind::NameHoldsBackslash, "Sea\\Charts", {}, {"Bestiary"},
             {"\nSea\\Charts\n"}},
            {"backslash in a tome", Kind::NameHoldsBackslash, {}, {}, {"Bestiary", "Back\\slash"},
             {"\nBack\\slash\n"}},
            {"backslash in a packed name", Kind::NameHoldsBackslash, {}, {}, {"Back"},
             {"/Tomes/Back/Sea\\Charts.txt\n"}},
            {"packed name not UTF-8", Kind::NameNotUtf8, {}, {}, {"Latin"}, {"/Tomes/Latin/l"}},
            {"packed folder without files", Kind::FolderEmpty, {}, {}, {"Empty"}, {"/Tomes/Empty\n"}},
            {"pipe in a packed folder", Kind::FileNotPackable, {}, {}, {"Pipe"}, {"/Tomes/Pipe/p\n"}},
            {"socket in a packed folder", Kind::FileNotPackable, {}, {}, {"Socket"},
             {"/Tomes/Socket/s\n"}},
            // Making a device file takes root; a link to one is read as the device.
            {"device in a packed folder", Kind::FileNotPackable, {}, {}, {"Device"},
             {"/Tomes/Device/zero\n"}},
            {"pipe as the world's .ini file", Kind::FileNotPackable, "pipe", "Pipe", {},
             {"/pipe.ini\n"}},
            {"unreadable packed folder", Kind::FolderUnpackable, {}, {}, {"Back"}, {"/Tomes/Back\n"},
             [&] { lock({game + "Tomes/Back"}, false); }},
            {"world, locale xx_YY.UTF-8", {}, label, name, {}, world,
             [] { qputenv("LANG", "xx_YY.UTF-8"); }},
            {"world, locale UTF-8", {}, label, name, {}, world, [] { qputenv("LC_CTYPE", "UTF-8"); }},
            {"tomes, launcher folder read-only", {}, label, {}, tomes, ofTomes,
             [&] { lock({launcher}); }},
            {"default world's tomes", {}, {}, {}, defaultTomes, ofDefault},
            {"no folder can be written", Kind::ScriptNotWritten, label, name, {}, {"\n" + data + "\n"},
             [&] { lock({launcher, data}); }},
            {"no compiler", Kind::CompilerNotFound, label, name, {}, {"/kvii.nsi\n"},
             [] { qputenv("PATH", "/nothing"); }},
            {"compiler's errors at the end of a long report", Kind::CompilerFailed, label, name, {},
             {"/kvii.log\nexit 1\nError: line 7"},
             [&] {
                 compiler(sh + "{ head -c 99999 /dev/zero | tr '\\0' x; echo '\n  Error: line 7'; } "
                               ">\"${2#-O}\"; exit 1");
             }},
            {"compiler crashes", Kind::CompilerCrashed, label, name, {}, {"exit 139"},
             [&] { compiler(sh + "kill -SEGV $$"); }},
            {"no installer made, an old one there", Kind::NoInstallerMade, label, name, {}, {"exit 0"},
             [&] {
                 compiler(sh + "exit 0");
                 InstallationBuilder::writeFile(launcher + "/output/setup.exe", "MZ");
             }},
            {"Windows compiler, no Wine", Kind::CompilerNeedsWine, label, name, {},
             {"/MakeNSIS.EXE\n"}, [&] { compiler("MZ", "MakeNSIS.EXE"); }},
        };
        // clang-format on
    }
};

} // namespace

void PackagingTest::installersHoldExactlyTheirFiles_data() {
    QTest::addColumn<int>("row");
    Packed packed;
    for (int row = 0; row < packed.runs().size(); ++row)
        QTest::newRow(packed.runs()[row].tag) << row;
}

// Every installer is built by the real compiler from the launcher's or the data folder
// (a user's launcher folder may be read-only), under another locale that the launcher
// may be given, and holds exactly its files, each under the path it installs to; or
// what could not be packaged is said, with nothing written.
void PackagingTest::installersHoldExactlyTheirFiles() {
    if (!TestSupport::runsUnprivileged())
        return;
    QFETCH(int, row);
    Packed p;
    qInfo("hostile names from seed %d (set KV_SEED to replay)", p.seed);
    QVERIFY(p.make());
    const Packed::Run run = p.runs()[row];
    KVDirStuff::GameFolderTable table;
    KVDirStuff::FillGameFolderPaths(table);
    KVDirStuff::FillGameFolderNames(table);
    const ScriptWriters::ScriptInput input{p.game, '/', &table, run.label, run.name, run.tomes, {}};
    const Packaging::Request request{input, run.tomes.isEmpty(), p.launcher, p.data};
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"})
        qunsetenv(name);
    const auto restorePath = qScopeGuard([path = qgetenv("PATH")] { qputenv("PATH", path); });
    run.prepare();
    for (const TestSupport::FolderLock& lock : p.locks)
        QVERIFY(lock.isSet());
    LocalFileSystem fs;
    IniSettingsStore settings(p.tmp.path() + "/settings.conf");
    settings.SaveSetting("Settings", "lastDirLabel", "before");
    QProcessRunner runner;
    const Packaging::Outcome outcome = Packaging::Package(request, fs, settings, runner);
    const QString folder = p.locks.empty() ? p.launcher : p.data;
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
        // The label is saved with the script, so only once nothing was refused.
        const bool scriptWritten = int(problem.kind) > int(Problem::Kind::ScriptNotWritten);
        QCOMPARE(settings.GetSetting("Settings", "lastDirLabel"),
                 scriptWritten ? run.label : "before");
        return;
    }
    QCOMPARE(outcome.folder, folder + "/output");
    QCOMPARE(outcome.inDataFolder, !p.locks.empty());
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

QTEST_GUILESS_MAIN(PackagingTest)
#include "tst_packaging.moc"
