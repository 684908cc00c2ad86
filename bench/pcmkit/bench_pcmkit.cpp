// Decoding speed of ten-minute files through pcmkit-convert (the plug-in in a
// host that writes what it gets), against ffmpeg (one thread) and sox decoding
// the same file to null, each iteration running all three. The figures are
// times real time: ten minutes divided by the CPU time (user + system) the
// whole process took, so other load on the machine does not count; "ratio" is
// ours against the faster peer that decodes the format. A peer that cannot
// decode a format shows 0. Start-up is timed on a tiny file, wall and CPU.

#include "ProcessCpu.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr double kSeconds = 600;

struct Format {
    const char* name;
    const char* file;
    std::vector<std::string> make;        // shell command; $OUT is the file
    std::vector<std::string> settings;    // --set values for the plug-in
    std::vector<std::string> ffmpegInput; // options before -i
    std::vector<std::string> soxInput;    // options before the file
};

const std::string& folder()
{
    static const std::string dir = bench::ScratchFolder("orvella-bench-pcmkit");
    return dir;
}

std::string prepare(const Format& f)
{
    std::string path = folder() + f.file;
    if (!std::filesystem::exists(path)) {
        std::string command;
        for (const std::string& part : f.make)
            command += (part == "$OUT" ? "'" + path + "'" : part) + " ";
        if (std::system(command.c_str()) != 0)
            std::filesystem::remove(path);
    }
    return path;
}

std::vector<std::string> pluginCommand(const Format& f)
{
    std::vector<std::string> command = {PCMKIT_CONVERT,  "--set", "cfg_ext_mask=2047", "--set",
                                        "cfg_downcvt=0", "--set", "cfg_raw_sr=6000"};
    for (const std::string& s : f.settings)
        command.insert(command.end(), {"--set", s});
    command.insert(command.end(), {prepare(f), "/dev/null"});
    return command;
}

std::vector<std::string> ffmpegCommand(const Format& f)
{
    std::vector<std::string> command = {"ffmpeg", "-nostdin", "-v", "error", "-threads", "1"};
    command.insert(command.end(), f.ffmpegInput.begin(), f.ffmpegInput.end());
    command.insert(command.end(), {"-i", prepare(f), "-f", "null", "-"});
    return command;
}

std::vector<std::string> soxCommand(const Format& f)
{
    std::vector<std::string> command = {"sox", "-V1"};
    command.insert(command.end(), f.soxInput.begin(), f.soxInput.end());
    command.insert(command.end(), {prepare(f), "-t", "null", "-"});
    return command;
}

// A peer's total CPU time, or a negative value once it has failed.
struct PeerTime {
    double seconds = 0;
    void add(double cpu) { seconds = seconds < 0 || cpu < 0 ? -1 : seconds + cpu; }
    double timesRealTime(double iterations) const { return seconds > 0 ? kSeconds * iterations / seconds : 0; }
};

// Reads a file once, so that every decoder finds it in the page cache: the
// first process to read a file the cache has dropped would pay for the disk.
void ReadIntoPageCache(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    while (file.read(buffer.data(), std::streamsize(buffer.size())) || file.gcount() > 0) {
    }
}

void Compare(benchmark::State& state, const Format& f)
{
    ReadIntoPageCache(prepare(f));
    PeerTime ours, ffmpeg, sox;
    for (auto _ : state) {
        const double cpu = bench::RunCpuSeconds(pluginCommand(f));
        if (cpu < 0) {
            state.SkipWithError("the decoding process failed");
            return;
        }
        ours.add(cpu);
        state.SetIterationTime(cpu);
        if (ffmpeg.seconds >= 0)
            ffmpeg.add(bench::RunCpuSeconds(ffmpegCommand(f)));
        if (sox.seconds >= 0)
            sox.add(bench::RunCpuSeconds(soxCommand(f)));
    }
    const double n = double(state.iterations());
    const double peer = std::max(ffmpeg.timesRealTime(n), sox.timesRealTime(n));
    state.counters["pcmkit_x"] = ours.timesRealTime(n);
    state.counters["ffmpeg_x"] = ffmpeg.timesRealTime(n);
    state.counters["sox_x"] = sox.timesRealTime(n);
    state.counters["ratio"] = peer > 0 ? ours.timesRealTime(n) / peer : 0;
}

// Wall and CPU time from start to exit for a file of a tenth of a second, in
// milliseconds; wall time also counts waiting for a core on a busy machine.
struct StartTimes {
    double wall = 0;
    double cpu = 0;
    void add(const StartTimes& t) { wall += t.wall, cpu += t.cpu; }
};

StartTimes startMs(const std::vector<std::string>& command)
{
    const auto start = std::chrono::steady_clock::now();
    const double cpu = bench::RunCpuSeconds(command);
    if (cpu < 0)
        return {-1, -1};
    return {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(), cpu * 1000};
}

void Startup(benchmark::State& state)
{
    const Format tiny{"tiny", "tiny.wav", {"sox -n -r 44100 -c 2 -b 16", "$OUT", "synth 0.1 sine 440"}, {}, {}, {}};
    StartTimes ours, ffmpeg, sox;
    for (auto _ : state) {
        const StartTimes t = startMs(pluginCommand(tiny));
        if (t.wall < 0) {
            state.SkipWithError("pcmkit-convert failed");
            return;
        }
        ours.add(t);
        ffmpeg.add(startMs(ffmpegCommand(tiny)));
        sox.add(startMs(soxCommand(tiny)));
    }
    const double n = double(state.iterations());
    state.counters["pcmkit_ms"] = ours.wall / n;
    state.counters["ffmpeg_ms"] = ffmpeg.wall / n;
    state.counters["sox_ms"] = sox.wall / n;
    state.counters["pcmkit_cpu_ms"] = ours.cpu / n;
    state.counters["sox_cpu_ms"] = sox.cpu / n;
}
BENCHMARK(Startup)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

const std::string kTone = "synth 600 sine 440 sine 660 vol 0.7";
const std::string kLavfi = "-f lavfi -i sine=frequency=440:duration=600";

const std::vector<Format> kFormats = {
    {"pcm16_wav", "pcm16.wav", {"sox -n -r 44100 -c 2 -b 16", "$OUT", kTone}, {}, {}, {}},
    {"pcm24_wav_to16", "pcm24.wav", {"sox -n -r 44100 -c 2 -b 24", "$OUT", kTone}, {"cfg_downcvt=1"}, {}, {}},
    {"float_au", "float.au", {"sox -n -r 44100 -c 2 -e floating-point -b 32", "$OUT", kTone}, {}, {}, {}},
    {"mulaw_au", "mulaw.au", {"sox -n -r 8000 -c 1 -e mu-law", "$OUT", kTone}, {}, {}, {}},
    {"voc8", "pcm8.voc", {"sox -n -r 22050 -c 1 -b 8", "$OUT", kTone}, {}, {}, {}},
    {"ima4_aifc",
     "ima4.aifc",
     {"ffmpeg -v error -y", kLavfi + ":sample_rate=44100 -ac 2 -c:a adpcm_ima_qt", "$OUT"},
     {},
     {},
     {}},
    {"westwood_aud",
     "westwood.aud",
     {"ffmpeg -v error -y", kLavfi + ":sample_rate=22050 -c:a adpcm_ima_ws", "$OUT"},
     {},
     {},
     {}},
    {"dialogic_vox",
     "dialogic.vox",
     {"sox -n -r 6000 -c 1 -t vox", "$OUT", kTone},
     {},
     {"-f", "u8", "-ar", "6000", "-ac", "1", "-c:a", "adpcm_ima_oki"},
     {"-t", "vox", "-r", "6000", "-c", "1"}},
    {"g721_au",
     "g721.au",
     {"ffmpeg -v error -y", kLavfi + ":sample_rate=8000 -c:a g726le -b:a 32k", "$OUT"},
     {},
     {},
     {}},
    {"msadpcm_wav", "msadpcm.wav", {"sox -n -r 22050 -c 2 -e ms-adpcm", "$OUT", kTone}, {}, {}, {}},
};

int registerAll()
{
    for (const Format& f : kFormats)
        benchmark::RegisterBenchmark((std::string("decode/") + f.name).c_str(), Compare, f)
            ->UseManualTime()
            ->Iterations(3)
            ->Unit(benchmark::kMillisecond);
    return 0;
}
const int registered = registerAll();

} // namespace

BENCHMARK_MAIN();
