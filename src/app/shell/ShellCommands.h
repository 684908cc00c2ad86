// The main window's commands that reach outside the program: associating file
// types (goassociate, firstrun), executing the command channel's macros, and
// handing the command line over to an instance that is already running.
#pragma once

#include "DesktopIntegration.h"

#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class TDDEHandler;
namespace playlist {
class Tplayl;
}

namespace platform {
class Registry;
}

namespace shell {

// What the association commands write to and name.
struct AssociationTarget {
    platform::Registry& registry;
    std::string programPath; // X: the running executable
    std::string iconPath;    // the program's icon for the desktop entry
    DesktopPaths desktop;
    // The file types the loaded decoders play ("MP3", "AIFF"): the desktop's
    // defaults are claimed for these only, whatever the registry holds.
    std::vector<std::string> playableTypes;
};

// The target for the running program: its own path, icon and the user's folders.
AssociationTarget ProgramAssociationTarget(platform::Registry& registry, std::vector<std::string> playableTypes);

inline constexpr const char* kAssociatedMessage =
    "All Selected Files Were Successfully Associated With KORVANE Orvella";

inline constexpr const char* kDesktopNotWrittenMessage = "The desktop's file associations could not be written to ";

// goassociate: associates the checked file types ("MP3", ...) in list order and
// updates the desktop integration, then shows the success message, whether or
// not anything was checked. A key that cannot be created throws RegistryError,
// a desktop file that cannot be written std::runtime_error with
// kDesktopNotWrittenMessage and its path (both for the general error box);
// what was already written stays.
void GoAssociate(const AssociationTarget& target, const std::vector<std::string>& checkedTypes);

// firstrun: on the first start every file type of the list is associated and
// true is returned (the caller then checks every type in the preferences);
// "FirstRun" is "false" afterwards either way. No message.
bool FirstRun(const AssociationTarget& target);

// What the channel's commands ask of the program beyond the playlist.
struct MacroActions {
    std::function<void(int entry)> play; // start this entry, whatever plays now
    std::function<void()> activate;      // raise and activate the main window
};

// The main window's macro handler. Files of "[Open(" and "[Enqueue(" commands
// are appended, never replacing the list (the program's own command line never
// reaches it a second time); a batch with an "[Open(" command then plays the
// first entry it added. kActivateCommand raises the main window.
class MacroExecutor {
  public:
    explicit MacroExecutor(playlist::Tplayl& playlist, MacroActions actions = {})
        : playlist_(playlist), actions_(std::move(actions))
    {
    }

    void TEDDdeServerExecuteMacro(TDDEHandler* sender, const QStringList& commands);

  private:
    playlist::Tplayl& playlist_;
    MacroActions actions_;
};

// The command line: files (made absolute), whether they are to be enqueued
// rather than played ("--enqueue"), and whether this start runs a program of
// its own beside a running one ("--new-instance"); both flags anywhere.
struct CommandLineFiles {
    QStringList files;
    bool enqueue = false;
    bool newInstance = false;
};
CommandLineFiles ParseCommandLine(const QStringList& arguments); // without argv[0]

// Sends the files to the instance serving `service` (or, without files that
// a request can carry, asks it to raise its window). False when no instance
// acknowledged.
bool HandOverToRunningInstance(const QString& service, const CommandLineFiles& commandLine);

} // namespace shell
