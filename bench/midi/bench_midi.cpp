// The cost of loading the MIDI plug-in (dlopen, the export and Init) beside
// the waveform plug-in, and of a first song's FluidSynth and SoundFont. Each
// iteration is a fresh process that reports the time of that step alone.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Runs the probe; its report in microseconds, or a negative value when it failed.
long probe(const std::string& what)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    char* argv[] = {const_cast<char*>(MIDI_LOAD_PROBE), const_cast<char*>(what.c_str()), nullptr};
    pid_t pid;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    char text[32] = {};
    const ssize_t n = failed ? 0 : read(pipeFds[0], text, sizeof text - 1);
    close(pipeFds[0]);
    int status = 0;
    if (failed || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || n <= 0)
        return -1;
    return std::atol(text);
}

void measure(benchmark::State& state, const std::string& what)
{
    for (auto _ : state) {
        const long us = probe(what);
        if (us < 0) {
            state.SkipWithError("the probe failed");
            return;
        }
        state.SetIterationTime(us / 1e6);
    }
}

void BM_LoadPlugin_in_midi(benchmark::State& state)
{
    measure(state, ORVELLA_PROGRAM_DIR "Plugins/in_midi.so");
}
void BM_LoadPlugin_in_pcmkit(benchmark::State& state)
{
    measure(state, ORVELLA_PROGRAM_DIR "Plugins/in_pcmkit.so");
}
void BM_FirstSongSynth(benchmark::State& state)
{
    measure(state, "--synth");
}

} // namespace

BENCHMARK(BM_LoadPlugin_in_midi)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPlugin_in_pcmkit)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstSongSynth)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
