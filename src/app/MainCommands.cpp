// ActionList1 (every command in list order, with its caption and shortcut),
// the hidden command box, the menus and the commands that show windows.
#include "MainWindow.h"

#include "controls/Slider.h"
#include "equalizer/EqualizerWindow.h"
#include "equalizer/PresetsWindow.h"
#include "player/PluginHost.h"
#include "playlist/PlaylistWindow.h"
#include "prefs/AboutBox.h"
#include "prefs/PreferencesWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>

namespace {

struct CommandSpec {
    const char* name;
    const char* caption; // null: the name
    QKeySequence shortcut;
};

// In list order: the hidden command box runs a command by its index here.
const std::vector<CommandSpec>& CommandList()
{
    static const std::vector<CommandSpec> list = {
        {"playon", nullptr, {}},
        {"playnow", nullptr, QKeySequence(Qt::Key_Return)},
        {"playbt1", nullptr, {}},
        {"stopbt1", nullptr, {}},
        {"prevbt1", nullptr, {}},
        {"nextbt1", nullptr, {}},
        {"toggleplaylist1", nullptr, {}},
        {"deletebt1", "Delete Selected", {}},
        {"openbt1", "Clear And Add..", {}},
        {"cropbt1", "Crop Selected", {}},
        {"loadplbt1", "Open Playlist", {}},
        {"saveplbt1", "Save Playlist", {}},
        {"additemsbt1", "Add Files..", {}},
        {"clearplaylistbt1", "Clear Playlist", {}},
        {"setlabelinfo1", nullptr, {}},
        {"mpeginfo1", nullptr, {}},
        {"deletenow", "Delete Selected", QKeySequence(Qt::Key_Delete)},
        {"numplaylist1", nullptr, {}},
        {"stepforward1", nullptr, QKeySequence(Qt::CTRL | Qt::Key_Right)},
        {"stepbackward1", nullptr, QKeySequence(Qt::CTRL | Qt::Key_Left)},
        {"setcurrenttime1", nullptr, {}},
        {"loadplaction", nullptr, {}},
        {"loadfiles1", nullptr, {}},
        {"addaction1", nullptr, {}},
        {"notfileexist1", nullptr, {}},
        {"loadmultipl1", nullptr, {}},
        {"pausebtt1", nullptr, {}},
        {"eqchange", nullptr, {}},
        {"pluinconfig", "pluginconfig", {}},
        {"prefformshow", nullptr, {}},
        {"showeq", nullptr, {}},
        {"togglerepeat1", nullptr, {}},
        {"volumeup1", nullptr, QKeySequence(Qt::CTRL | Qt::Key_Up)},
        {"volumedown1", nullptr, QKeySequence(Qt::CTRL | Qt::Key_Down)},
        {"shuffleact", "Shuffle", {}},
        {"showpresets", nullptr, {}},
        {"timelist1", nullptr, {}},
        {"realbxdblclick1", nullptr, {}},
        {"goassociate", nullptr, {}},
        {"procusme", nullptr, {}},
        {"renumber", nullptr, {}},
        {"firstrun", nullptr, {}},
        {"savedpath", nullptr, {}},
    };
    return list;
}

} // namespace

void TForm1::createActions()
{
    using playlist::Tplayl;
    auto onPlaylist = [this](void (Tplayl::*command)()) { return [this, command] { (playl_->*command)(); }; };
    const QHash<QString, std::function<void()>> bodies = {
        {"playon", [] {}},
        // Enter and Delete reach the playlist window's own keys; from elsewhere
        // they act only while that window is the active one.
        {"playnow",
         [this] {
             if (playl_->isActiveWindow())
                 playl_->playnow();
         }},
        {"playbt1", [this] { playbt1(); }},
        {"stopbt1", [this] { stopbt1(); }},
        {"prevbt1", [this] { prevbt1(); }},
        {"nextbt1", [this] { nextbt1(); }},
        {"toggleplaylist1", [this] { toggleplaylist1(); }},
        {"deletebt1", onPlaylist(&Tplayl::deletebt1)},
        {"openbt1", onPlaylist(&Tplayl::openbt1)},
        {"cropbt1", onPlaylist(&Tplayl::cropbt1)},
        {"loadplbt1", onPlaylist(&Tplayl::loadplbt1)},
        {"saveplbt1", onPlaylist(&Tplayl::saveplbt1)},
        {"additemsbt1", onPlaylist(&Tplayl::additemsbt1)},
        {"clearplaylistbt1", onPlaylist(&Tplayl::clearplaylistbt1)},
        {"setlabelinfo1", [this] { setlabelinfo1(); }},
        {"mpeginfo1", [this] { mpeginfo1(); }},
        {"deletenow",
         [this] {
             if (playl_->isActiveWindow())
                 playl_->deletebt1();
         }},
        {"numplaylist1", [] {}},
        {"stepforward1", [this] { stepforward1(); }},
        {"stepbackward1", [this] { stepbackward1(); }},
        {"setcurrenttime1", [this] { setcurrenttime1(); }},
        {"loadplaction", onPlaylist(&Tplayl::loadplaction)},
        {"loadfiles1", onPlaylist(&Tplayl::loadfiles1)},
        {"addaction1", onPlaylist(&Tplayl::addaction1)},
        {"notfileexist1", [this] { nextbt1(); }},
        {"loadmultipl1", onPlaylist(&Tplayl::loadmultipl1)},
        {"pausebtt1", [this] { pausebtt1(); }},
        {"eqchange", [this] { eqchange(); }},
        {"pluinconfig", [this] { pluinconfig(); }},
        {"prefformshow", [this] { prefformshow(); }},
        {"showeq", [this] { showeq(); }},
        {"togglerepeat1", [this] { togglerepeat1(); }},
        {"volumeup1", [this] { volumeup1(); }},
        {"volumedown1", [this] { volumedown1(); }},
        {"shuffleact", onPlaylist(&Tplayl::shuffleact)},
        {"showpresets", [this] { showpresets(); }},
        {"timelist1", [] {}},
        {"realbxdblclick1", [this] { realbxdblclick1(); }},
        {"goassociate",
         [this] {
             if (onGoAssociate)
                 onGoAssociate();
         }},
        {"procusme", onPlaylist(&Tplayl::procusme)},
        {"renumber", onPlaylist(&Tplayl::renumber)},
        {"firstrun",
         [this] {
             if (onFirstRun)
                 onFirstRun();
         }},
        {"savedpath", onPlaylist(&Tplayl::savedpath)},
    };

    for (const CommandSpec& spec : CommandList()) {
        const QString name = QString::fromLatin1(spec.name);
        auto* action = new QAction(spec.caption ? QString::fromLatin1(spec.caption) : name, this);
        action->setObjectName(name);
        action->setShortcut(spec.shortcut);
        const std::function<void()> body = bodies.value(name);
        connect(action, &QAction::triggered, this, [this, body] {
            playlist::RunShowingErrors(body);
            wakeStatusTimer();
        });
        // The stepping and volume keys work from every window of the program;
        // Enter and Delete belong to the playlist window.
        if (!spec.shortcut.isEmpty() && name != "playnow" && name != "deletenow") {
            action->setShortcutContext(Qt::ApplicationShortcut);
            addAction(action);
        }
        commands_.insert(name, action);
        commandNames_ << name;
    }
}

void TForm1::keyPressEvent(QKeyEvent* event)
{
    // Space plays or pauses. A key of this window alone (no command of the
    // list has it), so other windows keep Space for themselves.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        const player::TPlayState mode = player_->Mode();
        runCommand(mode == player::psPlaying || mode == player::psPaused ? QStringLiteral("pausebtt1")
                                                                         : QStringLiteral("playbt1"));
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TForm1::runCommand(const QString& name)
{
    if (QAction* action = commandAction(name))
        action->trigger();
}

void TForm1::runTypedCommand()
{
    // The box's text names the command; an unknown name does nothing.
    const int index = commandNames_.indexOf(ComboBox1->currentText());
    if (index >= 0)
        commandAction(commandNames_[index])->trigger();
}

void TForm1::createMenus()
{
    auto item = [this](QMenu* menu, const char* caption, const char* command) {
        QAction* a = menu->addAction(QString::fromLatin1(caption));
        const QString name = QString::fromLatin1(command);
        connect(a, &QAction::triggered, this, [this, name] { runCommand(name); });
        return a;
    };

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    item(file, "Open Files..", "openbt1");
    item(file, "Add Files..", "additemsbt1");
    file->addSeparator();
    item(file, "Load Playlist..", "loadplbt1");
    item(file, "Save Playlist..", "saveplbt1");
    file->addSeparator();
    connect(file->addAction(QStringLiteral("Exit")), &QAction::triggered, this, &QWidget::close);

    playMenu_ = menuBar()->addMenu(QStringLiteral("&Play"));
    item(playMenu_, "Play..", "playbt1");
    item(playMenu_, "Pause..", "pausebtt1");
    item(playMenu_, "Stop..", "stopbt1");
    item(playMenu_, "Next..", "nextbt1");
    item(playMenu_, "Previous..", "prevbt1");
    playMenu_->addSeparator();
    QMenu* volume = playMenu_->addMenu(QStringLiteral("Volume"));
    item(volume, "Up..", "volumeup1");
    item(volume, "Down..", "volumedown1");
    playMenu_->addSeparator();
    item(playMenu_, "Back 5 secs..", "stepbackward1");
    item(playMenu_, "Forward 5 secs..", "stepforward1");
    playMenu_->addSeparator();
    repeatItem_ = playMenu_->addAction(QStringLiteral("Repeat"));
    repeatItem_->setCheckable(true);
    repeatItem_->setChecked(true); // corrected when the menu first opens
    connect(repeatItem_, &QAction::triggered, this, [this] {
        playlist::RunShowingErrors([this] {
            setRepeat(!repeat());
            repeatItem_->setChecked(repeat());
        });
    });
    item(playMenu_, "Shuffle", "shuffleact");
    connect(playMenu_, &QMenu::aboutToShow, this, &TForm1::updatePlayMenu);

    optionsMenu_ = menuBar()->addMenu(QStringLiteral("&Options"));
    item(optionsMenu_, "Preferences..", "prefformshow");
    optionsMenu_->addSeparator();
    currentPlugins_ = optionsMenu_->addMenu(QStringLiteral("Current Plugins"));
    QMenu* list = optionsMenu_->addMenu(QStringLiteral("Playlist"));
    item(list, "Delete Selected..", "deletebt1");
    item(list, "Crop Selected..", "cropbt1");
    list->addSeparator();
    item(list, "Clear Playlist..", "clearplaylistbt1");
    connect(optionsMenu_, &QMenu::aboutToShow, this, &TForm1::updateOptionsMenu);

    viewMenu_ = menuBar()->addMenu(QStringLiteral("&View"));
    playlistItem_ = item(viewMenu_, "Playlist..", "toggleplaylist1");
    equalizerItem_ = item(viewMenu_, "Equalizer..", "showeq");
    playlistItem_->setCheckable(true);
    equalizerItem_->setCheckable(true);
    connect(viewMenu_, &QMenu::aboutToShow, this, &TForm1::updateViewMenu);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    connect(help->addAction(QStringLiteral("About Orvella")), &QAction::triggered, this,
            [this] { playlist::RunShowingErrors([this] { showAbout(); }); });
}

void TForm1::updatePlayMenu()
{
    repeatItem_->setChecked(repeat());
}

void TForm1::updateOptionsMenu()
{
    currentPlugins_->clear();
    for (int slot = 0; slot < player::kPluginSlots; ++slot) {
        const player::TPluginInfo info = player::GetPluginInfo(slot);
        if (info.FileName.empty())
            continue;
        // The extension text ends at its first NUL.
        const std::string extensions = info.FileExtensions.substr(0, info.FileExtensions.find('\0'));
        const QString caption = QString::fromStdString(info.FileName + " | " + extensions).trimmed();
        currentPlugins_->addAction(caption);
    }
    if (currentPlugins_->isEmpty())
        currentPlugins_->addAction(QStringLiteral("No Plugins Loaded"));
}

void TForm1::updateViewMenu()
{
    playlistItem_->setChecked(playl_->isVisible());
    equalizerItem_->setChecked(equalizer_->isVisible());
}

// --- windows -------------------------------------------------------------------

void TForm1::toggleplaylist1()
{
    playl_->setVisible(!playl_->isVisible());
}

void TForm1::bringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void TForm1::showeq()
{
    equalizer_->setVisible(!equalizer_->isVisible());
}

void TForm1::showpresets()
{
    equalizer_->presetform()->show();
    equalizer_->presetform()->raise();
}

void TForm1::prefformshow()
{
    Tprefform* window = preferencesWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

void TForm1::pluinconfig()
{
    player_->ShowPluginConfig();
}

void TForm1::showAbout()
{
    aboutBox()->exec();
}
