#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The main window is not opened yet: start-up ends here until it exists.
    return 0;
}
