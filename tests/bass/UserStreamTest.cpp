// User streams: fed by a callback on the mixing thread.

#include "EngineHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <thread>

using namespace enginetest;

namespace {

// A producer thread's samples, handed to the stream callback. The callback
// waits for data (bounded) as a decoder's consumer would.
struct Feed {
    std::mutex lock; // guards queue and done
    std::condition_variable arrived;
    std::deque<int16_t> queue;
    bool done = false;

    static DWORD Proc(HSTREAM, void* buffer, DWORD length, void* user)
    {
        auto* self = static_cast<Feed*>(user);
        auto* out = static_cast<int16_t*>(buffer);
        const std::size_t want = length / 2;
        std::unique_lock<std::mutex> hold(self->lock);
        // Condition: enough queued, or the producer is done.
        self->arrived.wait_for(hold, std::chrono::seconds(5), [&] { return self->done || self->queue.size() >= want; });
        const std::size_t n = std::min(want, self->queue.size());
        std::copy_n(self->queue.begin(), n, out);
        self->queue.erase(self->queue.begin(), self->queue.begin() + long(n));
        return DWORD(n * 2);
    }
};

} // namespace

TEST(UserStream, FedByAThreadPlaysWithoutGapsThenEnds)
{
    CaptureSession session;
    const Samples sine = Sine(44100, 2, 441, 0.6, 0.5);
    Feed feed;
    const HSTREAM stream = BASS_StreamCreate(44100, 0, &Feed::Proc, &feed);
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(BASS_StreamGetLength(stream), -1);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    EndWaiter end;
    BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, &EndWaiter::Proc, &end);

    std::thread producer([&] {
        for (std::size_t at = 0; at < sine.size(); at += 882) { // 10 ms pieces
            {
                std::lock_guard<std::mutex> hold(feed.lock);
                feed.queue.insert(feed.queue.end(), sine.begin() + long(at),
                                  sine.begin() + long(std::min(at + 882, sine.size())));
            }
            feed.arrived.notify_all();
            std::this_thread::sleep_for(std::chrono::milliseconds(5)); // paces a decoder, not a wait
        }
        std::lock_guard<std::mutex> hold(feed.lock);
        feed.done = true;
        feed.arrived.notify_all();
    });
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    EXPECT_TRUE(end.waitFor(1));
    producer.join();
    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), int64_t(sine.size() * 2));
    const Samples out = session.finish();
    EXPECT_EQ(end.count(), 1);

    const long first = FirstSoundFrame(out);
    ASSERT_GE(first, 0);
    ASSERT_GE(out.size(), std::size_t(first - 1) * 2 + sine.size());
    // The sine starts at 0: its first sound is its second frame. Every sample
    // must follow in order, with no silence let in.
    EXPECT_TRUE(std::equal(sine.begin() + 2, sine.end(), out.begin() + first * 2));
}

namespace {

// 8-bit mono at 11025 Hz: a square wave for a given number of calls, then one
// short answer. The call named by blockCall sleeps for a second first.
struct Square {
    std::atomic<int> calls{0};
    int lastCall = 0;
    int blockCall = -1;
    std::atomic<bool> blocking{false};

    static DWORD Proc(HSTREAM, void* buffer, DWORD length, void* user)
    {
        auto* self = static_cast<Square*>(user);
        const int call = self->calls++;
        if (call == self->blockCall) {
            self->blocking = true;
            std::this_thread::sleep_for(std::chrono::seconds(1)); // the stall under test
            self->blocking = false;
        }
        auto* out = static_cast<uint8_t*>(buffer);
        for (DWORD i = 0; i < length; ++i)
            out[i] = (i / 10) % 2 ? 0xC0 : 0x40;
        return call < self->lastCall ? length : length / 2;
    }
};

} // namespace

TEST(UserStream, ShortAnswerEndsIt)
{
    CaptureSession session;
    Square square;
    square.lastCall = 20;
    const HSTREAM stream = BASS_StreamCreate(11025, BASS_SAMPLE_8BITS | BASS_SAMPLE_MONO, &Square::Proc, &square);
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(BASS_ChannelGetFlags(stream), DWORD(BASS_SAMPLE_8BITS | BASS_SAMPLE_MONO));
    EndWaiter end;
    BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, &EndWaiter::Proc, &end);
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    ASSERT_TRUE(end.waitFor(1));
    EXPECT_EQ(square.calls.load(), 21);
    const int64_t played = BASS_ChannelGetPosition(stream);
    const Samples out = session.finish();
    // 0x40 and 0xC0 are -0.5 and +0.5 of full scale.
    const long first = FirstSoundFrame(out), last = LastSoundFrame(out);
    EXPECT_NEAR(Rms(out, 0, first, last), 0.5, 0.05);
    EXPECT_NEAR(double(last - first) / 44100, double(played) / 11025, 0.002);
}

TEST(UserStream, BlockingCallbackMakesSilenceNotAStall)
{
    CaptureSession session;
    Square square;
    square.lastCall = 400;
    square.blockCall = 15;
    const HSTREAM stream = BASS_StreamCreate(11025, BASS_SAMPLE_8BITS | BASS_SAMPLE_MONO, &Square::Proc, &square);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    while (square.calls.load() <= square.blockCall) // bounded by the stream's own progress
        std::this_thread::yield();
    // While the callback blocks, the API answers.
    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_GE(BASS_ChannelGetPosition(stream), 0);
    while (square.calls.load() < square.blockCall + 30)
        std::this_thread::yield();
    ASSERT_TRUE(BASS_StreamFree(stream));
    const Samples out = session.finish();

    // Sound, then a stretch of silence of most of the second, then sound again.
    const long first = FirstSoundFrame(out);
    ASSERT_GE(first, 0);
    long longestSilence = 0, run = 0;
    for (long i = first; i < LastSoundFrame(out); ++i) {
        run = out[std::size_t(i) * 2] == 0 ? run + 1 : 0;
        longestSilence = std::max(longestSilence, run);
    }
    EXPECT_GT(longestSilence, 44100 * 8 / 10);
    EXPECT_LT(longestSilence, 44100 * 12 / 10);
}

TEST(UserStream, StopRestartsPositionAndFlushAsksAfresh)
{
    CaptureSession session;
    Square square;
    square.lastCall = 1000000;
    const HSTREAM stream = BASS_StreamCreate(11025, BASS_SAMPLE_8BITS | BASS_SAMPLE_MONO, &Square::Proc, &square);
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    while (BASS_ChannelGetPosition(stream) < 2000)
        std::this_thread::yield();
    ASSERT_TRUE(BASS_ChannelStop(stream));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0);
    EXPECT_FALSE(BASS_ChannelSetPosition(stream, 0));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, 0));
    const int callsBefore = square.calls.load();
    while (square.calls.load() < callsBefore + 3)
        std::this_thread::yield();
    EXPECT_GT(BASS_ChannelGetPosition(stream), 0);
}
