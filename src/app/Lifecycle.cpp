// Start-up and shut-down of the main window: the plug-ins and the command box
// at creation; the configuration, the playlist (or the command line's files)
// at the first showing; the configuration and the playlist again at close.
#include "MainWindow.h"

#include "app/display/FrequencyGauge.h"

#include "app/config/Config.h"
#include "controls/OuterGeometry.h"
#include "controls/Slider.h"
#include "equalizer/EqualizerWindow.h"
#include "platform/msgbox.h"
#include "player/PluginHost.h"
#include "playlist/PlaylistWindow.h"
#include "playlist/SavedPlaylist.h"
#include "prefs/PreferencesWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>

#include <exception>
#include <stdexcept>

using appconfig::Setting;

// The controls behind each key of confstate.ini.
class TForm1::Settings : public appconfig::SettingsTarget {
  public:
    explicit Settings(TForm1& form) : f_(form) {}

    int current(Setting setting, int index) const override
    {
        // Sizes and places are outer ones, frame included, for all three windows.
        switch (setting) {
        case Setting::MainWidth:
            return OuterGeometry(f_).width();
        case Setting::MainHeight:
            return OuterGeometry(f_).height();
        case Setting::MainLeft:
            return OuterGeometry(f_).x();
        case Setting::MainTop:
            return OuterGeometry(f_).y();
        case Setting::PlaylistVis:
            return f_.playl_->isVisible() ? 1 : 0;
        case Setting::PlaylistWidth:
            return OuterGeometry(*f_.playl_).width();
        case Setting::PlaylistHeight:
            return OuterGeometry(*f_.playl_).height();
        case Setting::PlaylistLeft:
            return OuterGeometry(*f_.playl_).x();
        case Setting::PlaylistTop:
            return OuterGeometry(*f_.playl_).y();
        case Setting::EqualizerVis:
            return f_.equalizer_->isVisible() ? 1 : 0;
        case Setting::EqualizerWidth:
            return OuterGeometry(*f_.equalizer_).width();
        case Setting::EqualizerHeight:
            return OuterGeometry(*f_.equalizer_).height();
        case Setting::EqualizerLeft:
            return OuterGeometry(*f_.equalizer_).x();
        case Setting::EqualizerTop:
            return OuterGeometry(*f_.equalizer_).y();
        case Setting::FileType: {
            const QListWidgetItem* item = f_.prefs_->CheckfileBox->item(index);
            return item && item->checkState() == Qt::Checked ? 1 : 0;
        }
        case Setting::Equalizer:
            return f_.equalizer_->band(index)->Value();
        case Setting::UseEqualizer:
            return f_.equalizer_->eqcheck->isChecked();
        case Setting::FlangerBox:
            return f_.equalizer_->flanger1->isChecked();
        case Setting::EchoBox:
            return f_.equalizer_->cbecho->isChecked();
        case Setting::ReverbBox:
            return f_.equalizer_->cbreverb->isChecked();
        case Setting::ReverbLevel:
            return f_.equalizer_->ReverbSlider->Value();
        case Setting::EchoLevel:
            return f_.equalizer_->EchoSlider->Value();
        case Setting::ShuffleAndGo:
            return f_.prefs_->shuffgo->isChecked();
        case Setting::SmoothShuffle:
            return f_.prefs_->smoothshuff->isChecked();
        case Setting::MorphRate:
            return f_.prefs_->TrackBar1->value();
        case Setting::Volume:
            return f_.Slider2->Value();
        case Setting::TitleFormat:
            return f_.prefs_->playparse1->currentIndex();
        case Setting::Numbering:
            return f_.prefs_->numplay1->isChecked();
        case Setting::Repeat:
            return f_.repeat();
        case Setting::PluginFirst:
            return f_.player_->PluginFirst();
        default:
            return 0;
        }
    }

    void apply(Setting setting, int index, int value) override
    {
        player::TAudioPlayer& player = *f_.player_;
        auto effect = [&](player::TSoundEffects flag) {
            player.SetSoundEffects(value ? player.SoundEffects() | flag : player.SoundEffects() & ~flag);
        };
        // One edge of a window's outer rectangle at a time.
        auto outer = [&](QWidget& window, void (QRect::*set)(int)) {
            QRect rect = OuterGeometry(window);
            (rect.*set)(value);
            SetOuterGeometry(window, rect);
        };
        switch (setting) {
        case Setting::MainWidth:
            outer(f_, &QRect::setWidth);
            break;
        case Setting::MainHeight:
            outer(f_, &QRect::setHeight);
            break;
        case Setting::MainLeft:
            outer(f_, &QRect::moveLeft);
            break;
        case Setting::MainTop:
            outer(f_, &QRect::moveTop);
            break;
        case Setting::PlaylistVis:
            f_.playl_->show();
            break;
        case Setting::PlaylistWidth:
            outer(*f_.playl_, &QRect::setWidth);
            break;
        case Setting::PlaylistHeight:
            outer(*f_.playl_, &QRect::setHeight);
            break;
        case Setting::PlaylistLeft:
            outer(*f_.playl_, &QRect::moveLeft);
            break;
        case Setting::PlaylistTop:
            outer(*f_.playl_, &QRect::moveTop);
            break;
        case Setting::EqualizerVis:
            f_.equalizer_->show();
            break;
        case Setting::EqualizerWidth:
            outer(*f_.equalizer_, &QRect::setWidth);
            break;
        case Setting::EqualizerHeight:
            outer(*f_.equalizer_, &QRect::setHeight);
            break;
        case Setting::EqualizerLeft:
            outer(*f_.equalizer_, &QRect::moveLeft);
            break;
        case Setting::EqualizerTop:
            outer(*f_.equalizer_, &QRect::moveTop);
            break;
        case Setting::FileType:
            if (QListWidgetItem* item = f_.prefs_->CheckfileBox->item(index))
                item->setCheckState(value ? Qt::Checked : Qt::Unchecked);
            break;
        case Setting::Equalizer:
            f_.equalizer_->band(index)->setValue(value);
            break;
        case Setting::UseEqualizer:
            f_.equalizer_->eqcheck->setChecked(value);
            break;
        case Setting::FlangerBox:
            f_.equalizer_->flanger1->setChecked(value);
            break;
        case Setting::EchoBox:
            f_.equalizer_->cbecho->setChecked(value);
            break;
        case Setting::ReverbBox:
            f_.equalizer_->cbreverb->setChecked(value);
            break;
        case Setting::ReverbLevel:
            f_.equalizer_->ReverbSlider->setValue(value);
            break;
        case Setting::EchoLevel:
            f_.equalizer_->EchoSlider->setValue(value);
            break;
        case Setting::FlangerEffect:
            effect(player::seFlanger);
            break;
        case Setting::EchoEffect:
            effect(player::seEcho);
            break;
        case Setting::ReverbEffect:
            effect(player::seReverb);
            break;
        case Setting::PlayerReverbLevel:
            player.SetReverbLevel(value);
            break;
        case Setting::PlayerEchoLevel:
            player.SetEchoLevel(value);
            break;
        case Setting::ShuffleAndGo:
            f_.prefs_->shuffgo->setChecked(value);
            break;
        case Setting::SmoothShuffle:
            f_.prefs_->smoothshuff->setChecked(value);
            break;
        case Setting::MorphRate:
            f_.prefs_->TrackBar1->setValue(value);
            break;
        case Setting::Volume:
            f_.Slider2->setValue(value);
            break;
        case Setting::TitleFormat:
            f_.prefs_->playparse1->setCurrentIndex(value);
            break;
        case Setting::Numbering:
            f_.prefs_->numplay1->setChecked(value);
            break;
        case Setting::Repeat:
            f_.setRepeat(value);
            break;
        default:
            break;
        }
    }

    std::string pluginFileName(int slot) const override { return player::GetPluginInfo(slot).FileName; }
    bool effectsReady() const override { return f_.player_->DX8EffectReady(); }
    bool pluginsReady() const override { return player::PluginHostReady(); }

    void disableEffectControls() override
    {
        TEqualizerform& eq = *f_.equalizer_;
        for (QWidget* w :
             std::initializer_list<QWidget*>{eq.flanger1, eq.cbecho, eq.cbreverb, eq.EchoSlider, eq.ReverbSlider})
            w->setEnabled(false);
    }

  private:
    TForm1& f_;
};

void TForm1::checkEngineAndLoadPlugins()
{
    if (player_->BASSDLLVer().empty()) {
        // Without the engine the program still runs, silently; the player
        // refuses every file with its own message.
        MessageBox(playerOwner_, "BASS.DLL Not Please Reinstall The Application", "Confirm", MB_OK);
        return;
    }
    if (!player_->BASSWMAReady())
        MessageBox(playerOwner_, "BASSWMA.DLL Not found Please Reinstall Application", "Confirm", MB_OK);

    Slider1->setValue(0);
    const platform::ProfileFile config(appconfig::ConfigPath());
    // Beyond the eighth, LoadPlugin refuses: no slot is left.
    for (const std::string& name : appconfig::PluginsToLoad(config))
        player::LoadPlugin(name);
    player_->SetPluginFirst(appconfig::ReadPluginFirst(config, player_->PluginFirst()));
    ComboBox1->addItems(commandNames_);
}

void TForm1::setVisible(bool visible)
{
    // The window gets its place before it exists, so that a window manager
    // puts its frame there; the first showing restores the rest.
    if (visible && !formShown_ && !testAttribute(Qt::WA_WState_Created)) {
        Settings settings(*this);
        appconfig::RestoreMainWindowGeometry(platform::ProfileFile(appconfig::ConfigPath()), settings);
    }
    QMainWindow::setVisible(visible);
}

void TForm1::showEvent(QShowEvent* event)
{
    if (!formShown_) {
        formShown_ = true;
        playlist::RunShowingErrors([this] { restoreAtFirstShow(); });
    }
    QMainWindow::showEvent(event);
}

void TForm1::restoreAtFirstShow()
{
    GaugePaintBox->CreateBasicImage();
    GaugePaintBox->ShowBackground();
    GaugePaintBox->ResetPeaks();
    for (int band = 1; band <= player::kEQBandCount; ++band)
        EQGains[size_t(band - 1)] = float(equalizer_->band(band)->Value() - 15);

    Settings settings(*this);
    appconfig::RestoreAtShow(platform::ProfileFile(appconfig::ConfigPath()), settings);
    passSettingsToPlaylist();

    player_->OnNewFFTData = [this](player::TAudioPlayer&, const player::TBandOut& bands) {
        GaugePaintBox->DisplayFFTBand(bands);
    };
    if (player_->PlayerReady())
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
        paths << QFileInfo(argument).absoluteFilePath();
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
        window->hide();
    QCoreApplication::quit();
}

void TForm1::saveAtClose()
{
    Timer_Stat.stop();
    Timer1.stop();
    tracktimer.stop();
    if (!savesAtClose_)
        return;
    const Settings settings(*this);
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
