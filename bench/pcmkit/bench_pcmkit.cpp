// Decoding speed of ten-minute files through pcmkit-convert (the plug-in in a
// host that writes what it gets), against ffmpeg decoding the same file to
// null with one thread. The figure is "x_realtime": ten minutes divided by the
// CPU time (user + system) the decoding process took; the benchmark's own time
// is that CPU time too, so other load on the machine does not count.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

constexpr double kSeconds = 600;

struct Format {
    const char* name;
    const char* file;
    std::vector<std::string> make;        // shell command; $OUT is the file
    std::vector<std::string> settings;    // --set values for the plug-in
    std::vector<std::string> ffmpegInput; // options before -i
};

const std::string& folder()
{
    static const std::string dir = [] {
        std::string d = (std::filesystem::temp_directory_path() / "orvella-bench-pcmkit").string();
        std::filesystem::create_directories(d);
        return d + "/";
    }();
    return dir;
}

// Runs a program; returns the CPU seconds it used, or a negative value when it failed.
double run(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed)
        return -1;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
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

void measure(benchmark::State& state, const std::vector<std::string>& command)
{
    for (auto _ : state) {
        double cpu = run(command);
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
    std::vector<std::string> command = {PCMKIT_CONVERT,  "--set", "cfg_ext_mask=2047", "--set",
                                        "cfg_downcvt=0", "--set", "cfg_raw_sr=6000"};
    for (const std::string& s : f.settings)
        command.insert(command.end(), {"--set", s});
    command.insert(command.end(), {prepare(f), "/dev/null"});
    measure(state, command);
}

void Ffmpeg(benchmark::State& state, const Format& f)
{
    std::vector<std::string> command = {"ffmpeg", "-nostdin", "-v", "error", "-threads", "1"};
    command.insert(command.end(), f.ffmpegInput.begin(), f.ffmpegInput.end());
    command.insert(command.end(), {"-i", prepare(f), "-f", "null", "-"});
    measure(state, command);
}

const std::string kTone = "synth 600 sine 440 sine 660 vol 0.7";
const std::string kLavfi = "-f lavfi -i sine=frequency=440:duration=600";

const std::vector<Format> kFormats = {
    {"pcm16_wav", "pcm16.wav", {"sox -n -r 44100 -c 2 -b 16", "$OUT", kTone}, {}, {}},
    {"pcm24_wav_to16", "pcm24.wav", {"sox -n -r 44100 -c 2 -b 24", "$OUT", kTone}, {"cfg_downcvt=1"}, {}},
    {"float_au", "float.au", {"sox -n -r 44100 -c 2 -e floating-point -b 32", "$OUT", kTone}, {}, {}},
    {"ima4_aifc",
     "ima4.aifc",
     {"ffmpeg -v error -y", kLavfi + ":sample_rate=44100 -ac 2 -c:a adpcm_ima_qt", "$OUT"},
     {},
     {}},
    {"westwood_aud",
     "westwood.aud",
     {"ffmpeg -v error -y", kLavfi + ":sample_rate=22050 -c:a adpcm_ima_ws", "$OUT"},
     {},
     {}},
    {"dialogic_vox",
     "dialogic.vox",
     {"sox -n -r 6000 -c 1 -t vox", "$OUT", kTone},
     {},
     {"-f", "u8", "-ar", "6000", "-ac", "1", "-c:a", "adpcm_ima_oki"}},
    {"g721_au", "g721.au", {"ffmpeg -v error -y", kLavfi + ":sample_rate=8000 -c:a g726le -b:a 32k", "$OUT"}, {}, {}},
    {"msadpcm_wav", "msadpcm.wav", {"sox -n -r 22050 -c 2 -e ms-adpcm", "$OUT", kTone}, {}, {}},
};

int registerAll()
{
    for (const Format& f : kFormats) {
        benchmark::RegisterBenchmark((std::string("pcmkit/") + f.name).c_str(), Plugin, f)
            ->UseManualTime()
            ->Iterations(5)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("ffmpeg/") + f.name).c_str(), Ffmpeg, f)
            ->UseManualTime()
            ->Iterations(5)
            ->Unit(benchmark::kMillisecond);
    }
    return 0;
}
const int registered = registerAll();

} // namespace

BENCHMARK_MAIN();
