#include "MainWindow.h"

#include "PluginConfigDialog.h"
#include "app/config/Config.h"
#include "app/display/FrequencyGauge.h"

#include "controls/FormBuilder.h"
#include "controls/Slider.h"
#include "controls/WindowMover.h"
#include "equalizer/EqualizerWindow.h"
#include "platform/text.h"
#include "platform/winmsg.h"
#include "playlist/PlaylistWindow.h"
#include "prefs/AboutBox.h"
#include "prefs/PreferencesWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace {

QFont arial(int pixels, bool bold = false)
{
    return DesignFont(DesignFace::Arial, pixels, bold);
}

} // namespace

TForm1::TForm1(QStringList arguments, const std::function<void()>& beforeText, QWidget* parent)
    : QMainWindow(parent), arguments_(std::move(arguments))
{
    createPlayer();
    // Neither measures text, so both go while the fonts are still being read.
    loadPlugins();
    createActions();
    if (beforeText)
        beforeText();
    reportMissingEngine();
    createControls();
    createWindows();
    createMenus();
    connectWindows();
    startTimers();
}

TForm1::~TForm1()
{
    // The windows that hold the player go before it.
    delete prefs_;
    delete about_;
    delete playl_;
    delete equalizer_;
    delete pluginConfig_;
    player_.reset();
    DestroyWindow(playerOwner_);
}

void TForm1::createPlayer()
{
    // The player's boxes open over this window.
    playerOwner_ = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    platform::SetWindowWidget(playerOwner_, this);
    player_ = std::make_unique<player::TAudioPlayer>(playerOwner_);
    lastMode_ = player_->Mode();
    player_->OnPlayEnd = [this](player::TAudioPlayer&) {
        playlist::RunShowingErrors([this] { advanceAtPlayEnd(); });
        wakeStatusTimer();
    };
    player_->OnModeChange = [this](player::TAudioPlayer&) {
        wakeStatusTimer();
        if (!formClosed_)
            followPlayback();
    };
}

void TForm1::createControls()
{
    setWindowTitle(QStringLiteral("Orvella"));
    // A fixed border with a system menu, minimise and close boxes.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    surface_ = new QWidget(this);
    setCentralWidget(surface_);
    setFixedSize(322, 148);

    auto label = [this](const char* name, const QString& text, int x, int y, const QFont& font) {
        return makeLabel(surface_, name, text, {x, y}, font);
    };
    realtimeedit = label("realtimeedit", QStringLiteral("00:00"), 8, 8, arial(19, true));
    sampleedit = label("sampleedit", QString(), 72, 2, arial(11));
    label("HzLabel", QStringLiteral("Hz"), 104, 2, arial(11));
    bitrateedit = label("bitrateedit", QString(), 72, 18, arial(11));
    label("KbpsLabel", QStringLiteral("Kbps"), 96, 18, arial(11));
    channeledit = label("channeledit", QString(), 144, 2, arial(11));
    Label1 = label("Label1", QStringLiteral("Standby"), 144, 18, arial(11));
    for (QLabel* grows : {sampleedit, bitrateedit, channeledit, Label1})
        grows->resize(54, grows->height());

    auto* panel = new QFrame(surface_);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(200, 6, display::TSpectrum::Width + 8, display::TSpectrum::Height + 10);
    GaugePaintBox = new display::TSpectrum(panel);
    GaugePaintBox->setObjectName(QStringLiteral("GaugePaintBox"));
    GaugePaintBox->move(4, 5);
    // A long status text lies over the panel rather than being cut off.
    Label1->raise();

    displaycap = label("displaycap", QStringLiteral("Orvella"), 8, 40, arial(12, true));
    displaycap->resize(305, displaycap->height());

    auto slider = [this](const char* name, const QString& hint, QRect at, int value) {
        auto* s = new TSlider(surface_);
        s->setObjectName(QString::fromLatin1(name));
        s->setToolTip(hint);
        s->setGeometry(at);
        s->setMinValue(0);
        s->setMaxValue(100);
        s->setIncrement(10);
        s->setValue(value);
        return s;
    };
    Slider1 = slider("Slider1", QStringLiteral("track"), {8, 64, 185, 11}, 0);
    Slider2 = slider("Slider2", QStringLiteral("volume"), {208, 64, 97, 11}, 100);
    label("TrackLabel", QStringLiteral("Track"), 8, 76, arial(9));
    label("VolLabel", QStringLiteral("Vol"), 208, 76, arial(9));

    auto button = [this](const char* name, const QString& caption, QRect at) {
        QPushButton* b = makeButton(surface_, name, caption, at, arial(11));
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    const QStyle::StandardPixmap icons[] = {QStyle::SP_MediaSkipBackward, QStyle::SP_MediaPlay, QStyle::SP_MediaPause,
                                            QStyle::SP_MediaStop, QStyle::SP_MediaSkipForward};
    QPushButton** transport[] = {&Button1, &Button2, &Button3, &Button4, &Button5};
    for (int k = 0; k < 5; ++k) {
        const QByteArray name = "Button" + QByteArray::number(k + 1);
        *transport[k] = button(name.constData(), QString(), {8 + 32 * k, 88, 33, 33});
        (*transport[k])->setIcon(style()->standardIcon(icons[k]));
        (*transport[k])->setIconSize({16, 16});
    }
    Button10 = button("Button10", QStringLiteral("Open"), {176, 88, 33, 17});
    Button8 = button("Button8", QStringLiteral("Eq."), {176, 104, 33, 17});
    Button7 = button("Button7", QStringLiteral("Add"), {208, 88, 33, 17});
    Button9 = button("Button9", QStringLiteral("Play"), {208, 104, 33, 17});

    repeatck = makeCheck(surface_, "repeatck", QStringLiteral("Repeat"), {256, 88}, arial(11));
    repeatck->setFocusPolicy(Qt::NoFocus);
    connect(repeatck, &QCheckBox::toggled, this, &TForm1::repeatChanged);
    label("MakerLabel", QStringLiteral("KORVANE"), 256, 108, DesignFont(DesignFace::Tahoma, 11));

    auto* mover = new WindowMover(this);
    mover->addSurface(surface_);
    mover->addSurface(panel);
}

void TForm1::createWindows()
{
    equalizer_ = new TEqualizerform(*player_, this);
    playl_ = new playlist::Tplayl(this);
    player_->SetPluginConfigWindow(
        [this](const player::PluginConfigRequest& request) { pluginConfigWindow()->Execute(request); });
}

void TForm1::connectWindows()
{
    playl_->setFileExtensions([this] {
        return std::pair(QString::fromStdString(player_->GetNativeFileExts()),
                         QString::fromStdString(player_->GetPluginFileExts()));
    });
    playl_->setPluginFileInfo([this](const std::string& path) -> std::optional<playlist::PluginFileInfo> {
        playlist::PluginFileInfo info;
        if (!player_->GetPluginFileInfo(path, info.title, info.lengthMs))
            return std::nullopt;
        return info;
    });
    // The dialogs' folders are kept in the settings file.
    const auto config = [] { return platform::ProfileFile(appconfig::ConfigPath()); };
    playl_->setDialogFolders({[config] { return appconfig::ReadFilesFolder(config()); },
                              [config] { return appconfig::ReadPlaylistFolder(config()); },
                              [config](const std::string& file) { appconfig::WriteFilesFolder(config(), file); }});
    connect(playl_, &playlist::Tplayl::playRequested, this, [this] { runCommand(QStringLiteral("playbt1")); });
    connect(playl_, &playlist::Tplayl::playSelectedRequested, this,
            [this] { runCommand(QStringLiteral("realbxdblclick1")); });

    connect(equalizer_, &TEqualizerform::eqchangeRequested, this, [this] { runCommand(QStringLiteral("eqchange")); });
    connect(equalizer_, &TEqualizerform::moveFinished, this, [this] { playl_->realbox()->viewport()->update(); });

    const std::pair<QPushButton*, const char*> buttons[] = {
        {Button1, "prevbt1"}, {Button2, "playbt1"},     {Button3, "pausebtt1"},
        {Button4, "stopbt1"}, {Button5, "nextbt1"},     {Button10, "openbt1"},
        {Button8, "showeq"},  {Button7, "additemsbt1"}, {Button9, "toggleplaylist1"},
    };
    for (const auto& [b, command] : buttons) {
        const QString name = QString::fromLatin1(command);
        connect(b, &QPushButton::clicked, this, [this, name] { runCommand(name); });
    }
    connect(Slider1, &TSlider::OnStartTracking, this, &TForm1::seekStarted);
    connect(Slider1, &TSlider::OnStopTracking, this, &TForm1::seekFinished);
    connect(Slider2, &TSlider::OnChange, this, &TForm1::volumeMoved);
}

// Made at its first use: no one sees it, and its line edit lays out its text
// when made, which would delay the first showing.
QComboBox* TForm1::commandBox()
{
    if (ComboBox1)
        return ComboBox1;
    // It lies beyond the visible part of the window.
    ComboBox1 = new QComboBox(surface_);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(336, 8, 145, 21);
    ComboBox1->setEditable(true);
    ComboBox1->hide();
    Button11 = makeButton(surface_, "Button11", QStringLiteral("GO>>"), {488, 8, 41, 21});
    Button11->hide();
    ComboBox1->addItems(commandNames_);
    connect(Button11, &QPushButton::clicked, this, &TForm1::runTypedCommand);
    return ComboBox1;
}

Tprefform* TForm1::preferencesWindow()
{
    if (prefs_)
        return prefs_;
    prefs_ = new Tprefform(*player_, this);
    prefs_->setValues(preferences_);
    connect(prefs_, &Tprefform::settingsChanged, this, &TForm1::passSettingsToPlaylist);
    connect(prefs_, &Tprefform::associateRequested, this, [this] { runCommand(QStringLiteral("goassociate")); });
    connect(prefs_, &Tprefform::applyTitleFormatRequested, this, [this] {
        playlist::RunShowingErrors([this] {
            passSettingsToPlaylist();
            playl_->RefreshFirst = 0;
            playl_->RefreshLast = playl_->Count() - 1;
            playl_->RefreshTimes = false;
            playl_->RefreshRenumber = true;
            playl_->procusme();
        });
    });
    return prefs_;
}

PreferenceValues TForm1::preferences() const
{
    return prefs_ ? prefs_->values() : preferences_;
}

void TForm1::changePreferences(const std::function<void(PreferenceValues&)>& change)
{
    if (!prefs_) {
        change(preferences_);
        return;
    }
    PreferenceValues values = prefs_->values();
    change(values);
    prefs_->setValues(values);
}

TPluginConfigForm* TForm1::pluginConfigWindow()
{
    if (!pluginConfig_)
        pluginConfig_ = new TPluginConfigForm(this);
    return pluginConfig_;
}

TForm2* TForm1::aboutBox()
{
    if (!about_)
        about_ = new TForm2(this);
    return about_;
}

void TForm1::passSettingsToPlaylist()
{
    const PreferenceValues values = preferences();
    playl_->setShuffleAndGo(values.shuffleAndGo);
    playl_->setNumbering(values.numbering);
    playl_->setTitleFormat(values.titleFormat);
}

bool TForm1::repeat() const
{
    return repeatck->isChecked();
}

void TForm1::setRepeat(bool on)
{
    repeatck->setChecked(on);
}

QString TForm1::currentFileName() const
{
    return platform::PathString(player_->StreamFileName());
}

qint64 TForm1::currentLengthMs() const
{
    return player_->StreamFileName().empty() ? 0 : qint64(player_->PlayLength());
}

qint64 TForm1::currentPositionMs() const
{
    return player_->StreamFileName().empty() ? 0 : qint64(player_->Position());
}

QString TForm1::playindex() const
{
    return playl_->playindex();
}

QString TForm1::statusText() const
{
    return Label1->text();
}

QString TForm1::displayCaption() const
{
    return displaycap->text();
}

QString TForm1::elapsedText() const
{
    return realtimeedit->text();
}

QString TForm1::sampleText() const
{
    return sampleedit->text();
}

QString TForm1::bitrateText() const
{
    return bitrateedit->text();
}

QString TForm1::channelText() const
{
    return channeledit->text();
}
