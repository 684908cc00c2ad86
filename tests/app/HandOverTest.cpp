// A second start hands its files to the running program through the command
// channel and ends; the running program adds them without playing anything.

#include "platform/dde.h"
#include "playlist/SavedPlaylist.h"
#include "support/ProgramEnvironment.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

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

    bool waitForChannel(int timeoutMs) const
    {
        QProcessEnvironment saved = QProcessEnvironment::systemEnvironment();
        qputenv("XDG_RUNTIME_DIR", env.value("XDG_RUNTIME_DIR").toUtf8());
        const QString socket = platform::DdeSocketPath("orvella", "Macros");
        qputenv("XDG_RUNTIME_DIR", saved.value("XDG_RUNTIME_DIR").toUtf8());
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

void ExpectHandedOver(const Desktop& desktop, const QStringList& args)
{
    QProcess second;
    desktop.start(second, args);
    ASSERT_TRUE(second.waitForFinished(10000)) << "the second start did not end";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
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

    // Nothing was played: the capture holds no sound.
    QFile heard(desktop.path("heard.wav"));
    if (heard.open(QIODevice::ReadOnly)) {
        QByteArray samples = heard.readAll().mid(44);
        EXPECT_EQ(samples.count('\0'), samples.size()) << "something played";
    }
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
