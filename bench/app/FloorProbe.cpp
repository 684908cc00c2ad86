// The floor of the start-up benchmark: a minimal Qt Widgets window that
// reports when it is shown, then idles until terminated. With --sized-to-text
// the label is sized to its text before it shows, so the fonts are read before
// the window maps, as in any window whose layout follows its text.
#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Orvella"));
    if (argc > 1 && std::strcmp(argv[1], "--sized-to-text") == 0)
        window.adjustSize();
    else
        window.resize(330, 177);
    window.show();
    QTimer::singleShot(0, [] {
        std::puts("shown");
        std::fflush(stdout);
    });
    return app.exec();
}
