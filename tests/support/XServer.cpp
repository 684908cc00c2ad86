#include "XServer.h"

#include "ProgramEnvironment.h"

namespace testsupport {

XServer::XServer()
{
    process.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"});
    if (!process.waitForStarted(5000))
        return;
    while (process.state() == QProcess::Running && !process.canReadLine())
        process.waitForReadyRead(100);
    const QString number = QString::fromLatin1(process.readLine()).trimmed();
    if (!number.isEmpty())
        display = ":" + number;
}

void XServer::stop()
{
    StopProgram(process);
}

QProcessEnvironment WithDisplay(QProcessEnvironment env, const QString& display)
{
    env.insert("DISPLAY", display);
    env.remove("WAYLAND_DISPLAY");
    return env;
}

} // namespace testsupport
