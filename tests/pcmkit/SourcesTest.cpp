// Byte sources: memory bounds, which names go where, and downloads through
// a host that can or cannot fetch.

#include "PcmkitTest.h"

#include "Module.h"
#include "Sources.h"

#include "support/MessageBoxRecorder.h"
#include "support/TempDir.h"

#include "platform/msgbox.h"
#include "platform/winmsg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace pcmkit;
using namespace pcmkit_test;
using testsupport::TestData;

namespace {

std::string fetchedTo;
int fetchResult = 0;

int Fetch(HWND, const char* url, const char* file, const char* caption)
{
    fetchedTo = file;
    EXPECT_STREQ(url, "http://example.invalid/tone.wav");
    EXPECT_STREQ(caption, "Retrieving file");
    std::filesystem::copy_file(TestData("pcmkit/pcm16-stereo.wav"), file);
    return fetchResult;
}

// The host's plug-in window, answering the download request with answer.
struct Host {
    explicit Host(LRESULT answer)
    {
        window = platform::CreateMessageWindow([answer](HWND, UINT message, WPARAM, LPARAM lParam) -> LRESULT {
            return message == WM_USER && lParam == 240 ? answer : 0;
        });
        plugin_module().MainWindow = window;
    }
    ~Host()
    {
        plugin_module().MainWindow = nullptr;
        DestroyWindow(window);
    }
    HWND window;
};

} // namespace

TEST(Sources, MemoryReadsStopAtItsEnd)
{
    auto* buffer = static_cast<uint8_t*>(std::malloc(3));
    std::memcpy(buffer, "abc", 3);
    byte_source* s = create_memory_source(buffer, 3);
    char got[8];
    EXPECT_TRUE(source_seek(s, 10, nullptr));
    EXPECT_EQ(source_read(s, got, 8, nullptr), 0);
    EXPECT_TRUE(source_seek(s, 1, nullptr));
    EXPECT_EQ(source_read(s, got, 8, nullptr), 2);
    EXPECT_EQ(std::string(got, 2), "bc");
    EXPECT_FALSE(source_seek(s, -1, nullptr));
    source_destroy(s);
}

TEST(Sources, FileReadsAndSeeksAgreeWithTheFile)
{
    const std::string path = TestData("pcmkit/float32-stereo.wav");
    const std::string file = testsupport::ReadFile(path);
    byte_source* s = create_file_source();
    ASSERT_EQ(s->ops->open(s, path.c_str(), nullptr), 0);
    EXPECT_EQ(source_length(s), static_cast<int64_t>(file.size()));
    std::string got(100000, '\0');
    // Small reads, seeks inside and outside what was read, a read larger than the buffer.
    const std::pair<int64_t, int> steps[] = {{0, 10}, {3, 20}, {40000, 5}, {39990, 30}, {1000, 100000}, {44000, 10}};
    for (auto [position, count] : steps) {
        ASSERT_TRUE(source_seek(s, position, nullptr));
        int n = source_read_full(s, got.data(), count, nullptr);
        EXPECT_EQ(got.substr(0, static_cast<size_t>(n)),
                  file.substr(static_cast<size_t>(position), static_cast<size_t>(count)))
            << position;
    }
    EXPECT_EQ(source_read(s, got.data(), 10, nullptr), 10); // on from where the last read ended
    EXPECT_EQ(got.substr(0, 10), file.substr(44010, 10));
    source_destroy(s);
}

TEST(Sources, AddressesThatAreLocalFilesAreReadAsFiles)
{
    SettingsScope settings;
    testsupport::TempDir dir;
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    std::filesystem::copy_file(TestData("pcmkit/pcm8-mono.wav"), "http:tone.wav");
    Decoded local = DecodeFile("http:tone.wav");
    std::filesystem::current_path(cwd);
    EXPECT_TRUE(local.opened);
    EXPECT_EQ(local.format.rate, 11025);

    // Prefixes are matched exactly: an upper-case one names a (missing) file.
    testsupport::MessageBoxRecorder boxes;
    abort_flag never{false};
    open_result result;
    EXPECT_EQ(open_file("HTTP://example.invalid/tone.wav", false, &never, &result), nullptr);
    EXPECT_EQ(result, OPEN_NO_SOURCE);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(Sources, AHostThatCannotDownloadIsNamed)
{
    SettingsScope settings;
    Host host(0);
    testsupport::MessageBoxRecorder boxes;
    abort_flag never{false};
    open_result result;
    EXPECT_EQ(open_file("http://example.invalid/tone.wav", false, &never, &result), nullptr);
    EXPECT_EQ(result, OPEN_NO_SOURCE);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "URLs only supported in Tovarro 2.50+");
    EXPECT_EQ(boxes.boxes()[0].icon(), MB_ICONERROR);
    EXPECT_EQ(boxes.boxes()[0].owner, host.window);
    // The information paths stay quiet.
    EXPECT_EQ(open_file("http://example.invalid/tone.wav", true, &never, &result), nullptr);
    EXPECT_EQ(boxes.count(), 1u);
}

TEST(Sources, DownloadsGoThroughATemporaryFileThatIsRemoved)
{
    SettingsScope settings;
    Host host(reinterpret_cast<LRESULT>(&Fetch));
    fetchResult = 0;
    Decoded d = DecodeFile("http://example.invalid/tone.wav");
    EXPECT_TRUE(d.opened);
    EXPECT_EQ(d.bytes.size(), 5512u * 4);
    EXPECT_NE(fetchedTo.find("/dm"), std::string::npos);
    EXPECT_EQ(fetchedTo.substr(fetchedTo.size() - 4), ".tmp");
    EXPECT_FALSE(testsupport::FileExists(fetchedTo));

    fetchResult = 1; // the host could not fetch it
    const std::string first = fetchedTo;
    abort_flag never{false};
    open_result result;
    EXPECT_EQ(open_file("http://example.invalid/tone.wav", false, &never, &result), nullptr);
    EXPECT_EQ(result, OPEN_NO_SOURCE);
    EXPECT_NE(fetchedTo, first); // a new name each time
    EXPECT_FALSE(testsupport::FileExists(fetchedTo));
}
