#include "MainWindow.h"
#include "SignalCloser.h"

#include "platform/msgbox.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvella"));
    platform::InstallQtMessageBoxPresenter();

    // Paths and playlist files to start with; nothing plays at start.
    TForm1 form(QApplication::arguments().mid(1));
    SignalCloser closer(&form);
    form.show();
    return app.exec();
}
