#include "WavOutput.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace pcmkit_convert {
namespace {

// Small enough to stay in the cache and to cost few page faults, large enough
// for few writes.
constexpr std::size_t kFlushBytes = 1 << 18;
constexpr int kRoom = 1 << 22;

// Open and Close come from the host's thread, the rest from the decode thread.
std::mutex mutex; // guards everything below
std::string path;
std::FILE* file = nullptr;
std::vector<uint8_t> pending;
WavResult result;
int64_t writtenBytes = 0; // since the last flush
int flushMs = 0;
char description[] = "pcmkit-convert WAV writer";

void put16(uint8_t* p, unsigned v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* p, uint32_t v)
{
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

void writeHeader(int64_t dataBytes)
{
    uint8_t h[44];
    const int block = result.bits / 8 * result.channels;
    const uint32_t data = dataBytes > 0xFFFFFFF0 ? 0xFFFFFFF0u : static_cast<uint32_t>(dataBytes);
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + data);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1);
    put16(h + 22, static_cast<unsigned>(result.channels));
    put32(h + 24, static_cast<uint32_t>(result.rate));
    put32(h + 28, static_cast<uint32_t>(result.rate) * static_cast<uint32_t>(block));
    put16(h + 32, static_cast<unsigned>(block));
    put16(h + 34, static_cast<unsigned>(result.bits));
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, data);
    result.ok = std::fwrite(h, 1, sizeof h, file) == sizeof h && result.ok;
}

// Caller holds the lock.
void flushPending()
{
    if (file && !pending.empty())
        result.ok = std::fwrite(pending.data(), 1, pending.size(), file) == pending.size() && result.ok;
    pending.clear();
}

int msOf(int64_t bytes)
{
    const int64_t perSecond = static_cast<int64_t>(result.rate) * (result.bits / 8) * result.channels;
    return perSecond > 0 ? static_cast<int>(bytes * 1000 / perSecond) : 0;
}

int Open(int rate, int channels, int bits, int, int)
{
    std::lock_guard lock(mutex);
    if (file || rate <= 0 || channels <= 0 || bits <= 0 || bits % 8)
        return -1;
    file = std::fopen(path.c_str(), "wb");
    if (!file)
        return -1;
    result = WavResult{true, true, rate, channels, bits, 0};
    writeHeader(0);
    pending.reserve(2 * kFlushBytes); // grown once, not by doubling through every size
    writtenBytes = 0;
    flushMs = 0;
    return 0;
}

void Close()
{
    std::lock_guard lock(mutex);
    if (!file)
        return;
    flushPending();
    // Output that cannot seek (a pipe) keeps the provisional header.
    if (std::fseek(file, 0, SEEK_SET) == 0)
        writeHeader(result.frames * (result.bits / 8) * result.channels);
    result.ok = std::fclose(file) == 0 && result.ok;
    file = nullptr;
}

int Write(const char* buffer, int length)
{
    std::lock_guard lock(mutex);
    if (!file)
        return 1;
    if (length <= 0)
        return 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(buffer); // the same type: one block copy
    pending.insert(pending.end(), bytes, bytes + length);
    if (pending.size() >= kFlushBytes)
        flushPending();
    result.frames += length / (result.bits / 8 * result.channels);
    writtenBytes += length;
    return 0;
}

int CanWrite()
{
    return kRoom;
}

int IsPlaying()
{
    return 0; // everything written is in the file already
}

int Pause(int)
{
    return 0;
}

void Flush(int ms)
{
    std::lock_guard lock(mutex);
    writtenBytes = 0;
    flushMs = ms;
}

int WrittenTime()
{
    std::lock_guard lock(mutex);
    return flushMs + msOf(writtenBytes);
}

void NoWindow(HWND)
{
}

void Nothing()
{
}

void NoValue(int)
{
}

TOutModule module = {OUT_MODULE_VERSION, description, OUT_MODULE_ID, nullptr, nullptr, NoWindow,
                     NoWindow,           Nothing,     Nothing,       Open,    Close,   Write,
                     CanWrite,           IsPlaying,   Pause,         NoValue, NoValue, Flush,
                     WrittenTime,        WrittenTime};

} // namespace

TOutModule* WavOutputModule(const std::string& outputPath)
{
    std::lock_guard lock(mutex);
    path = outputPath;
    return &module;
}

WavResult FinishWavOutput()
{
    std::lock_guard lock(mutex);
    return result;
}

} // namespace pcmkit_convert
