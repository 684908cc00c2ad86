#include "Engine.h"
#include "SampleMath.h"

#include <fftw3.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <new>
#include <numbers>
#include <string>
#include <vector>

namespace bass {
namespace {

constexpr std::size_t kBlockFrames = 512; // mixed at a time (11.6 ms at 44.1 kHz)
constexpr std::size_t kRingFrames = 8192;
constexpr std::size_t kTargetFrames = 5120; // queued ahead of the device (116 ms at 44.1 kHz)
constexpr std::size_t kFftSize = 512;

} // namespace

struct Engine::Runtime {
    explicit Runtime(unsigned rate_) : rate(rate_), ring(kRingFrames)
    {
        sem_init(&wake, 0, 0);
        feed.ring = &ring;
        feed.wake = &wake;
    }
    ~Runtime() { sem_destroy(&wake); }

    const unsigned rate;
    SampleRing ring;
    sem_t wake; // posted by the device after each pull, and by free()
    DeviceFeed feed;
    std::unique_ptr<OutputDevice> device;
    bool started = false; // Engine::lock_
    std::atomic<bool> quit{false};
    std::thread mixer;
};

Engine& Engine::instance()
{
    // Never destroyed: a thread still calling the API while the process exits
    // finds its locks and tables intact (and the engine freed).
    alignas(Engine) static unsigned char storage[sizeof(Engine)];
    static Engine* engine = new (storage) Engine;
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
    if (choice == "null") {
        rt->device = OpenClockDevice(freq, rt->feed, "");
    } else if (choice.rfind("wav:", 0) == 0) {
        if (choice.size() == 4)
            return BASS_ERROR_DEVICE;
        rt->device = OpenClockDevice(freq, rt->feed, choice.substr(4));
        if (!rt->device)
            return BASS_ERROR_FILEOPEN;
    } else if (choice.empty()) {
        rt->device = OpenSoundDevice(freq, rt->feed);
        if (!rt->device) // no sound output on this machine: play silently
            rt->device = OpenClockDevice(freq, rt->feed, "");
    } else {
        return BASS_ERROR_DEVICE;
    }
    if (!rt->device)
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
    rt->device->stop();
    rt->device.reset(); // closes a capture file with its final sizes
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
        rt->device->stop();
        rt->device.reset();
        static_cast<void>(rt.release());
        return;
    }
    rt->mixer.join();
    rt->device->stop();
    rt->device.reset();
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
    if (!runtime_->device->start())
        return BASS_ERROR_DRIVER;
    runtime_->started = true;
    return BASS_OK;
}

int Engine::stop()
{
    std::lock_guard<std::mutex> hold(lock_);
    if (!runtime_)
        return BASS_ERROR_INIT;
    runtime_->device->stop();
    runtime_->started = false;
    return BASS_OK;
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
    info.latency = unsigned(kTargetFrames * 1000 / runtime_->rate) + runtime_->device->latencyMs();
    info.devicekind = runtime_->device->kind();
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

void Engine::spectrum(const Channel& channel, float* out)
{
    float samples[kFftSize];
    channel.history(samples);
    std::lock_guard<std::mutex> hold(spectrumLock_);
    // One plan for the life of the process: FFTW's planner is not thread-safe,
    // and this lock is the only place that plans.
    static float* in = fftwf_alloc_real(kFftSize);
    static fftwf_complex* bins = fftwf_alloc_complex(kFftSize / 2 + 1);
    static fftwf_plan plan = fftwf_plan_dft_r2c_1d(int(kFftSize), in, bins, FFTW_ESTIMATE);
    for (std::size_t n = 0; n < kFftSize; ++n) {
        const float hann = 0.5f - 0.5f * std::cos(2.0f * std::numbers::pi_v<float> * float(n) / kFftSize);
        in[n] = samples[n] * hann;
    }
    fftwf_execute(plan);
    // A Hann window keeps half the energy: a sine of amplitude A peaks at A x N / 4.
    constexpr float scale = 4.0f / kFftSize;
    for (std::size_t k = 0; k < kFftSize / 2; ++k)
        out[k] = std::hypot(bins[k][0], bins[k][1]) * scale;
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

    while (!rt.quit.load()) {
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
        if (rt.ring.filledFrames() + kBlockFrames > kTargetFrames) {
            // Condition: the device has taken some frames (it posts), or free() asks to quit.
            timespec until;
            clock_gettime(CLOCK_MONOTONIC, &until);
            until.tv_nsec += 20'000'000;
            if (until.tv_nsec >= 1'000'000'000) {
                until.tv_nsec -= 1'000'000'000;
                ++until.tv_sec;
            }
            sem_clockwait(&rt.wake, CLOCK_MONOTONIC, &until);
            while (sem_trywait(&rt.wake) == 0) {
            }
            continue;
        }
        {
            std::lock_guard<std::mutex> hold(lock_);
            for (auto& entry : channels_)
                if (entry.second->isPlaying())
                    playing.push_back(entry.second);
        }
        std::fill(mix.begin(), mix.end(), 0.0f);
        MixBlock block{kBlockFrames, mix.data(), 1.0f};
        for (auto& channel : playing) {
            block.kindGain = VolumeGain(volumes_[channel->kind == Channel::Kind::Music ? 0 : 2].load());
            if (channel->mix(block))
                ended.push_back(channel);
        }
        for (std::size_t i = 0; i < mix.size(); ++i)
            out[i] = ToSample(mix[i]);
        rt.ring.write(out.data(), kBlockFrames);
        for (auto& channel : ended)
            playingOut.emplace_back(std::move(channel), rt.ring.written());
        ended.clear();
        playing.clear(); // a channel freed meanwhile is destroyed here, off the API's thread
    }
    mixingThread_.store(std::thread::id());
}

} // namespace bass
