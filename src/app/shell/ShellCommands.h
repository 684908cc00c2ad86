// The main window's commands that reach outside the program: associating file
// types (goassociate, firstrun), executing the command channel's macros, and
// handing the command line over to an instance that is already running.
#pragma once

#include "DesktopIntegration.h"

#include <QStringList>

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

// goassociate: associates the checked file types ("MP3", ...) in list order and
// updates the desktop integration, then shows the success message, whether or
// not anything was checked. A key that cannot be created throws RegistryError
// (for the general error box); keys already written stay.
void GoAssociate(const AssociationTarget& target, const std::vector<std::string>& checkedTypes);

// firstrun: on the first start every file type of the list is associated and
// true is returned (the caller then checks every type in the preferences);
// "FirstRun" is "false" afterwards either way. No message.
bool FirstRun(const AssociationTarget& target);

// The main window's macro handler. A sender that starts the program with a file
// on its command line and then sends the same file through the channel would
// have it twice, so the first batch of such a run empties the playlist first.
// A program started without files keeps its playlist: there the first batch is
// the user adding to it from a second start, and emptying would lose the list.
class MacroExecutor {
  public:
    MacroExecutor(playlist::Tplayl& playlist, bool startedWithFiles)
        : playlist_(playlist), firstBatchDone_(!startedWithFiles)
    {
    }

    void TEDDdeServerExecuteMacro(TDDEHandler* sender, const QStringList& commands);

  private:
    playlist::Tplayl& playlist_;
    bool firstBatchDone_;
};

// The command line of a second start: files (made absolute) and whether they are
// to be enqueued ("--enqueue" anywhere among the arguments).
struct CommandLineFiles {
    QStringList files;
    bool enqueue = false;
};
CommandLineFiles ParseCommandLine(const QStringList& arguments); // without argv[0]

// Sends the files to the instance serving `service` as one execute request.
// False when nothing was sent (no instance, no files, or no acknowledgement).
bool HandOverToRunningInstance(const QString& service, const CommandLineFiles& commandLine);

} // namespace shell
