#include "OutputEmulator.h"

#include "BassBinding.h"
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

constexpr int kPrebufferRoom = 8192;                          // start early when no more room than this is left
constexpr auto kReaderWait = std::chrono::milliseconds(3000); // longest a starved reader holds the mixer

struct Emulator {
    // Guards the ring and every field down to releases. Write and Flush hold it
    // while they copy or reset; the reader holds it while it copies and lets go
    // while it waits, so the two sides never touch the ring at once.
    std::mutex lock;
    // Signalled when data arrives, the input ends, or a flush or close lets a waiting reader go.
    std::condition_variable changed;
    OutputRing ring;
    std::unique_ptr<char[]> scratch; // the reader's room for samples wider than 16 bits
    int rate = 0;
    int bits = 0;
    int channels = 0;
    int prebufferBytes = 0; // 400 ms: twice the 200-ms size
    int64_t total = 0;      // bytes written since Open or Flush
    int timeOffset = 0;     // ms: the last Flush time
    bool prebuffering = false;
    bool endOfInput = false;
    bool seekPending = false;
    uint64_t releases = 0; // bumped by Open, Flush and Close to free a waiting reader at once

    std::atomic<HSTREAM> stream{0};
    std::atomic<bool> readerBusy{false};    // the reader is copying: CanWrite answers 0
    std::atomic<bool> readerWaiting{false}; // the reader waits for data
    // The stream has ended with the input but the device is still playing its
    // last frames: set by the reader, cleared by the stream's end sync.
    std::atomic<bool> tailSounding{false};

    // Set on the user-interface thread before any plug-in runs.
    std::atomic<HWND> ownWindow{nullptr};
    std::atomic<HWND> playerWindow{nullptr};
    std::atomic<HWND> applicationWindow{nullptr};
    // The format posted with PLUGIN_OUTPUT_STARTED; written by Open and read by
    // the player, both on the user-interface thread.
    OutputFormat format{};
};

Emulator& emulator()
{
    static Emulator e;
    return e;
}

// Sample widths the stream can carry: 8 and 16 bits as they are; 24 and 32 bits
// are cut to their top 16 bits by the reader.
bool playableFormat(int bits, int channels)
{
    return (bits == 8 || bits == 16 || bits == 24 || bits == 32) && (channels == 1 || channels == 2);
}

int streamSampleBytes(int bits)
{
    return bits == 8 ? 1 : 2;
}

// Caller holds the lock.
int64_t bytesPerSecond(const Emulator& e, int sampleBytes)
{
    return int64_t(sampleBytes) * e.rate * e.channels;
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
        std::lock_guard hold(e.lock);
        e.endOfInput = true;
    }
        notifyReader(e);
        PostMessage(e.playerWindow.load(), PLUGIN_EOF, 0, 0);
        return 0;
    case PLUGIN_OUTPUT_STARTED:
        // Write names the stream it filled; a stream closed meanwhile is not started.
        if (wParam != 0 && wParam == e.stream.load()) {
            Bass().BASS_StreamPlay(HSTREAM(wParam), FALSE, 0);
            PostMessage(e.playerWindow.load(), PLUGIN_OUTPUT_STARTED, 0, lParam);
        }
        return 0;
    case CLEAR_CURRENT_PLUGIN:
        ClearCurrentPlugin();
        return 0;
    default:
        return 0; // the download-function request (WM_USER, lParam 240) included: none here
    }
}

// The device has taken the stream's last frame (mixing thread).
void StreamEnded(HSYNC, DWORD, DWORD, void*)
{
    emulator().tailSounding = false;
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
    e.tailSounding = false;
}

int OutOpen(int sampleRate, int channels, int bitsPerSample, int, int)
{
    Emulator& e = emulator();
    if (!e.ownWindow.load())
        return -1;
    OutClose(); // a plug-in that opens twice does not leave a stream playing
    HSTREAM stream = 0;
    if (playableFormat(bitsPerSample, channels) && sampleRate > 0) {
        const DWORD flags = (bitsPerSample == 8 ? BASS_SAMPLE_8BITS : 0) | (channels == 1 ? BASS_SAMPLE_MONO : 0);
        stream = Bass().BASS_StreamCreate(DWORD(sampleRate), flags, OutputReader, nullptr);
        if (stream)
            Bass().BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, StreamEnded, nullptr);
    }
    {
        std::lock_guard hold(e.lock);
        if (stream) {
            e.rate = sampleRate;
            e.bits = bitsPerSample;
            e.channels = channels;
            e.prebufferBytes = int(bytesPerSecond(e, bitsPerSample / 8) * 2 / 10) * 2;
            e.timeOffset = 0;
        }
        e.ring.Clear();
        e.total = 0;
        e.endOfInput = false;
        e.seekPending = false;
        e.prebuffering = true;
        ++e.releases;
    }
    e.stream = stream;
    if (!stream)
        return -1;
    e.format = OutputFormat{uint16_t(bitsPerSample), uint32_t(sampleRate), uint16_t(channels)};
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
            // A write of nothing marks the end of the data.
            e.endOfInput = length == 0;
        }
        if (e.prebuffering) {
            const int filled = e.ring.Filled();
            // Sound starts with 400 ms buffered, when the ring is nearly full, or
            // at the end of a stream shorter than that.
            const bool endOfShortStream = written && length == 0 && filled > 0;
            if (endOfShortStream || e.ring.Free() <= kPrebufferRoom || filled >= e.prebufferBytes) {
                e.prebuffering = false;
                start = true;
            }
        }
        stream = e.stream.load();
    }
    if (written)
        notifyReader(e);
    else if (valid)
        MessageBox(e.applicationWindow.load(), "Write error : No Space", "Error", MB_OKCANCEL);
    if (start && stream)
        PostMessage(e.ownWindow.load(), PLUGIN_OUTPUT_STARTED, stream, reinterpret_cast<LPARAM>(&e.format));
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
    // Paused audio, audio not yet started and the last frames on their way
    // through the device are all still to be heard: the plug-in waits for them
    // before it reports the end of its stream.
    const DWORD state = Bass().BASS_ChannelIsActive(stream);
    if (state == BASS_ACTIVE_PLAYING || state == BASS_ACTIVE_PAUSED || e.tailSounding)
        return 1;
    std::lock_guard hold(e.lock);
    const int frame = (e.bits / 8) * e.channels;
    return frame > 0 && e.ring.Filled() >= frame ? 1 : 0;
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
        if (state == BASS_ACTIVE_PLAYING)
            e.prebuffering = true; // restarted by the next PLUGIN_OUTPUT_STARTED
        e.timeOffset = timeMs;
        e.ring.Clear();
        e.total = 0;
        e.seekPending = false;
        e.endOfInput = false; // a seek after the end of the data leaves the end
        ++e.releases;
    }
    e.tailSounding = false;
    notifyReader(e);
}

int OutGetOutputTime()
{
    Emulator& e = emulator();
    const HSTREAM stream = e.stream.load();
    const int64_t position = stream ? Bass().BASS_ChannelGetPosition(stream) : 0;
    std::lock_guard hold(e.lock);
    return msOf(position, bytesPerSecond(e, streamSampleBytes(e.bits)), e.timeOffset);
}

int OutGetWrittenTime()
{
    Emulator& e = emulator();
    std::lock_guard hold(e.lock);
    return msOf(e.total, bytesPerSecond(e, e.bits / 8), e.timeOffset);
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
    return msOf(OutputRing::kSize, bytesPerSecond(e, e.bits / 8), 0);
}

DWORD OutputReader(HSTREAM, void* buffer, DWORD length, void*)
{
    Emulator& e = emulator();
    std::unique_lock hold(e.lock);
    const int inSample = e.bits / 8;
    const int outSample = streamSampleBytes(e.bits);
    const int inFrame = inSample * e.channels;
    const int outFrame = outSample * e.channels;
    if (inFrame <= 0 || !e.ring.Allocated())
        return 0;
    const int64_t frames = length / DWORD(outFrame);
    const int wanted = int(std::min<int64_t>(frames * inFrame, OutputRing::kSize - 1));
    const uint64_t releases = e.releases;
    e.readerWaiting = true;
    // Condition: the bytes asked for are there, the input has ended, or a flush or close lets the reader go.
    e.changed.wait_for(hold, kReaderWait,
                       [&] { return e.endOfInput || e.ring.Filled() >= wanted || e.releases != releases; });
    e.readerWaiting = false;
    const bool released = e.releases != releases;

    e.readerBusy = true;
    int take = std::min(wanted, e.ring.Filled());
    take -= take % inFrame;
    int made;
    if (inSample == outSample) {
        made = e.ring.Take(static_cast<char*>(buffer), take);
    } else {
        // Wider samples keep their top 16 bits (little-endian: the last two bytes of each).
        const int got = e.ring.Take(e.scratch.get(), take);
        auto* out = static_cast<char*>(buffer);
        for (int i = 0; i < got / inSample; ++i)
            std::memcpy(out + i * 2, e.scratch.get() + i * inSample + inSample - 2, 2);
        made = got / inSample * 2;
    }
    e.readerBusy = false;

    // A stream that returns short ends; a plug-in that is merely slow gets
    // silence meanwhile, so its stream stalls instead of ending.
    if (made < int(frames * outFrame) && !released) {
        if (e.endOfInput) {
            e.tailSounding = true;
        } else {
            std::memset(static_cast<char*>(buffer) + made, outSample == 1 ? 0x80 : 0, frames * outFrame - made);
            made = int(frames * outFrame);
        }
    }
    return DWORD(made);
}

bool OutputReaderWaiting()
{
    return emulator().readerWaiting.load();
}

} // namespace player
