#include "app/Problem.h"

#include "platform/LauncherError.h"

#include <cstring>

Problem Problem::Of(Kind kind, const QString& path, const FileSystemError& error) {
    Problem problem{kind, path};
    problem.systemError = error.systemError();
    problem.reason = ReasonOf(error.systemError());
    problem.details = QStringList{error.message()};
    return problem;
}

QString Problem::ReasonOf(int systemError) {
    return systemError == 0 ? QString()
                            : QString::fromLocal8Bit(std::strerror(systemError)).toLower();
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
