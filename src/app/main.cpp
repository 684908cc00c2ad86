#include "Program.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // On X11, a repaint through shared memory makes the next repaint of the
    // same area wait for the server (a round trip, two thread wake-ups): the
    // spectrum repaints its box 30 times a second. Our windows are small, so
    // their pixels travel with the request instead. A user's setting wins.
    const bool sharedMemoryOffByUs = !qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM");
    if (sharedMemoryOffByUs)
        qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication app(argc, argv);
    // Read as the display connection opened; programs we start keep their own default.
    if (sharedMemoryOffByUs)
        qunsetenv("QT_XCB_NO_MITSHM");
    return RunProgram(app);
}
