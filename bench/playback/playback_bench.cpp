// The real program at rest and playing, beside Audacious on the same virtual
// display in the same run: CPU time of each whole process over a 30-s window
// (after both have settled), how often its threads woke in that window, and
// their resident memory at its end.
//
// Orvella runs with silent audio (ORVELLA_AUDIO=null) and is started through
// the desktop media control (MPRIS Play); Audacious plays the same file with
// its GTK window through SDL's disk driver into /dev/null, which is paced in
// real time like a sound card. Both run at once, so both see the same load.
// The "sound card" cases play through each program's ALSA output instead, to
// the tests' sound card (support/AlsaTestCard.h), as a user's would. The
// "out of sight" case unmaps both programs' windows, as a window manager does
// when it minimises them.
// bench/run starts this program inside xvfb-run and a private session bus.

#include "ProcessCpu.h"
#include "support/AlsaTestCard.h"
#include "support/ProgramEnvironment.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

// Xlib last: its macros (None, Bool, Status) would clash with Qt's names.
#include "XWindows.h"

namespace {

constexpr int kSettleMs = 5000;
constexpr int kWindowS = 30;
constexpr const char* kService = "org.mpris.MediaPlayer2.orvella";

QTemporaryDir& scratch()
{
    static QTemporaryDir dir;
    return dir;
}

QString scratchPath(const QString& name)
{
    return scratch().path() + "/" + name;
}

// A minute of a chord with some movement in it, so the decoder has real work.
QString makeFile(const QString& name, const QStringList& codec)
{
    const QString path = scratchPath(name);
    if (!QFile::exists(path)) {
        QStringList args = {"-v",
                            "error",
                            "-y",
                            "-f",
                            "lavfi",
                            "-i",
                            "sine=frequency=220:beep_factor=3:duration=60:sample_rate=44100",
                            "-f",
                            "lavfi",
                            "-i",
                            "anoisesrc=color=pink:amplitude=0.2:duration=60:sample_rate=44100",
                            "-filter_complex",
                            "[0][1]amix=inputs=2,aformat=channel_layouts=stereo"};
        args += codec;
        args += path;
        QProcess::execute("ffmpeg", args);
    }
    return path;
}

// User plus system CPU seconds of a process so far.
double cpuSeconds(qint64 pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(line.substr(close + 2));
    std::string skip;
    for (int i = 3; i < 14; ++i) // fields 3..13
        fields >> skip;
    double user = 0, system = 0;
    fields >> user >> system;
    return (user + system) / double(sysconf(_SC_CLK_TCK));
}

// How often the threads of a process went to sleep so far (voluntary context
// switches): each is a wake-up later, which costs the more the busier the machine.
double sleeps(qint64 pid)
{
    double total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        std::ifstream status((tasks.filePath(task) + "/status").toStdString());
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                total += std::stod(line.substr(24));
    }
    return total;
}

bool eventually(const std::function<bool()>& condition, int timeoutMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        QThread::msleep(50);
    }
    return true;
}

// Where each program sends its sound.
enum class Output { Silent, SoundCard };

// ALSA's configuration with the tests' card as the default device.
QString soundCardConfiguration()
{
    static const QString path = [] {
        const QString file = scratchPath("asound.conf");
        std::ofstream(file.toStdString()) << testsupport::AlsaTestCardConfiguration("/dev/null");
        return file;
    }();
    return path;
}

struct Player {
    QProcess process;
    QTemporaryDir home; // orvella's; Audacious keeps one for the run

    ~Player()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished();
    }
    qint64 pid() const { return process.processId(); }
};

void startOrvella(Player& p, const QString& file, Output output)
{
    QProcessEnvironment env = testsupport::ProgramEnvironment(p.home.path().toStdString() + "/");
    if (output == Output::Silent) {
        env.insert("ORVELLA_AUDIO", "null");
    } else {
        env.remove("ORVELLA_AUDIO");
        env.insert("ALSA_CONFIG_PATH", soundCardConfiguration());
    }
    env.insert("QT_QPA_PLATFORM", "xcb");
    p.process.setProcessEnvironment(env);
    p.process.start(QString(ORVELLA_PROGRAM_DIR) + "orvella", file.isEmpty() ? QStringList{} : QStringList{file});
}

// Asks orvella for `command` (Play, Pause) through MPRIS; true once it reports `status`.
bool commandOrvella(const char* command, const QString& status)
{
    auto owned = [] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value(); };
    if (!eventually(owned, 20000))
        return false;
    QDBusInterface player(kService, "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player");
    player.call(command);
    return eventually([&] { return player.property("PlaybackStatus").toString() == status; }, 5000);
}

QProcessEnvironment audaciousEnvironment(const QString& home, Output output)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_DATA_HOME", home + "/data");
    env.insert("XDG_CACHE_HOME", home + "/cache");
    env.insert("SDL_AUDIODRIVER", "disk");
    env.insert("SDL_DISKAUDIOFILE", "/dev/null");
    if (output == Output::SoundCard)
        env.insert("ALSA_CONFIG_PATH", soundCardConfiguration());
    return env;
}

// Audacious picks its output from its plug-in registry, which it writes when it
// quits: one start and stop makes it, then the SDL output (for the sound card,
// the ALSA one) is the one enabled.
QString audaciousHome(Output output)
{
    static std::map<Output, QString> homes;
    if (const auto made = homes.find(output); made != homes.end())
        return made->second;
    const QString plugin = output == Output::Silent ? "/sdlout.so" : "/alsa.so";
    const QString path = scratchPath(output == Output::Silent ? "audacious-home" : "audacious-home-alsa");
    QProcess first;
    first.setProcessEnvironment(audaciousEnvironment(path, output));
    first.start("audacious", {"-G"});
    QThread::sleep(4);
    first.terminate();
    first.waitForFinished(10000);
    QFile registry(path + "/config/audacious/plugin-registry");
    if (!registry.open(QIODevice::ReadOnly))
        return QString();
    QStringList lines = QString::fromUtf8(registry.readAll()).split('\n');
    registry.close();
    bool isOutput = false, chosen = false;
    for (QString& line : lines) {
        if (line.contains(" /")) { // a record begins: "<kind> <path>"
            isOutput = line.startsWith("output ");
            chosen = line.endsWith(plugin);
        } else if (isOutput && line.startsWith("enabled ")) {
            line = chosen ? "enabled 1" : "enabled 0";
        }
    }
    if (!registry.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    registry.write(lines.join('\n').toUtf8());
    return homes[output] = path;
}

bool audaciousReports(const QString& wanted, int timeoutMs)
{
    return eventually(
        [&] {
            QProcess status;
            status.start("audtool", {"playback-status"});
            status.waitForFinished();
            return status.readAllStandardOutput().trimmed() == wanted;
        },
        timeoutMs);
}

bool startAudacious(Player& p, const QString& file, Output output)
{
    const QString home = audaciousHome(output);
    if (home.isEmpty())
        return false;
    p.process.setProcessEnvironment(audaciousEnvironment(home, output));
    p.process.start("audacious", file.isEmpty() ? QStringList{"-G"} : QStringList{"-G", file});
    if (!p.process.waitForStarted())
        return false;
    if (file.isEmpty())
        return true;
    return audaciousReports("playing", 20000);
}

bool pauseAudacious()
{
    QProcess::execute("audtool", {"playback-pause"});
    return audaciousReports("paused", 5000);
}

// Unmaps the shown top-level windows of process pid; how many it unmapped.
int unmapWindowsOf(qint64 pid)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 0;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    int unmapped = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned k = 0; k < count; ++k) {
            XWindowAttributes attributes{};
            if (bench::WindowPid(display, children[k]) == pid &&
                XGetWindowAttributes(display, children[k], &attributes) && attributes.map_state == IsViewable) {
                XUnmapWindow(display, children[k]);
                ++unmapped;
            }
        }
        XFree(children);
    }
    XCloseDisplay(display);
    return unmapped;
}

// What each player does once it plays.
enum class Then { KeepPlaying, Pause, GoOutOfSight };

// Both players started on the same file (none: at rest), then paused or put
// out of sight when asked, measured together.
void BesideAudacious(benchmark::State& state, const QString& file, Output output, Then then = Then::KeepPlaying)
{
    for (auto _ : state) {
        Player orvella, audacious;
        startOrvella(orvella, file, output);
        if (!startAudacious(audacious, file, output)) {
            state.SkipWithError("audacious did not start playing");
            return;
        }
        if (!orvella.process.waitForStarted()) {
            state.SkipWithError("orvella did not start");
            return;
        }
        if (!file.isEmpty() && !commandOrvella("Play", "Playing")) {
            state.SkipWithError("orvella did not start playing through MPRIS");
            return;
        }
        if (then == Then::Pause && !(commandOrvella("Pause", "Paused") && pauseAudacious())) {
            state.SkipWithError("a player did not pause");
            return;
        }
        if (then == Then::GoOutOfSight &&
            (unmapWindowsOf(orvella.pid()) == 0 || unmapWindowsOf(audacious.pid()) == 0)) {
            state.SkipWithError("a player showed no window to put out of sight");
            return;
        }
        QThread::msleep(kSettleMs);
        const double orvellaStart = cpuSeconds(orvella.pid()), audaciousStart = cpuSeconds(audacious.pid());
        const double orvellaSleeps = sleeps(orvella.pid()), audaciousSleeps = sleeps(audacious.pid());
        QThread::sleep(kWindowS);
        const double orvellaCpu = cpuSeconds(orvella.pid()) - orvellaStart;
        const double audaciousCpu = cpuSeconds(audacious.pid()) - audaciousStart;
        const double orvellaWakeups = (sleeps(orvella.pid()) - orvellaSleeps) / kWindowS;
        const double audaciousWakeups = (sleeps(audacious.pid()) - audaciousSleeps) / kWindowS;
        for (Player* p : {&orvella, &audacious})
            if (p->process.state() != QProcess::Running) {
                state.SkipWithError((p->process.program() + " ended during the window").toUtf8().constData());
                return;
            }
        const double perMinute = 60.0 / kWindowS;
        state.counters["orvella_cpu_s_per_min"] = orvellaCpu * perMinute;
        state.counters["audacious_cpu_s_per_min"] = audaciousCpu * perMinute;
        state.counters["cpu_ratio"] = audaciousCpu > 0 ? orvellaCpu / audaciousCpu : 0;
        state.counters["orvella_wakeups_per_s"] = orvellaWakeups;
        state.counters["audacious_wakeups_per_s"] = audaciousWakeups;
        const double orvellaMiB = bench::ResidentMiB(orvella.pid()), audaciousMiB = bench::ResidentMiB(audacious.pid());
        state.counters["orvella_MiB"] = orvellaMiB;
        state.counters["audacious_MiB"] = audaciousMiB;
        state.counters["memory_ratio"] = audaciousMiB > 0 ? orvellaMiB / audaciousMiB : 0;
        state.SetIterationTime(kWindowS);
    }
}

int registerAll()
{
    auto add = [](const char* name, QString (*file)(), Output output = Output::Silent, Then then = Then::KeepPlaying) {
        benchmark::RegisterBenchmark(
            name, [file, output, then](benchmark::State& state) { BesideAudacious(state, file(), output, then); })
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kSecond);
    };
    add("at_rest_window_shown", [] { return QString(); });
    add("playing_mp3_320k", [] { return makeFile("chord-320k.mp3", {"-c:a", "libmp3lame", "-b:a", "320k"}); });
    add("playing_ogg_q6", [] { return makeFile("chord-q6.ogg", {"-c:a", "libvorbis", "-q:a", "6"}); });
    // Through in_media, the plug-in of the lossless and other types.
    add("playing_flac", [] { return makeFile("chord.flac", {"-c:a", "flac"}); });
    add("playing_aac_m4a", [] { return makeFile("chord.m4a", {"-c:a", "aac", "-b:a", "192k"}); });
    add(
        "paused_flac",
        [] {
            return makeFile("chord.flac", {"-c:a", "flac"});
        },
        Output::Silent, Then::Pause);
    add(
        "playing_mp3_320k_out_of_sight",
        [] {
            return makeFile("chord-320k.mp3", {"-c:a", "libmp3lame", "-b:a", "320k"});
        },
        Output::Silent, Then::GoOutOfSight);
    add(
        "playing_mp3_320k_sound_card",
        [] {
            return makeFile("chord-320k.mp3", {"-c:a", "libmp3lame", "-b:a", "320k"});
        },
        Output::SoundCard);
    return 0;
}
const int registered = registerAll();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !QDBusConnection::sessionBus().isConnected()) {
        std::fprintf(stderr, "bench_playback needs a display and a session bus (bench/run provides both)\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
