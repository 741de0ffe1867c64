#pragma once

#include <QString>
#include <QStringList>

// Builds a demo game installation: the game and editor programs, the eleven content
// folders (each with a marker.txt naming its world and folder), two add-on worlds,
// tomes with subfolders and a stray readme.txt. Used by ./run-demo and by the tests.
namespace InstallationBuilder {

struct Options {
    QString gameProgram;    // copied as korvath2.exe; "" writes a script that exits 0
    QString editorProgram;  // copied as worldforge2.exe; "" writes a script that exits 0
    bool withWorlds = true; // the two add-on worlds and their folders
};

// The eleven content folders, "/" between components.
extern const QStringList kContentFolders;

// Builds the installation in gameDir (created when missing). Returns "" on success,
// else what went wrong.
QString build(const QString& gameDir, const Options& options = Options());

// Writes a file (and its folders), returning "" or what went wrong.
QString writeFile(const QString& path, const QByteArray& content, bool executable = false);

// Every folder and file below root, as paths relative to root, sorted; folders end
// with "/"; files carry their size. For comparing a tree before and after.
QStringList listTree(const QString& root);

} // namespace InstallationBuilder
