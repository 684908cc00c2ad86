// in_testtone: an input plug-in for the player's tests. It plays TONE files
// (key=value lines describing a sine: frequency, length in ms, rate,
// channels (1 to 8), bits (8 to 32), amplitude, title; stall=1 for a plug-in
// that never writes; strict=1 for one that never writes an empty block;
// reopen=MS for one that opens its output again after MS ms) and canonical
// 16-bit PCM WAV files. It decodes on its own thread into the host's output
// module as a real plug-in does: CanWrite/Write in blocks of 576 frames, Flush
// on a seek, an empty Write at the end of the data (unless strict), then
// IsPlaying until the output has gone quiet, then PLUGIN_EOF. Built also as
// in_noexport.so (no export) and in_nullmodule.so (its export returns null).

#include "TestToneProbe.h"

#include "player/plugin_api.h"

#include "platform/msgbox.h"
#include "platform/winmsg.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kBlockFrames = 576;

struct Source {
    std::string title;
    int rate = 44100;
    int channels = 2;
    int bits = 16;
    int lengthMs = 0;
    int reopenMs = -1;
    bool strict = false;
    double frequency = 1000;
    double amplitude = 0.5;
    bool stall = false;
    std::string pcm; // a WAV file's samples
    bool isWav = false;

    int64_t frames() const { return isWav ? int64_t(pcm.size()) / (channels * 2) : int64_t(lengthMs) * rate / 1000; }
    int sampleBytes() const { return (bits + 7) / 8; }
};

uint32_t le(const std::string& b, std::size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | uint8_t(b[at + std::size_t(i)]);
    return v;
}

bool readSource(const char* file, Source& s)
{
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    s = Source{};
    s.title = std::strrchr(file, '/') ? std::strrchr(file, '/') + 1 : file;
    if (bytes.compare(0, 4, "RIFF") == 0) {
        if (bytes.size() < 44 || le(bytes, 20, 2) != 1 || le(bytes, 34, 2) != 16 || bytes.compare(36, 4, "data"))
            return false;
        s.isWav = true;
        s.channels = int(le(bytes, 22, 2));
        s.rate = int(le(bytes, 24, 4));
        s.pcm = bytes.substr(44, le(bytes, 40, 4));
        s.lengthMs = s.rate > 0 ? int(s.frames() * 1000 / s.rate) : 0;
    } else {
        std::istringstream lines(bytes);
        for (std::string line; std::getline(lines, line);) {
            const std::size_t eq = line.find('=');
            const std::string key = line.substr(0, eq);
            const char* value = eq == std::string::npos ? "" : line.c_str() + eq + 1;
            if (key == "title")
                s.title = value;
            else if (key == "frequency")
                s.frequency = std::strtod(value, nullptr);
            else if (key == "amplitude")
                s.amplitude = std::strtod(value, nullptr);
            else if (key == "length")
                s.lengthMs = std::atoi(value);
            else if (key == "rate")
                s.rate = std::atoi(value);
            else if (key == "channels")
                s.channels = std::atoi(value);
            else if (key == "bits")
                s.bits = std::atoi(value);
            else if (key == "stall")
                s.stall = std::atoi(value) == 1;
            else if (key == "strict")
                s.strict = std::atoi(value) == 1;
            else if (key == "reopen")
                s.reopenMs = std::atoi(value);
        }
    }
    return s.rate > 0 && s.channels >= 1 && s.channels <= 8 && s.bits >= 8 && s.bits <= 32;
}

// Frames [from, from + count) of the source in its sample width (left-justified,
// 8-bit unsigned); returns the bytes.
int render(const Source& s, int64_t from, int count, char* out)
{
    const int width = s.sampleBytes();
    const int bytes = count * s.channels * width;
    if (s.isWav) {
        std::memcpy(out, s.pcm.data() + from * s.channels * 2, std::size_t(bytes));
        return bytes;
    }
    for (int i = 0; i < count; ++i) {
        const double v = s.amplitude * std::sin(2 * std::numbers::pi * s.frequency * double(from + i) / s.rate);
        const auto sample = uint32_t(int32_t(std::lround(2147483647.0 * v)));
        for (int c = 0; c < s.channels; ++c) {
            char* at = out + (i * s.channels + c) * width;
            for (int b = 0; b < width; ++b)
                at[b] = char(sample >> (32 - 8 * (width - b)));
            if (width == 1)
                at[0] = char(uint8_t(at[0]) ^ 0x80);
        }
    }
    return bytes;
}

TInModule gModule{};
TestToneProbe gProbe{};

struct Playback {
    Source source;
    std::thread thread;
    std::atomic<bool> kill{false};
    std::atomic<bool> paused{false};
    std::atomic<int> seekRequest{-1};
    std::atomic<int> decodeMs{0};
    bool outputOpen = false;
} gPlay;

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void decodeThread()
{
    TOutModule* out = gModule.OutModule;
    const Source& s = gPlay.source;
    std::vector<char> block(std::size_t(kBlockFrames * s.channels * s.sampleBytes()));
    int64_t next = 0;    // next frame to render
    int seekBase = 0;    // ms of the last seek
    int64_t written = 0; // frames written since it
    bool ending = false;
    bool reopened = false;
    while (!gPlay.kill) {
        if (const int seek = gPlay.seekRequest.exchange(-1); seek >= 0) {
            next = std::min<int64_t>(int64_t(seek) * s.rate / 1000, s.frames());
            seekBase = gPlay.decodeMs = seek;
            written = 0;
            out->Flush(seek);
            ending = false;
        }
        if (ending) {
            if (!out->IsPlaying()) {
                PostMessage(gModule.MainWindow, PLUGIN_EOF, 0, 0);
                return;
            }
            sleepMs(30);
            continue;
        }
        if (s.stall || out->CanWrite() < int(block.size())) {
            sleepMs(20);
            continue;
        }
        const int count = int(std::min<int64_t>(kBlockFrames, s.frames() - next));
        if (count <= 0) {
            if (!s.strict)
                out->Write(block.data(), 0);
            ending = true;
            continue;
        }
        if (s.reopenMs >= 0 && !reopened && next >= int64_t(s.reopenMs) * s.rate / 1000) {
            // A new output for the rest, as a plug-in does when the format changes.
            out->Open(s.rate, s.channels, s.bits, -1, -1);
            reopened = true;
        }
        const int bytes = render(s, next, count, block.data());
        next += count;
        out->Write(block.data(), bytes);
        written += count;
        gPlay.decodeMs = seekBase + int(written * 1000 / s.rate);
    }
}

void Stop()
{
    gPlay.kill = true;
    if (gPlay.thread.joinable())
        gPlay.thread.join();
    if (gPlay.outputOpen) {
        gModule.OutModule->Close();
        gPlay.outputOpen = false;
    }
}

int Play(const char* file)
{
    ++gProbe.playCalls;
    Stop();
    if (!readSource(file, gPlay.source))
        return -1;
    gPlay.kill = false;
    gPlay.paused = false;
    gPlay.seekRequest = -1;
    gPlay.decodeMs = 0;
    if (gModule.OutModule->Open(gPlay.source.rate, gPlay.source.channels, gPlay.source.bits, -1, -1) < 0)
        return 1;
    gModule.OutModule->SetVolume(-666);
    gModule.VisInit(0, gPlay.source.rate);
    gPlay.outputOpen = true;
    gPlay.thread = std::thread(decodeThread);
    return 0;
}

char gDescription[] = "Test tone plug-in";
// Several pairs, one of them with a trailing ";": the host must read them all.
char gExtensions[] = "TONE;WAV\0Test tones and waves\0VOC\0Voice files\0SIN;SINE;\0Sines\0";

[[maybe_unused]] TInModule* FillModule()
{
    gModule = TInModule{};
    gModule.Version = IN_MODULE_VERSION;
    gModule.Description = gDescription;
    gModule.FileExtensions = gExtensions;
    gModule.IsSeekable = 1;
    gModule.UsesOutputModule = 1;
    gModule.Config = [](HWND parent) { MessageBox(parent, "Nothing to set.", "Test Tone", MB_OK); };
    gModule.About = [](HWND parent) { MessageBox(parent, "Test tone plug-in", "Test Tone", MB_OK); };
    gModule.Init = [] {
        ++gProbe.initCalls;
        gProbe.initSawHostFields = gModule.MainWindow && gModule.DLLInstance && gModule.OutModule;
        gProbe.initSawNoHostEntries = !gModule.VisInit && !gModule.DSPDoSamples && !gModule.SetInfo;
    };
    gModule.Quit = [] { ++gProbe.quitCalls; };
    gModule.GetFileInfo = [](const char* file, char* title, int* lengthMs) {
        Source s;
        *lengthMs = 0;
        if (!gProbe.refuseFiles && readSource(file, s)) {
            std::snprintf(title, 256, "%s", s.title.c_str());
            *lengthMs = s.lengthMs;
        }
    };
    gModule.Play = Play;
    gModule.Pause = [] {
        if (gPlay.outputOpen && !gPlay.paused.exchange(true))
            gModule.OutModule->Pause(1);
    };
    gModule.UnPause = [] {
        if (gPlay.outputOpen && gPlay.paused.exchange(false))
            gModule.OutModule->Pause(0);
    };
    gModule.Stop = Stop;
    // Part of what has been decoded has not sounded yet.
    gModule.GetOutputTime = [] {
        if (!gPlay.outputOpen)
            return 0;
        const int writtenMs = gModule.OutModule->GetWrittenTime();
        return gPlay.decodeMs + gModule.OutModule->GetOutputTime() - writtenMs;
    };
    gModule.SetOutputTime = [](int ms) { gPlay.seekRequest = ms; };
    gModule.SetVolume = [](int volume) {
        gProbe.lastVolume = volume;
        if (gPlay.outputOpen)
            gModule.OutModule->SetVolume(volume);
    };
    return &gModule;
}

} // namespace

#define TESTTONE_EXPORT extern "C" __attribute__((visibility("default")))

TESTTONE_EXPORT TestToneProbe* testtoneProbe()
{
    return &gProbe;
}

#ifndef TESTTONE_NO_EXPORT
TESTTONE_EXPORT TInModule* tovarroGetInModule2()
{
#ifdef TESTTONE_NULL_MODULE
    return nullptr;
#else
    return FillModule();
#endif
}
#endif
