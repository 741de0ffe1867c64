#pragma once

#include <QString>
#include <cstring>
#include <stdexcept>

// The system's own words for an error number (errno): "Permission denied".
inline QString SystemErrorText(int systemError) {
    return QString::fromLocal8Bit(std::strerror(systemError));
}

// Base of every error the launcher raises itself. Handlers that run "with errors
// ignored" catch exactly this type; anything else (including a simulated crash in
// tests) passes through them.
class LauncherError : public std::runtime_error {
public:
    explicit LauncherError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

// A call of the file-system service failed (missing folder, rename refused, ...).
// systemError is the system's error number where the service had one (errno on a
// POSIX system), else 0; messages to the player are worded from it.
class FileSystemError : public LauncherError {
public:
    explicit FileSystemError(const QString& message, int systemError = 0)
        : LauncherError(message), m_systemError(systemError) {}
    int systemError() const { return m_systemError; }

private:
    int m_systemError = 0;
};

// The settings store could not read or write its file.
class SettingsError : public LauncherError {
public:
    using LauncherError::LauncherError;
};
