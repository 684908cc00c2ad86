// The floor of the start-up benchmark: a minimal Qt Widgets window that
// reports when it is shown, then idles until terminated.
#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Orvella"));
    window.resize(330, 177);
    window.show();
    QTimer::singleShot(0, [] {
        std::puts("shown");
        std::fflush(stdout);
    });
    return app.exec();
}
