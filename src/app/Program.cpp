#include "Program.h"

#include "MainWindow.h"
#include "ShellIntegration.h"
#include "SignalCloser.h"
#include "mpris/MainWindowMediaTarget.h"
#include "mpris/MprisService.h"

#include "platform/folders.h"
#include "platform/msgbox.h"
#include "shell/Associations.h"
#include "shell/ShellCommands.h"
#include "shell/TDDEHandler.h"

#include <QApplication>
#include <QTimer>

int RunProgram(QApplication& app, const std::function<void()>& shown)
{
    SignalCloser closer;

    // The command channel comes first: a second start hands its files to the
    // program already serving it and ends there.
    TDDEHandler channel(QString::fromStdString(shell::ServiceName(platform::ProgramPath())));
    const shell::CommandLineFiles commandLine = shell::ParseCommandLine(QApplication::arguments().mid(1));
    if (!channel.Listen() && shell::HandOverToRunningInstance(channel.Service(), commandLine))
        return 0;

    QApplication::setApplicationName(QStringLiteral("Orvella"));
    platform::InstallQtMessageBoxPresenter();

    // Paths and playlist files to start with; nothing plays at start.
    TForm1 form(commandLine.files);
    ShellIntegration shell(form, channel, !commandLine.files.isEmpty());
    closer.setWindow(&form);
    // Media keys and desktop panels; without a session bus the program runs as ever.
    MainWindowMediaTarget mediaTarget(form, [&shell](const QStringList& commands) { shell.openFiles(commands); });
    MprisService mediaControl(&mediaTarget);
    mediaControl.registerOn(QDBusConnection::sessionBus());
    form.show();
    if (shown)
        QTimer::singleShot(0, shown);
    return app.exec();
}
