#include "MainWindowMediaTarget.h"

#include "app/MainWindow.h"
#include "controls/Slider.h"
#include "playlist/PlaylistWindow.h"

#include "CommandHandler.h"
#include "DesktopIntegration.h"

MainWindowMediaTarget::MainWindowMediaTarget(TForm1& form, OpenChannel openChannel, QObject* parent)
    : MediaControlTarget(parent), form_(form), openChannel_(std::move(openChannel))
{
    connect(&form_, &TForm1::trackChanged, this, &MediaControlTarget::trackChanged);
    connect(&form_, &TForm1::playStateChanged, this, &MediaControlTarget::playStateChanged);
    connect(&form_, &TForm1::volumeChanged, this, &MediaControlTarget::volumeChanged);
    connect(&form_, &TForm1::repeatChanged, this, &MediaControlTarget::repeatChanged);
    connect(&form_, &TForm1::seeked, this, &MediaControlTarget::seeked);
    const QAbstractItemModel* entries = &form_.playlistWindow()->realboxItems();
    connect(entries, &QAbstractItemModel::rowsInserted, this, &MediaControlTarget::playlistChanged);
    connect(entries, &QAbstractItemModel::rowsRemoved, this, &MediaControlTarget::playlistChanged);
    connect(entries, &QAbstractItemModel::modelReset, this, &MediaControlTarget::playlistChanged);
}

void MainWindowMediaTarget::play()
{
    form_.runCommand(QStringLiteral("playbt1"));
}

void MainWindowMediaTarget::pause()
{
    form_.runCommand(QStringLiteral("pausebtt1"));
}

void MainWindowMediaTarget::stop()
{
    form_.runCommand(QStringLiteral("stopbt1"));
}

void MainWindowMediaTarget::next()
{
    form_.runCommand(QStringLiteral("nextbt1"));
}

void MainWindowMediaTarget::previous()
{
    form_.runCommand(QStringLiteral("prevbt1"));
}

void MainWindowMediaTarget::seekTo(qint64 ms)
{
    // As if the seek slider's thumb were dragged there and let go.
    TSlider* slider = form_.seekSlider();
    emit slider->OnStartTracking();
    slider->setValue(int(std::clamp<qint64>(ms, slider->MinValue(), slider->MaxValue())));
    emit slider->OnStopTracking();
}

bool MainWindowMediaTarget::openFile(const QString& path)
{
    if (!openChannel_)
        return false;
    openChannel_({MacroRequestFor({path}, false)});
    return true;
}

void MainWindowMediaTarget::setVolume(int percent)
{
    form_.volumeSlider()->setValue(percent);
}

void MainWindowMediaTarget::setRepeat(bool on)
{
    form_.setRepeat(on);
}

void MainWindowMediaTarget::raise()
{
    form_.bringToFront();
}

void MainWindowMediaTarget::quit()
{
    form_.close();
}

MediaPlayState MainWindowMediaTarget::playState() const
{
    switch (form_.AudioPlayer1().Mode()) {
    case player::psPlaying:
        return MediaPlayState::Playing;
    case player::psPaused:
        return MediaPlayState::Paused;
    default:
        return MediaPlayState::Stopped;
    }
}

std::optional<MediaTrack> MainWindowMediaTarget::currentTrack() const
{
    QString path = form_.currentFileName();
    if (path.isEmpty())
        return std::nullopt;
    // The tags' own texts: the caption rules are for the window.
    return MediaTrack{path, form_.currentTagTitle(), form_.currentTagArtist(), form_.currentLengthMs()};
}

qint64 MainWindowMediaTarget::positionMs() const
{
    return form_.currentPositionMs();
}

int MainWindowMediaTarget::volume() const
{
    return form_.volumeSlider()->Value();
}

bool MainWindowMediaTarget::repeat() const
{
    return form_.repeat();
}

int MainWindowMediaTarget::entryCount() const
{
    return form_.playlistWindow()->Count();
}

QStringList MainWindowMediaTarget::playableFileTypes() const
{
    player::TAudioPlayer& player = form_.AudioPlayer1();
    QStringList types;
    for (const std::string& type :
         shell::FileTypesOfExtensionList(player.GetNativeFileExts() + player.GetPluginFileExts()))
        types << QString::fromStdString(type);
    return types;
}
