#include "TestSupport.h"

#include "InstallationBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace TestSupport {

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool makeTree(const QString& root, const QStringList& entries) {
    for (const QString& entry : entries) {
        const QString path = root + QLatin1Char('/') + entry;
        if (entry.endsWith(QLatin1Char('/')) ? !QDir().mkpath(path)
                                             : !InstallationBuilder::writeFile(path, "x").isEmpty())
            return false;
    }
    return true;
}

bool runsUnprivileged() {
    if (::geteuid() != 0)
        return true;
    QString testCase = QString::fromLatin1(QTest::currentTestFunction());
    if (QTest::currentDataTag())
        testCase += QLatin1Char(':') + QString::fromUtf8(QTest::currentDataTag());
    QTemporaryDir home;
    if (!home.isValid() || ::chown(QFile::encodeName(home.path()).constData(), kUnprivilegedId,
                                   kUnprivilegedId) != 0) {
        QTest::qFail("no home folder for the unprivileged run", __FILE__, __LINE__);
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
        env.remove(QString::fromLatin1(name));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    const QString id = QString::number(kUnprivilegedId);
    child.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=") + id, QStringLiteral("--regid=") + id,
                 QStringLiteral("--clear-groups"), QStringLiteral("--"),
                 QCoreApplication::applicationFilePath(), testCase});
    const bool ended = child.waitForFinished(240000);
    const QByteArray output = child.readAll();
    if (!ended || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        qWarning().noquote() << "unprivileged run of" << testCase << "\n" << output;
        QTest::qFail("the case failed as an unprivileged user", __FILE__, __LINE__);
    }
    return false;
}

RawTempDir::~RawTempDir() {
    if (isValid())
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), path()});
}

FolderLock::FolderLock(const QString& path, Kind kind) : m_path(path) {
    const mode_t modes[] = {0, 0555, 0333};
    m_set = ::chmod(QFile::encodeName(path).constData(), modes[kind]) == 0;
}

FolderLock::~FolderLock() {
    if (m_set)
        ::chmod(QFile::encodeName(m_path).constData(), 0755);
}

int RecordingProcessRunner::RunAndWait(const QString& program, const QStringList& arguments,
                                       const QString& workingDirectory,
                                       const QMap<QString, QString>& environment) {
    const Call call{program, arguments, workingDirectory, environment};
    calls.append(call);
    if (onRun)
        onRun(call);
    return exitCode;
}

} // namespace TestSupport
