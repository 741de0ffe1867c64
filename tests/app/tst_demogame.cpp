// The demo game that demo installations carry as korvath2.exe and worldforge2.exe:
// it must tell which world's version of each content folder is in place.
#include "InstallationBuilder.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class DemoGameTest : public QObject {
    Q_OBJECT
private slots:
    void reportsTheWorldInPlace();
};

void DemoGameTest::reportsTheWorldInPlace() {
    const QString demoGame = QStringLiteral(KV_BINARY_DIR) + "/tools/korvath-demogame";
    QTemporaryDir tmp;
    const QString gameDir = tmp.path() + "/Korvath II";
    InstallationBuilder::Options options;
    options.gameProgram = options.editorProgram = demoGame;
    QCOMPARE(InstallationBuilder::build(gameDir, options), QString());
    // Runs a program of the installation in the installation, as the launcher does,
    // and returns what it printed.
    auto run = [&](const QString& program) {
        QProcess process;
        process.setWorkingDirectory(gameDir);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("KV_DEMO_TIMEOUT", "0");
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(environment);
        process.start(gameDir + "/" + program, {});
        if (!process.waitForFinished(30000) || process.exitCode() != 0)
            return QStringList("failed: " + process.errorString() + process.readAllStandardError());
        return QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    };

    QStringList out = run("korvath2.exe");
    QCOMPARE(out.value(0), QStringLiteral("Korvath II (demo game)"));
    QVERIFY2(out.contains("Roster: Valmora"), qPrintable(out.join('\n')));
    QCOMPARE(out.last(), QStringLiteral("In place: Valmora: 11 folders"));

    // Frost March's items switched in, the default's stowed away; Music gone entirely.
    QDir dir(gameDir + "/Data/Graphics");
    QVERIFY(dir.rename("Items", "Items-{stowed}") && dir.rename("Items_Frostmarch", "Items"));
    QVERIFY(QDir(gameDir + "/Data/Music").removeRecursively());
    out = run("worldforge2.exe");
    QCOMPARE(out.value(0), QStringLiteral("WorldForge II (demo world editor)"));
    QVERIFY2(out.contains("Data/Graphics/Items: Frostmarch"), qPrintable(out.join('\n')));
    QVERIFY2(out.contains("Data/Music: missing"), qPrintable(out.join('\n')));
    QCOMPARE(
        out.last(),
        QStringLiteral("In place: Valmora: 9 folders, missing: 1 folder, Frostmarch: 1 folder"));
}

QTEST_GUILESS_MAIN(DemoGameTest)
#include "tst_demogame.moc"
