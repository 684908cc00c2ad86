// in_media's decoding speed, whole process: pcmkit-convert (a host that writes
// what the plug-in gives it) playing ten-minute FLAC, Opus, M4A and WavPack
// files through in_media, against ffmpeg decoding the same file to null with
// one thread.
// "x_realtime" is ten minutes divided by the CPU time (user + system) of the
// process, which is also the benchmark's time, so other load does not count.
//
// Also the cost of loading the plug-in as the host does: dlopen, the export
// and Init, then Quit and dlclose. Qt is linked in, as in the program.

#include "player/plugin_api.h"

#include <QApplication>

#include "ProcessCpu.h"

#include <benchmark/benchmark.h>

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr double kSeconds = 600;

struct Format {
    const char* name;
    const char* file;
    std::string make; // ffmpeg output options
};

const std::string& folder()
{
    static const std::string dir = bench::ScratchFolder("orvella-bench-media");
    return dir;
}

std::string prepare(const Format& f)
{
    const std::string path = folder() + f.file;
    if (!std::filesystem::exists(path)) {
        const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i "
                                    "'aevalsrc=0.5*sin(2*PI*440*t)|0.5*sin(2*PI*660*t):d=600:s=44100' " +
                                    f.make + " '" + path + "'";
        if (std::system(command.c_str()) != 0)
            std::filesystem::remove(path);
    }
    return path;
}

void measure(benchmark::State& state, const std::vector<std::string>& command)
{
    for (auto _ : state) {
        const double cpu = bench::RunCpuSeconds(command);
        if (cpu < 0) {
            state.SkipWithError("the decoding process failed");
            return;
        }
        state.SetIterationTime(cpu);
    }
    state.counters["x_realtime"] =
        benchmark::Counter(kSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void Plugin(benchmark::State& state, const Format& f)
{
    measure(state, {PCMKIT_CONVERT, "--plugin", MEDIA_PLUGIN, prepare(f), "/dev/null"});
}

void Ffmpeg(benchmark::State& state, const Format& f)
{
    measure(state, {"ffmpeg", "-nostdin", "-v", "error", "-threads", "1", "-i", prepare(f), "-f", "null", "-"});
}

const std::vector<Format> kFormats = {
    {"flac", "tone.flac", "-c:a flac"},
    {"opus", "tone.opus", "-c:a libopus -b:a 128k"},
    {"aac", "tone.m4a", "-c:a aac -b:a 192k"},
    {"wavpack", "tone.wv", "-c:a wavpack -sample_fmt s16p"},
};

void LoadPlugin(benchmark::State& state)
{
    for (auto _ : state) {
        void* library = dlopen(MEDIA_PLUGIN, RTLD_NOW | RTLD_LOCAL);
        auto get = library ? reinterpret_cast<GetInModuleFunc>(dlsym(library, PLUGIN_EXPORT_NAME)) : nullptr;
        TInModule* m = get ? get() : nullptr;
        if (!m) {
            state.SkipWithError("in_media.so does not load");
            return;
        }
        m->Init();
        m->Quit();
        dlclose(library);
    }
}

int registerAll()
{
    for (const Format& f : kFormats) {
        benchmark::RegisterBenchmark((std::string("in_media/") + f.name).c_str(), Plugin, f)
            ->UseManualTime()
            ->Iterations(5)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("ffmpeg/") + f.name).c_str(), Ffmpeg, f)
            ->UseManualTime()
            ->Iterations(5)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("in_media/load_and_init", LoadPlugin)->Unit(benchmark::kMicrosecond);
    return 0;
}
const int registered = registerAll();

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv); // the plug-in's Qt is the program's
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
