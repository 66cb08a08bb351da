#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Tamblix"));
    label.show();
    return app.exec();
}
