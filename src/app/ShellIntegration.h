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
    ShellIntegration(TForm1& form, TDDEHandler& channel);

    // Starts taking the channel's requests (those that came meanwhile first);
    // called once the event loop runs, so that none is handled within the
    // first showing.
    void takeRequests();

    // "[Open(...)]" commands from within the running program (the desktop's
    // media control), taken like the channel's.
    void openFiles(const QStringList& commands);

  private:
    void goassociate();
    void firstrun();
    // The engine's own types and the loaded plug-ins' extensions.
    std::vector<std::string> playableTypes() const;

    TForm1& form_;
    TDDEHandler& channel_;
    platform::Registry registry_;
    shell::MacroExecutor executor_;
};
