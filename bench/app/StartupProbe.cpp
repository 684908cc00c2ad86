// A program that starts like orvella (the main window with its player and
// secondary windows, the saved playlist, the first showing) and writes one
// line to standard output once the main window is shown, then idles until
// terminated. The start-up benchmark times it against FloorProbe.
#include "app/MainWindow.h"

#include "platform/folders.h"
#include "platform/msgbox.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The engine and the plug-ins lie in the program folder of the build.
    platform::SetProgramFolder(ORVELLA_PROGRAM_DIR);
    platform::InstallQtMessageBoxPresenter();
    TForm1 form;
    form.show();
    QTimer::singleShot(0, [] {
        std::puts("shown");
        std::fflush(stdout);
    });
    return app.exec();
}
