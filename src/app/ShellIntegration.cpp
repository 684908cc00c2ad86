#include "ShellIntegration.h"

#include "MainWindow.h"

#include "playlist/PlaylistWindow.h"
#include "prefs/PreferencesWindow.h"
#include "shell/CommandHandler.h"

#include <QListWidget>

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
    const QListWidget* list = form_.preferencesWindow()->CheckfileBox;
    std::vector<std::string> checked;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->checkState() == Qt::Checked)
            checked.push_back(list->item(row)->text().toStdString());
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
    QListWidget* list = form_.preferencesWindow()->CheckfileBox;
    for (int row = 0; row < list->count(); ++row)
        list->item(row)->setCheckState(Qt::Checked);
}
