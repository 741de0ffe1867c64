// The start-up benchmark's yardstick: the barest Qt Widgets window of the launcher's
// kind. A fixed-size window (the launcher's size) holding a tab control with two list
// widgets, and nothing else: no settings, no artwork, no fonts of its own.
// startup-bench times it beside the launcher.
#include <QApplication>
#include <QListWidget>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setFixedSize(472, 396);
    auto* tabs = new QTabWidget(&window);
    tabs->addTab(new QListWidget, QStringLiteral("First"));
    tabs->addTab(new QListWidget, QStringLiteral("Second"));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(tabs);
    window.show();
    return QApplication::exec();
}
