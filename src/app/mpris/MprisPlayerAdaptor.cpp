#include "MprisPlayerAdaptor.h"

#include "MediaControlTarget.h"

#include "platform/folders.h"
#include "platform/text.h"

#include <QDBusContext>
#include <QDBusError>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 kMicrosPerMs = 1000;

} // namespace

MprisPlayerAdaptor::MprisPlayerAdaptor(QObject* host, MediaControlTarget* target)
    : QDBusAbstractAdaptor(host), target_(target)
{
    connect(target_, &MediaControlTarget::trackChanged, this, &MprisPlayerAdaptor::newTrackStarted);
    connect(target_, &MediaControlTarget::seeked, this, [this](qint64 ms) { emit Seeked(ms * kMicrosPerMs); });
    // An id from the start: a track may already be current, or become so
    // without a change being announced (files played at start), and a
    // metadata map with an empty object path is refused by the bus.
    newTrackStarted();
}

void MprisPlayerAdaptor::newTrackStarted()
{
    // A fresh id per start, so a position request aimed at an earlier track is ignored.
    trackId_ = QDBusObjectPath(QStringLiteral("/org/orvella/track/%1").arg(++tracksStarted_));
}

QString MprisPlayerAdaptor::PlaybackStatus() const
{
    switch (target_->playState()) {
    case MediaPlayState::Playing:
        return QStringLiteral("Playing");
    case MediaPlayState::Paused:
        return QStringLiteral("Paused");
    case MediaPlayState::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

QString MprisPlayerAdaptor::LoopStatus() const
{
    return target_->repeat() ? QStringLiteral("Playlist") : QStringLiteral("None");
}

void MprisPlayerAdaptor::setLoopStatus(const QString& status)
{
    // Repeat covers the whole playlist; there is no single-track repeat to offer.
    if (status == QLatin1String("None"))
        target_->setRepeat(false);
    else if (status == QLatin1String("Playlist"))
        target_->setRepeat(true);
}

QVariantMap MprisPlayerAdaptor::Metadata() const
{
    return TrackMetadata(target_->currentTrack(), trackId_);
}

double MprisPlayerAdaptor::Volume() const
{
    return target_->volume() / 100.0;
}

void MprisPlayerAdaptor::setVolume(double volume)
{
    if (std::isnan(volume))
        return;
    target_->setVolume(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 100)));
}

qlonglong MprisPlayerAdaptor::Position() const
{
    return target_->currentTrack() ? target_->positionMs() * kMicrosPerMs : 0;
}

bool MprisPlayerAdaptor::CanGoNext() const
{
    return target_->entryCount() > 0;
}

bool MprisPlayerAdaptor::CanSeek() const
{
    // The window seeks only a playing file, as its seek slider does.
    auto track = target_->currentTrack();
    return target_->playState() == MediaPlayState::Playing && track && track->lengthMs > 0;
}

QVariantMap MprisPlayerAdaptor::announcedProperties() const
{
    return {
        {QStringLiteral("PlaybackStatus"), PlaybackStatus()},
        {QStringLiteral("LoopStatus"), LoopStatus()},
        {QStringLiteral("Metadata"), Metadata()},
        {QStringLiteral("Volume"), Volume()},
        {QStringLiteral("CanGoNext"), CanGoNext()},
        {QStringLiteral("CanGoPrevious"), CanGoPrevious()},
        {QStringLiteral("CanPlay"), CanPlay()},
        {QStringLiteral("CanPause"), CanPause()},
        {QStringLiteral("CanSeek"), CanSeek()},
    };
}

void MprisPlayerAdaptor::Next()
{
    target_->next();
}

void MprisPlayerAdaptor::Previous()
{
    target_->previous();
}

void MprisPlayerAdaptor::Pause()
{
    if (target_->playState() == MediaPlayState::Playing)
        target_->pause();
}

void MprisPlayerAdaptor::PlayPause()
{
    if (target_->playState() == MediaPlayState::Playing)
        target_->pause();
    else
        target_->play(); // resumes a paused file, starts a stopped one
}

void MprisPlayerAdaptor::Stop()
{
    target_->stop();
}

void MprisPlayerAdaptor::Play()
{
    if (target_->playState() != MediaPlayState::Playing)
        target_->play();
}

void MprisPlayerAdaptor::Seek(qlonglong Offset)
{
    if (!CanSeek())
        return;
    qint64 to = target_->positionMs() + Offset / kMicrosPerMs;
    if (to > target_->currentTrack()->lengthMs)
        target_->next();
    else
        target_->seekTo(std::max<qint64>(to, 0));
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position)
{
    if (!CanSeek() || TrackId != trackId_ || Position < 0)
        return;
    qint64 to = Position / kMicrosPerMs;
    if (to <= target_->currentTrack()->lengthMs)
        target_->seekTo(to);
}

void MprisPlayerAdaptor::OpenUri(const QString& Uri)
{
    QUrl url(Uri);
    if (!url.isLocalFile()) {
        refuse(QDBusError::errorString(QDBusError::NotSupported),
               QStringLiteral("Only file: addresses can be opened: ") + Uri);
        return;
    }
    const QString path = platform::LocalFileOfUrl(url);
    if (!platform::IsFile(platform::PathBytes(path))) {
        refuse(QStringLiteral("org.freedesktop.DBus.Error.FileNotFound"),
               QStringLiteral("No such file: ") + platform::DisplayString(platform::PathBytes(path)));
        return;
    }
    if (!target_->openFile(path))
        refuse(QDBusError::errorString(QDBusError::NotSupported), QStringLiteral("Files cannot be opened here"));
}

void MprisPlayerAdaptor::refuse(const QString& error, const QString& message)
{
    // The bus hands the caller's context to the object that carries the adaptors.
    auto* context = dynamic_cast<QDBusContext*>(parent());
    if (context && context->calledFromDBus())
        context->sendErrorReply(error, message);
}

QVariantMap TrackMetadata(const std::optional<MediaTrack>& track, const QDBusObjectPath& trackId)
{
    if (!track)
        return {};
    QVariantMap metadata{
        {QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId)},
        {QStringLiteral("xesam:url"), platform::UrlOfLocalFile(track->path).toString(QUrl::FullyEncoded)},
    };
    if (track->lengthMs > 0)
        metadata.insert(QStringLiteral("mpris:length"), qlonglong(track->lengthMs * kMicrosPerMs));
    if (!track->title.isEmpty())
        metadata.insert(QStringLiteral("xesam:title"), track->title);
    if (!track->artist.isEmpty())
        metadata.insert(QStringLiteral("xesam:artist"), QStringList{track->artist});
    return metadata;
}
