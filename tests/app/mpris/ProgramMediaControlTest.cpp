// The real program on a private session bus, controlled with playerctl the way
// a desktop's media keys and panel widgets do it.

#include "Playerctl.h"

#include "DesktopIntegration.h"
#include "support/ByteBuilder.h"
#include "support/ProgramEnvironment.h"
#include "support/TempDir.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QProcessEnvironment>
#include <QUrl>

#include <csignal>
#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr const char* kService = "org.mpris.MediaPlayer2.orvella";

QString fixture(const char* name)
{
    return QString::fromStdString(testsupport::TestData(std::string("fileinfo/") + name));
}

bool serviceOwned()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value();
}

// One orvella process with its own folders and silent audio.
struct Program {
    testsupport::TempDir home;
    QProcess process;

    explicit Program(const QStringList& files, const std::function<void(QProcessEnvironment&)>& adjust = {})
    {
        QProcessEnvironment env = testsupport::ProgramEnvironment(home.path());
        env.insert("ORVELLA_AUDIO", "null");
        if (adjust)
            adjust(env);
        process.setProcessEnvironment(env);
        process.start(QString(ORVELLA_PROGRAM_DIR) + "orvella", QStringList{"-platform", "offscreen"} + files);
    }
    ~Program() { testsupport::StopProgram(process); }
};

// PropertiesChanged signals of our player as dbus-monitor prints them.
struct Monitor {
    QProcess process;
    Monitor()
    {
        process.start("dbus-monitor", {"--session", "type='signal',interface='org.freedesktop.DBus.Properties',"
                                                    "member='PropertiesChanged',path='/org/mpris/MediaPlayer2'"});
        process.waitForStarted();
        // It reports its own name once it listens.
        process.waitForReadyRead(2000);
        output += QString::fromUtf8(process.readAllStandardOutput());
    }
    ~Monitor()
    {
        process.kill();
        process.waitForFinished();
    }
    QString output;
    bool saw(const QString& text, int timeoutMs = 3000)
    {
        return eventually(
            [&] {
                process.waitForReadyRead(50);
                output += QString::fromUtf8(process.readAllStandardOutput());
                return output.contains(text);
            },
            timeoutMs);
    }
};

QString title()
{
    return ask({"metadata", "xesam:title"});
}

TEST(ProgramMediaControl, DesktopControlDrivesThePlaylist)
{
    Program program({"--enqueue", fixture("lame_cbr128.mp3"), fixture("apev2_id3v1.mp3")});
    ASSERT_TRUE(eventually(serviceOwned, 10'000)) << "the program did not appear on the bus";

    QDBusInterface root(kService, "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2");
    EXPECT_EQ(root.property("Identity").toString(), "Orvella");
    QStringList types = root.property("SupportedMimeTypes").toStringList();
    for (const char* type : {"audio/mpeg", "audio/x-wav", "audio/ogg"})
        EXPECT_TRUE(types.contains(type)) << type << " missing from " << types.join(' ').toStdString();

    // Enqueued files do not play at start.
    EXPECT_EQ(ask({"status"}), "Stopped");
    EXPECT_EQ(playerctl({"metadata"}).out, "");

    // Play, then pause while the first file is still playing, and read its tags.
    ask({"play"});
    ASSERT_TRUE(eventually([] { return playerctl({"status"}).out == "Playing"; }));
    ask({"pause"});
    EXPECT_EQ(ask({"status"}), "Paused");
    EXPECT_EQ(title(), "Cbr Title");
    EXPECT_EQ(ask({"metadata", "xesam:artist"}), "Cbr Artist");
    EXPECT_TRUE(ask({"metadata", "xesam:url"}).endsWith("/fileinfo/lame_cbr128.mp3"));
    qint64 lengthUs = ask({"metadata", "--format", "{{mpris:length}}"}).toLongLong();
    EXPECT_NEAR(lengthUs, 2'037'551, 60'000);

    // Position: a seek while playing, read back once paused.
    ask({"play"});
    ask({"position", "1.2"});
    ask({"pause"});
    double position = ask({"position"}).toDouble();
    EXPECT_GE(position, 1.2);
    EXPECT_LT(position, 2.0);

    // Volume and Repeat are the window's slider and check box.
    ask({"volume", "0.5"});
    EXPECT_EQ(ask({"volume"}), "0.500000");
    EXPECT_EQ(ask({"loop"}), "None");
    ask({"loop", "Playlist"});
    EXPECT_EQ(ask({"loop"}), "Playlist");
    ask({"loop", "None"});

    // Next and Previous, each announced with the new track's metadata.
    Monitor monitor;
    ask({"play"});
    ask({"next"});
    ASSERT_TRUE(eventually([] { return title() == "V1 Title"; }));
    EXPECT_EQ(ask({"metadata", "xesam:artist"}), "V1 Artist");
    EXPECT_TRUE(monitor.saw("V1 Title")) << monitor.output.toStdString();
    EXPECT_TRUE(monitor.output.contains("xesam:title"));
    ask({"previous"});
    ASSERT_TRUE(eventually([] { return title() == "Cbr Title"; }));
    EXPECT_TRUE(monitor.saw("Cbr Title"));

    // From the last entry with Repeat off, playback stops at its end.
    ask({"next"});
    ASSERT_TRUE(eventually([] { return title() == "V1 Title"; }));
    EXPECT_TRUE(eventually([] { return playerctl({"status"}).out == "Stopped"; }, 8000));
    EXPECT_TRUE(monitor.saw("Stopped"));
    EXPECT_EQ(title(), "V1 Title"); // the track last played stays described

    // OpenUri appends through the command channel's Open path, keeping the
    // files the program was started with, and plays what it opened.
    ask({"open", QUrl::fromLocalFile(fixture("vorbis_comments.ogg")).toString()});
    EXPECT_TRUE(eventually([] { return ask({"metadata", "xesam:url"}).endsWith("/vorbis_comments.ogg"); }));
    ::kill(pid_t(program.process.processId()), SIGTERM);
    ASSERT_TRUE(program.process.waitForFinished(5000));
    const std::string saved = testsupport::ReadFile(program.home.file("data/Playlist/dummy.asv"));
    EXPECT_EQ(saved, (fixture("lame_cbr128.mp3") + "\r\n" + fixture("apev2_id3v1.mp3") + "\r\n" +
                      fixture("vorbis_comments.ogg") + "\r\n")
                         .toStdString());
}

TEST(ProgramMediaControl, MetadataCarriesTheTagsOwnTexts)
{
    // "a very long title" by "the band" in an ID3v2.3 tag: the window shows
    // them capitalised, the desktop gets them as tagged.
    testsupport::TempDir music;
    testsupport::ByteBuilder mp3;
    mp3.append(testsupport::Id3v23ArtistTitle("the band", "a very long title"));
    mp3.append(testsupport::ReadFile(testsupport::TestData("bass/tone.mp3")));
    mp3.writeTo(music.file("tagged.mp3"));

    Program program({QString::fromStdString(music.file("tagged.mp3"))});
    ASSERT_TRUE(eventually(serviceOwned, 10'000)) << "the program did not appear on the bus";
    ask({"play"});
    ASSERT_TRUE(eventually([] { return playerctl({"status"}).out == "Playing"; }));
    EXPECT_EQ(title(), "a very long title");
    EXPECT_EQ(ask({"metadata", "xesam:artist"}), "the band");
}

TEST(ProgramMediaControl, WithoutABusOrWithItsNameTakenTheProgramRunsQuietly)
{
    auto quietlyRunning = [](Program& program) {
        EXPECT_FALSE(program.process.waitForFinished(1500)) << "the program ended";
        QString errors = QString::fromUtf8(program.process.readAllStandardError());
        EXPECT_FALSE(errors.contains("bus", Qt::CaseInsensitive)) << errors.toStdString();
    };
    std::function<void(QProcessEnvironment&)> noBus[] = {
        [](QProcessEnvironment& env) { env.remove("DBUS_SESSION_BUS_ADDRESS"); },
        [](QProcessEnvironment& env) { env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"); },
    };
    for (const auto& adjust : noBus) {
        Program program({fixture("lame_cbr128.mp3")}, adjust);
        quietlyRunning(program);
    }

    ASSERT_TRUE(QDBusConnection::sessionBus().registerService(kService));
    {
        Program program({fixture("lame_cbr128.mp3")});
        quietlyRunning(program);
    }
    QDBusConnection::sessionBus().unregisterService(kService);
}

} // namespace

namespace {

// A WAV of silence from ffmpeg, long enough to be seen playing.
QString silentWav(const testsupport::TempDir& dir, const std::string& name, int seconds)
{
    const QString file = QString::fromStdString(dir.file(name));
    EXPECT_EQ(QProcess::execute("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                           "anullsrc=r=44100:cl=stereo", "-t", QString::number(seconds), file}),
              0);
    return file;
}

// The Exec line of a desktop entry's group, split as a launcher splits it,
// with %F replaced by the file.
QStringList execLine(const std::string& entry, const std::string& group, const QString& file)
{
    const size_t at = entry.find("Exec=", entry.find(group));
    const QString line = QString::fromStdString(entry.substr(at + 5, entry.find('\n', at) - at - 5));
    QStringList words;
    QString word;
    bool quoted = false;
    for (qsizetype k = 0; k < line.size(); ++k) {
        const QChar c = line[k];
        if (c == '"')
            quoted = !quoted;
        else if (c == '\\' && quoted && k + 1 < line.size())
            word += line[++k];
        else if (c == ' ' && !quoted)
            words << std::exchange(word, QString());
        else
            word += c;
    }
    words << word;
    words.replaceInStrings("%F", file);
    return words;
}

// Runs a desktop entry's command the way a launcher does, in one user's world.
struct Launcher {
    testsupport::TempDir home;
    QProcessEnvironment env = testsupport::ProgramEnvironment(home.path());
    std::vector<std::unique_ptr<QProcess>> started;

    Launcher()
    {
        env.insert("ORVELLA_AUDIO", "null");
        env.insert("QT_QPA_PLATFORM", "offscreen");
    }
    ~Launcher()
    {
        for (auto& process : started)
            testsupport::StopProgram(*process);
    }
    QProcess& run(const QStringList& command)
    {
        started.push_back(std::make_unique<QProcess>());
        QProcess& process = *started.back();
        process.setProcessEnvironment(env);
        process.start(command.first(), command.mid(1));
        return process;
    }
};

} // namespace

TEST(ProgramMediaControl, TheDesktopEntrysOpenAndPlayPlayAndItsEnqueueOnlyAppends)
{
    const std::string entry =
        shell::DesktopEntryText(std::string(ORVELLA_PROGRAM_DIR) + "orvella", "/icon.svg", {"WAV"});
    testsupport::TempDir music;
    const QString one = silentWav(music, "one.wav", 20);
    const QString two = silentWav(music, "two.wav", 20);
    const QString three = silentWav(music, "three.wav", 20);
    auto url = [] { return ask({"metadata", "xesam:url"}); };
    auto status = [] { return playerctl({"status"}).out; };

    {
        // A fresh program from the Enqueue action plays nothing.
        Launcher desktop;
        QProcess& program = desktop.run(execLine(entry, "[Desktop Action Enqueue]", one));
        ASSERT_TRUE(eventually(serviceOwned, 10'000)) << "the program did not appear on the bus";
        settle(1000);
        EXPECT_EQ(status(), "Stopped");

        // The default action in the running program plays its file.
        QProcess& second = desktop.run(execLine(entry, "[Desktop Entry]", two));
        ASSERT_TRUE(second.waitForFinished(10'000));
        EXPECT_EQ(second.exitCode(), 0);
        ASSERT_TRUE(eventually([&] { return status() == "Playing"; }));
        EXPECT_TRUE(url().endsWith("/two.wav"));

        // Enqueue in the running program leaves playback alone.
        ask({"stop"});
        QProcess& third = desktop.run(execLine(entry, "[Desktop Action Enqueue]", three));
        ASSERT_TRUE(third.waitForFinished(10'000));
        settle(1000);
        EXPECT_EQ(status(), "Stopped");
        EXPECT_EQ(program.state(), QProcess::Running);
    }
    ASSERT_TRUE(eventually([] { return !serviceOwned(); }, 10'000));
    {
        // "Play In Orvella" in a fresh program plays its file.
        Launcher desktop;
        desktop.run(execLine(entry, "[Desktop Action Play]", three));
        ASSERT_TRUE(eventually(serviceOwned, 10'000));
        ASSERT_TRUE(eventually([&] { return status() == "Playing"; }));
        EXPECT_TRUE(url().endsWith("/three.wav"));
    }
}
