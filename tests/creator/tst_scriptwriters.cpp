// The installer script writers: their text and the settings they write, in order,
// on the first platform's paths; and names that cannot be written safely.
#include "InstallationBuilder.h"
#include "app/LocalFileSystem.h"
#include "app/SettingsStore.h"
#include "creator/ScriptWriters.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Files, lines and settings all go into one log, so their order shows.
using Log = QStringList;

// The first platform's form: "\" between components, a fixed set of folders matched
// without regard to case, paths passed on as written.
class FirstPlatformFileSystem : public FileSystem {
public:
    QStringList folders;
    Log log;

    QChar separator() const override { return QLatin1Char('\\'); }
    bool FolderExists(const QString& path) override {
        return folders.contains(path, Qt::CaseInsensitive);
    }
    bool FileExists(const QString&) override { return false; }
    QList<Drive> Drives() override { return {}; }
    void CreateFolder(const QString&) override {}
    std::unique_ptr<TextWriter> CreateTextFile(const QString& path, bool overwrite,
                                               bool wide) override {
        log.append(QStringLiteral("<create %1 %2 %3>").arg(path).arg(overwrite).arg(wide));
        struct Forward : TextWriter {
            Log& to;
            explicit Forward(Log& log) : to(log) {}
            void WriteLine(const QString& text) override { to.append(text); }
            void Close() override { to.append("<close>"); }
        };
        return std::make_unique<Forward>(log);
    }
    QString resolveFolder(const QString& path) override {
        if (!FolderExists(path))
            throw FileSystemError(path);
        return path;
    }
    QString resolveFile(const QString&) override { return QString(); }
    QStringList subFolderNames(const QString&) override { return {}; }
    QStringList fileNames(const QString&) override { return {}; }
    void renameFolder(const QString&, const QString&) override {}
    void checkDriveReady(const Drive&) override {}
};

struct LoggingSettings : SettingsStore {
    Log& log;
    explicit LoggingSettings(Log& to) : log(to) {}
    QString GetSetting(const QString&, const QString&, const QString& value) override {
        return value;
    }
    void SaveSetting(const QString& section, const QString& key, const QString& value) override {
        log.append(QStringLiteral("<%1/%2=%3>").arg(section, key, value));
    }
};

const QString D = QStringLiteral("D:\\Games\\Korvath 2\\");
const QStringList kHeaderTail = {
    R"(OutFile "output\setup.exe")",
    R"(InstallDir "C:\Program Files\Quillmark Games\Stonebrook Games\Korvath 2")",
    R"(DirText "Installation Directory" "Please enter the location of your Korvath II directory:")"};

ScriptWriters::ScriptInput exampleInput(const KVDirStuff::GameFolderTable& table) {
    ScriptWriters::ScriptInput input;
    input.gameDir = D;
    input.separator = QLatin1Char('\\');
    input.folders = &table;
    input.label = QStringLiteral("dawn");
    input.displayName = QStringLiteral("Isle of Dawn");
    input.scriptPath = QStringLiteral("C:\\Launcher\\kvii.nsi");
    return input;
}

} // namespace

class ScriptWritersTest : public QObject {
    Q_OBJECT
private slots:
    void workedExamples();
    void unsafeNamesAreRefusedWithoutWritingAnything();
};

void ScriptWritersTest::workedExamples() {
    KVDirStuff::GameFolderTable table;
    KVDirStuff::FillGameFolderPaths(table, QLatin1Char('\\'));
    KVDirStuff::FillGameFolderNames(table, QLatin1Char('\\'));
    FirstPlatformFileSystem fs;
    fs.folders = {D + "Tomes_dawn", D + "Data\\Music_dawn", D + "Tomes", D + "Data\\Music"};
    LoggingSettings settings(fs.log);
    ScriptWriters::ScriptInput input = exampleInput(table);

    QCOMPARE(ScriptWriters::WriteWorldScript(input, fs, settings), QString());
    QCOMPARE(fs.log,
             QStringList({"<Settings/lastDirLabel=dawn>", "<create C:\\Launcher\\kvii.nsi 1 0>",
                          R"(Name "Isle of Dawn")", R"(Caption "Setup for Isle of Dawn")"}) +
                 kHeaderTail +
                 QStringList({R"(Section "Tomes")", R"(SetOutPath "$INSTDIR\Tomes_dawn")",
                              R"(File /r "D:\Games\Korvath 2\Tomes_dawn\*.*")", "SectionEnd",
                              R"(Section "Music")", R"(SetOutPath "$INSTDIR\Data\Music_dawn")",
                              R"(File /r "D:\Games\Korvath 2\Data\Music_dawn\*.*")", "SectionEnd",
                              R"(Section "The .ini File")", R"(SetOutPath "$INSTDIR")",
                              R"(File "D:\Games\Korvath 2\dawn.ini")", "SectionEnd", "<close>"}));

    // The tome script: the tome's value after the header, before any section.
    fs.log.clear();
    input.tomes = QStringList{"Bestiary"};
    QCOMPARE(ScriptWriters::WriteTomeScript(input, fs, settings), QString());
    QCOMPARE(fs.log,
             QStringList({"<Settings/lastDirLabel=dawn>", "<create C:\\Launcher\\kvii.nsi 1 0>",
                          R"x(Name "Korvath II Tome(s)")x",
                          R"x(Caption "Setup for Korvath II Tome(s)")x"}) +
                 kHeaderTail +
                 QStringList({"<PackageTomeDirs/Bestiary=Bestiary>", R"(Section "Bestiary")",
                              R"(SetOutPath "$INSTDIR\tomes_dawn\Bestiary")",
                              R"(File /r "D:\Games\Korvath 2\tomes_dawn\Bestiary\*.*")",
                              "SectionEnd", "<close>"}));
}

void ScriptWritersTest::unsafeNamesAreRefusedWithoutWritingAnything() {
    QTemporaryDir tmp;
    KVDirStuff::GameFolderTable table;
    KVDirStuff::FillGameFolderPaths(table);
    LocalFileSystem fs;
    QSettingsStore settings(tmp.path() + "/settings.conf");
    ScriptWriters::ScriptInput base = exampleInput(table);
    base.gameDir = tmp.path() + "/game/";
    base.separator = QLatin1Char('/');
    base.scriptPath = tmp.path() + "/kvii.nsi";

    struct Case {
        QString ScriptWriters::ScriptInput::*field;
        QString value;
        bool world;
        QString expected;
    };
    using In = ScriptWriters::ScriptInput;
    const QList<Case> cases = {
        {&In::displayName, "Isle\nof Dawn", true,
         R"(the world name "Isle�of Dawn" holds a control)"},
        {&In::displayName, "Gold$\\", true, R"(the world name "Gold$\" ends in "$\")"},
        {&In::label, "da*wn", true, "which the compiler reads as a wildcard"},
        {&In::label, "da\x7Fwn", false, R"(the world label "da�wn")"},
        {&In::label, "Sea\\Charts", false, R"("Sea\Charts" holds a "\")"},
        {&In::gameDir, tmp.path() + "/ga\rme/", true, "the game directory"},
    };
    for (const Case& c : cases) {
        ScriptWriters::ScriptInput input = base;
        input.*c.field = c.value;
        const QString refused = c.world ? ScriptWriters::WriteWorldScript(input, fs, settings)
                                        : ScriptWriters::WriteTomeScript(input, fs, settings);
        QVERIFY2(refused.startsWith("Nothing was packaged: ") && refused.contains(c.expected),
                 qPrintable(refused));
        QVERIFY(!QFile::exists(base.scriptPath));
        QVERIFY(!QFile::exists(tmp.path() + "/settings.conf"));
    }
    // The tome names are checked too; a "*" in a label harms only the .ini's name.
    base.label = QStringLiteral("da*wn");
    base.tomes = QStringList{"Bestiary", "Tab\tbed"};
    QVERIFY(ScriptWriters::WriteTomeScript(base, fs, settings).contains(R"(tome name "Tab�bed")"));
    base.tomes.removeLast();
    QCOMPARE(ScriptWriters::WriteTomeScript(base, fs, settings), QString());
    QVERIFY(QFile::exists(base.scriptPath));
}

QTEST_GUILESS_MAIN(ScriptWritersTest)
#include "tst_scriptwriters.moc"
