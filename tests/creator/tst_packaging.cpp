// Packaging end to end: the Launch button writes kvii.nsi, the real installer
// compiler builds output/setup.exe, and 7-Zip's listing of the installer shows
// exactly the packed files under their install paths. Also how the compiler is found
// and started.
#include "CreatorTestSupport.h"
#include "creator/CompilerLookup.h"

#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace CreatorTest;
using TestSupport::fatalErrors;

namespace {

// A world whose label, name, folders and tomes hold spaces, quotes, "$", the
// compiler's own "${...}" and "$%...%" forms, and letters beyond ASCII.
const QString kOddLabel = QStringLiteral("Gold \"$Rüsh ${NSISDIR}");
const QString kOddName = QStringLiteral("Öde \"$5\" ${NSIS_VERSION} $%HOME%");
const QString kOddTome = QStringLiteral("Kräuter \"$x\" $%PATH%");

// Every file below folder, as installPrefix + "/" + its path inside folder.
QStringList filesBelow(const QString& folder, const QString& installPrefix) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(installPrefix + QLatin1Char('/') + QDir(folder).relativeFilePath(it.next()));
    return files;
}

// The file paths that 7-Zip lists in an installer, sorted.
QStringList installerListing(const QString& installer) {
    QProcess lister;
    lister.start(QStringLiteral("7zz"), {QStringLiteral("l"), QStringLiteral("-slt"), installer});
    if (!lister.waitForFinished(60000) || lister.exitCode() != 0)
        return {QStringLiteral("<7zz failed: %1>").arg(QString::fromUtf8(lister.readAll()))};
    const QString output = QString::fromUtf8(lister.readAllStandardOutput());
    QStringList paths;
    bool inEntries = false;
    for (const QString& line : output.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("----------")))
            inEntries = true;
        else if (inEntries && line.startsWith(QLatin1String("Path = ")))
            paths.append(line.mid(7).trimmed());
    }
    paths.sort();
    return paths;
}

} // namespace

class PackagingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { fatalErrors().clear(); }
    void cleanup() { QVERIFY2(fatalErrors().isEmpty(), qPrintable(fatalErrors().join('\n'))); }
    void worldsAndTomesBecomeInstallers();
    void compilerIsFoundAndGetsAUtf8Locale();
};

void PackagingTest::initTestCase() {
    QVERIFY2(!QStandardPaths::findExecutable("makensis").isEmpty(),
             "makensis is not installed (Debian package nsis)");
    QVERIFY2(!QStandardPaths::findExecutable("7zz").isEmpty(),
             "7zz is not installed (Debian package 7zip)");
}

void PackagingTest::worldsAndTomesBecomeInstallers() {
    QTemporaryDir tmp;
    Installation game(tmp.path());
    const QString& gameDir = game.gameDir;
    // The odd world: its description file, two folders of its own and two tomes.
    const QString oddTomes = gameDir + "Tomes_" + kOddLabel + "/";
    for (const auto& [path, content] : QList<std::pair<QString, QByteArray>>{
             {gameDir + kOddLabel + ".ini", "[WorldData]\nDisplayName=" + kOddName.toUtf8()},
             {gameDir + "Roster_" + kOddLabel + "/Zoë.txt", "z"},
             {gameDir + "Data/Graphics/Tiles_" + kOddLabel + "/sub dir/$tile\".png", "t"},
             {oddTomes + kOddTome + "/Blätter.txt", "b"},
             {oddTomes + "Plain/p.txt", "p"}})
        QCOMPARE(InstallationBuilder::writeFile(path, content), QString());

    // The launcher runs under a locale that is not UTF-8: the compiler still gets one.
    const QByteArray savedLocale = qgetenv("LC_ALL");
    qputenv("LC_ALL", "C");
    QProcessRunner realRunner;
    game.fixture.processRunner = &realRunner;
    Form1& w = game.start();
    game.choose(2);
    const QString installer = game.fixture.launcherFolder + "/output/setup.exe";
    // Packs what the panel has selected and lists the installer.
    auto package = [&]() -> QStringList {
        QFile::remove(installer);
        game.launch();
        if (!QFile::exists(installer) || !w.CreatorLabel->text().startsWith("The installer is"))
            return {QStringLiteral("no installer: ") + w.CreatorLabel->text()};
        return installerListing(installer);
    };
    auto sorted = [](QStringList list) {
        list.sort();
        return list;
    };

    // The default world: every content folder under its plain name, no .ini.
    QStringList expected;
    for (const QString& folder : InstallationBuilder::kContentFolders)
        expected += filesBelow(gameDir + folder, folder);
    QCOMPARE(package(), sorted(expected));

    // A labelled world: its folders under their suffixed names, the .ini at the top.
    clickRow(w.CreatorWorldList, "Frost March");
    expected = QStringList{"Frostmarch.ini"};
    for (const char* folder :
         {"Roster_Frostmarch", "Tomes_Frostmarch", "Data/Graphics/Items_Frostmarch"})
        expected += filesBelow(gameDir + folder, folder);
    QCOMPARE(package(), sorted(expected));

    // The odd world, names and all; then two of its tomes, from its own tomes folder
    // (found as "tomes_" + label) under that name.
    clickRow(w.CreatorWorldList, kOddName);
    QCOMPARE(package(), sorted({"Roster_" + kOddLabel + "/Zoë.txt",
                                "Tomes_" + kOddLabel + "/" + kOddTome + "/Blätter.txt",
                                "Tomes_" + kOddLabel + "/Plain/p.txt",
                                "Data/Graphics/Tiles_" + kOddLabel + "/sub dir/$tile\".png",
                                kOddLabel + ".ini"}));
    clickRow(w.CreatorTomeList, kOddTome);
    clickRow(w.CreatorTomeList, "Plain");
    QCOMPARE(package(), sorted({"tomes_" + kOddLabel + "/" + kOddTome + "/Blätter.txt",
                                "tomes_" + kOddLabel + "/Plain/p.txt"}));
    // The script itself: CR LF lines, no byte-order mark.
    const QByteArray script = game.script().toUtf8();
    QVERIFY(script.startsWith("Name \"Korvath II Tome(s)\"\r\n") &&
            script.endsWith("SectionEnd\r\n"));
    QCOMPARE(script.count("\r\n"), script.count('\n'));

    // A tome of the default world, from the plain tomes folder.
    clickRow(w.CreatorWorldList, 0);
    clickRow(w.CreatorTomeList, "Herbalism");
    QCOMPARE(package(), QStringList{"tomes/Herbalism/moonwort.txt"});
    if (savedLocale.isNull())
        qunsetenv("LC_ALL");
    else
        qputenv("LC_ALL", savedLocale);
}

void PackagingTest::compilerIsFoundAndGetsAUtf8Locale() {
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

    using CompilerLookup::CompilerEnvironment;
    const QMap<QString, QString> utf8{{"LC_ALL", "C.UTF-8"}};
    QCOMPARE(CompilerEnvironment("", "", ""), utf8);
    QCOMPARE(CompilerEnvironment("C", "", "en_GB.UTF-8"), utf8); // LC_ALL decides
    QVERIFY(CompilerEnvironment("", "de_DE.utf8", "C").isEmpty());
}

QTEST_MAIN(PackagingTest)
#include "tst_packaging.moc"
