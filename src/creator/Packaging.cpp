#include "creator/Packaging.h"

#include "app/FileSystem.h"
#include "creator/CompilerLookup.h"
#include "platform/Logging.h"
#include "worlds/LaunchStuff.h"

#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>

namespace Packaging {

namespace {

#ifdef Q_OS_WIN
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

QString withoutClosingSeparator(QString path, QChar separator) {
    if (path.size() > 1 && path.endsWith(separator))
        path.chop(1);
    return path;
}

// Creates the folder and any missing folder above it.
void createFolderPath(FileSystem& fileSystem, const QString& path) {
    if (fileSystem.FolderExists(path))
        return;
    const int cut = path.lastIndexOf(fileSystem.separator());
    if (cut > 0)
        createFolderPath(fileSystem, path.left(cut));
    fileSystem.CreateFolder(path);
}

// A folder as a message names it: the home folder as "~", a long path shortened.
QString shownFolder(const QString& path, QChar separator) {
    const QString home =
        QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::HomeLocation));
    QString shown = path;
    if (!home.isEmpty() && path.startsWith(home + separator))
        shown = QLatin1Char('~') + path.mid(home.size());
    if (shown.size() <= 70)
        return shown;
    const int last = shown.lastIndexOf(separator);
    return KVDirStuff::ShortenPath(shown.left(last), separator) + shown.mid(last);
}

// What the compiler's report says went wrong (its last lines about errors, warnings
// and files not found), then where the whole report lies.
QString compilerErrors(FileSystem& fileSystem, const QString& logPath) {
    constexpr qint64 kTail = 64 * 1024; // the errors come last; a report may be long
    std::optional<QByteArray> log;
    try {
        log = fileSystem.readFileEnd(logPath, kTail);
    } catch (const FileSystemError& error) {
        qCWarning(lcCreator).noquote() << error.message();
    }
    if (!log)
        return QString();
    static const QRegularExpression kTrouble(QStringLiteral("error|warning|no files found"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QStringList lines = QString::fromUtf8(*log).split(QLatin1Char('\n'));
    QStringList errors = lines.filter(kTrouble);
    errors = errors.mid(qMax(0, int(errors.size()) - 5));
    for (QString& line : errors)
        line = line.trimmed();
    return (errors << QStringLiteral("The compiler's report: %1").arg(logPath))
        .join(QLatin1Char('\n'));
}

Outcome failed(const QString& text, const QString& details = QString()) {
    qCWarning(lcCreator).noquote() << text << details;
    return Outcome{text, details, false, false};
}

} // namespace

QString Problem(const Request& request, FileSystem& fileSystem) {
    const ScriptWriters::ScriptInput& input = request.input;
    const QString problem = request.worldScript ? ScriptWriters::WorldScriptProblem(input)
                                                : ScriptWriters::TomeScriptProblem(input);
    // A name the compiler cannot read would crash it or lose files silently.
    return problem.isEmpty()
               ? ScriptWriters::PackedContentProblem(input, fileSystem, request.worldScript)
               : problem;
}

QString WriteScript(const Request& request, const QString& folder, FileSystem& fileSystem,
                    SettingsStore& settings) {
    ScriptWriters::ScriptInput input = request.input;
    input.scriptPath = withoutClosingSeparator(folder, input.separator) + input.separator +
                       ScriptWriters::kScriptName;
    return request.worldScript ? ScriptWriters::WriteWorldScript(input, fileSystem, settings)
                               : ScriptWriters::WriteTomeScript(input, fileSystem, settings);
}

Outcome Package(const Request& request, FileSystem& fileSystem, SettingsStore& settings,
                ProcessRunner& runner) {
    if (const QString problem = Problem(request, fileSystem); !problem.isEmpty())
        return failed(problem);

    const QChar sep = fileSystem.separator();
    const QString launcherFolder = withoutClosingSeparator(request.launcherFolder, sep);
    const QString dataFolder = withoutClosingSeparator(request.dataFolder, sep);
    // The launcher's folder first, where authors have always found output/setup.exe;
    // a launcher installed for all users cannot write there, so then the user's own
    // data folder.
    QString workFolder;
    QStringList errors;
    bool dirLabelSaved = false;
    for (const QString& folder : {launcherFolder, dataFolder}) {
        if (folder.isEmpty())
            continue;
        try {
            createFolderPath(fileSystem, folder + sep + QStringLiteral("output"));
            dirLabelSaved = true; // the writer saves the label before the script
            const QString refused = WriteScript(request, folder, fileSystem, settings);
            if (!refused.isEmpty())
                return failed(refused);
            workFolder = folder;
            break;
        } catch (const FileSystemError& error) {
            errors.append(error.message());
        }
    }
    if (workFolder.isEmpty()) {
        Outcome outcome =
            failed(dataFolder.isEmpty()
                       ? QStringLiteral("Nothing was packaged: the installer script could not "
                                        "be written in the launcher's folder.")
                       : QStringLiteral("Nothing was packaged: the installer script could not "
                                        "be written in the launcher's folder or in %1.")
                             .arg(shownFolder(dataFolder, sep)),
                   errors.join(QLatin1Char('\n')));
        outcome.dirLabelSaved = dirLabelSaved;
        return outcome;
    }

    Outcome outcome;
    const QString compiler = CompilerLookup::FindCompiler(
        fileSystem, launcherFolder, CompilerLookup::SearchPathFromEnvironment());
    if (compiler.isEmpty()) {
        outcome = failed(QStringLiteral("The script kvii.nsi is written, but no installer "
                                        "compiler (makensis) was found beside the launcher or on "
                                        "the PATH."),
                         workFolder + sep + ScriptWriters::kScriptName);
        outcome.dirLabelSaved = true;
        return outcome;
    }
    const QString outputFolder = workFolder + sep + QStringLiteral("output");
    const QString installer = outputFolder + sep + QStringLiteral("setup.exe");
    // An installer of an earlier run stays where it is; only a new one is ready. The
    // report of an earlier run goes.
    const std::optional<QDateTime> earlier = fileSystem.lastModified(installer);
    const QString log = workFolder + sep + CompilerLookup::kCompilerLogName;
    try {
        fileSystem.removeFile(log);
    } catch (const FileSystemError& error) {
        qCWarning(lcCreator).noquote() << error.message();
    }
    LaunchStuff::StartProblem problem = LaunchStuff::StartProblem::None;
    const int exitCode =
        LaunchStuff::RunAndWait(runner, fileSystem, compiler, CompilerLookup::CompilerArguments(),
                                workFolder, CompilerLookup::CompilerEnvironment(), &problem);
    const std::optional<QDateTime> made = fileSystem.lastModified(installer);
    const bool madeAnew = made && made != earlier;
    if (problem == LaunchStuff::StartProblem::NeedsWine) {
        outcome = failed(QStringLiteral("The installer compiler makensis.exe is a Windows program. "
                                        "Install Wine to run it, then click Launch again."),
                         compiler);
    } else if (problem != LaunchStuff::StartProblem::None) {
        outcome = failed(QStringLiteral("The installer compiler could not be started, so no "
                                        "installer was made."),
                         compiler);
    } else if (exitCode == 0 && madeAnew) {
        const QString shown = shownFolder(outputFolder, sep);
        QString text = QStringLiteral("The installer is ready: setup.exe in %1").arg(shown);
        if (workFolder != launcherFolder)
            text += QStringLiteral(" (the launcher's folder cannot be written)");
        outcome = Outcome{text + QLatin1Char('.'), installer, false, true, outputFolder, shown};
    } else if (exitCode == 0) {
        outcome = failed(QStringLiteral("The installer compiler made no setup.exe, so no "
                                        "installer was made."),
                         compilerErrors(fileSystem, log));
    } else {
        // A process ended by a signal gives 128 + the signal's number.
        const bool crashed = !kWindows && exitCode > 128;
        outcome = failed((crashed ? QStringLiteral("The installer compiler crashed (exit code "
                                                   "%1); no new installer was made.")
                                  : QStringLiteral("The installer compiler stopped with errors "
                                                   "(exit code %1); no new installer was made."))
                             .arg(exitCode),
                         compilerErrors(fileSystem, log));
    }
    outcome.dirLabelSaved = true;
    return outcome;
}

} // namespace Packaging
