// Start-up and shut-down of the main window: the plug-ins and the engine
// check at creation; the configuration, the playlist (or the command line's files)
// at the first showing; the configuration and the playlist again at close.
#include "MainWindow.h"
#include "BuiltInIcons.h"
#include "MainWindowSettings.h"

#include "app/display/FrequencyGauge.h"

#include "app/config/Config.h"
#include "controls/Slider.h"
#include "equalizer/EqualizerWindow.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "player/PluginHost.h"
#include "playlist/PlaylistWindow.h"
#include "playlist/SavedPlaylist.h"
#include "prefs/PreferencesWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QWindow>

#include <cstdio>
#include <exception>
#include <stdexcept>

void TForm1::loadPlugins()
{
    if (player_->BASSDLLVer().empty())
        return;
    const platform::ProfileFile config(appconfig::ConfigPath());
    // Beyond the eighth, LoadPlugin refuses: no slot is left.
    for (const std::string& name : appconfig::PluginsToLoad(config))
        player::LoadPlugin(name);
    player_->SetPluginFirst(appconfig::ReadPluginFirst(config, player_->PluginFirst()));
}

void TForm1::reportMissingEngine()
{
    if (player_->BASSDLLVer().empty()) {
        // Without the engine the program still runs, silently; the player
        // refuses every file with its own message.
        useProgramIcon();
        MessageBox(playerOwner_, "BASS.DLL Not Please Reinstall The Application", "Confirm", MB_OK);
        return;
    }
    if (!player_->BASSWMAReady()) {
        useProgramIcon();
        MessageBox(playerOwner_, "BASSWMA.DLL Not found Please Reinstall Application", "Confirm", MB_OK);
    }
}

// Every window, dialog and box of the program carries its icon. The program
// takes it once the windows it shows at start exist: on X11, Qt sends the
// icon twice to a window made while the program has one, 96 KB each time.
void TForm1::useProgramIcon()
{
    if (QApplication::windowIcon().isNull())
        QApplication::setWindowIcon(BuiltInIcon(QStringLiteral("orvella"), {16, 32, 48, 64, 128}));
}

void TForm1::setVisible(bool visible)
{
    // The window gets its place before it exists, so that a window manager
    // puts its frame there; the first showing restores the rest.
    if (visible && !formShown_ && !testAttribute(Qt::WA_WState_Created)) {
        MainWindowSettings settings(*this);
        appconfig::RestoreMainWindowGeometry(platform::ProfileFile(appconfig::ConfigPath()), settings);
    }
    QMainWindow::setVisible(visible);
}

void TForm1::showEvent(QShowEvent* event)
{
    if (!formShown_) {
        formShown_ = true;
        // Minimised, on another desktop or hidden, the window hears of it as
        // its exposure ends.
        windowHandle()->installEventFilter(this);
        playlist::RunShowingErrors([this] { restoreAtFirstShow(); });
        useProgramIcon();
    }
    QMainWindow::showEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // A spectrum no one can see is not computed. (The player's shut-down
    // pumps messages, after it has left player_.)
    if (event->type() == QEvent::Expose && watched == windowHandle() && player_) {
        const bool seen = windowHandle()->isExposed();
        // Peaks held from before would fall as if just heard.
        if (seen && !player_->SpectrumSeen())
            GaugePaintBox->ResetPeaks();
        player_->SetSpectrumSeen(seen);
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::restoreAtFirstShow()
{
    GaugePaintBox->CreateBasicImage();
    GaugePaintBox->ShowBackground();
    GaugePaintBox->ResetPeaks();
    EQGains = equalizer_->Gains();

    MainWindowSettings settings(*this);
    appconfig::RestoreAtShow(platform::ProfileFile(appconfig::ConfigPath()), settings);
    passSettingsToPlaylist();

    player_->OnNewFFTData = [this](player::TAudioPlayer& player, const player::TBandOut& bands) {
        GaugePaintBox->DisplayFFTBand(bands);
        // A frame that arrives after playback stopped is cleared by the status timer.
        if (player.Mode() != player::psPlaying)
            wakeStatusTimer();
    };
    statusTimerOn_ = player_->PlayerReady();
    if (statusTimerOn_)
        Timer_Stat.start();

    playl_->RefreshFirst = playl_->Count();
    if (!arguments_.isEmpty()) {
        takeArguments();
    } else {
        playl_->RestoreSavedPlaylist(playlist::SavedPlaylistFolder());
        runCommand(QStringLiteral("firstrun"));
    }
    // Nothing plays at start.
}

void TForm1::takeArguments()
{
    // Made absolute, so that entries survive a change of the current folder.
    QStringList paths;
    for (const QString& argument : std::as_const(arguments_))
        paths << platform::AbsolutePath(argument);
    // Taken like dropped files: playlist files give their entries, titles and
    // times are read; then the first entry plays, unless they were enqueued.
    const int first = playl_->Count();
    playl_->addDroppedFiles(paths);
    if (playArguments_ && playl_->Count() > first)
        playEntry(first);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (!formClosed_) {
        formClosed_ = true;
        playlist::RunShowingErrors([this] { saveAtClose(); });
    }
    event->accept();
    // Closing the main window ends the program, whatever else is showing.
    for (QWidget* window : std::initializer_list<QWidget*>{playl_, equalizer_, prefs_})
        if (window)
            window->hide();
    QCoreApplication::quit();
}

void TForm1::saveAtClose()
{
    statusTimerOn_ = false;
    Timer_Stat.stop();
    Timer1.stop();
    tracktimer.stop();
    saveState();
}

void TForm1::saveAtExit()
{
    if (formClosed_)
        return;
    formClosed_ = true;
    try {
        saveState();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Orvella: %s\n", error.what());
    }
}

void TForm1::saveState()
{
    if (!savesAtClose_)
        return;
    const MainWindowSettings settings(*this);
    // A playlist that cannot be written must not cost the settings as well.
    std::exception_ptr playlistError;
    const bool saved = appconfig::SaveAtClose(platform::ProfileFile(appconfig::ConfigPath()), settings, [&] {
        try {
            playl_->SaveSavedPlaylist(playlist::SavedPlaylistFolder());
        } catch (...) {
            playlistError = std::current_exception();
        }
    });
    if (playlistError)
        std::rethrow_exception(playlistError);
    if (!saved)
        throw std::runtime_error("The settings could not be written to " + appconfig::ConfigPath());
}
