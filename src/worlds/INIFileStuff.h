#pragma once

#include <QString>

// Reading single values from INI files (the world description files).
namespace INIFileStuff {

// The longest value ReadIniString returns; longer values are cut to this length.
constexpr int kMaxValueLength = 511;

// The value of key in section of the INI file at path, or defaultValue when the
// file cannot be read or holds no such key.
//
// Section and key names match without regard to case; the first section of that
// name is the one searched, and the first matching key in it wins. Spaces and tabs
// around names and values are trimmed, and a value enclosed in matching double or
// single quotes loses them. A ";" starts a comment only at the start of a line;
// inside a value it is part of the value. Lines end in LF or CR LF; a UTF-8
// byte-order mark is skipped. The file is read as UTF-8, or as Latin-1 when it is
// not valid UTF-8 (older tools wrote world files in a single-byte code page). Only
// the first 64 KiB of the file are read, in whole lines.
QString ReadIniString(const QString& section, const QString& key, const QString& path,
                      const QString& defaultValue);

} // namespace INIFileStuff
