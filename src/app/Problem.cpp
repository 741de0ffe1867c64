#include "app/Problem.h"

#include "platform/LauncherError.h"

Problem Problem::Of(Kind kind, const QString& path, const FileSystemError& error) {
    Problem problem{kind, path};
    problem.systemError = error.systemError();
    problem.reason = ReasonOf(error.systemError());
    problem.details = QStringList{error.message()};
    return problem;
}

QString Problem::ReasonOf(int systemError) {
    return systemError == 0 ? QString() : SystemErrorText(systemError).toLower();
}

bool Problem::whilePuttingBack() const {
    switch (kind) {
    case Kind::FolderNotPutBack:
    case Kind::FolderNotLookedInto:
    case Kind::RecordUnreadable:
    case Kind::RecordNotRemoved:
    case Kind::NotSynced:
    case Kind::UnknownStowed:
        return true;
    default:
        return false;
    }
}
