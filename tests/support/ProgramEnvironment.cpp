#include "ProgramEnvironment.h"

#include <QDir>
#include <QFile>

#include <csignal>

namespace testsupport {

QProcessEnvironment ProgramEnvironment(const std::string& root)
{
    const QString base = QString::fromStdString(root);
    for (const char* folder : {"data", "xdg-data", "xdg-config", "runtime"})
        QDir().mkpath(base + folder);
    QFile::setPermissions(base + "runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORVELLA_DATA_DIR", base + "data");
    env.insert("ORVELLA_MSGBOX_LOG", base + "boxes.jsonl");
    env.insert("ORVELLA_REGISTRY", base + "registry");
    env.insert("XDG_DATA_HOME", base + "xdg-data");
    env.insert("XDG_CONFIG_HOME", base + "xdg-config");
    env.insert("XDG_RUNTIME_DIR", base + "runtime");
    return env;
}

void StopProgram(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished();
}

} // namespace testsupport
