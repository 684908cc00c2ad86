// The media control service on a private session bus, driven by playerctl and
// watched by a second connection, over a target that records what it is asked.

#include "MediaControlTarget.h"
#include "MprisRootAdaptor.h"
#include "MprisService.h"

#include "support/TempDir.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

// Readable failure messages.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// A three-entry jukebox: commands change its state the way the window's do.
class FakeTarget : public MediaControlTarget {
public:
    QStringList calls;
    MediaPlayState state = MediaPlayState::Stopped;
    std::optional<MediaTrack> track;
    int index = 0;
    qint64 position = 0;
    int vol = 100;
    bool rep = false;
    int entries = 3;

    void play() override
    {
        calls << "play";
        if (state == MediaPlayState::Paused)
            setState(MediaPlayState::Playing);
        else
            start(index);
    }
    void pause() override
    {
        calls << "pause";
        if (state != MediaPlayState::Stopped)
            setState(state == MediaPlayState::Playing ? MediaPlayState::Paused : MediaPlayState::Playing);
    }
    void stop() override
    {
        calls << "stop";
        if (state == MediaPlayState::Playing)
            setState(MediaPlayState::Stopped);
    }
    void next() override
    {
        calls << "next";
        start((index + 1) % entries);
    }
    void previous() override
    {
        calls << "previous";
        start(index == 0 ? entries - 1 : index - 1);
    }
    void seekTo(qint64 ms) override
    {
        calls << QString("seek %1").arg(ms);
        position = ms;
        emit seeked(ms);
    }
    bool opensFiles = true;
    bool openFile(const QString& path) override
    {
        calls << "open " + path;
        return opensFiles;
    }
    void setVolume(int percent) override
    {
        calls << QString("volume %1").arg(percent);
        if (std::exchange(vol, percent) != percent)
            emit volumeChanged();
    }
    void setRepeat(bool on) override
    {
        calls << QString("repeat %1").arg(on);
        if (std::exchange(rep, on) != on)
            emit repeatChanged();
    }
    void raise() override { calls << "raise"; }
    void quit() override { calls << "quit"; }

    MediaPlayState playState() const override { return state; }
    std::optional<MediaTrack> currentTrack() const override { return track; }
    qint64 positionMs() const override { return position; }
    int volume() const override { return vol; }
    bool repeat() const override { return rep; }
    int entryCount() const override { return entries; }
    QStringList playableFileTypes() const override { return {"WAV", "MP3", "OGG", "VOC", "AIFF"}; }

    // Stopping first and playing after, as the window's Play does.
    void start(int entry)
    {
        setState(MediaPlayState::Stopped);
        index = entry;
        position = 0;
        track = MediaTrack{QString("/music/track %1.mp3").arg(entry + 1), QString("Song %1").arg(entry + 1), "Band",
                           200'000 + entry * 1000};
        emit trackChanged();
        setState(MediaPlayState::Playing);
    }
    void setState(MediaPlayState s)
    {
        if (std::exchange(state, s) != s)
            emit playStateChanged();
    }
};

// PropertiesChanged and Seeked as a second client sees them.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> changes;
    QList<qlonglong> seeks;

    SignalWatcher() : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "watcher"))
    {
        bus_.connect(MprisService::kServiceName, MprisService::kObjectPath, "org.freedesktop.DBus.Properties",
                     "PropertiesChanged", this, SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
        bus_.connect(MprisService::kServiceName, MprisService::kObjectPath, "org.mpris.MediaPlayer2.Player",
                     "Seeked", this, SLOT(onSeeked(qlonglong)));
    }
    ~SignalWatcher() override { QDBusConnection::disconnectFromBus("watcher"); }

public slots:
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&)
    {
        EXPECT_EQ(interface, "org.mpris.MediaPlayer2.Player");
        changes << changed;
    }
    void onSeeked(qlonglong position) { seeks << position; }

private:
    QDBusConnection bus_;
};

// Lets the bus deliver for a while (signals are announced after the event loop turns).
void settle(int ms = 150)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Run {
    int exitCode = -1;
    QString out;
};

// playerctl for our player; this process must keep answering the bus meanwhile.
Run playerctl(const QStringList& args)
{
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10'000, &loop, &QEventLoop::quit);
    process.start("playerctl", QStringList{"--player=orvella"} + args);
    loop.exec();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "playerctl " << args.join(' ').toStdString() << " did not finish";
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()).trimmed()};
}

QString ask(const QStringList& args)
{
    Run run = playerctl(args);
    EXPECT_EQ(run.exitCode, 0) << "playerctl " << args.join(' ').toStdString();
    return run.out;
}

// Waits for a call made from a second connection, letting the service answer meanwhile.
QDBusMessage await(const QDBusPendingCall& pending)
{
    QDBusPendingCallWatcher watcher(pending);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!watcher.isFinished())
        loop.exec();
    return watcher.reply();
}

class Mpris : public ::testing::Test {
protected:
    FakeTarget target;
    MprisService service{&target};
    // A client of its own: calls on the service's own connection would skip the bus.
    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client");

    void SetUp() override { ASSERT_TRUE(service.registerOn(QDBusConnection::sessionBus())); }
    void TearDown() override { QDBusConnection::disconnectFromBus("client"); }

    QDBusMessage call(const QString& interface, const QString& method, const QVariantList& args = {})
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(MprisService::kServiceName, MprisService::kObjectPath, interface, method);
        message.setArguments(args);
        return await(client.asyncCall(message));
    }
    QDBusMessage callPlayer(const QString& method, const QVariantList& args)
    {
        return call("org.mpris.MediaPlayer2.Player", method, args);
    }
    QVariant property(const QString& interface, const QString& name)
    {
        QDBusMessage reply = call("org.freedesktop.DBus.Properties", "Get", {interface, name});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QDBusObjectPath currentTrackId()
    {
        QVariantMap metadata = qdbus_cast<QVariantMap>(property("org.mpris.MediaPlayer2.Player", "Metadata"));
        return metadata.value("mpris:trackid").value<QDBusObjectPath>();
    }
    void setProperty(const QString& name, const QVariant& value)
    {
        call("org.freedesktop.DBus.Properties", "Set",
             {"org.mpris.MediaPlayer2.Player", name, QVariant::fromValue(QDBusVariant(value))});
    }
};

TEST_F(Mpris, TransportCommandsFollowTheInterfaceRules)
{
    ask({"play"});
    ask({"play"}); // already playing: nothing
    ask({"pause"});
    ask({"pause"}); // already paused: nothing, where the window's Pause would resume
    EXPECT_EQ(ask({"status"}), "Paused");
    ask({"play-pause"});
    EXPECT_EQ(ask({"status"}), "Playing");
    ask({"play-pause"});
    ask({"stop"});
    ask({"next"});
    ask({"previous"});
    EXPECT_EQ(target.calls, (QStringList{"play", "pause", "play", "pause", "stop", "next", "previous"}));

    target.state = MediaPlayState::Stopped;
    ask({"play-pause"}); // stopped: starts
    ask({"pause"});      // and pauses
    target.state = MediaPlayState::Stopped;
    ask({"pause"}); // stopped: nothing
    EXPECT_EQ(target.calls.mid(7), (QStringList{"play", "pause"}));
    EXPECT_EQ(ask({"status"}), "Stopped");
}

TEST_F(Mpris, TrackStateIsReadInTheInterfaceUnits)
{
    EXPECT_EQ(playerctl({"metadata"}).out, ""); // nothing started yet
    EXPECT_EQ(property("org.mpris.MediaPlayer2.Player", "Position").toLongLong(), 0);
    EXPECT_FALSE(property("org.mpris.MediaPlayer2.Player", "CanSeek").toBool());

    target.start(1);
    target.position = 61'500;
    EXPECT_EQ(ask({"metadata", "--format", "{{xesam:artist}}|{{xesam:title}}|{{mpris:length}}|{{xesam:url}}"}),
              "Band|Song 2|201000000|file:///music/track%202.mp3");
    EXPECT_NEAR(ask({"position"}).toDouble(), 61.5, 0.25); // playerctl adds the time since it asked
    EXPECT_EQ(currentTrackId().path(), "/org/orvella/track/1");
    EXPECT_TRUE(property("org.mpris.MediaPlayer2.Player", "CanSeek").toBool());

    // Empty texts are left out rather than sent blank.
    target.track->title.clear();
    EXPECT_EQ(ask({"metadata", "--format", "{{xesam:artist}}|{{xesam:title}}"}), "Band|");
    target.entries = 0;
    EXPECT_FALSE(property("org.mpris.MediaPlayer2.Player", "CanGoNext").toBool());
    EXPECT_FALSE(property("org.mpris.MediaPlayer2.Player", "CanPlay").toBool());
}

TEST_F(Mpris, PositionRequestsSeekWithinTheTrackOnly)
{
    target.start(0); // 200 s long
    ask({"position", "30"});
    ask({"position", "10+"});
    ask({"position", "100-"}); // before the start: the start
    ask({"position", "250"});  // past the end: ignored
    ask({"position", "250+"}); // past the end: the next track
    EXPECT_EQ(target.calls, (QStringList{"seek 30000", "seek 40000", "seek 0", "next"}));

    target.calls.clear();
    QDBusObjectPath current = currentTrackId();
    callPlayer("SetPosition", {QVariant::fromValue(QDBusObjectPath("/org/orvella/track/1")), qlonglong(5'000'000)});
    EXPECT_TRUE(target.calls.isEmpty()) << "a position for an earlier track moved this one";
    callPlayer("SetPosition", {QVariant::fromValue(current), qlonglong(-1)});
    EXPECT_TRUE(target.calls.isEmpty());
    callPlayer("SetPosition", {QVariant::fromValue(current), qlonglong(5'000'000)});
    EXPECT_EQ(target.calls, QStringList{"seek 5000"});

    target.calls.clear();
    target.state = MediaPlayState::Paused; // the window seeks only while playing
    playerctl({"position", "20"});
    playerctl({"position", "5+"});
    EXPECT_TRUE(target.calls.isEmpty());
}

TEST_F(Mpris, VolumeAndLoopMapToTheSliderAndRepeat)
{
    target.vol = 40;
    EXPECT_EQ(ask({"volume"}), "0.400000");
    ask({"volume", "0.25"});
    ask({"volume", "1.7"});
    EXPECT_EQ(ask({"volume"}), "1.000000");
    setProperty("Volume", -0.5);
    setProperty("Volume", 0.504);
    EXPECT_EQ(target.calls, (QStringList{"volume 25", "volume 100", "volume 0", "volume 50"}));

    target.calls.clear();
    EXPECT_EQ(ask({"loop"}), "None");
    ask({"loop", "Playlist"});
    EXPECT_EQ(ask({"loop"}), "Playlist");
    ask({"loop", "Track"}); // no single-track repeat: unchanged
    ask({"loop", "None"});
    EXPECT_EQ(target.calls, (QStringList{"repeat 1", "repeat 0"}));
    EXPECT_EQ(ask({"shuffle"}), "Off");
}

TEST_F(Mpris, ChangesAreAnnouncedOnceWithTheirOutcome)
{
    SignalWatcher watcher;
    target.start(0);
    settle();
    ASSERT_EQ(watcher.changes.size(), 1);
    QVariantMap first = watcher.changes.takeFirst();
    EXPECT_EQ(first.value("PlaybackStatus"), "Playing");
    EXPECT_EQ(first.value("CanSeek"), true);
    QVariantMap metadata = qdbus_cast<QVariantMap>(first.value("Metadata"));
    EXPECT_EQ(metadata.value("xesam:title"), "Song 1");

    // Next stops and plays again: one announcement, the new track, still playing.
    ask({"next"});
    settle();
    ASSERT_EQ(watcher.changes.size(), 1);
    QVariantMap second = watcher.changes.takeFirst();
    EXPECT_EQ(second.keys(), QStringList{"Metadata"});
    QVariantMap newMetadata = qdbus_cast<QVariantMap>(second.value("Metadata"));
    EXPECT_EQ(newMetadata.value("xesam:title"), "Song 2");
    EXPECT_EQ(newMetadata.value("xesam:artist"), QStringList{"Band"});
    EXPECT_EQ(newMetadata.value("mpris:length").toLongLong(), 201'000'000);
    EXPECT_NE(qdbus_cast<QDBusObjectPath>(newMetadata.value("mpris:trackid")),
              qdbus_cast<QDBusObjectPath>(metadata.value("mpris:trackid")));

    ask({"volume", "0.3"});
    ask({"loop", "Playlist"});
    ask({"pause"});
    settle();
    ASSERT_EQ(watcher.changes.size(), 3);
    EXPECT_EQ(watcher.changes[0], (QVariantMap{{"Volume", 0.3}}));
    EXPECT_EQ(watcher.changes[1], (QVariantMap{{"LoopStatus", "Playlist"}}));
    EXPECT_EQ(watcher.changes[2], (QVariantMap{{"PlaybackStatus", "Paused"}, {"CanSeek", false}}));

    // A notification that changes nothing is not passed on.
    watcher.changes.clear();
    ask({"volume", "0.3"});
    emit target.playlistChanged();
    settle();
    EXPECT_TRUE(watcher.changes.isEmpty());

    target.entries = 0;
    emit target.playlistChanged();
    settle();
    ASSERT_EQ(watcher.changes.size(), 1);
    EXPECT_EQ(watcher.changes[0].value("CanGoNext"), false);
    EXPECT_EQ(watcher.changes[0].value("CanPlay"), false);
}

TEST_F(Mpris, SeeksAreAnnouncedInMicroseconds)
{
    SignalWatcher watcher;
    target.start(0);
    ask({"position", "42"});
    emit target.seeked(5'000); // a seek made in the window
    settle();
    EXPECT_EQ(watcher.seeks, (QList<qlonglong>{42'000'000, 5'000'000}));
}

TEST_F(Mpris, PlayerIdentityAndWindowRequests)
{
    const char* root = "org.mpris.MediaPlayer2";
    EXPECT_EQ(property(root, "Identity"), "Orvella");
    EXPECT_EQ(property(root, "DesktopEntry"), "orvella");
    EXPECT_EQ(property(root, "SupportedUriSchemes"), QStringList{"file"});
    EXPECT_EQ(property(root, "CanQuit"), true);
    EXPECT_EQ(property(root, "HasTrackList"), false);
    QStringList types = property(root, "SupportedMimeTypes").toStringList();
    for (const char* type : {"audio/x-wav", "audio/mpeg", "audio/ogg", "audio/x-aiff", "audio/x-voc"})
        EXPECT_TRUE(types.contains(type)) << type << " missing from " << types.join(' ').toStdString();
    EXPECT_EQ(types.removeDuplicates(), 0);

    call(root, "Raise");
    call(root, "Quit");
    settle(50);
    EXPECT_EQ(target.calls, (QStringList{"raise", "quit"}));
}

TEST_F(Mpris, OnlyExistingLocalFilesAreOpened)
{
    testsupport::TempDir dir;
    std::string song = dir.file("new song.mp3");
    testsupport::WriteFile(song, "ID3");
    QString url = QUrl::fromLocalFile(QString::fromStdString(song)).toString(QUrl::FullyEncoded);
    ask({"open", url});
    EXPECT_EQ(target.calls, QStringList{"open " + QString::fromStdString(song)});

    target.calls.clear();
    QDBusMessage web = callPlayer("OpenUri", {"https://example.org/song.mp3"});
    EXPECT_EQ(web.errorName(), "org.freedesktop.DBus.Error.NotSupported");
    QDBusMessage missing = callPlayer("OpenUri", {"file:///no/such/song.mp3"});
    EXPECT_EQ(missing.errorName(), "org.freedesktop.DBus.Error.FileNotFound");
    EXPECT_TRUE(target.calls.isEmpty());

    target.opensFiles = false;
    QDBusMessage refused = callPlayer("OpenUri", {url});
    EXPECT_EQ(refused.errorName(), "org.freedesktop.DBus.Error.NotSupported");
}

TEST(MprisRegistration, AHeldNameOrAMissingBusLeavesTheServiceOff)
{
    FakeTarget target;
    MprisService first(&target);
    ASSERT_TRUE(first.registerOn(QDBusConnection::sessionBus()));
    {
        // Another process holding the name.
        QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "other");
        MprisService second(&target);
        EXPECT_FALSE(second.registerOn(other));
        EXPECT_FALSE(second.isRegistered());
        QDBusConnection::disconnectFromBus("other");
    }
    QDBusConnection nowhere = QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "nowhere");
    MprisService third(&target);
    EXPECT_FALSE(third.registerOn(nowhere));
    emit target.trackChanged(); // announcing without a bus is harmless
    settle(20);
    QDBusConnection::disconnectFromBus("nowhere");
}

TEST(MprisRegistration, TheNameIsReleasedWithTheService)
{
    FakeTarget target;
    auto isOwned = [] {
        QDBusReply<bool> owned =
            QDBusConnection::sessionBus().interface()->isServiceRegistered(MprisService::kServiceName);
        return owned.isValid() && owned.value();
    };
    {
        MprisService service(&target);
        ASSERT_TRUE(service.registerOn(QDBusConnection::sessionBus()));
        EXPECT_TRUE(isOwned());
    }
    EXPECT_FALSE(isOwned());
    MprisService again(&target);
    EXPECT_TRUE(again.registerOn(QDBusConnection::sessionBus()));
}

TEST(MprisMimeTypes, KnownTypesFromTheAssociationTableOthersFromTheSharedDatabase)
{
    QStringList types = MimeTypesOfFileTypes({"mp3", "MP1", "OGG", "NOSUCHTYPE"});
    EXPECT_EQ(types, (QStringList{"audio/mpeg", "audio/ogg", "audio/x-vorbis+ogg"}));
}

} // namespace

#include "MprisTest.moc"
