// Packaging end to end with the real installer compiler: the Launch button writes
// kvii.nsi, makensis builds setup.exe, and 7-Zip's listing of each installer shows
// exactly the packed files under their install paths — for names built to trip the
// compiler up, under locales that only claim to be UTF-8, and from a launcher folder
// that cannot be written. Also how the compiler is found.
#include "CreatorTestSupport.h"
#include "creator/CompilerLookup.h"

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace CreatorTest;
using TestSupport::fatalErrors;

namespace {

// What hostile names are made of: section prefixes the compiler reads specially, its
// variables, defines, environment references and language strings, quotes and the
// letters that follow "$\" in its escapes, comment and wildcard characters, letters
// beyond ASCII, spaces, and length.
const QStringList kPieces =
    QStringList{"un.",     "UN.",     "Uninstall", "-",        "!",    " ",
                "$",       "$$",      "$0",        "$INSTDIR", "$R1",  "${NSISDIR}",
                "${U+41}", "$%HOME%", "$(^Name)",  "\"",       "'",    "`",
                "t",       "n",       "r",         ";",        "#",    "*",
                "?",       "[1]",     "&",         "Zoë",      "日本", "🐉"}
    << QString(50, 'L');

// The file paths that 7-Zip lists in an installer, sorted.
QStringList installerListing(const QString& installer) {
    QProcess lister;
    lister.start(QStringLiteral("7zz"), {"l", "-ba", "-slt", installer});
    if (!lister.waitForFinished(60000) || lister.exitCode() != 0)
        return {QStringLiteral("<7zz failed: %1>").arg(QString::fromUtf8(lister.readAll()))};
    QStringList paths;
    for (const QString& line : QString::fromUtf8(lister.readAllStandardOutput()).split('\n')) {
        if (line.startsWith(QLatin1String("Path = ")))
            paths.append(line.mid(7)); // a name may end in a space
    }
    paths.sort();
    return paths;
}

// What the compiler hands the installer for a quoted text, by its rules as measured:
// the escapes "$\" + t, n, r or a quote; then defines and environment references
// (the text they put in is not read again), and "$\" + a quote once more; then "$$"
// as "$". What the installer would read as a variable, define or environment
// reference is added to faults.
QString compilerReading(const QString& text, QStringList& faults) {
    // An escaped quote is held as a mark that no later step reads.
    const QString letters = QStringLiteral("\"'`tnr");
    const QString by = QStringLiteral("\uE000\uE001\uE002\t\n\r");
    QString once = text;
    for (int k = 0; k < letters.size(); ++k)
        once.replace(QStringLiteral("$\\") + letters[k], by[k]);
    QString expanded;
    int from = 0;
    const QRegularExpression reference(QStringLiteral("\\$\\{U\\+([0-9A-F]+)\\}|\\$[{%]"));
    for (const auto& m : reference.globalMatch(once)) {
        if (m.captured(1).isEmpty())
            faults << QStringLiteral("expanded by the compiler: ") + text;
        expanded +=
            once.mid(from, m.capturedStart() - from) +
            (m.captured(1).isEmpty() ? m.captured() : QChar(m.captured(1).toUInt(nullptr, 16)));
        from = m.capturedEnd();
    }
    expanded += once.mid(from);
    for (int k = 0; k < 3; ++k)
        expanded.replace(QStringLiteral("$\\") + letters[k], by[k]);
    QString out;
    for (int i = 0; i < expanded.size(); ++i) {
        if (expanded[i] == '$' && expanded.mid(i + 1, 1) != "$")
            faults << QStringLiteral("a variable for the installer: ") + text;
        i += expanded.mid(i, 2) == "$$" ? 1 : 0;
        const int mark = by.left(3).indexOf(expanded[i]);
        out += mark < 0 ? expanded[i] : letters[mark];
    }
    return out;
}

// The Name, Caption and Section texts of a script as "<command> <text>", and the
// install paths (after "$INSTDIR\") of its SetOutPath lines as "SetOutPath <path>".
QStringList installerTexts(const QString& script, QStringList& faults) {
    QStringList texts;
    const QRegularExpression line(QStringLiteral("^(Name|Caption|Section|SetOutPath) "
                                                 "\"(?:\\$INSTDIR\\\\?)?(.*)\"$"));
    for (const QString& text : script.split(QStringLiteral("\r\n"))) {
        const auto m = line.match(text);
        if (m.hasMatch())
            texts << m.captured(1) + ' ' + compilerReading(m.captured(2), faults);
    }
    return texts;
}

// Gives the launcher only the locale variables named in values; returns the earlier.
QMap<QByteArray, QByteArray> setLocale(const QMap<QByteArray, QByteArray>& values) {
    QMap<QByteArray, QByteArray> earlier;
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        earlier.insert(name, qgetenv(name));
        values.value(name).isNull() ? void(qunsetenv(name)) : void(qputenv(name, values[name]));
    }
    return earlier;
}

} // namespace

class PackagingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { fatalErrors().clear(); }
    void cleanup() { QVERIFY2(fatalErrors().isEmpty(), qPrintable(fatalErrors().join('\n'))); }
    void hostileNamesArriveExactly();
    void lockedLauncherFolderPackagesIntoTheDataFolder();
    void compilerAndDataFolderAreFound();
};

void PackagingTest::initTestCase() {
    QVERIFY2(!QStandardPaths::findExecutable("makensis").isEmpty(),
             "makensis is not installed (Debian package nsis)");
    QVERIFY2(!QStandardPaths::findExecutable("7zz").isEmpty(),
             "7zz is not installed (Debian package 7zip)");
}

void PackagingTest::hostileNamesArriveExactly() {
    const quint32 seed = qEnvironmentVariableIsSet("KV_SEED")
                             ? quint32(qEnvironmentVariableIntValue("KV_SEED"))
                             : 20261206u;
    qInfo("hostile names from seed %u (set KV_SEED to replay)", seed);
    QRandomGenerator random(seed);
    int count = 0;
    // start, one to three pieces, a number, one more piece, end. A world label holds
    // no wildcard: its .ini file is named in a File line (refused apart).
    auto hostile = [&](const QString& start = {}, const QString& end = {}, bool label = false) {
        auto piece = [&] {
            QString p;
            do
                p = kPieces[int(random.bounded(quint32(kPieces.size())))];
            while (label && (p == "*" || p == "?"));
            return p;
        };
        QString name = start;
        for (int i = 1 + int(random.bounded(3u)); i > 0; --i)
            name += piece();
        return name + QString::number(++count) + piece() + end;
    };
    QTemporaryDir tmp;
    Installation game(tmp.path());
    const QString& gameDir = game.gameDir;
    // Writes a file (named after its path unless given content); returns the path.
    auto put = [&](const QString& path, const QByteArray& content = {}) {
        InstallationBuilder::writeFile(gameDir + path, content.isNull() ? path.toUtf8() : content);
        return path;
    };
    // World A's label ends in "$", which meets the "\" before each of its tomes; its
    // name has "$\" before every escape letter. World B is random throughout.
    const QString labelA = hostile({}, "$", true), labelB = hostile({}, {}, true);
    const QString nameA = "WorldA " + hostile() + " $\\t$\\n$\\r$\\\"$\\'$\\`$\\$$\\\\ end";
    // What each installer must hold: world A's and B's files, A's tomes, tomes of
    // the default world.
    QStringList worldA{put(labelA + ".ini", "[WorldData]\nDisplayName=" + nameA.toUtf8())};
    QStringList worldB{
        put(labelB + ".ini", "[WorldData]\nDisplayName=WorldB " + hostile().toUtf8())};
    QStringList tomesA = {"Uninstall", "uN.Lore"}, defaultTomes, ofA, ofDefault;
    for (const QString start : {"t", "n", "r", "'", "`", "\"", "-", "!", "un."})
        tomesA << hostile(start);
    for (const QString start : {"un.", "-", "!", " "})
        defaultTomes << hostile(start);
    for (const QString& tome : tomesA) {
        const QString file = tome + "/" + hostile();
        worldA << put("Tomes_" + labelA + "/" + file);
        ofA << "tomes_" + labelA + "/" + file;
    }
    for (const QString& tome : defaultTomes) {
        const QString file = tome + "/" + hostile({}, " ");
        put("Tomes/" + file);
        ofDefault << "tomes/" + file;
    }
    for (int i = 0; i < 6; ++i) {
        worldA << put("Roster_" + labelA + "/" + hostile());
        worldB << put("Data/Graphics/Tiles_" + labelB + "/" + hostile() + "/" + hostile());
    }
    for (QStringList* expected : {&worldA, &worldB, &ofA, &ofDefault})
        expected->sort();

    QProcessRunner realRunner;
    game.fixture.processRunner = &realRunner;
    Form1& w = game.start();
    game.choose(2);
    const QString installer = game.fixture.launcherFolder + "/output/setup.exe";
    // Each installer is built under another locale that the launcher may be given.
    struct Run {
        QString world;     // the world line to click ("" keeps the selection)
        QStringList tomes; // the tomes to click
        QStringList expected;
        QMap<QByteArray, QByteArray> locale;
    };
    for (const Run& run : QList<Run>{{"WorldA", {}, worldA, {{"LANG", "xx_YY.UTF-8"}}},
                                     {{}, tomesA, ofA, {{"LC_CTYPE", "UTF-8"}}},
                                     {"WorldB", {}, worldB, {{"LC_ALL", "C"}}},
                                     {"Valmora", defaultTomes, ofDefault, {}}}) {
        const QStringList worlds = texts(w.CreatorWorldList);
        const auto world = std::find_if(worlds.begin(), worlds.end(),
                                        [&](const QString& t) { return t.startsWith(run.world); });
        if (!run.world.isEmpty())
            clickRow(w.CreatorWorldList, int(world - worlds.begin()));
        for (const QString& tome : run.tomes)
            clickRow(w.CreatorTomeList, tome);
        QFile::remove(installer);
        const QMap<QByteArray, QByteArray> own = setLocale(run.locale);
        game.launch();
        setLocale(own);
        const QString said = w.CreatorLabel->text();
        QVERIFY2(said.startsWith("The installer is ready") && QFile::exists(installer),
                 qPrintable(said));
        QCOMPARE(installerListing(installer), run.expected);
        // 7-Zip lists "$0" and "$$0" alike: variables are looked for in the script.
        QStringList faults;
        const QStringList read = installerTexts(game.script(), faults);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
        if (!run.world.isEmpty() && run.tomes.isEmpty())
            QCOMPARE(read.mid(0, 2),
                     QStringList({"Name " + *world, "Caption Setup for " + *world}));
        for (const QString& tome : run.tomes)
            QVERIFY2(read.contains("Section " + tome) || read.contains("Section  " + tome),
                     qPrintable(tome));
    }
}

void PackagingTest::lockedLauncherFolderPackagesIntoTheDataFolder() {
    if (!TestSupport::runsUnprivileged())
        return;
    QTemporaryDir tmp;
    Installation game(tmp.path());
    QProcessRunner realRunner;
    game.fixture.processRunner = &realRunner;
    const QString launcher = game.fixture.launcherFolder;
    const QString data = game.fixture.dataFolder;
    const TestSupport::FolderLock lock(launcher, TestSupport::FolderLock::ReadOnly);
    Form1& w = game.start();
    game.choose(2);
    clickRow(w.CreatorWorldList, "Isle of Dawn");
    {
        const TestSupport::FolderLock unreadable(game.gameDir + "Tomes_dawn/Sea Charts",
                                                 TestSupport::FolderLock::Unreadable);
        game.launch();
        QCOMPARE(w.CreatorLabel->text(),
                 "Nothing was packaged: the folder \"Tomes_dawn/Sea Charts\" cannot be read.");
    }
    game.launch();
    QCOMPARE(w.CreatorLabel->text(), "The installer is ready: setup.exe in " + data +
                                         "/output (the launcher's folder cannot be written).");
    QCOMPARE(overflow(w.CreatorLabel), QString());
    QVERIFY(installerListing(data + "/output/setup.exe").contains("dawn.ini"));
    QCOMPARE(QDir(launcher).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void PackagingTest::compilerAndDataFolderAreFound() {
    QTemporaryDir tmp;
    const QString launcher = tmp.path() + "/launcher";
    const QString bin = tmp.path() + "/bin";
    QCOMPARE(InstallationBuilder::writeFile(bin + "/makensis", "#!/bin/sh\n", true), QString());
    QCOMPARE(InstallationBuilder::writeFile(bin + "/other/makensis", "not executable\n"),
             QString());
    QVERIFY(QDir().mkpath(launcher));
    LocalFileSystem fs;
    using CompilerLookup::FindCompiler;
    QCOMPARE(FindCompiler(fs, launcher, {}), QString());
    QCOMPARE(FindCompiler(fs, launcher, {bin + "/other", bin}), bin + "/makensis");
    QCOMPARE(InstallationBuilder::writeFile(launcher + "/makensis", "#!/bin/sh\n", true),
             QString());
    QCOMPARE(FindCompiler(fs, launcher, {bin}), launcher + "/makensis");
    QCOMPARE(InstallationBuilder::writeFile(launcher + "/MakeNSIS.EXE", "MZ", false), QString());
    QCOMPARE(FindCompiler(fs, launcher + "/", {bin}), launcher + "/MakeNSIS.EXE");

    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(tmp.path()));
    QCOMPARE(CompilerLookup::UserDataFolder(), tmp.path() + "/Korvath II Launcher");
    qputenv("XDG_DATA_HOME", savedData);
}

QTEST_MAIN(PackagingTest)
#include "tst_packaging.moc"
