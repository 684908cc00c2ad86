// TForm1: the main window. It owns the player, the secondary windows, the
// track information readers, the spectrum and the three timers. Everything
// the user does arrives as one of the named commands of ActionList1; menus,
// buttons, the playlist window and the command channel run those commands.
//
// The run-time state the commands read back (playindex, timersec, nowp, the
// title, artist and encoder of the playing file) is kept as text, in the form
// the commands expect. playindex lives in the playlist window.
#pragma once

#include "player/AudioPlayer.h"

#include "fileinfo/MPEGaudio.h"
#include "prefs/PreferenceValues.h"

#include <QHash>
#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class TEqualizerform;
class TForm2;
class TPluginConfigForm;
class Tprefform;
class TSlider;

namespace display {
class TSpectrum;
}
namespace fileinfo {
class ReaderFile;
}
namespace playlist {
class Tplayl;
}

class TForm1 : public QMainWindow {
    Q_OBJECT
  public:
    // arguments: the command line's paths and playlist files, taken at the
    // first showing instead of the saved playlist. beforeText runs once the
    // engine is loaded, before the first control is sized to its text.
    explicit TForm1(QStringList arguments = {}, const std::function<void()>& beforeText = {},
                    QWidget* parent = nullptr);
    ~TForm1() override;

    // Every command of ActionList1 by name (null for an unknown name), and the
    // names in list order.
    QAction* commandAction(const QString& name) const { return commands_.value(name); }
    const QStringList& commandNames() const { return commandNames_; }
    // Runs a command inside the general error handler.
    void runCommand(const QString& name);
    // Whether the command line's first entry starts playing at the first
    // showing (a plain start with files), and whether the settings and the
    // playlist are written at close (not by a second program beside a running one).
    void setPlayArguments(bool on) { playArguments_ = on; }
    void setSavesAtClose(bool on) { savesAtClose_ = on; }
    // Saves what a close saves, when the program ends without the window
    // closing; a failure goes to standard error, as no box can show then.
    void saveAtExit();
    // Shows, raises and activates the main window.
    void bringToFront();

    void setVisible(bool visible) override;

    player::TAudioPlayer& AudioPlayer1() { return *player_; }
    playlist::Tplayl* playlistWindow() const { return playl_; }
    TEqualizerform* equalizerWindow() const { return equalizer_; }
    // Created at their first use.
    Tprefform* preferencesWindow();
    TPluginConfigForm* pluginConfigWindow();
    TForm2* aboutBox();
    // The hidden command box, with its "GO>>" button beside it.
    QComboBox* commandBox();
    TSlider* volumeSlider() const { return Slider2; }
    TSlider* seekSlider() const { return Slider1; }

    // The preferences, from their window once it exists.
    PreferenceValues preferences() const;
    void changePreferences(const std::function<void(PreferenceValues&)>& change);

    bool repeat() const;
    void setRepeat(bool on);

    // The entry last started.
    QString currentFileName() const; // full path, empty before the first
    QString currentTitle() const { return titleedit_; }
    QString currentArtist() const { return artistedit_; }
    // Title and artist as the readers gave them, before the caption rules.
    QString currentTagTitle() const { return tagTitle_; }
    QString currentTagArtist() const { return tagArtist_; }
    qint64 currentLengthMs() const;
    qint64 currentPositionMs() const;

    // The hidden state in its text form.
    QString playindex() const;
    const QString& timersec() const { return timersec_; }
    const QString& nowp() const { return nowp_; }
    const QString& titleedit() const { return titleedit_; }
    const QString& artistedit() const { return artistedit_; }
    const QString& encoderedit() const { return encoderedit_; }
    // Labels, for the command channel and tests.
    QString statusText() const;
    QString displayCaption() const;
    QString elapsedText() const;
    QString sampleText() const;
    QString bitrateText() const;
    QString channelText() const;
    display::TSpectrum* spectrum() const { return GaugePaintBox; }

    // Set by the desktop integration; empty: the command does nothing.
    std::function<void()> onGoAssociate;
    std::function<void()> onFirstRun;

    // Transport commands.
    void playbt1();
    void stopbt1();
    void pausebtt1();
    void prevbt1();
    void nextbt1();
    void realbxdblclick1();
    // Starts entry `index` in both lists, ending a paused file first.
    void playEntry(int index);
    void stepforward1() { step(+StepMs); }
    void stepbackward1() { step(-StepMs); }
    void setcurrenttime1();
    void volumeup1();
    void volumedown1();
    void togglerepeat1() { setRepeat(!repeat()); }
    void eqchange();
    // Track information of the playing file.
    void setlabelinfo1();
    void mpeginfo1();
    // Windows.
    void toggleplaylist1();
    void showeq();
    void showpresets();
    void prefformshow();
    void pluinconfig();
    void showAbout();

  signals:
    void trackChanged();     // a new entry started, or the track labels changed
    void playStateChanged(); // playing, paused or stopped
    void volumeChanged(int volume);
    void repeatChanged(bool on);
    void seeked(qint64 positionMs);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    static constexpr int StepMs = 5000;
    enum class PlayOutcome { Done, Skip };

    // Construction.
    void createPlayer();
    void createControls();
    void createWindows();
    void createActions();
    void createMenus();
    void connectWindows();
    void loadPlugins();
    void reportMissingEngine();
    void useProgramIcon();
    void restoreAtFirstShow();
    void saveAtClose();
    void saveState();
    void takeArguments();
    void passSettingsToPlaylist();

    // Transport.
    // Play, going on past entries that cannot be started in `direction`:
    // forward (+1) or back (-1).
    void playSkipping(int direction);
    PlayOutcome playSelected(int direction);
    void selectNeighbour(int direction); // Next (+1) or Previous (-1) without playing
    // At the player's end of playback: the next entry, or the first with Repeat on.
    void advanceAtPlayEnd();
    void startTimers();
    void step(int deltaMs);
    void onPositionTick();
    void onTrackTimeTick();
    void onStatusTick();
    void seekStarted();
    void seekFinished();
    // Timer1 and tracktimer tick only while something plays (Timer1 not while
    // the seek slider is dragged): at other times their ticks do nothing.
    void followPlayback();
    void volumeMoved();
    bool setStatus(const QString& text); // true when the label changed
    // The status timer back at its full rate after a command or a change of
    // the player's mode; after a second without a change it sleeps.
    void wakeStatusTimer();
    void noteMode();
    bool readMpegProperties(fileinfo::ReaderFile& file); // mpeginfo1 on an opened file

    // Menus.
    void updatePlayMenu();
    void updateOptionsMenu();
    void updateViewMenu();
    void runTypedCommand();

    std::unique_ptr<player::TAudioPlayer> player_;
    HWND playerOwner_ = nullptr;
    QStringList arguments_;
    bool playArguments_ = false;
    bool savesAtClose_ = true;
    bool formShown_ = false;
    bool formClosed_ = false;

    // Secondary windows, kept until the end. The equalizer holds settings,
    // so it is made at start; the preferences (whose settings are kept in
    // preferences_ until then), the about box and the plug-in configuration
    // at their first use.
    TEqualizerform* equalizer_ = nullptr;
    playlist::Tplayl* playl_ = nullptr;
    TForm2* about_ = nullptr;
    Tprefform* prefs_ = nullptr;
    PreferenceValues preferences_;
    TPluginConfigForm* pluginConfig_ = nullptr;

    // Controls.
    QWidget* surface_ = nullptr;
    QLabel* realtimeedit = nullptr;
    QLabel* sampleedit = nullptr;
    QLabel* bitrateedit = nullptr;
    QLabel* channeledit = nullptr;
    QLabel* Label1 = nullptr;
    display::TSpectrum* GaugePaintBox = nullptr;
    QLabel* displaycap = nullptr;
    TSlider* Slider1 = nullptr;
    TSlider* Slider2 = nullptr;
    QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button4 = nullptr, *Button5 = nullptr;
    QPushButton *Button7 = nullptr, *Button8 = nullptr, *Button9 = nullptr, *Button10 = nullptr;
    QCheckBox* repeatck = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QPushButton* Button11 = nullptr;
    QMenu* playMenu_ = nullptr;
    QMenu* optionsMenu_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QMenu* currentPlugins_ = nullptr;
    QAction* repeatItem_ = nullptr;
    QAction* playlistItem_ = nullptr;
    QAction* equalizerItem_ = nullptr;

    QHash<QString, QAction*> commands_;
    QStringList commandNames_;

    QTimer Timer1;
    QTimer tracktimer;
    QTimer Timer_Stat;

    // Hidden state.
    QString timersec_;
    QString nowp_;
    QString titleedit_;
    QString artistedit_;
    QString encoderedit_;
    QString tagTitle_;
    QString tagArtist_;
    player::EQGains EQGains{};
    player::TPlayState lastMode_ = player::psStandby;
    static constexpr int kStatusIntervalMs = 50;
    static constexpr int kQuietStatusTicks = 20; // a second without a change
    int quietStatusTicks_ = 0;
    bool statusTimerOn_ = false; // from the first show (with the player ready) to the close
    bool seekDragging_ = false;
    // How many characters the elapsed-time label was last sized for ("00:00" at first).
    qsizetype elapsedFittedLength_ = 5;
    // A status that outlives the status timer's ticks until the mode changes
    // or Play runs again.
    bool statusHeld_ = false;

    // mpeginfo1's reader, refilled by every read.
    fileinfo::TMPEGaudio MPEGaudio1;
};
