#include "ShellCommands.h"

#include "Associations.h"
#include "CommandHandler.h"

#include "platform/dde.h"
#include "platform/folders.h"
#include "platform/msgbox.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "playlist/PlaylistWindow.h"

#include <stdexcept>

namespace shell {

namespace {

constexpr const char* kFirstRunKey = "Software\\Korvane\\Orvella";
constexpr const char* kFirstRunValue = "FirstRun";

Associations AssociationsFor(const AssociationTarget& target)
{
    return Associations(target.registry, target.programPath, ServiceName(target.programPath));
}

// The desktop entry names every type that is ours now, not only the ones just
// associated, so associating in two steps keeps the first step's types. The
// registry may hold types nothing loaded can play; the desktop is not told of
// those. False with the file that could not be written.
bool UpdateDesktop(const AssociationTarget& target, const Associations& associations, std::string* failedFile = nullptr)
{
    return UpdateDesktopIntegration(target.desktop, target.programPath, target.iconPath,
                                    ClaimableFileTypes(associations.AssociatedFileTypes(), target.playableTypes),
                                    failedFile);
}

} // namespace

AssociationTarget ProgramAssociationTarget(platform::Registry& registry, std::vector<std::string> playableTypes)
{
    return {registry, platform::ProgramPath(), platform::ProgramFolder() + "orvella.svg", DefaultDesktopPaths(),
            std::move(playableTypes)};
}

void GoAssociate(const AssociationTarget& target, const std::vector<std::string>& checkedTypes)
{
    Associations associations = AssociationsFor(target);
    associations.AssociateFileTypes(checkedTypes);
    std::string failedFile;
    if (!checkedTypes.empty() && !UpdateDesktop(target, associations, &failedFile))
        throw std::runtime_error(kDesktopNotWrittenMessage + failedFile);
    MessageBox(nullptr, kAssociatedMessage, "Orvella", MB_OK | MB_ICONINFORMATION);
}

bool FirstRun(const AssociationTarget& target)
{
    platform::Registry& registry = target.registry;
    registry.createKey(platform::RegistryRoot::CurrentUser, kFirstRunKey);
    std::optional<std::string> flag =
        registry.readString(platform::RegistryRoot::CurrentUser, kFirstRunKey, kFirstRunValue);
    bool associateNow = flag != "false";
    if (associateNow) {
        Associations associations = AssociationsFor(target);
        associations.AssociateFileTypes({kFileTypeList.begin(), kFileTypeList.end()});
        UpdateDesktop(target, associations);
    }
    registry.writeString(platform::RegistryRoot::CurrentUser, kFirstRunKey, kFirstRunValue, "false");
    return associateNow;
}

void MacroExecutor::TEDDdeServerExecuteMacro(TDDEHandler*, const QStringList& commands)
{
    // Taken like a drop: playlist files give their entries, other files are
    // appended, titles are refreshed.
    QStringList paths;
    bool play = false;
    bool activate = false;
    for (const QString& command : commands) {
        if (std::optional<QString> path = MacroCommandPath(command)) {
            paths << *path;
            play = play || command.startsWith("[Open(");
        } else if (command == kActivateCommand) {
            activate = true;
        }
    }
    if (activate && actions_.activate)
        actions_.activate();
    if (paths.isEmpty())
        return;
    const int first = playlist_.Count();
    playlist_.addDroppedFiles(paths);
    if (play && playlist_.Count() > first && actions_.play)
        actions_.play(first);
}

CommandLineFiles ParseCommandLine(const QStringList& arguments)
{
    CommandLineFiles result;
    for (const QString& argument : arguments) {
        if (argument == "--enqueue")
            result.enqueue = true;
        else if (argument == "--new-instance")
            result.newInstance = true;
        else
            result.files << platform::AbsolutePath(argument);
    }
    return result;
}

bool HandOverToRunningInstance(const QString& service, const CommandLineFiles& commandLine)
{
    // Without files (or none a path can name) the running program is only raised.
    const QStringList requests = MacroRequestsFor(commandLine.files, commandLine.enqueue);
    if (requests.isEmpty())
        return platform::DdeExecute(service, kMacroTopic, kActivateCommand);
    bool handedOver = false;
    for (const QString& request : requests) {
        if (!platform::DdeExecute(service, kMacroTopic, request))
            break;
        handedOver = true;
    }
    return handedOver;
}

} // namespace shell
