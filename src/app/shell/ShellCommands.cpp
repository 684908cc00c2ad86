#include "ShellCommands.h"

#include "Associations.h"
#include "TDDEHandler.h"

#include "platform/dde.h"
#include "platform/folders.h"
#include "platform/msgbox.h"
#include "platform/registry.h"
#include "playlist/Playlist.h"

#include <QFileInfo>

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
// registry may hold types nothing loaded can play; the desktop is not told of those.
void UpdateDesktop(const AssociationTarget& target, const Associations& associations)
{
    UpdateDesktopIntegration(target.desktop, target.programPath, target.iconPath,
                             ClaimableFileTypes(associations.AssociatedFileTypes(), target.playableTypes));
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
    for (const std::string& type : checkedTypes)
        associations.AssociateExtension("." + type);
    if (!checkedTypes.empty())
        UpdateDesktop(target, associations);
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
        for (const char* type : kFileTypeList)
            associations.AssociateExtension(std::string(".") + type);
        UpdateDesktop(target, associations);
    }
    registry.writeString(platform::RegistryRoot::CurrentUser, kFirstRunKey, kFirstRunValue, "false");
    return associateNow;
}

void MacroExecutor::TEDDdeServerExecuteMacro(TDDEHandler*, const QStringList& commands)
{
    if (!firstBatchDone_) {
        firstBatchDone_ = true;
        playlist_.clearplaylistbt1();
    }
    if (commands.isEmpty())
        return;

    // The same as a drop: playlist files give their entries, other files are
    // appended, titles are refreshed, nothing starts playing.
    QStringList paths;
    for (const QString& command : commands) {
        if (std::optional<QString> path = MacroCommandPath(command))
            paths << *path;
    }
    playlist_.DropFileTarget1Drop(paths);
}

CommandLineFiles ParseCommandLine(const QStringList& arguments)
{
    CommandLineFiles result;
    for (const QString& argument : arguments) {
        if (argument == "--enqueue")
            result.enqueue = true;
        else
            result.files << QFileInfo(argument).absoluteFilePath();
    }
    return result;
}

bool HandOverToRunningInstance(const QString& service, const CommandLineFiles& commandLine)
{
    if (commandLine.files.isEmpty())
        return false;
    return platform::DdeExecute(service, kMacroTopic, MacroRequestFor(commandLine.files, commandLine.enqueue));
}

} // namespace shell
