// make-installation GAMEDIR [GAME_PROGRAM [EDITOR_PROGRAM]]
// Builds a demo game installation in GAMEDIR.
#include "InstallationBuilder.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() < 2) {
        err << "usage: make-installation GAMEDIR [GAME_PROGRAM [EDITOR_PROGRAM]]\n";
        return 2;
    }
    InstallationBuilder::Options options;
    options.gameProgram = args.value(2);
    options.editorProgram = args.value(3, options.gameProgram);
    const QString error = InstallationBuilder::build(args[1], options);
    if (!error.isEmpty()) {
        err << error << '\n';
        return 1;
    }
    return 0;
}
