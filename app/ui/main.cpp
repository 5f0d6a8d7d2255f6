#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel l("Plastora");
    l.show();
    return app.exec();
}
