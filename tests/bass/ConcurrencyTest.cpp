// Callbacks against frees, and many threads driving channels at once. Meant to
// be run under ThreadSanitizer as well.

#include "EngineHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>

using namespace enginetest;

namespace {

DWORD EndlessSilence(HSTREAM, void* buffer, DWORD length, void*)
{
    std::memset(buffer, 0, length);
    return length;
}

struct HeldDsp {
    std::mutex lock; // guards inside and freeCalled
    std::condition_variable changed;
    bool inside = false;
    bool freeCalled = false;
    std::atomic<bool> exited{false};
    std::atomic<int> calls{0};

    static void Proc(HDSP, DWORD, void*, DWORD, void* user)
    {
        auto* self = static_cast<HeldDsp*>(user);
        if (self->calls++ == 0) {
            std::unique_lock<std::mutex> hold(self->lock);
            self->inside = true;
            self->changed.notify_all();
            // Condition: the free has been called; then linger so a free that does not wait returns first.
            self->changed.wait_for(hold, std::chrono::seconds(10), [&] { return self->freeCalled; });
            hold.unlock();
            for (int i = 0; i < 20000; ++i)
                std::this_thread::yield();
        }
        self->exited = true;
    }
};

} // namespace

TEST(Concurrency, FreeWaitsForARunningDspAndStopsIt)
{
    CaptureSession session;
    HeldDsp dsp;
    const HSTREAM stream = BASS_StreamCreate(44100, 0, &EndlessSilence, nullptr);
    ASSERT_NE(BASS_ChannelSetDSP(stream, &HeldDsp::Proc, &dsp), 0u);
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    {
        std::unique_lock<std::mutex> hold(dsp.lock);
        ASSERT_TRUE(dsp.changed.wait_for(hold, std::chrono::seconds(10), [&] { return dsp.inside; }));
    }
    bool exitedAtReturn = false;
    int callsAtReturn = 0;
    std::thread freer([&] {
        {
            std::lock_guard<std::mutex> hold(dsp.lock);
            dsp.freeCalled = true;
        }
        dsp.changed.notify_all();
        EXPECT_TRUE(BASS_StreamFree(stream));
        exitedAtReturn = dsp.exited;
        callsAtReturn = dsp.calls;
    });
    freer.join();
    EXPECT_TRUE(exitedAtReturn);
    session.finish(); // joins the mixing thread: no call can be pending after this
    EXPECT_EQ(dsp.calls.load(), callsAtReturn);
}

TEST(Concurrency, CallbacksMayFreeAndRemoveOnTheirOwnChannel)
{
    CaptureSession session;
    struct State {
        std::atomic<HSTREAM> stream{0};
        std::atomic<HDSP> dsp{0};
        std::atomic<int> dspCalls{0};
        std::atomic<BOOL> freed{FALSE};
        EndWaiter end;
    } state;
    WriteWav(session.file("in.wav"), 44100, 2, Sine(44100, 2, 200, 0.1, 0.3));
    state.stream = BASS_StreamCreateFile(FALSE, session.file("in.wav").c_str(), 0, 0, 0);
    ASSERT_NE(state.stream.load(), 0u);
    state.dsp = BASS_ChannelSetDSP(
        state.stream,
        [](HDSP dsp, DWORD channel, void*, DWORD, void* user) {
            auto* s = static_cast<State*>(user);
            ++s->dspCalls;
            BASS_ChannelRemoveDSP(channel, dsp); // runs once
        },
        &state);
    BASS_ChannelSetSync(
        state.stream, BASS_SYNC_END, 0,
        [](HSYNC, DWORD channel, DWORD, void* user) {
            auto* s = static_cast<State*>(user);
            s->freed = BASS_StreamFree(channel);
            EndWaiter::Proc(0, channel, 0, &s->end);
        },
        &state);
    ASSERT_TRUE(BASS_StreamPlay(state.stream, FALSE, 0));
    ASSERT_TRUE(state.end.waitFor(1));
    EXPECT_TRUE(state.freed.load());
    EXPECT_EQ(state.dspCalls.load(), 1);
    EXPECT_EQ(BASS_ChannelIsActive(state.stream), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST(Concurrency, ManyThreadsDrivingChannels)
{
    CaptureSession session;
    WriteWav(session.file("in.wav"), 22050, 1, Sine(22050, 1, 300, 0.3, 0.3));
    const std::string wav = testsupport::ReadFile(session.file("in.wav"));
    std::atomic<int> syncs{0};
    std::atomic<bool> stop{false};

    auto worker = [&](unsigned seed) {
        std::mt19937 random(seed);
        for (int round = 0; round < 60; ++round) {
            const bool user = random() % 2;
            const HSTREAM s = user ? BASS_StreamCreate(8000 + random() % 40000, random() % 4, &EndlessSilence, nullptr)
                                   : BASS_StreamCreateFile(TRUE, wav.data(), 0, DWORD(wav.size()), 0);
            ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
            BASS_ChannelSetSync(
                s, BASS_SYNC_END, 0, [](HSYNC, DWORD, DWORD, void* u) { ++*static_cast<std::atomic<int>*>(u); },
                &syncs);
            BASS_ChannelSetDSP(
                s, [](HDSP, DWORD, void* b, DWORD n, void*) { std::memset(b, 0, n); }, nullptr);
            const HFX fx = BASS_ChannelSetFX(s, BASS_FX_ECHO + 4 * (random() % 2)); // echo or equalizer
            BASS_StreamPlay(s, random() % 2, 0);
            for (int step = 0; step < 8; ++step) {
                switch (random() % 7) {
                case 0:
                    BASS_ChannelPause(s);
                    break;
                case 1:
                    BASS_ChannelResume(s);
                    break;
                case 2:
                    BASS_ChannelSetPosition(s, (random() % 1000) * 4);
                    break;
                case 3:
                    BASS_ChannelStop(s);
                    break;
                case 4: {
                    float bins[256];
                    BASS_ChannelGetData(s, bins, BASS_DATA_FFT512);
                    break;
                }
                case 5: {
                    BASS_FXECHO e;
                    if (BASS_FXGetParameters(fx, &e))
                        BASS_FXSetParameters(fx, &e);
                    break;
                }
                default:
                    BASS_StreamPlay(s, TRUE, 0);
                    break;
                }
                BASS_ChannelGetPosition(s);
                std::this_thread::yield();
            }
            EXPECT_TRUE(BASS_StreamFree(s));
        }
    };
    std::thread volumes([&] {
        for (int v = 0; !stop; v = (v + 7) % 101)
            BASS_SetGlobalVolumes(v, v, v);
    });
    std::thread a(worker, 1), b(worker, 2), c(worker, 3);
    a.join();
    b.join();
    c.join();
    stop = true;
    volumes.join();
    session.finish();
}
