#include "platform/dynlib.h"
#include "platform/folders.h"
#include "platform/text.h"

#include "support/TempDir.h"

#include <QString>
#include <QUrl>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern "C" int platform_c_headers_check(const char* ini);

TEST(DynamicLibraries, LoadLookUpAndReportFailures)
{
    platform::DynamicLibrary lib;
    EXPECT_FALSE(lib.open("/nonexistent/libnothing.so"));
    EXPECT_NE(lib.error().find("libnothing"), std::string::npos);

    ASSERT_TRUE(lib.open(platform::ProgramFolder() + "libplatform.so")) << lib.error();
    EXPECT_NE(lib.symbol("PostMessage"), nullptr);
    EXPECT_EQ(lib.symbol("NoSuchFunction"), nullptr);
    EXPECT_NE(std::string(GetLoadLibraryError()).find("NoSuchFunction"), std::string::npos);
    EXPECT_TRUE(lib.close());
    EXPECT_FALSE(FreeLibrary(nullptr));
}

TEST(Folders, ProgramAndDataFolders)
{
    EXPECT_EQ(platform::ProgramFolder(), std::string(ORVELLA_PROGRAM_DIR));
    EXPECT_EQ(platform::ProgramPath().substr(0, 1), "/");

    testsupport::TempDir dir;
    setenv("ORVELLA_DATA_DIR", (dir.path() + "data").c_str(), 1);
    EXPECT_EQ(platform::DataFolder(), dir.path() + "data/");
    EXPECT_TRUE(testsupport::FileExists(dir.path() + "data"));
    unsetenv("ORVELLA_DATA_DIR");

    EXPECT_EQ(platform::DataFolder(), std::string(ORVELLA_PROGRAM_DIR)); // the build folder is writable
    EXPECT_TRUE(platform::EnsureFolder(dir.path() + "a/b/c"));
}

TEST(Folders, AnUnwritableProgramFolderMovesTheDataToTheUserConfiguration)
{
    const char* candidates[] = {"/proc/self/", "/sys/"};
    std::string readOnly;
    for (const char* c : candidates)
        if (::access(c, W_OK) != 0)
            readOnly = c;
    if (readOnly.empty())
        GTEST_SKIP() << "no folder here is read-only for this user";
    testsupport::TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    platform::SetProgramFolder(readOnly);
    std::string data = platform::DataFolder();
    platform::SetProgramFolder(ORVELLA_PROGRAM_DIR);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(data, dir.path() + "orvella/");
    EXPECT_TRUE(testsupport::FileExists(data));
}

TEST(Text, InvalidUtf8IsShownAsLatin1AndJsonEscapesControls)
{
    EXPECT_TRUE(platform::IsValidUtf8("Bj\xC3\xB6rk"));
    EXPECT_FALSE(platform::IsValidUtf8("Bj\xF6rk"));
    EXPECT_FALSE(platform::IsValidUtf8("\xC0\xAF"));     // overlong
    EXPECT_FALSE(platform::IsValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_FALSE(platform::IsValidUtf8("\xE2\x82"));     // cut short
    EXPECT_EQ(platform::DisplayString("Bj\xF6rk"), QString::fromUtf8("Bj\xC3\xB6rk"));
    EXPECT_EQ(platform::JsonString(std::string("a\0\"\\\xE9", 5)), "\"a\\u0000\\\"\\\\\xC3\xA9\"");
}

TEST(Text, FileNamesKeepEveryByteThroughQtStrings)
{
    using platform::PathBytes;
    using platform::PathString;
    std::vector<std::string> names = {
        "/m/caf\xE9.mp3",              // Latin-1
        "/m/\xC3",                     // cut short at the end
        "/m/\xE2\x82.ogg",             // cut short inside
        "/m/\xED\xA0\x80.wav",         // an encoded surrogate
        "/m/\xC0\xAF.wav",             // overlong
        "/m/\xF0\x9F\x8E\xB5\xFF.mp3", // a valid four-byte character, then a stray byte
        "/m/Bj\xC3\xB6rk.mp3",         // UTF-8
    };
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        names.push_back(std::string("x") + char(byte) + "y");
    for (const std::string& name : names)
        EXPECT_EQ(PathBytes(PathString(name)), name) << name;
    EXPECT_EQ(PathString("/m/Bj\xC3\xB6rk.mp3"), QString::fromUtf8("/m/Bj\xC3\xB6rk.mp3"));
    // A character whose low half looks like a kept byte is still a character.
    EXPECT_EQ(PathBytes(QString::fromUtf8("\xF0\x90\x82\x80")), "\xF0\x90\x82\x80");

    // file: addresses, whose escapes are bytes.
    const QString latin1 = PathString("/m/caf\xE9 1.mp3");
    EXPECT_EQ(platform::UrlOfLocalFile(latin1).toString(QUrl::FullyEncoded), "file:///m/caf%E9%201.mp3");
    EXPECT_EQ(PathBytes(platform::LocalFileOfUrl(QUrl("file:///m/caf%E9%201.mp3"))), "/m/caf\xE9 1.mp3");
    EXPECT_EQ(platform::LocalFileOfUrl(QUrl("file:///m/Caf%C3%A9.mp3")), QString::fromUtf8("/m/Caf\xC3\xA9.mp3"));
    EXPECT_EQ(platform::LocalFileOfUrl(QUrl("https://example.org/a.mp3")), QString());

    // A relative name, against a current folder whose own name is not UTF-8.
    testsupport::TempDir dir;
    const std::string folder = dir.file("d\xE9j\xE0");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    char before[PATH_MAX];
    ASSERT_NE(::getcwd(before, sizeof before), nullptr);
    ASSERT_EQ(::chdir(folder.c_str()), 0);
    const std::string absolute = PathBytes(platform::AbsolutePath(PathString("sub/../\xE9t\xE9.mp3")));
    ASSERT_EQ(::chdir(before), 0);
    EXPECT_EQ(absolute, folder + "/\xE9t\xE9.mp3");
    EXPECT_EQ(platform::AbsolutePath("/a/./b/../c.mp3"), "/a/c.mp3");
}

TEST(CHeaders, CompileAndWorkFromC)
{
    testsupport::TempDir dir;
    EXPECT_EQ(platform_c_headers_check(dir.file("x.ini").c_str()), 7);
}

// In a child without the right to raise priorities: a refused raise takes the
// best value allowed and says it failed; only a priority that was set succeeds.
TEST(ThreadPriority, ARefusedRaiseFallsBackToTheBestAllowedAndReportsFailure)
{
    const pid_t child = fork();
    if (child == 0) {
        // Where the hard limit may be raised, nice values down to -5 are allowed later.
        rlimit limit{0, 25};
        const bool someAllowed = setrlimit(RLIMIT_NICE, &limit) == 0;
        limit.rlim_max = someAllowed ? 25 : 0;
        if (setrlimit(RLIMIT_NICE, &limit) != 0 || (getuid() == 0 && setuid(65534) != 0))
            _exit(10);
        const auto nice = [] { return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); };
        if (!SetCurrentThreadPriority(THREAD_PRIORITY_LOWEST) || nice() != 10)
            _exit(11);
        if (SetCurrentThreadPriority(THREAD_PRIORITY_HIGHEST) || nice() != 10)
            _exit(12); // no lowering allowed at all: stays where it was
        if (!someAllowed)
            _exit(0);
        limit.rlim_cur = 25;
        if (setrlimit(RLIMIT_NICE, &limit) != 0)
            _exit(13);
        if (SetCurrentThreadPriority(THREAD_PRIORITY_HIGHEST) || nice() != -5)
            _exit(14);
        _exit(SetCurrentThreadPriority(THREAD_PRIORITY_ABOVE_NORMAL) && nice() == -5 ? 0 : 15);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "step that failed";
}
