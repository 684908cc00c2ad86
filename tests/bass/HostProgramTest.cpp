// The engine used by a separate C program, the way an outside host uses it:
// waiting for the channel to turn inactive must not cut its tail, and ending
// the process without BASS_Free, from any thread, must be a clean exit; and a
// host that never asks for a spectrum never maps the FFT library.
#include "EngineHarness.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace enginetest {
namespace {

struct Outcome {
    bool exited = false;
    int code = -1;
    Samples capture;
};

class HostProgramTest : public ::testing::Test {
  protected:
    void SetUp() override { WriteWav(dir_.file("tone.wav"), 44100, 2, Sine(44100, 2, 440, 1.0, 0.5)); }

    Outcome run(const char* mode)
    {
        const std::string capture = dir_.file(std::string(mode) + ".wav");
        const std::string device = "ORVELLA_AUDIO=wav:" + capture;
        const std::string tone = dir_.file("tone.wav");
        const pid_t child = fork();
        if (child == 0) {
            putenv(const_cast<char*>(device.c_str()));
            execl(HOST_PROGRAM, HOST_PROGRAM, mode, tone.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        Outcome outcome;
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                ADD_FAILURE() << mode << ": the program did not end";
                return outcome;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        outcome.exited = WIFEXITED(status);
        outcome.code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        outcome.capture = ReadCapture(capture);
        return outcome;
    }

    testsupport::TempDir dir_;
};

// Frames from the first to one past the last frame with sound.
long ToneFrames(const Samples& capture)
{
    const long first = FirstSoundFrame(capture);
    return first < 0 ? 0 : LastSoundFrame(capture) - first;
}

TEST_F(HostProgramTest, WaitingForInactiveThenFreeingKeepsTheWholeTone)
{
    const Outcome outcome = run("free");
    ASSERT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.code, 0);
    EXPECT_NEAR(ToneFrames(outcome.capture), 44100, 10);
}

TEST_F(HostProgramTest, ExitFromTheEndSyncHasTakenTheWholeTone)
{
    const Outcome outcome = run("sync");
    ASSERT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.code, 0);
    EXPECT_NEAR(ToneFrames(outcome.capture), 44100, 10);
}

TEST_F(HostProgramTest, EndingWithoutFreeWhilePlayingIsACleanExit)
{
    for (const char* mode : {"return", "thread"}) {
        SCOPED_TRACE(mode);
        const Outcome outcome = run(mode);
        ASSERT_TRUE(outcome.exited) << "killed by signal " << -outcome.code;
        EXPECT_EQ(outcome.code, 0);
        EXPECT_GT(ToneFrames(outcome.capture), 44100 / 10); // it did play before the end
    }
}

TEST_F(HostProgramTest, TheFftLibraryComesWithTheFirstSpectrum)
{
    const Outcome outcome = run("spectrum");
    ASSERT_TRUE(outcome.exited);
    // 8: mapped before; 9: no spectrum; 10: not mapped after; 11: the tone's bin is not the peak.
    EXPECT_EQ(outcome.code, 0);
}

} // namespace
} // namespace enginetest
