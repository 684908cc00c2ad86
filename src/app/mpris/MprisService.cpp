#include "MprisService.h"

#include "MediaControlTarget.h"
#include "MprisPlayerAdaptor.h"
#include "MprisRootAdaptor.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

MprisService::MprisService(MediaControlTarget* target, QObject* parent)
    : QObject(parent), player_(new MprisPlayerAdaptor(this, target))
{
    new MprisRootAdaptor(this, target);
    announced_ = player_->announcedProperties();

    publishTimer_.setSingleShot(true);
    publishTimer_.setInterval(0);
    connect(&publishTimer_, &QTimer::timeout, this, &MprisService::publishChanges);
    auto schedule = [this] { publishTimer_.start(); };
    connect(target, &MediaControlTarget::trackChanged, this, schedule);
    connect(target, &MediaControlTarget::playStateChanged, this, schedule);
    connect(target, &MediaControlTarget::volumeChanged, this, schedule);
    connect(target, &MediaControlTarget::repeatChanged, this, schedule);
    connect(target, &MediaControlTarget::playlistChanged, this, schedule);
}

MprisService::~MprisService()
{
    if (!connection_)
        return;
    connection_->unregisterService(QString::fromLatin1(kServiceName));
    connection_->unregisterObject(QString::fromLatin1(kObjectPath));
}

bool MprisService::registerOn(QDBusConnection connection)
{
    if (connection_ || !connection.isConnected())
        return false;
    // The object first, so a client that sees the name appear finds it answering.
    if (!connection.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportAdaptors))
        return false;
    if (!connection.registerService(QString::fromLatin1(kServiceName))) {
        connection.unregisterObject(QString::fromLatin1(kObjectPath));
        return false;
    }
    connection_ = connection;
    return true;
}

void MprisService::publishChanges()
{
    QVariantMap now = player_->announcedProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (announced_.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    announced_ = now;
    if (changed.isEmpty() || !connection_)
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    connection_->send(signal);
}
