// The demo game. Installed as korvath2.exe it plays "Korvath II"; installed as
// worldforge2.exe it is the world editor. Either way it shows which world's version
// of each content folder lies in its working directory, prints the same on standard
// output, and quits on its button or after KV_DEMO_TIMEOUT seconds when that is set.
// Without a display it only prints, and ends at once. It exits with KV_DEMO_EXIT
// (default 0), so that a launcher's handling of exit codes can be seen.
#include "ContentReport.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

int main(int argc, char* argv[]) {
    const bool display = qEnvironmentVariableIsSet("DISPLAY") ||
                         qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
                         qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    const int exitCode = qEnvironmentVariableIntValue("KV_DEMO_EXIT");
    const bool editor = QFileInfo(QString::fromLocal8Bit(argv[0]))
                            .fileName()
                            .startsWith(QLatin1String("worldforge"), Qt::CaseInsensitive);
    const QString title = editor ? QStringLiteral("WorldForge II (demo world editor)")
                                 : QStringLiteral("Korvath II (demo game)");
    const QString gameDir = QDir::currentPath();
    const ContentReport report = ContentReport::read(gameDir);

    QTextStream out(stdout);
    out << title << '\n' << QStringLiteral("Working directory: ") << gameDir << '\n';
    for (const QString& line : report.lines())
        out << line << '\n';
    out << QStringLiteral("In place: ") << report.summary() << '\n';
    out.flush();
    if (!display)
        return exitCode;

    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&window);
    auto* heading = new QLabel(QStringLiteral("<h2>%1</h2>").arg(title.toHtmlEscaped()));
    layout->addWidget(heading);
    auto* where = new QLabel(QStringLiteral("Content read from: %1").arg(gameDir));
    where->setWordWrap(true);
    layout->addWidget(where);
    auto* table = new QTreeWidget;
    table->setHeaderLabels({QStringLiteral("Content folder"), QStringLiteral("World in place")});
    table->setRootIsDecorated(false);
    for (const ContentEntry& entry : report.entries) {
        auto* item = new QTreeWidgetItem(
            {entry.folder, entry.world.isEmpty() ? QStringLiteral("missing!") : entry.world});
        table->addTopLevelItem(item);
    }
    table->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->setMinimumHeight(260);
    layout->addWidget(table);
    layout->addWidget(new QLabel(QStringLiteral("In place: %1").arg(report.summary())));
    auto* quit =
        new QPushButton(editor ? QStringLiteral("Close the editor") : QStringLiteral("Quit game"));
    QObject::connect(quit, &QPushButton::clicked, &app, &QApplication::quit);
    layout->addWidget(quit);

    bool timed = false;
    const double seconds = qEnvironmentVariable("KV_DEMO_TIMEOUT").toDouble(&timed);
    if (timed && seconds >= 0)
        QTimer::singleShot(static_cast<int>(seconds * 1000), &app, &QApplication::quit);
    window.resize(420, 440);
    window.show();
    const int status = app.exec();
    return status != 0 ? status : exitCode;
}
