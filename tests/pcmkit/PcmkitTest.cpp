#include "PcmkitTest.h"

#include "Sources.h"

#include "platform/winmsg.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

using namespace pcmkit;

namespace pcmkit_test {

SettingsScope::SettingsScope()
{
    reset_settings();
    cfg_ext_mask = 0x7FF;
}

SettingsScope::~SettingsScope()
{
    reset_settings();
}

namespace {

Decoded readAll(decoder* d)
{
    Decoded out;
    if (!d)
        return out;
    out.opened = true;
    out.format = d->format;
    out.lengthFrames = d->ops->length(d);
    decoder_info info{};
    d->ops->info(d, &info);
    out.info = info.text;
    abort_flag never{false};
    std::string block(static_cast<size_t>(frame_bytes(d->format)) * 576, '\0');
    for (;;) {
        int n = d->ops->read(d, block.data(), static_cast<int>(block.size()), &never);
        if (n <= 0)
            break;
        out.bytes.append(block.data(), static_cast<size_t>(n));
    }
    decoder_destroy(d);
    return out;
}

} // namespace

Decoded DecodeFile(const std::string& path)
{
    abort_flag never{false};
    open_result result;
    return readAll(open_file(path.c_str(), false, &never, &result));
}

decoder* OpenBytes(const std::string& name, const std::string& bytes)
{
    auto* copy = static_cast<uint8_t*>(std::malloc(bytes.size() + 1));
    std::memcpy(copy, bytes.data(), bytes.size());
    abort_flag never{false};
    open_result result;
    return open_source(name.c_str(), create_memory_source(copy, static_cast<int64_t>(bytes.size())), false, &never,
                       &result);
}

Decoded DecodeBytes(const std::string& name, const std::string& bytes)
{
    return readAll(OpenBytes(name, bytes));
}

std::vector<int16_t> Samples16(const std::string& bytes)
{
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

std::vector<int32_t> Samples24(const std::string& bytes)
{
    std::vector<int32_t> samples;
    for (std::size_t i = 0; i + 3 <= bytes.size(); i += 3) {
        auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + i);
        samples.push_back(static_cast<int32_t>(static_cast<uint32_t>(p[0] << 8 | p[1] << 16 | p[2] << 24)) >> 8);
    }
    return samples;
}

std::string RunProgram(const QString& program, const QStringList& args, int* exitCode, std::string* errors)
{
    QProcess process;
    process.start(program, args);
    bool finished = process.waitForFinished(60000);
    if (exitCode)
        *exitCode = finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (errors)
        *errors = process.readAllStandardError().toStdString();
    if (!exitCode) {
        EXPECT_TRUE(finished && process.exitCode() == 0) << program.toStdString() << " failed";
    }
    return process.readAllStandardOutput().toStdString();
}

std::vector<int16_t> SoxSamples(const std::string& path, const QStringList& inputOptions)
{
    return Samples16(RunProgram(
        "sox", inputOptions + QStringList{QString::fromStdString(path), "-t", "s16", "-e", "signed-integer", "-"}));
}

std::vector<int16_t> FfmpegSamples(const std::string& path, const QStringList& inputOptions)
{
    return Samples16(RunProgram("ffmpeg", QStringList{"-nostdin", "-v", "error"} + inputOptions +
                                              QStringList{"-i", QString::fromStdString(path), "-f", "s16le", "-"}));
}

double SignalToNoise(const std::vector<int16_t>& original, const std::vector<int16_t>& decoded)
{
    double signal = 0, noise = 0;
    for (std::size_t i = 0; i < std::min(original.size(), decoded.size()); ++i) {
        signal += double(original[i]) * original[i];
        noise += double(original[i] - decoded[i]) * (original[i] - decoded[i]);
    }
    return 10 * std::log10(signal / std::max(noise, 1.0));
}

// ---- the test host --------------------------------------------------------

TestHost* TestHost::current = nullptr;

namespace {

TestHost& host()
{
    return *TestHost::current;
}

int Open(int rate, int channels, int bits, int a, int b)
{
    {
        std::lock_guard lock(host().mutex);
        host().bytesPerSecond = rate * channels * bits / 8;
    }
    host().record("Open", {rate, channels, bits, a, b});
    return 250;
}
void Close()
{
    host().record("Close", {});
}
int Write(const char* buffer, int length)
{
    ++host().outputCalls;
    if (const int stall = host().stallMs.exchange(0); stall > 0) {
        host().stalled = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(stall));
        host().stalled = false;
    }
    std::lock_guard lock(host().mutex);
    if (length == 0)
        ++host().empty;
    host().data.append(buffer, static_cast<size_t>(length));
    host().sinceFlush += length;
    return 0;
}
int CanWrite()
{
    ++host().outputCalls;
    return host().room;
}
int IsPlaying()
{
    ++host().outputCalls;
    return host().playing;
}
int Pause(int p)
{
    host().record("Pause", {p});
    return 0;
}
void SetVolume(int v)
{
    host().record("SetVolume", {v});
}
void SetPan(int p)
{
    host().record("SetPan", {p});
}
void Flush(int ms)
{
    std::lock_guard lock(host().mutex);
    host().flushTimes.push_back(ms);
    host().flushBase = ms;
    host().sinceFlush = 0;
}
int WrittenTime()
{
    return host().writtenMs();
}
int OutputTime()
{
    return host().writtenMs() - host().lag;
}
void Nothing()
{
}
void NoWindow(HWND)
{
}

void VisInit(int latency, int rate)
{
    host().record("VisInit", {latency, rate});
}
void VisDeInit()
{
    host().record("VisDeInit", {});
}
void AddPcm(void*, int, int bits, int)
{
    std::lock_guard lock(host().mutex);
    host().visualBits = bits;
}
int NoMode()
{
    return 0;
}
void AddData(void*, int)
{
}
void VisSetInfo(int rate, int channels)
{
    host().record("VisSetInfo", {rate, channels});
}
int DspIsActive()
{
    return 0;
}
int DspDoSamples(void*, int frames, int, int, int)
{
    return frames;
}
void SetInfo(int bitrate, int khz, int channels, int sync)
{
    host().record("SetInfo", {bitrate, khz, channels, sync});
}

} // namespace

TestHost::TestHost()
{
    current = this;
    window_ = platform::CreateMessageWindow([this](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == PLUGIN_EOF) {
            std::lock_guard lock(mutex);
            eof = true;
        }
        return 0;
    });
    out_ = TOutModule{OUT_MODULE_VERSION, nullptr,    OUT_MODULE_ID, nullptr,   nullptr, NoWindow,
                      NoWindow,           Nothing,    Nothing,       Open,      Close,   Write,
                      CanWrite,           IsPlaying,  Pause,         SetVolume, SetPan,  Flush,
                      OutputTime,         WrittenTime};
}

TestHost::~TestHost()
{
    DestroyWindow(window_);
    current = nullptr;
}

void TestHost::attach(TInModule& m)
{
    m.MainWindow = window_;
    m.OutModule = &out_;
    m.VisInit = VisInit;
    m.VisDeInit = VisDeInit;
    m.SpectrumAddPCM = AddPcm;
    m.SpectrumGetMode = NoMode;
    m.SpectrumAdd = AddData;
    m.VisAddPCM = AddPcm;
    m.VisGetMode = NoMode;
    m.VisAdd = AddData;
    m.VisSetInfo = VisSetInfo;
    m.DSPIsActive = DspIsActive;
    m.DSPDoSamples = DspDoSamples;
    m.SetInfo = SetInfo;
}

bool TestHost::waitForEof(int timeoutMs)
{
    return platform::PumpWait(timeoutMs / 5, 5, [this] {
        std::lock_guard lock(mutex);
        return eof;
    });
}

void TestHost::record(const std::string& name, std::vector<int> args)
{
    std::lock_guard lock(mutex);
    log.push_back({name, std::move(args)});
}

int TestHost::writtenMs() const
{
    std::lock_guard lock(mutex);
    return flushBase + (bytesPerSecond ? static_cast<int>(sinceFlush * 1000 / bytesPerSecond) : 0);
}

} // namespace pcmkit_test
