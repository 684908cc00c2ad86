// A second start hands its files to the running program through the command
// channel and ends; the running program appends them and plays the first file
// of a plain start, not of an enqueued one. A start without files only raises
// the running program.

#include "CommandHandler.h"
#include "platform/dde.h"
#include "playlist/SavedPlaylist.h"
#include "support/ProgramEnvironment.h"
#include "support/TempDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <iostream>

using testsupport::TempDir;
using testsupport::TestData;

namespace {

// One user's world: data, registry, desktop folders and the private runtime
// folder that holds the command channel, all in a temporary folder.
struct Desktop {
    TempDir root;
    QProcessEnvironment env;

    Desktop()
    {
        env = testsupport::ProgramEnvironment(root.path());
        QDir().mkpath(path("music"));
        env.insert("ORVELLA_AUDIO", "wav:" + path("heard.wav"));
    }

    QString path(const QString& name) const { return QString::fromStdString(root.path()) + name; }

    void start(QProcess& process, const QStringList& args) const
    {
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(path("music"));
        process.start(QString(ORVELLA_PROGRAM_DIR) + "orvella", QStringList{"-platform", "offscreen"} + args);
    }

    // Runs f with this desktop's runtime folder, where its command channel lives.
    template <typename F> auto inRuntime(F f) const
    {
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", env.value("XDG_RUNTIME_DIR").toUtf8());
        auto result = f();
        qputenv("XDG_RUNTIME_DIR", saved);
        return result;
    }

    // Starts the program that serves the command channel.
    bool startServing(QProcess& process, const QStringList& args) const
    {
        start(process, args);
        return process.waitForStarted(5000) && waitForChannel(10000);
    }

    bool waitForChannel(int timeoutMs) const
    {
        const QString socket = inRuntime([] { return platform::DdeSocketPath("orvella", "Macros"); });
        for (int waited = 0; waited < timeoutMs; waited += 50) {
            if (QFileInfo::exists(socket))
                return true;
            QThread::msleep(50);
        }
        return false;
    }
};

QString CopyFixture(const Desktop& desktop, const char* fixture, const QString& name)
{
    const QString target = desktop.path("music/") + name;
    EXPECT_TRUE(QFile::copy(QString::fromStdString(TestData(fixture)), target));
    return target;
}

// The time from the second start to its end, in ms.
qint64 ExpectHandedOver(const Desktop& desktop, const QStringList& args)
{
    QElapsedTimer clock;
    clock.start();
    QProcess second;
    desktop.start(second, args);
    EXPECT_TRUE(second.waitForFinished(10000)) << "the second start did not end";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    return clock.elapsed();
}

void Terminate(QProcess& program)
{
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 0);
}

playlist::SavedPlaylist Saved(const Desktop& desktop)
{
    return playlist::ReadSavedPlaylist(desktop.path("data/Playlist/").toStdString());
}

// Whether the capture holds any sound.
bool SomethingPlayed(const Desktop& desktop)
{
    QFile heard(desktop.path("heard.wav"));
    if (!heard.open(QIODevice::ReadOnly))
        return false;
    const QByteArray samples = heard.readAll().mid(44);
    return samples.count('\0') != samples.size();
}

} // namespace

TEST(HandOver, ASecondStartGivesItsFilesToTheRunningProgramAndEnds)
{
    Desktop desktop;
    const QString spaced = CopyFixture(desktop, "playlist/hello_world.mp3", "song one.mp3");
    const QString quoted = CopyFixture(desktop, "fileinfo/vorbis_comments.ogg", "it's \"quoted\".ogg");
    const QString accented = CopyFixture(desktop, "fileinfo/pcm_s16_stereo.wav", QString::fromUtf8("Café ünï.wav"));

    // The running program's own list, restored at its start, stays.
    const QString seed = CopyFixture(desktop, "fileinfo/pcm_u8_mono.wav", "seed.wav");
    playlist::WriteSavedPlaylist(desktop.path("data/Playlist/").toStdString(),
                                 {{seed.toStdString()}, {"1. Seed"}, {"00:00"}});

    QProcess first;
    desktop.start(first, {});
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(desktop.waitForChannel(10000)) << "the first start never served the command channel";

    ExpectHandedOver(desktop, {"song one.mp3", quoted}); // relative to the second start's folder
    ExpectHandedOver(desktop, {"--enqueue", accented});
    EXPECT_EQ(first.state(), QProcess::Running);
    QThread::msleep(1000); // for the capture to hear it

    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitCode(), 0);

    playlist::SavedPlaylist saved = playlist::ReadSavedPlaylist(desktop.path("data/Playlist/").toStdString());
    ASSERT_EQ(saved.paths.size(), 4u) << "each file once";
    EXPECT_EQ(QString::fromStdString(saved.paths[0]), seed);
    EXPECT_EQ(QString::fromStdString(saved.paths[1]), spaced);
    EXPECT_EQ(QString::fromStdString(saved.paths[2]), quoted);
    EXPECT_EQ(QString::fromStdString(saved.paths[3]), accented);
    EXPECT_EQ(saved.captions[0], "1. Seed");
    EXPECT_EQ(saved.captions[1], "2. The Band - Hello World") << "titles are refreshed";
    EXPECT_EQ(saved.captions[2], QString::fromUtf8("3. Ogg Artist - Café € Title"));
    EXPECT_EQ(saved.times[1], "00:03");

    // The plain second start played its first file.
    EXPECT_TRUE(SomethingPlayed(desktop));
}

TEST(HandOver, WithoutARunningProgramTheFilesOpenInANewOne)
{
    Desktop desktop;
    const QString song = CopyFixture(desktop, "playlist/hello_world.mp3", "song.mp3");
    QProcess only;
    desktop.start(only, {"--enqueue", "song.mp3"});
    ASSERT_TRUE(only.waitForStarted(5000));
    ASSERT_TRUE(desktop.waitForChannel(10000));
    ::kill(static_cast<pid_t>(only.processId()), SIGTERM);
    ASSERT_TRUE(only.waitForFinished(10000));

    playlist::SavedPlaylist saved = playlist::ReadSavedPlaylist(desktop.path("data/Playlist/").toStdString());
    ASSERT_EQ(saved.paths.size(), 1u);
    EXPECT_EQ(QString::fromStdString(saved.paths[0]), song);
}

TEST(HandOver, AProgramStartedWithFilesKeepsThemAndABareStartOnlyRaisesIt)
{
    Desktop desktop;
    const QString a = CopyFixture(desktop, "fileinfo/pcm_s16_stereo.wav", "a.wav");
    const QString b = CopyFixture(desktop, "fileinfo/pcm_u8_mono.wav", "b.wav");
    QProcess first;
    ASSERT_TRUE(desktop.startServing(first, {"--enqueue", a}));

    ExpectHandedOver(desktop, {"--enqueue", b});
    const qint64 bare = ExpectHandedOver(desktop, {});
    std::cout << "a bare second start ended after " << bare << " ms\n";
    EXPECT_EQ(first.state(), QProcess::Running);
    Terminate(first);

    const playlist::SavedPlaylist saved = Saved(desktop);
    EXPECT_EQ(saved.paths, (std::vector<std::string>{a.toStdString(), b.toStdString()})) << "both kept";
    EXPECT_FALSE(SomethingPlayed(desktop)) << "enqueued files do not start";
}

TEST(HandOver, AProgramShowingAMessageBoxStillAnswersAtOnce)
{
    Desktop desktop;
    // Real message boxes: a box waits for a user who never comes.
    desktop.env.remove("ORVELLA_MSGBOX_LOG");
    const QString b = CopyFixture(desktop, "fileinfo/pcm_u8_mono.wav", "b.wav");
    QProcess first;
    ASSERT_TRUE(desktop.startServing(first, {}));
    QThread::msleep(1000); // the window is up and takes requests

    // A list that cannot be read: the running program shows a box for it.
    const qint64 toBox = ExpectHandedOver(desktop, {desktop.path("music/missing.m3u")});
    QThread::msleep(500);
    const qint64 duringBox = ExpectHandedOver(desktop, {b});
    std::cout << "hand-overs took " << toBox << " ms, and " << duringBox << " ms while the box showed\n";
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

TEST(HandOver, ANewInstanceRunsBesideTheFirstAndNeverWritesItsFiles)
{
    Desktop desktop;
    const QString a = CopyFixture(desktop, "fileinfo/pcm_s16_stereo.wav", "a.wav");
    const QString b = CopyFixture(desktop, "fileinfo/pcm_u8_mono.wav", "b.wav");
    QProcess first;
    ASSERT_TRUE(desktop.startServing(first, {"--enqueue", a}));

    QProcess second;
    desktop.start(second, {"--new-instance", "--enqueue", b});
    ASSERT_TRUE(second.waitForStarted(5000));
    EXPECT_FALSE(second.waitForFinished(2000)) << "the new instance ended";
    Terminate(second);
    EXPECT_TRUE(Saved(desktop).paths.empty()) << "the second program wrote the saved playlist";
    EXPECT_FALSE(QFileInfo::exists(desktop.path("data/confstate.ini")));

    Terminate(first);
    EXPECT_EQ(Saved(desktop).paths, std::vector<std::string>{a.toStdString()});
}

TEST(HandOver, AHundredThousandFilesArriveInRequestsOfBoundedSize)
{
    Desktop desktop;
    QProcess first;
    ASSERT_TRUE(desktop.startServing(first, {}));

    QStringList files;
    for (int k = 0; k < 100'000; ++k)
        files << QString("/nowhere/%1.mp3").arg(k);
    const QStringList requests = MacroRequestsFor(files, true);
    for (const QString& request : requests)
        ASSERT_TRUE(desktop.inRuntime([&] { return platform::DdeExecute("orvella", "Macros", request); }));
    // A request beyond the limit is refused without harm.
    const QString huge = "[Enqueue(\"/" + QString(platform::kMaxDdeRequestBytes, 'x') + "\")]";
    EXPECT_FALSE(desktop.inRuntime([&] { return platform::DdeExecute("orvella", "Macros", huge); }));
    Terminate(first);

    const playlist::SavedPlaylist saved = Saved(desktop);
    ASSERT_EQ(saved.paths.size(), 100'000u);
    EXPECT_EQ(saved.paths.back(), "/nowhere/99999.mp3");
}
