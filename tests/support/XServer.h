// An X server of a test's own (Xvfb) on a free display, ended with the test
// or earlier by stop(), as a display that goes away.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

namespace testsupport {

struct XServer {
    QProcess process;
    QString display; // ":N"; empty when no server could be started

    XServer();
    ~XServer() { stop(); }
    void stop();
};

// env with DISPLAY set to display and no Wayland display.
QProcessEnvironment WithDisplay(QProcessEnvironment env, const QString& display);

} // namespace testsupport
