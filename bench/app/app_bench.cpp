// The program as a whole: the title refresh of a long playlist of real files
// and the restore of a very long saved playlist with the windows shown, and
// start-up time and idle memory beside a minimal Qt Widgets window built in
// the same run (the floor); and on the X server, the time to the first window
// mapped and the memory at rest beside that window, Audacious and Qmmp.

#include "ProcessCpu.h"
#include "support/ScopedVariable.h"

#include "app/MainWindow.h"
#include "platform/folders.h"
#include "playlist/PlaylistWindow.h"
#include "playlist/SavedPlaylist.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Xlib last: its macros (None, Bool, Status) would clash with Qt's names.
#include "XWindows.h"

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

// Starts program with its standard output on a pipe; `environment` replaces
// variables of this process's environment for it ("NAME=value").
Probe startProbe(const std::string& program, std::vector<std::string> arguments = {},
                 const std::vector<std::string>& environment = {})
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** variable = environ; *variable; ++variable) {
        const std::string_view name(*variable, std::strcspn(*variable, "="));
        const bool replaced = std::any_of(environment.begin(), environment.end(), [&](const std::string& entry) {
            return entry.size() > name.size() && entry.compare(0, name.size(), name) == 0 && entry[name.size()] == '=';
        });
        if (!replaced)
            envp.push_back(*variable);
    }
    for (const std::string& entry : environment)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    Probe probe;
    if (posix_spawnp(&probe.pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
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
    Probe probe = startProbe(program, option ? std::vector<std::string>{option} : std::vector<std::string>{});
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

// A start as on a new account: no settings, no desktop entry, no file types
// associated yet, which that start does.
double firstStartMs(const std::string& program)
{
    const std::string account = scratchFolder() + "account/";
    fs::remove_all(account);
    const testsupport::ScopedVariable config("XDG_CONFIG_HOME", (account + "config").c_str());
    const testsupport::ScopedVariable data("XDG_DATA_HOME", (account + "data").c_str());
    return startupMs(program, nullptr);
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
    double programMs = 0, floorMs = 0, textFloorMs = 0, systemOutputMs = 0, firstMs = 0;
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
        firstMs += firstStartMs(program);
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
    state.counters["first_start_ms"] = firstMs / n;
}
BENCHMARK_CAPTURE(BM_StartupBesideFloor, offscreen, "offscreen")
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_StartupBesideFloor, x_server, "xcb")->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

// --- the first window mapped, as the X server sees it, beside other players ----------

// Watches the X server for top-level windows being mapped. On the bare virtual
// display of bench/run no window manager reparents them, so each is a child of
// the root window.
class MapWatch {
  public:
    MapWatch() : display_(XOpenDisplay(nullptr))
    {
        if (display_)
            XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    }
    ~MapWatch()
    {
        if (display_)
            XCloseDisplay(display_);
    }
    MapWatch(const MapWatch&) = delete;
    MapWatch& operator=(const MapWatch&) = delete;

    explicit operator bool() const { return display_ != nullptr; }

    // Forgets the maps of earlier programs.
    void reset() { XSync(display_, True); }

    // Milliseconds from `start` until a top-level window of pid is mapped, or a
    // negative value when none is within 30 s.
    double msUntilMapped(pid_t pid, std::chrono::steady_clock::time_point start)
    {
        const auto deadline = start + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            while (XPending(display_)) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type != MapNotify || event.xmap.override_redirect)
                    continue;
                const auto mapped = std::chrono::steady_clock::now();
                if (bench::WindowPid(display_, event.xmap.window) == pid)
                    return std::chrono::duration<double, std::milli>(mapped - start).count();
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd fd{ConnectionNumber(display_), POLLIN, 0};
            poll(&fd, 1, int(std::max<std::chrono::milliseconds::rep>(left.count(), 0)));
        }
        return -1;
    }

  private:
    Display* display_;
};

// A program started for a whole-window figure on the X server. The desktop
// players among them start in a home of their own, made by one start and quit,
// and are quit as a desktop does, so that each start finds the same home.
struct Contender {
    std::string name;
    std::string program;
    std::vector<std::string> arguments;
    bool isPeer = false;

    std::vector<std::string> environment() const
    {
        if (!isPeer)
            return {};
        const std::string home = scratchFolder() + name + "-home";
        return {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/config", "XDG_DATA_HOME=" + home + "/data",
                "XDG_CACHE_HOME=" + home + "/cache"};
    }
};

// The minimal Qt window first (the floor), then the program, then the players
// our users would pick instead: Audacious (its GTK window) and Qmmp.
std::vector<Contender> contendersOnX()
{
    return {{"floor", probePath("app_floor_probe"), {}, false},
            {"orvella", probePath("app_startup_probe"), {}, false},
            {"audacious", "audacious", {"-G"}, true},
            {"qmmp", "qmmp", {}, true}};
}

// Asks the program to quit and waits up to 5 s for it, then ends it.
void quitAsDesktopDoes(Probe& probe)
{
    kill(probe.pid, SIGTERM);
    for (int k = 0; k < 100; ++k) {
        if (waitpid(probe.pid, nullptr, WNOHANG) == probe.pid) {
            close(probe.out);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    stopProbe(probe);
}

// Milliseconds from spawn to the contender's first window mapped (negative when
// none is), and its resident memory after it idled 3 s when asked.
double msUntilMapped(MapWatch& watch, const Contender& contender, double* rssAfterIdle = nullptr)
{
    watch.reset();
    const auto start = std::chrono::steady_clock::now();
    Probe probe = startProbe(contender.program, contender.arguments, contender.environment());
    const double ms = watch.msUntilMapped(probe.pid, start);
    if (ms >= 0 && rssAfterIdle) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        *rssAfterIdle = bench::ResidentMiB(probe.pid);
    }
    if (contender.isPeer)
        quitAsDesktopDoes(probe);
    else
        stopProbe(probe);
    return ms;
}

// Takes `figure` (negative: none) of each contender in turn, every iteration,
// after their first starts: the program associates the file types, the players
// make their homes. The counters give each one's mean as "<name><unit>" and
// the ratio of each to the floor.
void measureContenders(benchmark::State& state, const std::string& unit,
                       const std::function<double(MapWatch&, const Contender&)>& figure)
{
    MapWatch watch;
    if (!std::getenv("DISPLAY") || !watch) {
        state.SkipWithError("needs an X server; bench/run starts one");
        return;
    }
    const testsupport::ScopedVariable onPlatform("QT_QPA_PLATFORM", "xcb");
    const std::vector<Contender> contenders = contendersOnX();
    freshDataFolder("startup");
    for (const Contender& contender : contenders)
        if (msUntilMapped(watch, contender) < 0) {
            state.SkipWithError((contender.name + " mapped no window (is it installed?)").c_str());
            return;
        }
    std::vector<double> totals(contenders.size());
    for (auto _ : state)
        for (size_t k = 0; k < contenders.size(); ++k) {
            const double value = figure(watch, contenders[k]);
            if (value < 0) {
                state.SkipWithError((contenders[k].name + " mapped no window").c_str());
                return;
            }
            totals[k] += value;
        }
    for (size_t k = 0; k < contenders.size(); ++k) {
        state.counters[contenders[k].name + unit] = totals[k] / double(state.iterations());
        if (k > 0)
            state.counters[contenders[k].name + "_ratio"] = totals[k] / totals[0];
    }
}

// Spawn to the first window mapped, timed the same way from outside for all.
// The program's case is the start of BM_StartupBesideFloor on the X server,
// without its own report.
void BM_FirstWindowMappedBesidePeers(benchmark::State& state)
{
    measureContenders(state, "_ms",
                      [](MapWatch& watch, const Contender& contender) { return msUntilMapped(watch, contender); });
}
BENCHMARK(BM_FirstWindowMappedBesidePeers)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

// Resident memory 3 s after the first window mapped.
void BM_IdleMemoryOnXBesidePeers(benchmark::State& state)
{
    measureContenders(state, "_MiB", [](MapWatch& watch, const Contender& contender) {
        double rss = 0;
        return msUntilMapped(watch, contender, &rss) < 0 ? -1.0 : rss;
    });
}
BENCHMARK(BM_IdleMemoryOnXBesidePeers)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();

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
