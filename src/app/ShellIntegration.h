// Connects the main window to the desktop: the command channel's macros, and
// the goassociate and firstrun commands over the registry and the desktop
// entry. Lives as long as the main window.
#pragma once

#include "platform/registry.h"
#include "shell/ShellCommands.h"

class TDDEHandler;
class TForm1;

class ShellIntegration {
  public:
    // startedWithFiles: the command line named files (see MacroExecutor).
    ShellIntegration(TForm1& form, TDDEHandler& channel, bool startedWithFiles);

    // "[Open(...)]" commands from within the running program (the desktop's
    // media control): added like the channel's, but never emptying the
    // playlist, since they cannot repeat the command line.
    void openFiles(const QStringList& commands);

  private:
    void goassociate();
    void firstrun();
    // The engine's own types and the loaded plug-ins' extensions.
    std::vector<std::string> playableTypes() const;

    TForm1& form_;
    platform::Registry registry_;
    shell::MacroExecutor executor_;
    shell::MacroExecutor localOpen_;
};
