#include "OutputEmulator.h"

#include "BassBinding.h"
#include "OutputConversion.h"
#include "OutputRing.h"
#include "PluginHost.h"

#include "fileinfo/Rounding.h"
#include "platform/msgbox.h"
#include "platform/winmsg.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace player {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPrebufferRoom = 8192; // start early when no more room than this is left
// Longest a starved reader holds the mixing thread: less than the engine keeps
// queued ahead, so a plug-in that is a little late costs no gap.
constexpr auto kReaderWait = std::chrono::milliseconds(100);
// A drained ring with no input for this long is the end of the stream, whatever
// the plug-in said (or did not say) about it.
constexpr auto kInputIdle = std::chrono::milliseconds(500);
// The emulator's own message: show the full-ring box on the user-interface
// thread, never on the plug-in's decode thread, which must not block on it.
constexpr UINT kShowNoSpaceBox = WM_USER + 300;

struct Emulator {
    // Guards the ring and every field down to releases. Write and Flush hold it
    // while they copy or reset; the reader holds it while it copies and lets go
    // while it waits, so the two sides never touch the ring at once.
    std::mutex lock;
    // Signalled when data arrives, the input ends, or a flush or close lets a waiting reader go.
    std::condition_variable changed;
    OutputRing ring;
    std::unique_ptr<char[]> scratch; // the reader's room for samples it converts
    int rate = 0;
    PcmLayout layout;       // as the plug-in writes
    int prebufferBytes = 0; // 400 ms: twice the 200-ms size
    int64_t total = 0;      // bytes written since Open or Flush
    int timeOffset = 0;     // ms: the last Flush time
    bool prebuffering = false;
    bool seekPending = false;
    // How the input ends: PLUGIN_EOF is final; an empty Write, or the plug-in
    // asking IsPlaying, says it has nothing more for now (the next data takes
    // that back); and a drained ring without input for kInputIdle ends it too.
    bool endOfInput = false;
    bool inputPaused = false;
    Clock::time_point lastInput{};
    uint64_t releases = 0; // bumped by Open, Flush and Close to free a waiting reader at once

    std::atomic<HSTREAM> stream{0};
    std::atomic<bool> readerBusy{false};    // the reader is copying: CanWrite answers 0
    std::atomic<bool> readerWaiting{false}; // the reader waits for data

    // Set on the user-interface thread before any plug-in runs.
    std::atomic<HWND> ownWindow{nullptr};
    std::atomic<HWND> playerWindow{nullptr};
    std::atomic<HWND> applicationWindow{nullptr};
    // The format posted with PLUGIN_OUTPUT_STARTED; filled from the open stream's
    // format when the start is relayed and read by the player, both on the
    // user-interface thread (a plug-in may open its output from its own thread).
    OutputFormat format{};
};

Emulator& emulator()
{
    static Emulator e;
    return e;
}

// Caller holds the lock.
int64_t writtenBytesPerSecond(const Emulator& e)
{
    return int64_t(e.layout.frameBytes()) * e.rate;
}

int64_t streamBytesPerSecond(const Emulator& e)
{
    return int64_t(e.layout.streamSampleBytes()) * e.layout.streamChannels() * e.rate;
}

// Caller holds the lock.
bool inputStopped(const Emulator& e)
{
    return e.endOfInput || e.inputPaused || Clock::now() - e.lastInput >= kInputIdle;
}

// Sound starts once 400 ms are buffered, when the ring is nearly full, or when
// the plug-in has nothing more for now. Caller holds the lock; true: post the start.
bool prebufferDone(Emulator& e)
{
    if (!e.prebuffering || e.ring.Filled() < e.layout.frameBytes())
        return false;
    if (e.ring.Free() <= kPrebufferRoom || e.ring.Filled() >= e.prebufferBytes || e.endOfInput || e.inputPaused) {
        e.prebuffering = false;
        return true;
    }
    return false;
}

void postStart(const Emulator& e, HSTREAM stream)
{
    if (stream)
        PostMessage(e.ownWindow.load(), PLUGIN_OUTPUT_STARTED, stream, reinterpret_cast<LPARAM>(&e.format));
}

int msOf(int64_t bytes, int64_t perSecond, int offset)
{
    if (perSecond <= 0)
        return offset;
    return static_cast<int>(fileinfo::RoundHalfEven(double(std::max<int64_t>(bytes, 0)) * 1000.0 / double(perSecond))) +
           offset;
}

void notifyReader(Emulator& e)
{
    e.changed.notify_all();
}

LRESULT handleMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    Emulator& e = emulator();
    switch (message) {
    case WM_QUERYENDSESSION:
        return 1;
    case PLUGIN_EOF: {
        bool start;
        {
            std::lock_guard hold(e.lock);
            e.endOfInput = true;
            start = prebufferDone(e);
        }
        notifyReader(e);
        // What is still buffered plays before the player hears of the end.
        if (start && e.stream.load())
            handleMessage(nullptr, PLUGIN_OUTPUT_STARTED, e.stream.load(), reinterpret_cast<LPARAM>(&e.format));
        PostMessage(e.playerWindow.load(), PLUGIN_EOF, 0, 0);
        return 0;
    }
    case PLUGIN_OUTPUT_STARTED:
        // Write names the stream it filled; a stream closed meanwhile is not started.
        if (wParam != 0 && wParam == e.stream.load()) {
            {
                std::lock_guard hold(e.lock);
                e.format = OutputFormat{uint16_t(e.layout.bits), uint32_t(e.rate), uint16_t(e.layout.channels)};
            }
            Bass().BASS_StreamPlay(HSTREAM(wParam), FALSE, 0);
            PostMessage(e.playerWindow.load(), PLUGIN_OUTPUT_STARTED, 0, lParam);
        }
        return 0;
    case CLEAR_CURRENT_PLUGIN:
        ClearCurrentPlugin();
        return 0;
    case kShowNoSpaceBox:
        MessageBox(e.applicationWindow.load(), "Write error : No Space", "Error", MB_OKCANCEL);
        return 0;
    default:
        return 0; // the download-function request (WM_USER, lParam 240) included: none here
    }
}

// --- TOutModule --------------------------------------------------------------

void OutConfig(HWND)
{
    MessageBox(emulator().applicationWindow.load(), "No configuration is needed.", "Confirm", MB_OK);
}

void OutAbout(HWND)
{
    MessageBox(emulator().applicationWindow.load(), "This is a Tovarro output plug-in emulator using BASS", "Confirm",
               MB_OK);
}

void OutInit()
{
    Emulator& e = emulator();
    if (!e.ownWindow.load())
        e.ownWindow = platform::CreateMessageWindow(handleMessage);
}

void OutQuit()
{
    Emulator& e = emulator();
    if (HWND window = e.ownWindow.exchange(nullptr))
        DestroyWindow(window);
}

void OutClose()
{
    Emulator& e = emulator();
    const HSTREAM stream = e.stream.load();
    if (!stream)
        return;
    // Stopped first, so the mixer asks the reader no more; then a reader still
    // waiting is let go, and the free does not wait out its 3 s.
    Bass().BASS_ChannelStop(stream);
    {
        std::lock_guard hold(e.lock);
        ++e.releases;
    }
    notifyReader(e);
    Bass().BASS_StreamFree(stream);
    e.stream = 0;
}

int OutOpen(int sampleRate, int channels, int bitsPerSample, int, int)
{
    Emulator& e = emulator();
    if (!e.ownWindow.load())
        return -1;
    OutClose(); // a plug-in that opens twice does not leave a stream playing
    HSTREAM stream = 0;
    const PcmLayout layout{bitsPerSample, channels};
    if (layout.playable() && sampleRate > 0) {
        const DWORD flags = (layout.streamSampleBytes() == 1 ? BASS_SAMPLE_8BITS : 0) |
                            (layout.streamChannels() == 1 ? BASS_SAMPLE_MONO : 0);
        stream = Bass().BASS_StreamCreate(DWORD(sampleRate), flags, OutputReader, nullptr);
    }
    {
        std::lock_guard hold(e.lock);
        if (stream) {
            e.rate = sampleRate;
            e.layout = layout;
            e.prebufferBytes = int(writtenBytesPerSecond(e) * 2 / 10) * 2;
            e.timeOffset = 0;
        }
        e.ring.Clear();
        e.total = 0;
        e.endOfInput = false;
        e.inputPaused = false;
        e.lastInput = Clock::now();
        e.seekPending = false;
        e.prebuffering = true;
        ++e.releases;
    }
    e.stream = stream;
    if (!stream)
        return -1;
    PostMessage(e.playerWindow.load(), PLUGIN_CHANNEL, stream, 0);
    return 0;
}

int OutWrite(const char* buffer, int length)
{
    Emulator& e = emulator();
    const bool valid = length >= 0 && (buffer || length == 0);
    bool written = false;
    bool start = false;
    HSTREAM stream;
    {
        std::lock_guard hold(e.lock);
        written = valid && e.ring.Put(buffer, length);
        if (written) {
            e.total += length;
            // A write of nothing: no more data for now, perhaps the end.
            e.inputPaused = length == 0;
            if (length > 0)
                e.lastInput = Clock::now();
        }
        start = prebufferDone(e);
        stream = e.stream.load();
    }
    if (written)
        notifyReader(e);
    else if (valid)
        PostMessage(e.ownWindow.load(), kShowNoSpaceBox, 0, 0);
    if (start)
        postStart(e, stream);
    return written ? 0 : 1;
}

int OutCanWrite()
{
    Emulator& e = emulator();
    if (e.readerBusy.load())
        return 0;
    std::lock_guard hold(e.lock);
    return e.ring.Allocated() ? e.ring.Free() - 1 : 0;
}

int OutIsPlaying()
{
    Emulator& e = emulator();
    const HSTREAM stream = e.stream.load();
    if (!stream)
        return 0;
    // A plug-in that asks has nothing more to write for now: a stream shorter
    // than the pre-buffer starts, and a drained ring ends the stream.
    bool start;
    bool buffered;
    {
        std::lock_guard hold(e.lock);
        e.inputPaused = true;
        start = prebufferDone(e);
        buffered = e.ring.Filled() >= e.layout.frameBytes();
    }
    notifyReader(e);
    if (start)
        postStart(e, stream);
    // Sound still to be heard: in the ring, paused, or on its way through the
    // engine and the device (the channel stays active until the device has
    // taken its last frame).
    const DWORD state = Bass().BASS_ChannelIsActive(stream);
    return buffered || state == BASS_ACTIVE_PLAYING || state == BASS_ACTIVE_PAUSED ? 1 : 0;
}

int OutPause(int pause)
{
    const HSTREAM stream = emulator().stream.load();
    if (!stream)
        return 0;
    const bool wasPaused = Bass().BASS_ChannelIsActive(stream) == BASS_ACTIVE_PAUSED;
    if (!pause && wasPaused)
        Bass().BASS_ChannelResume(stream);
    else if (!pause)
        Bass().BASS_StreamPlay(stream, TRUE, 0);
    else if (!wasPaused)
        Bass().BASS_ChannelPause(stream);
    return wasPaused ? 1 : 0;
}

void OutSetVolume(int volume)
{
    int v = static_cast<int>(fileinfo::RoundHalfEven(volume * 100.0 / 255.0));
    if (v < 0)
        v = 99; // "keep the volume" from plug-ins that pass -666
    Bass().BASS_SetGlobalVolumes(std::min(v, 100), std::min(v, 100), std::min(v, 100));
}

void OutSetPan(int pan)
{
    const HSTREAM stream = emulator().stream.load();
    if (!stream)
        return;
    const int p = static_cast<int>(fileinfo::RoundHalfEven(std::clamp(pan, -128, 127) * 0.78125));
    Bass().BASS_ChannelSetAttributes(stream, -1, -1, p);
}

void OutFlush(int timeMs)
{
    Emulator& e = emulator();
    const HSTREAM stream = e.stream.load();
    const DWORD state = stream ? Bass().BASS_ChannelIsActive(stream) : DWORD(BASS_ACTIVE_STOPPED);
    {
        std::lock_guard hold(e.lock);
        if (state == BASS_ACTIVE_PAUSED && !e.seekPending)
            return;
    }
    // Stopped before the reset: whatever the reader hands over now is dropped.
    if (stream)
        Bass().BASS_ChannelStop(stream);
    {
        std::lock_guard hold(e.lock);
        // Restarted by the next PLUGIN_OUTPUT_STARTED, also when the stream ran
        // dry before the seek; a paused one is restarted by its resume.
        if (state != BASS_ACTIVE_PAUSED)
            e.prebuffering = true;
        e.timeOffset = timeMs;
        e.ring.Clear();
        e.total = 0;
        e.seekPending = false;
        e.endOfInput = false; // a seek after the end of the data leaves the end
        e.inputPaused = false;
        e.lastInput = Clock::now();
        ++e.releases;
    }
    notifyReader(e);
}

int OutGetOutputTime()
{
    Emulator& e = emulator();
    const HSTREAM stream = e.stream.load();
    const int64_t position = stream ? Bass().BASS_ChannelGetPosition(stream) : 0;
    std::lock_guard hold(e.lock);
    return msOf(position, streamBytesPerSecond(e), e.timeOffset);
}

int OutGetWrittenTime()
{
    Emulator& e = emulator();
    std::lock_guard hold(e.lock);
    return msOf(e.total, writtenBytesPerSecond(e), e.timeOffset);
}

char gDescription[] = "BASS Tovarro output plug-in emulator";

TOutModule gModule = {
    .Version = OUT_MODULE_VERSION,
    .Description = gDescription,
    .ID = OUT_MODULE_ID,
    .MainWindow = nullptr, // the application window, set by SetOutputWindows
    .DLLInstance = nullptr,
    .Config = OutConfig,
    .About = OutAbout,
    .Init = OutInit,
    .Quit = OutQuit,
    .Open = OutOpen,
    .Close = OutClose,
    .Write = OutWrite,
    .CanWrite = OutCanWrite,
    .IsPlaying = OutIsPlaying,
    .Pause = OutPause,
    .SetVolume = OutSetVolume,
    .SetPan = OutSetPan,
    .Flush = OutFlush,
    .GetOutputTime = OutGetOutputTime,
    .GetWrittenTime = OutGetWrittenTime,
};

} // namespace

TOutModule* OutputModule()
{
    return &gModule;
}

bool AllocateOutputRing()
{
    Emulator& e = emulator();
    std::lock_guard hold(e.lock);
    if (!e.scratch)
        e.scratch.reset(new (std::nothrow) char[OutputRing::kSize]);
    return e.scratch && e.ring.Allocate();
}

void FreeOutputRing()
{
    Emulator& e = emulator();
    std::lock_guard hold(e.lock);
    e.ring.Release();
    e.scratch.reset();
}

void SetOutputWindows(HWND playerWindow, HWND applicationWindow)
{
    Emulator& e = emulator();
    e.playerWindow = playerWindow;
    e.applicationWindow = applicationWindow;
    gModule.MainWindow = applicationWindow;
}

HWND OutputMessageWindow()
{
    return emulator().ownWindow.load();
}

int OutputTime()
{
    return OutGetOutputTime();
}

void SetOutputSeekPending()
{
    Emulator& e = emulator();
    std::lock_guard hold(e.lock);
    e.seekPending = true;
}

int OutputRingMs()
{
    Emulator& e = emulator();
    std::lock_guard hold(e.lock);
    return msOf(OutputRing::kSize, writtenBytesPerSecond(e), 0);
}

DWORD OutputReader(HSTREAM, void* buffer, DWORD length, void*)
{
    Emulator& e = emulator();
    std::unique_lock hold(e.lock);
    const PcmLayout& in = e.layout;
    const int inFrame = in.frameBytes();
    const int outFrame = in.streamSampleBytes() * in.streamChannels();
    if (inFrame <= 0 || !e.ring.Allocated())
        return 0;
    const int frames = int(std::min<int64_t>(length / DWORD(outFrame), (OutputRing::kSize - 1) / inFrame));
    const int wanted = frames * inFrame;
    const uint64_t releases = e.releases;
    if (e.ring.Filled() < wanted && !inputStopped(e)) {
        e.readerWaiting = true;
        // Condition: the bytes asked for are there, the input has stopped, or a flush or close lets the reader go.
        e.changed.wait_for(hold, kReaderWait, [&] {
            return e.endOfInput || e.inputPaused || e.ring.Filled() >= wanted || e.releases != releases;
        });
        e.readerWaiting = false;
    }
    const bool released = e.releases != releases;

    e.readerBusy = true;
    int take = std::min(wanted, e.ring.Filled());
    take -= take % inFrame;
    int made;
    if (in.passesThrough()) {
        made = e.ring.Take(static_cast<char*>(buffer), take);
    } else {
        const int got = e.ring.Take(e.scratch.get(), take);
        ConvertFrames(e.scratch.get(), got / inFrame, in, static_cast<short*>(buffer));
        made = got / inFrame * outFrame;
    }
    e.readerBusy = false;

    // A stream that returns short ends: once the input has stopped and the ring
    // is drained; the engine then plays out what it has and the stream turns
    // inactive. More data later starts it again. A plug-in that is merely slow
    // gets silence meanwhile, so its stream stalls instead of ending.
    if (made < frames * outFrame && !released) {
        if (inputStopped(e)) {
            e.prebuffering = true;
        } else {
            std::memset(static_cast<char*>(buffer) + made, in.streamSampleBytes() == 1 ? 0x80 : 0,
                        std::size_t(frames * outFrame - made));
            made = frames * outFrame;
        }
    }
    return DWORD(made);
}

bool OutputReaderWaiting()
{
    return emulator().readerWaiting.load();
}

} // namespace player
