// The player's costs: from Play to the first audible sample at the capture
// device, for a WAV through the engine and a TONE file through the plug-in
// path; and the output emulator's throughput (Write + reader, no real-time
// pacing) beside a plain memcpy of the same bytes.

#include "player/AudioPlayer.h"
#include "player/OutputEmulator.h"
#include "player/PluginHost.h"

#include "platform/folders.h"
#include "platform/winmsg.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPlays = 12;
constexpr double kRate = 44100.0;

// A program folder of links to the built engine and the tone plug-in. Without
// the WMA add-on the player's start ends with the device clock's start.
std::string ProgramFolder()
{
    static const std::string folder = [] {
        namespace fs = std::filesystem;
        std::string pattern = (fs::temp_directory_path() / "orvella-player-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        const std::string dir = pattern + "/";
        fs::create_symlink(ORVELLA_PROGRAM_DIR "libbass.so", dir + "libbass.so");
        fs::create_directories(dir + "Plugins");
        fs::create_symlink(ORVELLA_BENCH_PLUGIN_DIR "in_testtone.so", dir + "Plugins/in_testtone.so");
        return dir;
    }();
    return folder;
}

std::string WriteInput(const std::string& name, const std::string& bytes)
{
    const std::string path = ProgramFolder() + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// 0.2 s of 1 kHz at half scale, 16-bit stereo.
std::string ToneWav()
{
    const int frames = int(0.2 * kRate);
    std::string b = "RIFF";
    auto u32 = [&](uint32_t v) { b.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { b.append(reinterpret_cast<const char*>(&v), 2); };
    u32(36 + frames * 4);
    b += "WAVEfmt ";
    u32(16), u16(1), u16(2), u32(44100), u32(176400), u16(4), u16(16);
    b += "data";
    u32(frames * 4);
    for (int i = 0; i < frames; ++i) {
        const auto s = int16_t(std::lround(16383 * std::sin(2 * std::numbers::pi * 1000 * i / kRate)) | 1);
        u16(uint16_t(s)), u16(uint16_t(s));
    }
    return WriteInput("tone.wav", b);
}

std::vector<int16_t> ReadCapture(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> out(bytes.size() > 44 ? (bytes.size() - 44) / 2 : 0);
    std::memcpy(out.data(), bytes.data() + 44, out.size() * 2);
    return out;
}

// Frames where sound begins after at least 20 ms of silence.
std::vector<long> Onsets(const std::vector<int16_t>& stereo)
{
    std::vector<long> onsets;
    long silent = long(kRate);
    for (std::size_t i = 0; i + 1 < stereo.size(); i += 2) {
        if (stereo[i] == 0 && stereo[i + 1] == 0) {
            ++silent;
            continue;
        }
        if (silent >= long(0.02 * kRate))
            onsets.push_back(long(i / 2));
        silent = 0;
    }
    return onsets;
}

// Plays file kPlays times on the capture device. The device's clock starts
// with the player (its last step), so a sound at capture frame n was heard n /
// 44100 s after the player was made.
void FirstSound(benchmark::State& state, const std::string& file)
{
    platform::SetProgramFolder(ProgramFolder());
    const std::string capture = ProgramFolder() + "capture.wav";
    setenv("ORVELLA_AUDIO", ("wav:" + capture).c_str(), 1);
    std::vector<double> latencies;
    for (auto _ : state) {
        std::vector<double> playAt;
        {
            player::TAudioPlayer p;
            const Clock::time_point start = Clock::now();
            player::LoadPlugin("in_testtone.so");
            int ends = 0;
            p.OnPlayEnd = [&](player::TAudioPlayer&) { ++ends; };
            for (int i = 0; i < kPlays; ++i) {
                p.Open(file);
                playAt.push_back(std::chrono::duration<double>(Clock::now() - start).count());
                p.Play();
                platform::PumpWait(2000, 5, [&] { return ends > i; });
            }
        }
        const std::vector<long> onsets = Onsets(ReadCapture(capture));
        if (onsets.size() != playAt.size()) {
            state.SkipWithError("sound regions do not match the plays");
            break;
        }
        for (std::size_t i = 0; i < onsets.size(); ++i)
            latencies.push_back((double(onsets[i]) / kRate - playAt[i]) * 1000.0);
    }
    setenv("ORVELLA_AUDIO", "null", 1);
    if (latencies.empty())
        return;
    std::sort(latencies.begin(), latencies.end());
    double sum = 0;
    for (double l : latencies)
        sum += l;
    state.counters["first_sound_ms_mean"] = sum / double(latencies.size());
    state.counters["first_sound_ms_median"] = latencies[latencies.size() / 2];
    state.counters["first_sound_ms_min"] = latencies.front();
    state.counters["first_sound_ms_max"] = latencies.back();
}

void BM_FirstSoundEngineWav(benchmark::State& state)
{
    FirstSound(state, ToneWav());
}
BENCHMARK(BM_FirstSoundEngineWav)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_FirstSoundPluginTone(benchmark::State& state)
{
    FirstSound(state, WriteInput("tone.tone", "frequency=1000\nlength=200\namplitude=0.5\n"));
}
BENCHMARK(BM_FirstSoundPluginTone)->Iterations(1)->Unit(benchmark::kMillisecond);

// The emulator with an open stream that is never started: the benchmark is its mixer.
void BM_OutputEmulatorWriteRead(benchmark::State& state)
{
    platform::SetProgramFolder(ProgramFolder());
    player::TAudioPlayer p;
    TOutModule* out = player::OutputModule();
    if (out->Open(44100, 2, 16, -1, -1) != 0) {
        state.SkipWithError("no output stream");
        return;
    }
    const auto chunk = std::size_t(state.range(0));
    std::vector<char> in(chunk, '\x5a'), back(chunk);
    for (auto _ : state) {
        out->Write(in.data(), int(chunk));
        benchmark::DoNotOptimize(player::OutputReader(0, back.data(), DWORD(chunk), nullptr));
    }
    out->Close();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(chunk));
}
BENCHMARK(BM_OutputEmulatorWriteRead)->Arg(2304)->Arg(16384);

void BM_Memcpy(benchmark::State& state)
{
    const auto chunk = std::size_t(state.range(0));
    std::vector<char> in(chunk, '\x5a'), back(chunk);
    for (auto _ : state) {
        std::memcpy(back.data(), in.data(), chunk);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(chunk));
}
BENCHMARK(BM_Memcpy)->Arg(2304)->Arg(16384);

} // namespace

int main(int argc, char** argv)
{
    setenv("ORVELLA_AUDIO", "null", 0);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
