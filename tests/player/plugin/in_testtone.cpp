// in_testtone: an input plug-in for the player's tests. It plays TONE files, a
// few lines of key=value text describing a sine, and canonical 16-bit PCM WAV
// files, decoding on its own thread into the host's output module exactly as a
// real plug-in does: CanWrite/Write in blocks of 576 frames, Flush on a seek,
// an empty Write at the end of the data, then IsPlaying until the output has
// gone quiet, then PLUGIN_EOF.
//
// TONE keys: frequency (Hz), length (ms), rate (Hz), channels, bits (8 or 16),
// amplitude (0..1), title, stall (1: open the output but never write).
//
// Built as in_noexport.so without the export and as in_nullmodule.so with an
// export that returns null.

#include "TestToneProbe.h"

#include "player/plugin_api.h"

#include "platform/msgbox.h"
#include "platform/winmsg.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <numbers>
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
    double frequency = 1000;
    double amplitude = 0.5;
    bool stall = false;
    std::string pcm; // WAV files: the sample data
    bool isWav = false;

    int64_t frames() const
    {
        return isWav ? int64_t(pcm.size()) / (channels * bits / 8) : int64_t(lengthMs) * rate / 1000;
    }
};

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

uint32_t le(const std::string& b, std::size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | uint8_t(b[at + std::size_t(i)]);
    return v;
}

bool readWav(const std::string& bytes, Source& s)
{
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") || bytes.compare(8, 4, "WAVE") ||
        bytes.compare(12, 4, "fmt ") || bytes.compare(36, 4, "data") || le(bytes, 20, 2) != 1)
        return false;
    s.isWav = true;
    s.channels = int(le(bytes, 22, 2));
    s.rate = int(le(bytes, 24, 4));
    s.bits = int(le(bytes, 34, 2));
    s.pcm = bytes.substr(44, le(bytes, 40, 4));
    if (s.channels < 1 || s.channels > 2 || (s.bits != 8 && s.bits != 16) || s.rate <= 0)
        return false;
    s.lengthMs = int(s.frames() * 1000 / s.rate);
    return true;
}

bool parseSource(const char* file, Source& s)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    s = Source{};
    s.title = baseName(file);
    if (bytes.compare(0, 4, "RIFF") == 0)
        return readWav(bytes, s);
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string line = bytes.substr(start, end - start);
        start = end + 1;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "title")
            s.title = value;
        else if (key == "frequency")
            s.frequency = std::stod(value);
        else if (key == "amplitude")
            s.amplitude = std::stod(value);
        else if (key == "length")
            s.lengthMs = std::stoi(value);
        else if (key == "rate")
            s.rate = std::stoi(value);
        else if (key == "channels")
            s.channels = std::stoi(value);
        else if (key == "bits")
            s.bits = std::stoi(value);
        else if (key == "stall")
            s.stall = value == "1";
    }
    return s.rate > 0 && s.channels > 0 && (s.bits == 8 || s.bits == 16);
}

bool readSource(const char* file, Source& s)
{
    try {
        return parseSource(file, s);
    } catch (const std::exception&) { // a number that does not parse
        return false;
    }
}

// Fills frames [from, from + count) of the source into out; returns the bytes.
int render(const Source& s, int64_t from, int count, char* out)
{
    const int frameBytes = s.channels * s.bits / 8;
    if (s.isWav) {
        std::memcpy(out, s.pcm.data() + from * frameBytes, std::size_t(count) * std::size_t(frameBytes));
        return count * frameBytes;
    }
    for (int i = 0; i < count; ++i) {
        const double v = s.amplitude * std::sin(2 * std::numbers::pi * s.frequency * double(from + i) / s.rate);
        for (int c = 0; c < s.channels; ++c) {
            char* at = out + (i * s.channels + c) * (s.bits / 8);
            if (s.bits == 8) {
                *at = char(uint8_t(std::lround(128 + 127 * v)));
            } else {
                const auto sample = int16_t(std::lround(32767 * v));
                std::memcpy(at, &sample, 2);
            }
        }
    }
    return count * frameBytes;
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
    const int frameBytes = s.channels * s.bits / 8;
    std::vector<char> block(std::size_t(kBlockFrames * frameBytes));
    int64_t next = 0;    // next frame to render
    int seekBase = 0;    // ms of the last seek
    int64_t written = 0; // frames written since it
    bool ending = false;
    while (!gPlay.kill) {
        const int seek = gPlay.seekRequest.exchange(-1);
        if (seek >= 0) {
            next = std::min<int64_t>(int64_t(seek) * s.rate / 1000, s.frames());
            seekBase = seek;
            written = 0;
            gPlay.decodeMs = seek;
            out->Flush(seek);
            ending = false;
        }
        if (ending) {
            if (out->IsPlaying()) {
                sleepMs(30);
                continue;
            }
            PostMessage(gModule.MainWindow, PLUGIN_EOF, 0, 0);
            return;
        }
        if (s.stall || out->CanWrite() < int(block.size())) {
            sleepMs(20);
            continue;
        }
        const int count = int(std::min<int64_t>(kBlockFrames, s.frames() - next));
        if (count <= 0) {
            out->Write(block.data(), 0);
            ending = true;
            continue;
        }
        const int bytes = render(s, next, count, block.data());
        next += count;
        if (gPlay.kill)
            return;
        out->Write(block.data(), bytes);
        written += count;
        gPlay.decodeMs = seekBase + int(written * 1000 / s.rate);
    }
}

void Config(HWND parent)
{
    MessageBox(parent, "Nothing to set.", "Test Tone", MB_OK);
}

void About(HWND parent)
{
    MessageBox(parent, "Test tone plug-in", "Test Tone", MB_OK);
}

void Init()
{
    ++gProbe.initCalls;
    gProbe.initSawHostFields = gModule.MainWindow && gModule.DLLInstance && gModule.OutModule;
    gProbe.initSawNoHostEntries = !gModule.VisInit && !gModule.DSPDoSamples && !gModule.SetInfo;
}

void Quit()
{
    ++gProbe.quitCalls;
}

void GetFileInfo(const char* file, char* title, int* lengthMs)
{
    Source s;
    *lengthMs = 0;
    if (gProbe.refuseFiles || !readSource(file, s))
        return;
    std::snprintf(title, 256, "%s", s.title.c_str());
    *lengthMs = s.lengthMs;
}

int InfoBox(const char*, HWND)
{
    return 0;
}

int IsOurFile(const char*)
{
    return 0;
}

void Stop();

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
    const Source& s = gPlay.source;
    gProbe.openResult = gModule.OutModule->Open(s.rate, s.channels, s.bits, -1, -1);
    if (gProbe.openResult < 0)
        return 1;
    gModule.OutModule->SetVolume(-666);
    gModule.OutModule->SetPan(0);
    gModule.VisInit(0, s.rate);
    gPlay.outputOpen = true;
    gPlay.thread = std::thread(decodeThread);
    return 0;
}

void Pause()
{
    if (gPlay.outputOpen && !gPlay.paused.exchange(true))
        gModule.OutModule->Pause(1);
}

void UnPause()
{
    if (gPlay.outputOpen && gPlay.paused.exchange(false))
        gModule.OutModule->Pause(0);
}

int IsPaused()
{
    return gPlay.paused;
}

void Stop()
{
    gPlay.kill = true;
    if (gPlay.thread.joinable())
        gPlay.thread.join();
    if (gPlay.outputOpen) {
        gModule.OutModule->Close();
        gModule.VisDeInit();
        gPlay.outputOpen = false;
    }
}

int GetLength()
{
    return gPlay.source.lengthMs;
}

int GetOutputTime()
{
    if (!gPlay.outputOpen)
        return 0;
    const int writtenMs = gModule.OutModule->GetWrittenTime();
    return gPlay.decodeMs + gModule.OutModule->GetOutputTime() - writtenMs;
}

void SetOutputTime(int ms)
{
    gPlay.seekRequest = ms;
}

void SetVolume(int volume)
{
    gProbe.lastVolume = volume;
    if (gPlay.outputOpen)
        gModule.OutModule->SetVolume(volume);
}

void SetPan(int pan)
{
    if (gPlay.outputOpen)
        gModule.OutModule->SetPan(pan);
}

void EQSet(int, char*, int)
{
}

char gDescription[] = "Test tone plug-in";
// The host sees only the first list; VOC is claimed by nothing.
char gExtensions[] = "TONE;WAV\0Test tones and waves\0VOC\0Voice files\0";

} // namespace

#define TESTTONE_EXPORT extern "C" __attribute__((visibility("default")))

TESTTONE_EXPORT TestToneProbe* testtoneProbe()
{
    return &gProbe;
}

namespace {

[[maybe_unused]] TInModule* FillModule()
{
    gModule = TInModule{};
    gModule.Version = IN_MODULE_VERSION;
    gModule.Description = gDescription;
    gModule.FileExtensions = gExtensions;
    gModule.IsSeekable = 1;
    gModule.UsesOutputModule = 1;
    gModule.Config = Config;
    gModule.About = About;
    gModule.Init = Init;
    gModule.Quit = Quit;
    gModule.GetFileInfo = GetFileInfo;
    gModule.InfoBox = InfoBox;
    gModule.IsOurFile = IsOurFile;
    gModule.Play = Play;
    gModule.Pause = Pause;
    gModule.UnPause = UnPause;
    gModule.IsPaused = IsPaused;
    gModule.Stop = Stop;
    gModule.GetLength = GetLength;
    gModule.GetOutputTime = GetOutputTime;
    gModule.SetOutputTime = SetOutputTime;
    gModule.SetVolume = SetVolume;
    gModule.SetPan = SetPan;
    gModule.EQSet = EQSet;
    return &gModule;
}

} // namespace

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
