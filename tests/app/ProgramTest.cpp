#include "support/TempDir.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <csignal>

namespace {

struct ProgramRun {
    testsupport::TempDir data;
    QProcess process;

    explicit ProgramRun(const QStringList& args = {})
    {
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
