#include "support/ProgramEnvironment.h"
#include "support/TempDir.h"
#include "support/XServer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

namespace {

struct ProgramRun {
    testsupport::TempDir root;
    QProcess process;

    // launcher, when given, runs the program (as "nohup orvella ...").
    explicit ProgramRun(const QStringList& args = {}, const QString& folder = {}, const QString& launcher = {})
    {
        if (!folder.isEmpty())
            process.setWorkingDirectory(folder);
        process.setProcessEnvironment(testsupport::ProgramEnvironment(root.path()));
        const QString program = QString(ORVELLA_PROGRAM_DIR) + "orvella";
        const QStringList programArgs = QStringList{"-platform", "offscreen"} + args;
        if (launcher.isEmpty())
            process.start(program, programArgs);
        else
            process.start(launcher, QStringList{program} + programArgs);
    }

    std::string data(const std::string& name) const { return root.file("data/" + name); }
};

} // namespace

TEST(Program, ExitsCleanlyWithinASecondOfATerminationSignal)
{
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        ProgramRun run;
        ASSERT_TRUE(run.process.waitForStarted(5000));
        ASSERT_FALSE(run.process.waitForFinished(1500)) << "the program ended on its own";
        QElapsedTimer clock;
        clock.start();
        ::kill(static_cast<pid_t>(run.process.processId()), signo);
        ASSERT_TRUE(run.process.waitForFinished(1000)) << "still running after signal " << signo;
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_EQ(run.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.process.exitCode(), 0);
    }
}

TEST(Program, SavesItsPlaylistAndSettingsWhenItsDisplayGoes)
{
    // The X server ends (a remote session drops): Qt ends the program from its
    // event loop, and what a close saves is saved all the same.
    testsupport::XServer x;
    if (x.display.isEmpty())
        GTEST_SKIP() << "no X server could be started";
    testsupport::TempDir music;
    std::filesystem::copy_file(testsupport::TestData("bass/tone.mp3"), music.file("a tone.mp3"));
    testsupport::TempDir root;
    QProcess program;
    program.setProcessEnvironment(testsupport::WithDisplay(testsupport::ProgramEnvironment(root.path()), x.display));
    program.start(QString(ORVELLA_PROGRAM_DIR) + "orvella",
                  {"-platform", "xcb", QString::fromStdString(music.file("a tone.mp3"))});
    ASSERT_TRUE(program.waitForStarted(5000));
    ASSERT_FALSE(program.waitForFinished(2000)) << "the program ended on its own";
    x.stop();
    ASSERT_TRUE(program.waitForFinished(5000)) << "still running without its display";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "it crashed on the way out";
    EXPECT_EQ(testsupport::ReadFile(root.file("data/Playlist/dummy.asv")), music.file("a tone.mp3") + "\r\n");
    EXPECT_NE(testsupport::ReadFile(root.file("data/confstate.ini")).find("mainwidth=330"), std::string::npos);
}

TEST(Program, StartedUnderNohupOutlivesItsTerminal)
{
    ProgramRun run({}, {}, "nohup");
    ASSERT_TRUE(run.process.waitForStarted(5000));
    ASSERT_FALSE(run.process.waitForFinished(1500)) << "the program ended on its own";
    ::kill(static_cast<pid_t>(run.process.processId()), SIGHUP);
    EXPECT_FALSE(run.process.waitForFinished(1000)) << "a hang-up ended a program started to ignore it";
    ::kill(static_cast<pid_t>(run.process.processId()), SIGTERM);
    ASSERT_TRUE(run.process.waitForFinished(3000));
    EXPECT_EQ(run.process.exitStatus(), QProcess::NormalExit);
}

TEST(Program, TakesItsArgumentsAndSavesThemWhenTerminated)
{
    testsupport::TempDir music;
    std::filesystem::copy_file(testsupport::TestData("bass/tone.mp3"), music.file("a tone.mp3"));
    // A relative path, made absolute against the folder the program started in.
    ProgramRun run({"a tone.mp3"}, QString::fromStdString(music.path()));
    ASSERT_TRUE(run.process.waitForStarted(5000));
    ASSERT_FALSE(run.process.waitForFinished(2000)) << "the program ended on its own";
    ::kill(static_cast<pid_t>(run.process.processId()), SIGTERM);
    ASSERT_TRUE(run.process.waitForFinished(3000));
    EXPECT_EQ(run.process.exitCode(), 0);

    EXPECT_EQ(testsupport::ReadFile(run.data("Playlist/dummy.asv")), music.file("a tone.mp3") + "\r\n");
    EXPECT_NE(testsupport::ReadFile(run.data("confstate.ini")).find("mainwidth=330"), std::string::npos);
    // Nothing went wrong on the way.
    EXPECT_FALSE(testsupport::FileExists(run.root.file("boxes.jsonl")))
        << testsupport::ReadFile(run.root.file("boxes.jsonl"));
}

TEST(Program, FileNamesThatAreNotUtf8PlayFromTheCommandLineAndAreHandedOver)
{
    testsupport::TempDir root, music;
    std::filesystem::copy_file(testsupport::TestData("bass/tone.mp3"), music.file("caf\xE9 tone.mp3"));
    std::filesystem::copy_file(testsupport::TestData("bass/tone.mp3"), music.file("\xE0 la.mp3"));
    QProcessEnvironment env = testsupport::ProgramEnvironment(root.path());
    env.insert("ORVELLA_AUDIO", QString::fromStdString("wav:" + root.file("heard.wav")));
    // QProcess passes arguments as UTF-8; the shell passes the bytes printf makes.
    auto start = [&](QProcess& process, const char* name) {
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QString::fromStdString(music.path()));
        process.start("/bin/sh", {"-c", QString("exec \"$0\" -platform offscreen \"$(printf '%1')\"").arg(name),
                                  QString(ORVELLA_PROGRAM_DIR) + "orvella"});
    };
    QProcess first, second;
    start(first, "caf\\351 tone.mp3");
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_FALSE(first.waitForFinished(2000)) << "the program ended on its own";
    start(second, "\\340 la.mp3");
    ASSERT_TRUE(second.waitForFinished(10000)) << "the second start did not hand over";
    EXPECT_EQ(second.exitCode(), 0);
    QThread::msleep(500);
    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(5000));
    EXPECT_EQ(first.exitCode(), 0);

    EXPECT_EQ(testsupport::ReadFile(root.file("data/Playlist/dummy.asv")),
              music.file("caf\xE9 tone.mp3") + "\r\n" + music.file("\xE0 la.mp3") + "\r\n");
    // Shown as Latin-1, as old names were written.
    const std::string captions = testsupport::ReadFile(root.file("data/Playlist/loaded.asv"));
    EXPECT_NE(captions.find("caf\xC3\xA9 tone"), std::string::npos) << captions;
    EXPECT_NE(captions.find("\xC3\xA0 la"), std::string::npos) << captions;
    const std::string heard = testsupport::ReadFile(root.file("heard.wav"));
    ASSERT_GT(heard.size(), 44u + 44100u);
    EXPECT_NE(heard.find_first_not_of('\0', 44), std::string::npos) << "the file did not sound";
    EXPECT_FALSE(testsupport::FileExists(root.file("boxes.jsonl"))) << testsupport::ReadFile(root.file("boxes.jsonl"));
}
