#include "Program.h"

#include "BuiltInIcons.h"
#include "FontReader.h"
#include "MainWindow.h"
#include "ShellIntegration.h"
#include "SignalCloser.h"
#include "mpris/MainWindowMediaTarget.h"
#include "mpris/MprisService.h"

#include "controls/FormBuilder.h"
#include "platform/folders.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "shell/Associations.h"
#include "shell/CommandHandler.h"
#include "shell/ShellCommands.h"

#include <QApplication>
#include <QTimer>

#include <cstdlib>

namespace {

// Qt ends the program with exit() from inside the event loop when the display
// connection breaks (the X server ends, a remote session drops): no window
// closes then, so what a close saves is saved on the way out.
TForm1* windowOpen = nullptr;

void saveOpenWindow()
{
    if (windowOpen)
        windowOpen->saveAtExit();
}

class SavedAtExit {
  public:
    explicit SavedAtExit(TForm1& window)
    {
        static const bool registered = std::atexit(saveOpenWindow) == 0;
        if (registered)
            windowOpen = &window;
    }
    ~SavedAtExit() { windowOpen = nullptr; }
};

// From the command channel to the end of the event loop.
int serve(QApplication& app, const QStringList& arguments, FontReader& fonts, const std::function<void()>& shown)
{
    SignalCloser closer;

    // One program per user: a second start hands its files (without files, a
    // request to raise the window) to the program serving the command channel
    // and ends there, unless it asks for a program of its own.
    TDDEHandler channel(QString::fromStdString(shell::ServiceName(platform::ProgramPath())));
    const shell::CommandLineFiles commandLine = shell::ParseCommandLine(arguments);
    if (!commandLine.newInstance && !channel.Listen() &&
        shell::HandOverToRunningInstance(channel.Service(), commandLine))
        return 0;
    // This program shows the window: the fonts' second part goes on.
    fonts.readInstalledFaces();
    // The settings and the saved playlist belong to one program at a time.
    const bool ownsData = platform::LockDataFolder();

    QApplication::setApplicationName(QStringLiteral("Orvella"));
    platform::InstallQtMessageBoxPresenter();
    UseBuiltInIconStyle();

    // Paths and playlist files to start with; the first plays unless enqueued.
    TForm1 form(commandLine.files, [&fonts] { fonts.awaitConfiguration(); });
    form.setPlayArguments(!commandLine.enqueue);
    form.setSavesAtClose(ownsData);
    ShellIntegration shell(form, channel);
    closer.setWindow(&form);
    // Media keys and desktop panels; without a session bus the program runs as ever.
    MainWindowMediaTarget mediaTarget(form, [&shell](const QStringList& commands) { shell.openFiles(commands); });
    MprisService mediaControl(&mediaTarget);
    form.show();
    // Only now: the tables the save reads are made at the first showing, and
    // the statics made after an exit handler is registered are gone before it runs.
    const SavedAtExit savedAtExit(form);
    QTimer::singleShot(0, &form, [&shell] { shell.takeRequests(); });
    if (shown)
        QTimer::singleShot(0, shown);
    // Connecting to the bus waits on it, so the window shows first.
    QTimer::singleShot(0, &form, [&mediaControl] { mediaControl.registerOn(QDBusConnection::sessionBus()); });
    return app.exec();
}

} // namespace

int RunProgram(int argc, char* argv[], const std::function<void()>& shown)
{
    FontReader fonts;
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
    // Qt has taken its own options out of argv. The rest are read from the
    // bytes, as QApplication::arguments() would lose a file name that is not UTF-8.
    QStringList arguments;
    for (int k = 1; k < argc; ++k)
        arguments << platform::PathString(argv[k]);
    const int exitCode = serve(app, arguments, fonts, shown);
    fonts.finish();
    return exitCode;
}
