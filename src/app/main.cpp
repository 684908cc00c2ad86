#include "SignalCloser.h"

#include "platform/msgbox.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvella"));
    platform::InstallQtMessageBoxPresenter();

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Orvella"));
    window.resize(330, 177);
    SignalCloser closer(&window);
    window.show();
    return app.exec();
}
