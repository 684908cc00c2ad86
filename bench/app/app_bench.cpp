// The program as a whole: the title refresh of a long playlist of real files
// and the restore of a very long saved playlist with the windows shown, and
// start-up time and idle memory beside a minimal Qt Widgets window built in
// the same run (the floor).

#include "ProcessCpu.h"
#include "support/ScopedVariable.h"

#include "app/MainWindow.h"
#include "platform/folders.h"
#include "playlist/PlaylistWindow.h"
#include "playlist/SavedPlaylist.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string scratchFolder()
{
    static std::string dir = [] {
        std::string pattern = (fs::temp_directory_path() / "orvella-app-bench-XXXXXX").string();
        return std::string(mkdtemp(pattern.data())) + "/";
    }();
    return dir;
}

// A fresh, empty data folder: no settings, no saved playlist.
std::string freshDataFolder(const std::string& name)
{
    const std::string folder = scratchFolder() + name + "/";
    fs::remove_all(folder);
    fs::create_directories(folder);
    setenv("ORVELLA_DATA_DIR", folder.c_str(), 1);
    return folder;
}

void settle()
{
    for (int k = 0; k < 3; ++k)
        QApplication::processEvents();
}

// --- title refresh and restore, in this process ----------------------------------

// n entries, each a link to one of the real fixture files in turn.
std::vector<std::string> realFiles(int n)
{
    const char* fixtures[] = {"bass/tone.mp3",
                              "bass/tone.ogg",
                              "fileinfo/pcm_s16_stereo.wav",
                              "fileinfo/lame_vbr.mp3",
                              "fileinfo/wmav2_tagged.wma",
                              "fileinfo/id3v23_mutagen.mp3"};
    const std::string folder = scratchFolder() + "files/";
    fs::create_directories(folder);
    std::vector<std::string> paths;
    for (int k = 0; k < n; ++k) {
        const fs::path source = fs::path(ORVELLA_TEST_DATA_DIR) / fixtures[k % std::size(fixtures)];
        const std::string path = folder + "entry " + std::to_string(k) + source.extension().string();
        if (!fs::exists(path))
            fs::create_symlink(source, path);
        paths.push_back(path);
    }
    return paths;
}

void BM_TitleRefresh(benchmark::State& state)
{
    freshDataFolder("refresh");
    const std::vector<std::string> files = realFiles(int(state.range(0)));
    TForm1 form;
    form.show();
    settle();
    playlist::Tplayl& list = *form.playlistWindow();
    for (auto _ : state) {
        state.PauseTiming();
        list.clearplaylistbt1();
        list.ListBox1.Assign(files);
        state.ResumeTiming();
        list.RefreshFirst = 0;
        list.RefreshLast = list.Count() - 1;
        list.RefreshTimes = true;
        list.RefreshRenumber = true;
        list.procusme();
        settle();
    }
    state.counters["files_per_s"] =
        benchmark::Counter(double(state.iterations() * state.range(0)), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TitleRefresh)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RestoreSavedPlaylistAtStart(benchmark::State& state)
{
    freshDataFolder("restore");
    playlist::SavedPlaylist saved;
    for (int64_t k = 0; k < state.range(0); ++k) {
        saved.paths.push_back("/home/user/Music/Artist " + std::to_string(k % 97) + "/Track " + std::to_string(k) +
                              ".mp3");
        saved.captions.push_back(QString("%1. Artist %2 - Track %1").arg(k + 1).arg(k % 97));
        saved.times.push_back(QStringLiteral("03:25"));
    }
    playlist::WriteSavedPlaylist(playlist::SavedPlaylistFolder(), saved);
    for (auto _ : state) {
        state.PauseTiming();
        auto form = std::make_unique<TForm1>();
        state.ResumeTiming();
        // The first showing restores the settings and the playlist and shows both windows.
        form->show();
        settle();
        benchmark::DoNotOptimize(form->playlistWindow()->Count());
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RestoreSavedPlaylistAtStart)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// --- start-up and idle memory, as separate processes ------------------------------

struct Probe {
    pid_t pid = -1;
    int out = -1;
};

std::string probePath(const char* name)
{
    return (fs::read_symlink("/proc/self/exe").parent_path() / name).string();
}

Probe startProbe(const std::string& program, const char* option = nullptr)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(option), nullptr};
    Probe probe;
    if (posix_spawn(&probe.pid, program.c_str(), &actions, nullptr, argv, environ) != 0)
        throw std::runtime_error("cannot start " + program);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    probe.out = pipeFds[0];
    return probe;
}

// Blocks until the probe reports its window shown (at most 30 s).
bool waitShown(const Probe& probe)
{
    pollfd fd{probe.out, POLLIN, 0};
    char byte = 0;
    while (poll(&fd, 1, 30000) == 1 && read(probe.out, &byte, 1) == 1)
        if (byte == '\n')
            return true;
    return false;
}

void stopProbe(Probe& probe)
{
    kill(probe.pid, SIGKILL);
    waitpid(probe.pid, nullptr, 0);
    close(probe.out);
}

double startupMs(const std::string& program, double* rssAfterIdle, const char* option = nullptr)
{
    freshDataFolder("startup");
    const auto start = std::chrono::steady_clock::now();
    Probe probe = startProbe(program, option);
    const bool shown = waitShown(probe);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (shown && rssAfterIdle) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        *rssAfterIdle = bench::ResidentMiB(probe.pid);
    }
    stopProbe(probe);
    if (!shown)
        throw std::runtime_error(program + " did not show its window");
    return ms;
}

// On the Qt platform `platform`: offscreen (no display), or xcb, the X server
// bench/run starts, where "shown" means the windows are mapped.
void BM_StartupBesideFloor(benchmark::State& state, const char* platform)
{
    if (std::strcmp(platform, "xcb") == 0 && !std::getenv("DISPLAY")) {
        state.SkipWithError("needs an X server; bench/run starts one");
        return;
    }
    const std::string program = probePath("app_startup_probe");
    const std::string floor = probePath("app_floor_probe");
    double programMs = 0, floorMs = 0, textFloorMs = 0, systemOutputMs = 0;
    const testsupport::ScopedVariable onPlatform("QT_QPA_PLATFORM", platform);
    // The very first start associates the file types; time the ordinary ones.
    startupMs(program, nullptr);
    for (auto _ : state) {
        floorMs += startupMs(floor, nullptr);
        textFloorMs += startupMs(floor, nullptr, "--sized-to-text");
        programMs += startupMs(program, nullptr);
        // On the system's sound output rather than the silent device.
        const testsupport::ScopedVariable systemOutput("ORVELLA_AUDIO", nullptr);
        systemOutputMs += startupMs(program, nullptr);
    }
    const double n = double(state.iterations());
    state.counters["orvella_ms"] = programMs / n;
    state.counters["floor_ms"] = floorMs / n;
    state.counters["ratio"] = programMs / floorMs;
    // Beside the same window laid out to its text before it shows.
    state.counters["text_floor_ms"] = textFloorMs / n;
    state.counters["text_ratio"] = programMs / textFloorMs;
    // The same start on the system's sound output, whose opening it does not wait for.
    state.counters["system_output_ms"] = systemOutputMs / n;
}
BENCHMARK_CAPTURE(BM_StartupBesideFloor, offscreen, "offscreen")
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_StartupBesideFloor, x_server, "xcb")->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_IdleMemoryBesideFloor(benchmark::State& state)
{
    const std::string program = probePath("app_startup_probe");
    const std::string floor = probePath("app_floor_probe");
    double programMiB = 0, floorMiB = 0;
    for (auto _ : state) {
        double rss = 0;
        startupMs(floor, &rss);
        floorMiB += rss;
        startupMs(program, &rss);
        programMiB += rss;
    }
    const double n = double(state.iterations());
    state.counters["orvella_MiB"] = programMiB / n;
    state.counters["floor_MiB"] = floorMiB / n;
    state.counters["ratio"] = programMiB / floorMiB;
}
BENCHMARK(BM_IdleMemoryBesideFloor)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("ORVELLA_AUDIO", "null", 0);
    platform::SetProgramFolder(ORVELLA_PROGRAM_DIR);
    // The probes start like the program: boxes logged, not shown.
    setenv("ORVELLA_MSGBOX_LOG", (scratchFolder() + "boxes.jsonl").c_str(), 1);
    // No running Orvella takes the probes' files; the user's desktop is untouched.
    const std::string runtime = scratchFolder() + "runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("ORVELLA_REGISTRY", (scratchFolder() + "registry").c_str(), 1);
    setenv("XDG_DATA_HOME", (scratchFolder() + "xdg-data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (scratchFolder() + "xdg-config").c_str(), 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    fs::remove_all(scratchFolder());
    return 0;
}
