// The plug-ins' shared decode thread with a scripted source: a seek asked for
// while the source cannot seek waits for it instead of being dropped, and a
// full output is asked for room as often as what it holds calls for.

#include "PcmkitTest.h"

#include "plugins/common/StreamPlayback.h"

#include "platform/winmsg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

using pcmkit_test::TestHost;

namespace {

// One second of 8 kHz mono 16-bit silence; seekable only once allowed.
class SilenceSource final : public plugin::PcmSource {
  public:
    explicit SilenceSource(std::atomic<bool>& seekable) : seekable_(seekable) {}
    int read(void* out, int bytes) override
    {
        const int n = std::min(bytes, kBytes - position_);
        std::memset(out, 0, std::size_t(n));
        position_ += n;
        return n;
    }
    bool canSeek() override { return seekable_; }
    int32_t seek(int32_t ms) override
    {
        position_ = ms * 16;
        return ms;
    }

  private:
    static constexpr int kBytes = 16000;
    std::atomic<bool>& seekable_;
    int position_ = 0;
};

// A module record on the test host, playing SilenceSource.
class StreamPlayback : public ::testing::Test {
  protected:
    int startSilence()
    {
        return playback.start(std::make_unique<SilenceSource>(seekable), {.rate = 8000, .channels = 1});
    }

    std::atomic<bool> seekable{false}; // outlives the playback, whose source reads it
    TInModule record{};
    TestHost host;
    plugin::StreamPlayback playback{attached()};

  private:
    TInModule& attached()
    {
        host.attach(record);
        return record;
    }
};

} // namespace

TEST_F(StreamPlayback, ASeekWaitsUntilTheSourceCanSeek)
{
    host.room = 0; // nothing is written meanwhile
    ASSERT_EQ(startSilence(), 0);
    playback.seek(500);
    EXPECT_FALSE(platform::PumpWait(20, 5, [&] { return !host.flushes().empty(); }));
    seekable = true;
    ASSERT_TRUE(platform::PumpWait(200, 5, [&] { return !host.flushes().empty(); }));
    EXPECT_EQ(host.flushes(), std::vector<int>{500});
    host.room = 1 << 24;
    ASSERT_TRUE(host.waitForEof());
    EXPECT_EQ(host.written().size(), 8000u); // the second half
    EXPECT_TRUE(playback.stop());
}

TEST_F(StreamPlayback, AFullOutputIsAskedForRoomAsOftenAsWhatItHoldsCallsFor)
{
    seekable = true;
    host.room = 0;
    ASSERT_EQ(startSilence(), 0);
    const auto callsInASecond = [&] {
        const int before = host.outputCalls;
        std::this_thread::sleep_for(std::chrono::seconds(1));
        return host.outputCalls - before;
    };
    // Two seconds still to sound: no need to ask fifty times a second.
    host.lag = 2000;
    EXPECT_LE(callsInASecond(), 15);
    // Nothing left to sound: asked again soon, so the output does not run dry.
    host.lag = 0;
    EXPECT_GE(callsInASecond(), 20);
    // Paused: nothing is asked until it goes on.
    host.lag = 2000;
    playback.pause(true);
    EXPECT_LE(callsInASecond(), 2);
    playback.pause(false);
    EXPECT_GE(callsInASecond(), 5);
    // The whole of it is still written.
    host.room = 1 << 24;
    ASSERT_TRUE(host.waitForEof());
    EXPECT_EQ(host.written().size(), 16000u);
    EXPECT_TRUE(playback.stop());
}
