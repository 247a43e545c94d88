// The baseline for the footprint figures: an empty Qt Widgets window of the
// main window's size, with nothing else loaded.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.setFixedSize(407, 546);  // the main window's client area
    window.show();
    return app.exec();
}
