// org.mpris.MediaPlayer2.Player: the transport commands and the playback state
// of the target, in the interface's units (microseconds, volume 0.0 to 1.0).
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>

#include <optional>

class MediaControlTarget;
struct MediaTrack;

class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE setLoopStatus)
    Q_PROPERTY(double Rate READ Rate)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(bool Shuffle READ Shuffle)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
  public:
    MprisPlayerAdaptor(QObject* host, MediaControlTarget* target);

    QString PlaybackStatus() const;
    QString LoopStatus() const;
    void setLoopStatus(const QString& status);
    double Rate() const { return 1.0; }
    bool Shuffle() const { return false; }
    QVariantMap Metadata() const;
    double Volume() const;
    void setVolume(double volume);
    qlonglong Position() const;
    bool CanGoNext() const;
    bool CanGoPrevious() const { return CanGoNext(); }
    bool CanPlay() const { return CanGoNext(); }
    bool CanPause() const { return CanGoNext(); }
    bool CanSeek() const;
    bool CanControl() const { return true; }

    // The properties whose changes are announced, by name (Position is not one).
    QVariantMap announcedProperties() const;

  public slots:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong Offset);
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position);
    void OpenUri(const QString& Uri);

  signals:
    void Seeked(qlonglong Position);

  private:
    void newTrackStarted();
    void refuse(const QString& error, const QString& message);

    MediaControlTarget* target_;
    QDBusObjectPath trackId_;
    quint64 tracksStarted_ = 0;
};

// The interface's metadata map of a track; empty without one.
QVariantMap TrackMetadata(const std::optional<MediaTrack>& track, const QDBusObjectPath& trackId);
