#include "MainWindow.h"
#include "SignalCloser.h"
#include "mpris/MainWindowMediaTarget.h"
#include "mpris/MprisService.h"

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
    // Media keys and desktop panels; without a session bus the program runs as ever.
    MainWindowMediaTarget mediaTarget(form);
    MprisService mediaControl(&mediaTarget);
    mediaControl.registerOn(QDBusConnection::sessionBus());
    form.show();
    return app.exec();
}
