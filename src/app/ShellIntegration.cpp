#include "ShellIntegration.h"

#include "MainWindow.h"

#include "playlist/PlaylistWindow.h"
#include "prefs/PreferencesWindow.h"
#include "shell/CommandHandler.h"

ShellIntegration::ShellIntegration(TForm1& form, TDDEHandler& channel)
    : form_(form), channel_(channel), executor_(*form.playlistWindow(), {[&form](int entry) { form.playEntry(entry); },
                                                                         [&form] { form.bringToFront(); }})
{
    form.onGoAssociate = [this] { goassociate(); };
    form.onFirstRun = [this] { firstrun(); };
}

void ShellIntegration::takeRequests()
{
    // Without the engine the main window's creation stops early, and so does
    // the command channel: nothing could play what it brings.
    if (form_.AudioPlayer1().BASSDLLVer().empty())
        return;
    channel_.SetMacroHandler([this](TDDEHandler* sender, const QStringList& commands) {
        playlist::RunShowingErrors([&] { executor_.TEDDdeServerExecuteMacro(sender, commands); });
    });
}

void ShellIntegration::openFiles(const QStringList& commands)
{
    playlist::RunShowingErrors([&] { executor_.TEDDdeServerExecuteMacro(nullptr, commands); });
}

void ShellIntegration::goassociate()
{
    const PreferenceValues preferences = form_.preferences();
    std::vector<std::string> checked;
    for (int row = 0; row < preferences.fileTypes.size(); ++row)
        if (preferences.fileTypes[row])
            checked.push_back(Tprefform::FileTypeNames()[row].toStdString());
    shell::GoAssociate(shell::ProgramAssociationTarget(registry_, playableTypes()), checked);
}

std::vector<std::string> ShellIntegration::playableTypes() const
{
    const player::TAudioPlayer& player = form_.AudioPlayer1();
    return shell::FileTypesOfExtensionList(player.GetNativeFileExts() + player.GetPluginFileExts());
}

void ShellIntegration::firstrun()
{
    if (!shell::FirstRun(shell::ProgramAssociationTarget(registry_, playableTypes())))
        return;
    form_.changePreferences([](PreferenceValues& preferences) { preferences.fileTypes.fill(true); });
}
