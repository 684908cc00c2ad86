// Engine costs: CPU per minute of audio playing a 320 kbit/s MP3 (effects off
// and on) and a q6 Ogg Vorbis on the null device, each beside FFmpeg decoding
// the same file, and the time to start the engine and a stream.

#include "bass/bass.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

namespace {

constexpr double kSeconds = 20.0; // of audio played per measurement

std::string WorkFolder()
{
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvella-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        return pattern + "/";
    }();
    return folder;
}

bool Run(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

// A chirp with noise, encoded by ffmpeg with the given output options.
std::string MakeSignal(const std::string& name, const std::string& codec)
{
    const std::string out = WorkFolder() + name;
    const std::string cmd = "ffmpeg -v error -y -f lavfi -i \"aevalsrc=0.3*sin(2*PI*(200+100*t)*t)+0.05*random(0)|"
                            "0.3*sin(2*PI*(300+80*t)*t)+0.05*random(1):s=44100:d=" +
                            std::to_string(kSeconds) + "\" " + codec + " " + out;
    if (!Run(cmd))
        std::abort();
    return out;
}

// Made once per run.
const std::string& TestMp3()
{
    static const std::string path = MakeSignal("signal.mp3", "-c:a libmp3lame -b:a 320k");
    return path;
}

const std::string& TestOgg()
{
    static const std::string path = MakeSignal("signal.ogg", "-c:a libvorbis -q:a 6");
    return path;
}

const std::string& TestWav()
{
    static const std::string path = [] {
        const std::string out = WorkFolder() + "short.wav";
        if (!Run("ffmpeg -v error -y -f lavfi -i sine=f=440:d=0.5:r=44100 -ac 2 " + out))
            std::abort();
        return out;
    }();
    return path;
}

double CpuSeconds(int who)
{
    rusage use{};
    getrusage(who, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

struct EndFlag {
    std::mutex lock; // guards ended
    std::condition_variable changed;
    bool ended = false;
    static void Proc(HSYNC, DWORD, DWORD, void* user)
    {
        auto* self = static_cast<EndFlag*>(user);
        std::lock_guard<std::mutex> hold(self->lock);
        self->ended = true;
        self->changed.notify_all();
    }
    void wait()
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return ended; });
    }
};

// A flanger of the kind the player runs as a DSP: a 350-frame delay swept by a cursor.
struct Flanger {
    int16_t ring[350][2] = {};
    int write = 0;
    float cursor = 175.0f, step = 0.002f;
    static void Proc(HDSP, DWORD, void* buffer, DWORD length, void* user)
    {
        auto* f = static_cast<Flanger*>(user);
        auto* s = static_cast<int16_t*>(buffer);
        for (DWORD i = 0; i < length / 4; ++i) {
            const int p = int(f->cursor);
            const int d = (p + f->write) % 350, d1 = (d + 1) % 350;
            const float frac = f->cursor - float(p);
            for (int c = 0; c < 2; ++c) {
                const int v = int((1 - frac) * f->ring[d][c] + frac * f->ring[d1][c]);
                const int in = s[i * 2 + c];
                f->ring[f->write][c] = int16_t(in);
                s[i * 2 + c] = int16_t(std::clamp(v + in, -32768, 32767));
            }
            f->write = (f->write + 1) % 350;
            f->cursor += f->step;
            if (f->cursor < 0 || f->cursor > 350)
                f->step = -f->step;
        }
    }
};

void AddPlayerEffects(HSTREAM stream, Flanger& flanger)
{
    static const float centres[10] = {80, 170, 310, 600, 1000, 3000, 6000, 10000, 12000, 14000};
    static const float widths[10] = {4, 4, 4, 4, 5, 6, 5, 4, 3, 3};
    BASS_ChannelSetDSP(stream, &Flanger::Proc, &flanger);
    for (int band = 0; band < 10; ++band) {
        const BASS_FXPARAMEQ eq{centres[band], widths[band], band % 2 ? 6.0f : -4.0f};
        BASS_FXSetParameters(BASS_ChannelSetFX(stream, BASS_FX_PARAMEQ), &eq);
    }
    const HFX echo = BASS_ChannelSetFX(stream, BASS_FX_ECHO);
    BASS_FXECHO e;
    BASS_FXGetParameters(echo, &e);
    e.fWetDryMix = 19.2f;
    e.fFeedback = 30;
    BASS_FXSetParameters(echo, &e);
    const BASS_FXREVERB r{0, -8, 1000, 0.1f};
    BASS_FXSetParameters(BASS_ChannelSetFX(stream, BASS_FX_REVERB), &r);
}

void PlayFile(benchmark::State& state, const std::string& file, bool effects)
{
    setenv("ORVELLA_AUDIO", "null", 1);
    for (auto _ : state) {
        BASS_Init(-1, 44100, 0, nullptr);
        BASS_Start();
        const double before = CpuSeconds(RUSAGE_SELF);
        const HSTREAM stream = BASS_StreamCreateFile(FALSE, file.c_str(), 0, 0, 0);
        Flanger flanger;
        if (effects)
            AddPlayerEffects(stream, flanger);
        EndFlag end;
        BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, &EndFlag::Proc, &end);
        BASS_StreamPlay(stream, FALSE, 0);
        end.wait();
        const double engine = CpuSeconds(RUSAGE_SELF) - before;
        BASS_Free();

        const double childBefore = CpuSeconds(RUSAGE_CHILDREN);
        Run("ffmpeg -v quiet -i " + file + " -f null -");
        const double ffmpeg = CpuSeconds(RUSAGE_CHILDREN) - childBefore;
        state.counters["engine_cpu_s_per_min"] = engine * 60 / kSeconds;
        state.counters["ffmpeg_cpu_s_per_min"] = ffmpeg * 60 / kSeconds;
        state.counters["ratio"] = engine / ffmpeg;
    }
}

void BM_PlayMp3EffectsOff(benchmark::State& state)
{
    PlayFile(state, TestMp3(), false);
}
BENCHMARK(BM_PlayMp3EffectsOff)->Iterations(1)->Unit(benchmark::kSecond);

void BM_PlayMp3AllEffects(benchmark::State& state)
{
    PlayFile(state, TestMp3(), true);
}
BENCHMARK(BM_PlayMp3AllEffects)->Iterations(1)->Unit(benchmark::kSecond);

void BM_PlayOggEffectsOff(benchmark::State& state)
{
    PlayFile(state, TestOgg(), false);
}
BENCHMARK(BM_PlayOggEffectsOff)->Iterations(1)->Unit(benchmark::kSecond);

// BASS_Init alone: arg 0 = the silent device, 1 = the system default (on a
// machine without a sound card, an open that finds none).
void BM_Init(benchmark::State& state)
{
    if (state.range(0) == 0)
        setenv("ORVELLA_AUDIO", "null", 1);
    else
        unsetenv("ORVELLA_AUDIO");
    for (auto _ : state) {
        if (!BASS_Init(-1, 44100, 0, nullptr))
            state.SkipWithError("BASS_Init failed");
        state.PauseTiming();
        BASS_Free();
        state.ResumeTiming();
    }
    setenv("ORVELLA_AUDIO", "null", 1);
}
BENCHMARK(BM_Init)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_InitToStreamPlay(benchmark::State& state)
{
    const std::string& wav = TestWav();
    setenv("ORVELLA_AUDIO", "null", 1);
    for (auto _ : state) {
        BASS_Init(-1, 44100, 0, nullptr);
        BASS_Start();
        const HSTREAM stream = BASS_StreamCreateFile(FALSE, wav.c_str(), 0, 0, 0);
        if (!BASS_StreamPlay(stream, FALSE, 0))
            state.SkipWithError("play failed");
        state.PauseTiming();
        BASS_Free();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_InitToStreamPlay)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
