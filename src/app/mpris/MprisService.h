// Puts a media control target on the session bus as
// org.mpris.MediaPlayer2.orvella at /org/mpris/MediaPlayer2 and announces its
// changes. Without a bus, or when another process holds the name, it stays off.
// It carries the adaptors, so the bus hands each call's context to it.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include <optional>

class MediaControlTarget;
class MprisPlayerAdaptor;

class MprisService : public QObject, public QDBusContext {
    Q_OBJECT
  public:
    static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.orvella";
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

    explicit MprisService(MediaControlTarget* target, QObject* parent = nullptr);
    ~MprisService() override;

    // True when the object and the name are registered.
    bool registerOn(QDBusConnection connection);

  private:
    void publishChanges();

    MprisPlayerAdaptor* player_;
    // Changes arrive in bursts (a Next stops, opens and plays); one announcement
    // after the burst carries the outcome.
    QTimer publishTimer_;
    QVariantMap announced_;
    std::optional<QDBusConnection> connection_;
};
