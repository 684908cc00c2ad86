// The media control service on a private session bus, driven by playerctl and
// watched by a second connection, over a target that records what it is asked.

#include "MediaControlTarget.h"
#include "MprisService.h"
#include "Playerctl.h"

#include "platform/text.h"
#include "support/TempDir.h"

#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QUrl>

namespace {

using enum MediaPlayState;

class FakeTarget : public MediaControlTarget {
  public:
    QStringList calls;
    MediaPlayState state = Stopped;
    std::optional<MediaTrack> track;
    qint64 position = 0;
    int vol = 100;
    bool rep = false;
    int entries = 3;
    bool opensFiles = true;

    void play() override { calls << "play"; }
    void pause() override { calls << "pause"; }
    void stop() override { calls << "stop"; }
    void next() override { calls << "next"; }
    void previous() override { calls << "previous"; }
    void seekTo(qint64 ms) override
    {
        calls << QString("seek %1").arg(ms);
        position = ms;
    }
    bool openFile(const QString& path) override
    {
        calls << "open " + path;
        return opensFiles;
    }
    void setVolume(int percent) override { calls << QString("volume %1").arg(percent); }
    void setRepeat(bool on) override { calls << QString("repeat %1").arg(on); }
    void raise() override { calls << "raise"; }
    void quit() override { calls << "quit"; }

    MediaPlayState playState() const override { return state; }
    std::optional<MediaTrack> currentTrack() const override { return track; }
    qint64 positionMs() const override { return position; }
    int volume() const override { return vol; }
    bool repeat() const override { return rep; }
    int entryCount() const override { return entries; }
    QStringList playableFileTypes() const override { return {"WAV", "MP3", "OGG", "VOC", "AIFF"}; }

    // Track n starts as the window starts one: stopped first, then playing.
    void start(int n)
    {
        state = Stopped;
        emit playStateChanged();
        track = MediaTrack{QString("/music/track %1.mp3").arg(n), QString("Song %1").arg(n), "Band", 200'000};
        emit trackChanged();
        state = Playing;
        emit playStateChanged();
    }
};

// PropertiesChanged and Seeked as another client sees them.
class SignalWatcher : public QObject {
    Q_OBJECT
  public:
    QList<QVariantMap> changes;
    QList<qlonglong> seeks;

    explicit SignalWatcher(QDBusConnection bus)
    {
        bus.connect(MprisService::kServiceName, MprisService::kObjectPath, "org.freedesktop.DBus.Properties",
                    "PropertiesChanged", this, SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
        bus.connect(MprisService::kServiceName, MprisService::kObjectPath, "org.mpris.MediaPlayer2.Player", "Seeked",
                    this, SLOT(onSeeked(qlonglong)));
    }

  public slots:
    void onPropertiesChanged(const QString&, const QVariantMap& changed, const QStringList&) { changes << changed; }
    void onSeeked(qlonglong position) { seeks << position; }
};

class Mpris : public ::testing::Test {
  protected:
    FakeTarget target;
    MprisService service{&target};
    // A client of its own: calls on the service's own connection would skip the bus.
    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client");
    SignalWatcher watcher{client};

    void SetUp() override { ASSERT_TRUE(service.registerOn(QDBusConnection::sessionBus())); }
    void TearDown() override { QDBusConnection::disconnectFromBus("client"); }

    QDBusMessage call(const QString& interface, const QString& method, const QVariantList& args = {})
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(MprisService::kServiceName, MprisService::kObjectPath, interface, method);
        message.setArguments(args);
        QDBusPendingCallWatcher pending(client.asyncCall(message));
        eventually([&] { return pending.isFinished(); });
        return pending.reply();
    }
    QDBusMessage callPlayer(const QString& method, const QVariantList& args)
    {
        return call("org.mpris.MediaPlayer2.Player", method, args);
    }
    QVariant property(const QString& interface, const QString& name)
    {
        QDBusMessage reply = call("org.freedesktop.DBus.Properties", "Get", {interface, name});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QVariantMap metadata() { return qdbus_cast<QVariantMap>(property("org.mpris.MediaPlayer2.Player", "Metadata")); }
    QDBusObjectPath trackId() { return metadata().value("mpris:trackid").value<QDBusObjectPath>(); }
};

TEST_F(Mpris, TransportCommandsFollowTheInterfaceRules)
{
    struct Case {
        MediaPlayState state;
        const char* command;
        const char* runs; // the window command, if any
    };
    for (auto [state, command, runs] : {Case{Stopped, "play", "play"},
                                        {Paused, "play", "play"},
                                        {Playing, "play", ""},
                                        {Playing, "pause", "pause"},
                                        {Paused, "pause", ""},
                                        {Stopped, "pause", ""},
                                        {Playing, "play-pause", "pause"},
                                        {Paused, "play-pause", "play"},
                                        {Stopped, "play-pause", "play"},
                                        {Paused, "stop", "stop"},
                                        {Stopped, "next", "next"},
                                        {Playing, "previous", "previous"}}) {
        target.state = state;
        target.calls.clear();
        ask({command});
        EXPECT_EQ(target.calls.join(""), runs) << command << " in state " << int(state);
    }
}

TEST_F(Mpris, SeeksStayWithinThePlayingTrack)
{
    EXPECT_FALSE(property("org.mpris.MediaPlayer2.Player", "CanSeek").toBool()); // nothing started
    target.start(1);                                                             // 200 s long
    QDBusObjectPath first = trackId();
    for (const char* request : {"30", "10+", "100-", "250", "250+"})
        ask({"position", request});
    // Before the start: the start; past the end: ignored, or the next track for a relative seek.
    EXPECT_EQ(target.calls, (QStringList{"seek 30000", "seek 40000", "seek 0", "next"}));

    target.start(2);
    target.calls.clear();
    callPlayer("SetPosition", {QVariant::fromValue(first), qlonglong(5'000'000)});
    EXPECT_TRUE(target.calls.isEmpty()) << "a position meant for the previous track moved this one";
    callPlayer("SetPosition", {QVariant::fromValue(trackId()), qlonglong(5'000'000)});
    EXPECT_EQ(target.calls, QStringList{"seek 5000"});

    target.calls.clear();
    target.state = Paused; // the window seeks only while playing
    playerctl({"position", "20"});
    playerctl({"position", "5+"});
    EXPECT_TRUE(target.calls.isEmpty());

    emit target.seeked(7'000); // wherever the seek came from
    settle();
    EXPECT_EQ(watcher.seeks, QList<qlonglong>{7'000'000});
}

TEST_F(Mpris, ATrackPlayingWithoutAnAnnouncementStillHasAnId)
{
    // Files played at start: the track is current before any change is announced.
    target.track = MediaTrack{"/music/first.mp3", "First", "Band", 60'000};
    target.state = Playing;
    EXPECT_FALSE(trackId().path().isEmpty()) << "the bus refuses metadata with an empty object path";
    EXPECT_EQ(metadata().value("xesam:title").toString(), "First");
}

TEST_F(Mpris, VolumeAndLoopMapToTheSliderAndRepeat)
{
    target.vol = 40;
    EXPECT_EQ(ask({"volume"}), "0.400000");
    for (const char* volume : {"0.25", "1.7", "0.504"})
        ask({"volume", volume});
    call("org.freedesktop.DBus.Properties", "Set",
         {"org.mpris.MediaPlayer2.Player", "Volume", QVariant::fromValue(QDBusVariant(-0.5))});
    EXPECT_EQ(target.calls, (QStringList{"volume 25", "volume 100", "volume 50", "volume 0"}));

    target.calls.clear();
    target.rep = true;
    EXPECT_EQ(ask({"loop"}), "Playlist");
    for (const char* loop : {"None", "Track", "Playlist"}) // no single-track repeat: Track is ignored
        ask({"loop", loop});
    EXPECT_EQ(target.calls, (QStringList{"repeat 0", "repeat 1"}));
    EXPECT_EQ(ask({"shuffle"}), "Off");
}

TEST_F(Mpris, ChangesAreAnnouncedOnceWithTheirOutcome)
{
    target.start(1);
    settle();
    ASSERT_EQ(watcher.changes.size(), 1);
    EXPECT_EQ(watcher.changes[0].value("PlaybackStatus"), "Playing");
    EXPECT_EQ(watcher.changes[0].value("CanSeek"), true);
    QDBusObjectPath firstId = trackId();

    // The next track stops and plays again: one announcement, the new track, still playing.
    watcher.changes.clear();
    target.start(2);
    settle();
    ASSERT_EQ(watcher.changes.size(), 1);
    EXPECT_EQ(watcher.changes[0].keys(), QStringList{"Metadata"});
    QVariantMap announced = qdbus_cast<QVariantMap>(watcher.changes[0].value("Metadata"));
    EXPECT_EQ(announced.value("xesam:title"), "Song 2");
    EXPECT_EQ(announced.value("xesam:artist"), QStringList{"Band"});
    EXPECT_EQ(announced.value("xesam:url"), "file:///music/track%202.mp3");
    EXPECT_EQ(announced.value("mpris:length").toLongLong(), 200'000'000);
    EXPECT_NE(qdbus_cast<QDBusObjectPath>(announced.value("mpris:trackid")), firstId);

    watcher.changes.clear();
    target.vol = 30;
    emit target.volumeChanged();
    settle();
    target.rep = true;
    emit target.repeatChanged();
    emit target.playlistChanged(); // changes nothing by itself
    settle();
    target.state = Paused;
    target.entries = 0;
    emit target.playStateChanged();
    settle();
    ASSERT_EQ(watcher.changes.size(), 3);
    EXPECT_EQ(watcher.changes[0], (QVariantMap{{"Volume", 0.3}}));
    EXPECT_EQ(watcher.changes[1], (QVariantMap{{"LoopStatus", "Playlist"}}));
    EXPECT_EQ(watcher.changes[2], (QVariantMap{{"PlaybackStatus", "Paused"},
                                               {"CanSeek", false},
                                               {"CanGoNext", false},
                                               {"CanGoPrevious", false},
                                               {"CanPlay", false},
                                               {"CanPause", false}}));

    target.track->title.clear(); // an empty text is left out, not sent blank
    EXPECT_FALSE(metadata().contains("xesam:title"));
}

TEST_F(Mpris, IdentityWindowRequestsAndOpeningFiles)
{
    const char* root = "org.mpris.MediaPlayer2";
    EXPECT_EQ(property(root, "Identity"), "Orvella");
    EXPECT_EQ(property(root, "DesktopEntry"), "orvella");
    EXPECT_EQ(property(root, "SupportedUriSchemes"), QStringList{"file"});
    QStringList types = property(root, "SupportedMimeTypes").toStringList();
    for (const char* type : {"audio/x-wav", "audio/mpeg", "audio/ogg", "audio/x-aiff", "audio/x-voc"})
        EXPECT_TRUE(types.contains(type)) << type << " missing from " << types.join(' ').toStdString();
    EXPECT_EQ(types.removeDuplicates(), 0);
    call(root, "Raise");
    call(root, "Quit");
    settle(50);
    EXPECT_EQ(target.calls, (QStringList{"raise", "quit"}));

    target.calls.clear();
    testsupport::TempDir dir;
    QString song = QString::fromStdString(dir.file("new song.mp3"));
    testsupport::WriteFile(song.toStdString(), "ID3");
    QString url = QUrl::fromLocalFile(song).toString(QUrl::FullyEncoded);
    ask({"open", url});
    EXPECT_EQ(target.calls, QStringList{"open " + song});
    // A name that is not UTF-8 travels as the bytes its escapes spell.
    target.calls.clear();
    const std::string latin1 = dir.file("caf\xE9.mp3");
    testsupport::WriteFile(latin1, "ID3");
    EXPECT_EQ(
        callPlayer("OpenUri", {platform::UrlOfLocalFile(platform::PathString(latin1)).toString(QUrl::FullyEncoded)})
            .errorName(),
        QString());
    ASSERT_EQ(target.calls.size(), 1);
    EXPECT_EQ(platform::PathBytes(target.calls[0].mid(5)), latin1);
    const QString notSupported = "org.freedesktop.DBus.Error.NotSupported";
    EXPECT_EQ(callPlayer("OpenUri", {"https://example.org/song.mp3"}).errorName(), notSupported);
    EXPECT_EQ(callPlayer("OpenUri", {"file:///no/such/song.mp3"}).errorName(),
              "org.freedesktop.DBus.Error.FileNotFound");
    target.opensFiles = false;
    EXPECT_EQ(callPlayer("OpenUri", {url}).errorName(), notSupported);
}

TEST(MprisName, HeldFromRegistrationUntilTheServiceEnds)
{
    FakeTarget target;
    auto owned = [] {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(MprisService::kServiceName);
    };
    {
        MprisService first(&target);
        ASSERT_TRUE(first.registerOn(QDBusConnection::sessionBus()));
        QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "other");
        EXPECT_FALSE(MprisService(&target).registerOn(other)) << "a second holder of the name";
        QDBusConnection::disconnectFromBus("other");
        EXPECT_TRUE(owned().value());
    }
    EXPECT_FALSE(owned().value());
}

} // namespace

#include "MprisTest.moc"
