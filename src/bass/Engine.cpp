#include "Engine.h"
#include "SampleMath.h"
#include "Spectrum.h"

#include <xmmintrin.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace bass {
namespace {

constexpr std::size_t kBlockFrames = 512; // mixed at a time (11.6 ms at 44.1 kHz)
constexpr std::size_t kRingFrames = 8192;
constexpr std::size_t kTargetFrames = 5120; // queued ahead of the device (116 ms at 44.1 kHz)

} // namespace

struct Engine::Runtime {
    explicit Runtime(unsigned rate_) : rate(rate_), ring(kRingFrames)
    {
        sem_init(&wake, 0, 0);
        feed.ring = &ring;
        feed.wake = &wake;
        feed.wakeBelow = kTargetFrames + 1 - kBlockFrames;
        feed.queuedFrames = kTargetFrames;
    }
    ~Runtime() { sem_destroy(&wake); }

    const unsigned rate;
    SampleRing ring;
    sem_t wake; // posted by the device when the ring has room, by a channel starting, and by free()
    DeviceFeed feed;
    std::unique_ptr<OutputDevice> device; // Engine::lock_; null until the mixing thread has opened the system output
    bool started = false;                 // Engine::lock_: BASS_Start was called (and no BASS_Stop since)
    bool deviceRunning = false;           // Engine::lock_: the device consumes now
    std::atomic<bool> quit{false};
    std::thread mixer;
};

Engine& Engine::instance()
{
    // Never destroyed: a thread still calling the API while the process exits
    // finds its locks and tables intact (and the engine freed). On the heap, not
    // in the library's own data, which a sanitizer forgets at every dlclose.
    static Engine* engine = new Engine;
    return *engine;
}

int Engine::init(int device, DWORD freq, HWND)
{
    std::lock_guard<std::mutex> life(lifecycleLock_);
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (runtime_)
            return BASS_ERROR_ALREADY;
    }
    if (device != -1 && device != 0)
        return BASS_ERROR_DEVICE;
    if (freq < 8000 || freq > 192000)
        return BASS_ERROR_ILLPARAM;

    auto rt = std::make_unique<Runtime>(freq);
    const char* env = device == 0 ? "null" : std::getenv("ORVELLA_AUDIO");
    const std::string choice = env ? env : "";
    // The system's output is opened by the mixing thread (openSystemOutput):
    // reaching the sound server behind ALSA's default device takes from
    // milliseconds to a good part of a second, which the caller, often a
    // program starting up, need not wait for.
    const bool systemOutput = choice.empty();
    if (choice == "null") {
        rt->device = OpenClockDevice(freq, rt->feed, "");
    } else if (choice.rfind("wav:", 0) == 0) {
        if (choice.size() == 4)
            return BASS_ERROR_DEVICE;
        rt->device = OpenClockDevice(freq, rt->feed, choice.substr(4));
        if (!rt->device)
            return BASS_ERROR_FILEOPEN;
    } else if (!systemOutput) {
        return BASS_ERROR_DEVICE;
    }
    if (!rt->device && !systemOutput)
        return BASS_ERROR_DRIVER;

    // A host may end without BASS_Free, or call exit() from any thread; this
    // runs at exit or unload, before what was made ahead of the first init is gone.
    static struct ShutdownAtExit {
        ~ShutdownAtExit() { Engine::instance().shutdown(); }
    } shutdownAtExit;

    for (auto& v : volumes_)
        v.store(100);
    Runtime& running = *rt;
    rt->mixer = std::thread([this, &running] { mixLoop(running); });
    std::lock_guard<std::mutex> hold(lock_);
    runtime_ = std::move(rt);
    return BASS_OK;
}

int Engine::free()
{
    if (onMixingThread())
        return BASS_ERROR_ILLPARAM;
    std::lock_guard<std::mutex> life(lifecycleLock_);
    std::unique_ptr<Runtime> rt;
    std::unordered_map<DWORD, std::shared_ptr<Channel>> channels;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!runtime_)
            return BASS_ERROR_INIT;
        rt = std::move(runtime_);
        channels.swap(channels_);
        effectOwners_.clear();
    }
    for (auto& entry : channels)
        entry.second->release();
    rt->quit.store(true);
    sem_post(&rt->wake);
    rt->mixer.join();
    closeDevice(*rt); // a capture file is complete with its final sizes
    return BASS_OK;
}

void Engine::shutdown()
{
    // Not under lifecycleLock_: exit() may come from a sync callback while
    // another thread waits in free() for this very thread.
    std::unique_ptr<Runtime> rt;
    {
        std::lock_guard<std::mutex> hold(lock_);
        rt = std::move(runtime_);
    }
    if (!rt)
        return;
    rt->quit.store(true);
    sem_post(&rt->wake);
    if (onMixingThread()) {
        // exit() from a callback: this thread never returns to the mixer loop,
        // which still refers to the runtime and the channels, so they stay.
        rt->mixer.detach();
        closeDevice(*rt);
        static_cast<void>(rt.release());
        return;
    }
    rt->mixer.join();
    closeDevice(*rt);
    std::unordered_map<DWORD, std::shared_ptr<Channel>> channels;
    {
        std::lock_guard<std::mutex> hold(lock_);
        channels.swap(channels_);
        effectOwners_.clear();
    }
    for (auto& entry : channels)
        entry.second->release();
}

int Engine::start()
{
    std::lock_guard<std::mutex> hold(lock_);
    if (!runtime_)
        return BASS_ERROR_INIT;
    // Started once to know it works; the mixer stops it again while at rest.
    // The system's output, still being opened, is started by its opening.
    if (runtime_->device && !runtime_->device->start())
        return BASS_ERROR_DRIVER;
    runtime_->deviceRunning = runtime_->device != nullptr;
    runtime_->started = true;
    sem_post(&runtime_->wake);
    return BASS_OK;
}

int Engine::stop()
{
    std::lock_guard<std::mutex> hold(lock_);
    if (!runtime_)
        return BASS_ERROR_INIT;
    if (runtime_->device)
        runtime_->device->stop();
    runtime_->deviceRunning = false;
    runtime_->started = false;
    return BASS_OK;
}

void Engine::wakeMixer()
{
    std::lock_guard<std::mutex> hold(lock_);
    if (runtime_)
        sem_post(&runtime_->wake);
}

int Engine::info(BASS_INFO& info)
{
    if (info.size != sizeof(BASS_INFO))
        return BASS_ERROR_ILLPARAM;
    std::lock_guard<std::mutex> hold(lock_);
    if (!runtime_)
        return BASS_ERROR_INIT;
    info = BASS_INFO{};
    info.size = sizeof(BASS_INFO);
    info.dsver = 8;
    info.freq = runtime_->rate;
    info.chans = 2;
    // The system's output counts as such while it is still being opened.
    const OutputDevice* device = runtime_->device.get();
    info.latency = unsigned(kTargetFrames * 1000 / runtime_->rate) + (device ? device->latencyMs() : 0);
    info.devicekind = device ? device->kind() : BASS_DEVICE_SOUND;
    info.minrate = kMinUserRate;
    info.maxrate = kMaxUserRate;
    info.fxtypes = (1u << BASS_FX_ECHO) | (1u << BASS_FX_PARAMEQ) | (1u << BASS_FX_REVERB);
    info.started = runtime_->started ? 1 : 0;
    return BASS_OK;
}

int Engine::setVolumes(int music, int sample, int stream)
{
    const int wanted[3] = {music, sample, stream};
    for (int v : wanted)
        if (v != -1 && (v < 0 || v > 100))
            return BASS_ERROR_ILLPARAM;
    std::lock_guard<std::mutex> hold(lock_);
    if (!runtime_)
        return BASS_ERROR_INIT;
    for (int i = 0; i < 3; ++i)
        if (wanted[i] != -1)
            volumes_[i].store(wanted[i]);
    return BASS_OK;
}

int Engine::getVolumes(int* music, int* sample, int* stream)
{
    std::lock_guard<std::mutex> hold(lock_);
    if (!runtime_)
        return BASS_ERROR_INIT;
    int* out[3] = {music, sample, stream};
    for (int i = 0; i < 3; ++i)
        if (out[i])
            *out[i] = volumes_[i].load();
    return BASS_OK;
}

unsigned Engine::outputRate(int& error)
{
    std::lock_guard<std::mutex> hold(lock_);
    if (!runtime_) {
        error = BASS_ERROR_INIT;
        return 0;
    }
    return runtime_->rate;
}

DWORD Engine::newHandle()
{
    DWORD h;
    do
        h = nextHandle_.fetch_add(1);
    while (h == 0 || h == DWORD(-1)); // 0 is failure, -1 an error result
    return h;
}

int Engine::add(std::shared_ptr<Channel> channel)
{
    std::lock_guard<std::mutex> hold(lock_);
    if (!runtime_)
        return BASS_ERROR_INIT;
    channels_.emplace(channel->handle, std::move(channel));
    return BASS_OK;
}

std::shared_ptr<Channel> Engine::find(DWORD handle, int& error)
{
    std::lock_guard<std::mutex> hold(lock_);
    if (!runtime_) {
        error = BASS_ERROR_INIT;
        return nullptr;
    }
    auto it = channels_.find(handle);
    if (it == channels_.end()) {
        error = BASS_ERROR_HANDLE;
        return nullptr;
    }
    return it->second;
}

int Engine::remove(DWORD handle, bool music)
{
    std::shared_ptr<Channel> channel;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!runtime_)
            return BASS_ERROR_INIT;
        auto it = channels_.find(handle);
        if (it == channels_.end() || (it->second->kind == Channel::Kind::Music) != music)
            return BASS_ERROR_HANDLE;
        channel = std::move(it->second);
        channels_.erase(it);
        std::erase_if(effectOwners_, [&](const auto& e) { return e.second == handle; });
    }
    // Outside lock_: this may wait for a callback of the channel, which may
    // itself be calling the API.
    channel->release();
    return BASS_OK;
}

void Engine::setEffectOwner(HFX fx, DWORD channel)
{
    std::lock_guard<std::mutex> hold(lock_);
    effectOwners_[fx] = channel;
}

void Engine::forgetEffect(HFX fx)
{
    std::lock_guard<std::mutex> hold(lock_);
    effectOwners_.erase(fx);
}

std::shared_ptr<Channel> Engine::findEffectOwner(HFX fx, int& error)
{
    DWORD owner;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!runtime_) {
            error = BASS_ERROR_INIT;
            return nullptr;
        }
        auto it = effectOwners_.find(fx);
        if (it == effectOwners_.end()) {
            error = BASS_ERROR_HANDLE;
            return nullptr;
        }
        owner = it->second;
    }
    return find(owner, error);
}

bool Engine::onMixingThread() const
{
    return mixingThread_.load() == std::this_thread::get_id();
}

bool Engine::spectrum(const Channel& channel, float* out)
{
    float samples[kSpectrumSamples];
    channel.history(samples);
    std::lock_guard<std::mutex> hold(spectrumLock_);
    return SpectrumMagnitudes(samples, out);
}

void Engine::openSystemOutput(Runtime& rt)
{
    std::unique_ptr<OutputDevice> device = OpenSoundDevice(rt.rate, rt.feed);
    // Started once to know it works, as BASS_Start does with the other devices.
    const bool running = device && device->start();
    if (!running) // no sound output on this machine: play silently
        device = OpenClockDevice(rt.rate, rt.feed, "");
    std::lock_guard<std::mutex> hold(lock_);
    rt.device = std::move(device);
    rt.deviceRunning = running;
}

void Engine::closeDevice(Runtime& rt)
{
    if (rt.device)
        rt.device->stop();
    rt.device.reset();
}

void Engine::listPlaying(Runtime& rt, std::vector<std::shared_ptr<Channel>>& playing, bool playingOut)
{
    std::lock_guard<std::mutex> hold(lock_);
    for (auto& entry : channels_)
        if (entry.second->isPlaying())
            playing.push_back(entry.second);
    const bool active = !playing.empty() || playingOut || rt.ring.filledFrames() > 0;
    // A capture keeps its clock while a channel exists, so that a pause or a
    // stop is heard as the silence it was.
    const bool keepClock = rt.device->kind() == BASS_DEVICE_WAV && !channels_.empty();
    const bool run = rt.started && (active || keepClock);
    if (run && !rt.deviceRunning)
        rt.deviceRunning = rt.device->start();
    else if (!run && rt.deviceRunning) {
        rt.device->stop();
        rt.deviceRunning = false;
    }
}

void Engine::waitForWork(Runtime& rt)
{
    if (const std::optional<OutputDevice::TimePoint> tick = rt.device->nextTick()) {
        const auto sinceEpoch = std::chrono::duration_cast<std::chrono::nanoseconds>(tick->time_since_epoch());
        timespec until{};
        until.tv_sec = time_t(sinceEpoch.count() / 1000000000);
        until.tv_nsec = long(sinceEpoch.count() % 1000000000);
        // The steady clock is the monotonic one.
        while (sem_clockwait(&rt.wake, CLOCK_MONOTONIC, &until) != 0 && errno == EINTR) {
        }
    } else {
        while (sem_wait(&rt.wake) != 0 && errno == EINTR) {
        }
    }
}

void Engine::mixLoop(Runtime& rt)
{
    // Denormals in effect tails would cost more than the sound is worth.
    _mm_setcsr(_mm_getcsr() | 0x8040);
    mixingThread_.store(std::this_thread::get_id());
    std::vector<std::shared_ptr<Channel>> playing;
    std::vector<std::shared_ptr<Channel>> ended;
    // Channels whose last frame is in the ring, with the ring count at which the device has taken it.
    std::vector<std::pair<std::shared_ptr<Channel>, uint64_t>> playingOut;
    playing.reserve(64);
    ended.reserve(64);
    playingOut.reserve(64);
    std::vector<float> mix(kBlockFrames * 2);
    std::vector<int16_t> out(kBlockFrames * 2);
    bool wasPlaying = false; // a channel was mixed in the last pass
    if (!rt.device)
        openSystemOutput(rt);

    while (!rt.quit.load()) {
        rt.device->pace();
        // Whatever was posted so far (by the pace above too) is seen by this
        // pass; quit is read again after, since free()'s post may be among them.
        while (sem_trywait(&rt.wake) == 0) {
        }
        if (rt.quit.load())
            break;
        // End syncs fire once the device has taken a channel's last frame.
        const uint64_t consumed = rt.ring.consumed();
        for (std::size_t i = 0; i < playingOut.size();) {
            if (playingOut[i].second <= consumed) {
                playingOut[i].first->fireEndSyncs();
                playingOut.erase(playingOut.begin() + long(i));
            } else {
                ++i;
            }
        }
        listPlaying(rt, playing, !playingOut.empty());
        if (playing.empty())
            wasPlaying = false;
        if (playing.empty() || rt.ring.filledFrames() + kBlockFrames > kTargetFrames) {
            playing.clear();
            // Condition: the device took frames and the ring has room for a
            // block (it posts), a channel started, BASS_Start, or free() asks
            // to quit; or the tick of a device this thread runs. At rest only
            // a start or free() comes (and a capture's ticks). What is left in
            // the ring plays out; the device fills the rest with silence.
            waitForWork(rt);
            continue;
        }
        if (!wasPlaying) {
            // Starting from rest: the queue is filled with silence first, so a
            // channel is mixed in real time from its first block on, block by
            // block as the device takes frames, as it is once the queue is full.
            std::fill(out.begin(), out.end(), int16_t(0));
            while (rt.ring.filledFrames() + kBlockFrames <= kTargetFrames)
                rt.ring.write(out.data(), kBlockFrames);
            wasPlaying = true;
            playing.clear();
            continue;
        }
        // As many blocks as the ring has room for, one block at a time so
        // that callbacks and the spectrum see the usual block size.
        while (rt.ring.filledFrames() + kBlockFrames <= kTargetFrames && !rt.quit.load()) {
            std::fill(mix.begin(), mix.end(), 0.0f);
            MixBlock block{kBlockFrames, mix.data(), 1.0f};
            for (auto& channel : playing) {
                block.kindGain = VolumeGain(volumes_[channel->kind == Channel::Kind::Music ? 0 : 2].load());
                if (channel->mix(block))
                    ended.push_back(channel);
            }
            ToSamples(mix.data(), out.data(), mix.size());
            rt.ring.write(out.data(), kBlockFrames);
            for (auto& channel : ended)
                playingOut.emplace_back(std::move(channel), rt.ring.written());
            ended.clear();
            std::erase_if(playing, [](const auto& channel) { return !channel->isPlaying(); });
            if (playing.empty())
                break; // the next pass sees what is left to play out
        }
        playing.clear(); // a channel freed meanwhile is destroyed here, off the API's thread
    }
    mixingThread_.store(std::thread::id());
}

} // namespace bass
