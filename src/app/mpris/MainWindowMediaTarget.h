// The main window as a media control target: each request runs the window's
// own command, and the window's notifications are passed on.
#pragma once

#include "MediaControlTarget.h"

#include <functional>

class TForm1;

class MainWindowMediaTarget : public MediaControlTarget {
    Q_OBJECT
  public:
    // openChannel takes command-channel requests ("[Open(...)]" lines), the
    // road a file handed over by the desktop takes; without one no file opens.
    using OpenChannel = std::function<void(const QStringList& lines)>;

    MainWindowMediaTarget(TForm1& form, OpenChannel openChannel = {}, QObject* parent = nullptr);

    void play() override;
    void pause() override;
    void stop() override;
    void next() override;
    void previous() override;
    void seekTo(qint64 ms) override;
    bool openFile(const QString& path) override;
    void setVolume(int percent) override;
    void setRepeat(bool on) override;
    void raise() override;
    void quit() override;

    MediaPlayState playState() const override;
    std::optional<MediaTrack> currentTrack() const override;
    qint64 positionMs() const override;
    int volume() const override;
    bool repeat() const override;
    int entryCount() const override;
    QStringList playableFileTypes() const override;

  private:
    TForm1& form_;
    OpenChannel openChannel_;
};
