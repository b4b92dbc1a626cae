// The start-up benchmark's anchor: what any program of the launcher's kind pays before its
// window is up, with the same Qt libraries. A frameless 1024 x 768 main window holding
// three hidden web views, and nothing of the launcher's own. With "--raster" it asks for a
// window only the CPU draws into, as the launcher does, so that no GL driver is loaded.

#include <QApplication>
#include <QMainWindow>
#include <QWebView>
#include <QWidget>

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--raster") == 0) {
        QApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    }
    QApplication app(argc, argv);
    QMainWindow window(nullptr, Qt::FramelessWindowHint);
    window.setFixedSize(1024, 768);
    auto* central = new QWidget(&window);
    window.setCentralWidget(central);
    for (int i = 0; i < 3; ++i) {
        auto* view = new QWebView(central);
        view->hide();
    }
    window.show();
    return QApplication::exec();
}
