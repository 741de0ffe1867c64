#include "creator/Packaging.h"

#include "app/FileSystem.h"
#include "creator/CompilerLookup.h"
#include "platform/Logging.h"
#include "worlds/LaunchStuff.h"

#include <QDateTime>
#include <QRegularExpression>

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

// The compiler's report (path: the report, none when it cannot be read), with what it
// says went wrong: its last lines about errors, warnings and files not found.
Problem compilerProblem(FileSystem& fileSystem, Problem::Kind kind, const QString& logPath,
                        int exitCode = 0) {
    Problem problem{kind};
    problem.exitCode = exitCode;
    constexpr qint64 kTail = 64 * 1024; // the errors come last; a report may be long
    std::optional<QByteArray> log;
    try {
        log = fileSystem.readFileEnd(logPath, kTail);
    } catch (const FileSystemError& error) {
        qCWarning(lcCreator).noquote() << error.message();
    }
    if (!log)
        return problem;
    static const QRegularExpression kTrouble(QStringLiteral("error|warning|no files found"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QStringList lines = QString::fromUtf8(*log).split(QLatin1Char('\n'));
    QStringList errors = lines.filter(kTrouble);
    errors = errors.mid(qMax(0, int(errors.size()) - 5));
    for (QString& line : errors)
        line = line.trimmed();
    problem.path = logPath;
    problem.details = errors;
    return problem;
}

Outcome failed(Problem problem, const QStringList& details = {}) {
    if (!details.isEmpty())
        problem.details = details;
    qCWarning(lcCreator).noquote() << "nothing was packaged:" << int(problem.kind) << problem.path
                                   << problem.details.join("; ");
    return Outcome{problem};
}

} // namespace

std::optional<Problem> Refusal(const Request& request, FileSystem& fileSystem) {
    const ScriptWriters::ScriptInput& input = request.input;
    const std::optional<Problem> problem = request.worldScript
                                               ? ScriptWriters::WorldScriptProblem(input)
                                               : ScriptWriters::TomeScriptProblem(input);
    // A name the compiler cannot read would crash it or lose files silently.
    return problem ? problem
                   : ScriptWriters::PackedContentProblem(input, fileSystem, request.worldScript);
}

std::optional<Problem> WriteScript(const Request& request, const QString& folder,
                                   FileSystem& fileSystem, SettingsStore& settings) {
    ScriptWriters::ScriptInput input = request.input;
    input.scriptPath = withoutClosingSeparator(folder, input.separator) + input.separator +
                       ScriptWriters::kScriptName;
    return request.worldScript ? ScriptWriters::WriteWorldScript(input, fileSystem, settings)
                               : ScriptWriters::WriteTomeScript(input, fileSystem, settings);
}

Outcome Package(const Request& request, FileSystem& fileSystem, SettingsStore& settings,
                ProcessRunner& runner) {
    if (const std::optional<Problem> problem = Refusal(request, fileSystem))
        return failed(*problem);

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
            if (const std::optional<Problem> refused =
                    WriteScript(request, folder, fileSystem, settings))
                return failed(*refused);
            workFolder = folder;
            break;
        } catch (const FileSystemError& error) {
            errors.append(error.message());
        }
    }
    if (workFolder.isEmpty()) {
        Outcome outcome = failed(Problem{Problem::Kind::ScriptNotWritten, dataFolder}, errors);
        outcome.dirLabelSaved = dirLabelSaved;
        return outcome;
    }

    Outcome outcome;
    const QString compiler = CompilerLookup::FindCompiler(
        fileSystem, launcherFolder, CompilerLookup::SearchPathFromEnvironment());
    if (compiler.isEmpty()) {
        const QString script = workFolder + sep + ScriptWriters::kScriptName;
        outcome = failed(Problem{Problem::Kind::CompilerNotFound, script}, {script});
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
        outcome = failed(Problem{Problem::Kind::CompilerNeedsWine, compiler}, {compiler});
    } else if (problem != LaunchStuff::StartProblem::None) {
        outcome = failed(Problem{Problem::Kind::CompilerNotStartable, compiler}, {compiler});
    } else if (exitCode == 0 && madeAnew) {
        outcome.ready = true;
        outcome.installer = installer;
        outcome.folder = outputFolder;
        outcome.inDataFolder = workFolder != launcherFolder;
    } else if (exitCode == 0) {
        outcome = failed(compilerProblem(fileSystem, Problem::Kind::NoInstallerMade, log));
    } else {
        // A process ended by a signal gives 128 + the signal's number.
        const bool crashed = !kWindows && exitCode > 128;
        outcome = failed(compilerProblem(
            fileSystem, crashed ? Problem::Kind::CompilerCrashed : Problem::Kind::CompilerFailed,
            log, exitCode));
    }
    outcome.dirLabelSaved = true;
    return outcome;
}

} // namespace Packaging
