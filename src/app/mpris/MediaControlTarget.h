// What desktop media control needs from the player window: its transport
// commands, the state it reports and the moments that state changes. The D-Bus
// side is written against this so it runs without the main window.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

enum class MediaPlayState { Stopped, Playing, Paused };

// The file last started, as the track information shows it.
struct MediaTrack {
    QString path;
    QString title;
    QString artist;
    qint64 lengthMs = 0;
};

class MediaControlTarget : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // Each command does exactly what the window's own command does.
    virtual void play() = 0;
    virtual void pause() = 0; // pauses when playing, resumes when paused
    virtual void stop() = 0;
    virtual void next() = 0;
    virtual void previous() = 0;
    virtual void seekTo(qint64 ms) = 0;
    virtual bool openFile(const QString& path) = 0; // false: this target opens no files
    virtual void setVolume(int percent) = 0;        // 0 to 100
    virtual void setRepeat(bool on) = 0;
    virtual void raise() = 0;
    virtual void quit() = 0;

    virtual MediaPlayState playState() const = 0;
    virtual std::optional<MediaTrack> currentTrack() const = 0;
    virtual qint64 positionMs() const = 0;
    virtual int volume() const = 0; // 0 to 100
    virtual bool repeat() const = 0;
    virtual int entryCount() const = 0;
    // Upper-case extensions without the dot ("MP3"), native and plug-in types.
    virtual QStringList playableFileTypes() const = 0;

  signals:
    void trackChanged();
    void playStateChanged();
    void volumeChanged();
    void repeatChanged();
    void playlistChanged();
    void seeked(qint64 ms);
};
