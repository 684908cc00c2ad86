#include "platform/process.h"

#include "support/TempDir.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using testsupport::TempDir;

namespace {

// The value of `field` in a /proc status file.
std::string statusField(const std::string& status, const std::string& field)
{
    std::istringstream lines(status);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(field + ":", 0) == 0)
            return line.substr(line.find_first_not_of(" \t", field.size() + 1));
    return {};
}

// Processes whose parent is this one, zombies included.
int childrenOfThisProcess()
{
    int children = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line) || line.rfind(')') == std::string::npos)
            continue;
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string state;
        pid_t parent = 0;
        fields >> state >> parent;
        children += parent == getpid();
    }
    return children;
}

} // namespace

TEST(StartDetached, RunsInASessionOfItsOwnWithDefaultSignalsAndLeavesNoZombie)
{
    TempDir dir;
    const std::string report = dir.file("status");
    // What a program started from here must not inherit.
    sigset_t blocked, previousMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);
    const auto previousPipe = std::signal(SIGPIPE, SIG_IGN);
    ASSERT_EQ(childrenOfThisProcess(), 0);

    // cp reports on itself: /proc/self is the program reading it.
    const bool started = platform::StartDetached("cp", {"/proc/self/status", report});
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    std::signal(SIGPIPE, previousPipe);
    ASSERT_TRUE(started);

    ASSERT_TRUE(QTest::qWaitFor([] { return childrenOfThisProcess() == 0; }, 10000))
        << "the ended program is left a zombie";
    const std::string status = testsupport::ReadFile(report);
    EXPECT_EQ(statusField(status, "NSsid"), statusField(status, "Pid"));
    const unsigned long long blockedThere = std::stoull(statusField(status, "SigBlk"), nullptr, 16);
    const unsigned long long ignoredThere = std::stoull(statusField(status, "SigIgn"), nullptr, 16);
    EXPECT_EQ(blockedThere & (1ULL << (SIGUSR1 - 1)), 0u);
    EXPECT_EQ(ignoredThere & (1ULL << (SIGPIPE - 1)), 0u);
}

TEST(StartDetached, AProgramThatIsNotThereIsAFailure)
{
    errno = 0;
    EXPECT_FALSE(platform::StartDetached("orvella-no-such-program", {}));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(platform::StartDetached("/nonexistent/folder/program", {"argument"}));
}
