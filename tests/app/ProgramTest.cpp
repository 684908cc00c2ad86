#include "support/TempDir.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

namespace {

struct ProgramRun {
    testsupport::TempDir data;
    QProcess process;

    explicit ProgramRun(const QStringList& args = {}, const QString& folder = {})
    {
        if (!folder.isEmpty())
            process.setWorkingDirectory(folder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVELLA_DATA_DIR", QString::fromStdString(data.path()));
        env.insert("ORVELLA_MSGBOX_LOG", QString::fromStdString(data.file("boxes.jsonl")));
        process.setProcessEnvironment(env);
        process.start(QString(ORVELLA_PROGRAM_DIR) + "orvella", QStringList{"-platform", "offscreen"} + args);
    }
};

} // namespace

TEST(Program, ExitsCleanlyWithinASecondOfATerminationSignal)
{
    for (int signo : {SIGTERM, SIGINT}) {
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

    EXPECT_EQ(testsupport::ReadFile(run.data.file("Playlist/dummy.asv")), music.file("a tone.mp3") + "\r\n");
    EXPECT_NE(testsupport::ReadFile(run.data.file("confstate.ini")).find("mainwidth=330"), std::string::npos);
    // Nothing went wrong on the way.
    EXPECT_FALSE(testsupport::FileExists(run.data.file("boxes.jsonl")))
        << testsupport::ReadFile(run.data.file("boxes.jsonl"));
}
