// The system's default sound output: ALSA's "default" device, which on a
// desktop leads to its sound server. A thread of the device's own writes one
// period at a time, pulled from the ring (DeviceFeed::pull), as the card makes
// room. libasound is loaded when the mixing thread opens the device, so a
// program that plays silently does not map it.
//
// ALSA directly rather than through a portable layer: such a layer probes
// every sound server it knows when it starts, and a JACK client library whose
// shared store was left locked by a killed client never returns from that
// probe, which left the mixer waiting for ever with nothing heard.

#include "OutputDevice.h"
#include "bass.h"

#include <alsa/asoundlib.h>

#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace bass {
namespace {

#define ORVELLA_ALSA_FUNCTIONS(F)                                                                                      \
    F(snd_lib_error_set_handler)                                                                                       \
    F(snd_pcm_open)                                                                                                    \
    F(snd_pcm_close)                                                                                                   \
    F(snd_pcm_hw_params_malloc)                                                                                        \
    F(snd_pcm_hw_params_free)                                                                                          \
    F(snd_pcm_hw_params_any)                                                                                           \
    F(snd_pcm_hw_params_set_access)                                                                                    \
    F(snd_pcm_hw_params_set_format)                                                                                    \
    F(snd_pcm_hw_params_set_channels)                                                                                  \
    F(snd_pcm_hw_params_set_rate)                                                                                      \
    F(snd_pcm_hw_params_set_period_size_near)                                                                          \
    F(snd_pcm_hw_params_set_buffer_size_near)                                                                          \
    F(snd_pcm_hw_params)                                                                                               \
    F(snd_pcm_hw_params_get_period_size)                                                                               \
    F(snd_pcm_hw_params_get_buffer_size)                                                                               \
    F(snd_pcm_prepare)                                                                                                 \
    F(snd_pcm_drop)                                                                                                    \
    F(snd_pcm_wait)                                                                                                    \
    F(snd_pcm_writei)                                                                                                  \
    F(snd_pcm_recover)                                                                                                 \
    F(snd_pcm_delay)

// The libasound functions used here, bound by name.
struct Alsa {
#define ORVELLA_DECLARE(name) decltype(&::name) name;
    ORVELLA_ALSA_FUNCTIONS(ORVELLA_DECLARE)
#undef ORVELLA_DECLARE
};

// ALSA prints to stderr when a configured device is missing; the program says
// so its own way (it plays silently).
void SilentAlsa(const char*, int, const char*, int, const char*, ...)
{
}

// Null when the library or one of its names is missing. Never unloaded.
const Alsa* LoadAlsa()
{
    static const Alsa* loaded = []() -> const Alsa* {
        void* library = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return nullptr;
        static Alsa alsa;
        bool complete = true;
        auto bind = [&](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
            complete = complete && function;
        };
#define ORVELLA_BIND(name) bind(alsa.name, #name);
        ORVELLA_ALSA_FUNCTIONS(ORVELLA_BIND)
#undef ORVELLA_BIND
        if (!complete)
            return nullptr;
        alsa.snd_lib_error_set_handler(SilentAlsa);
        return &alsa;
    }();
    return loaded;
}

// How long a wait for the card lasts before the device looks at its orders
// again: a card that stalls holds up neither a stop nor the end.
constexpr int kWaitMs = 100;

class SoundDevice final : public OutputDevice {
  public:
    SoundDevice(const Alsa& alsa, snd_pcm_t* pcm, unsigned rate, snd_pcm_uframes_t periodFrames,
                snd_pcm_uframes_t bufferFrames, DeviceFeed& feed)
        : alsa_(alsa), pcm_(pcm), rate_(rate), periodFrames_(periodFrames), bufferFrames_(bufferFrames), feed_(feed),
          period_(periodFrames * 2), thread_([this] { run(); })
    {
    }

    ~SoundDevice() override
    {
        {
            std::lock_guard<std::mutex> hold(lock_);
            quit_ = true;
        }
        changed_.notify_one();
        thread_.join();
        alsa_.snd_pcm_close(pcm_);
    }

    bool start() override
    {
        {
            std::lock_guard<std::mutex> hold(lock_);
            wanted_ = true;
        }
        changed_.notify_one();
        return true;
    }

    // What the card holds still sounds, on the device's thread: the caller
    // does not wait for it, and a start meanwhile plays on without a gap.
    void stop() override
    {
        {
            std::lock_guard<std::mutex> hold(lock_);
            wanted_ = false;
        }
        changed_.notify_one();
    }

    unsigned kind() const override { return BASS_DEVICE_SOUND; }
    unsigned latencyMs() const override { return unsigned(bufferFrames_ * 1000 / rate_); }

  private:
    void run()
    {
        bool prepared = true; // OpenSoundDevice prepared it
        std::unique_lock<std::mutex> hold(lock_);
        while (!quit_) {
            if (!wanted_) {
                if (playing_ && !changed_.wait_for(hold, heldByCard(), [this] { return wanted_ || quit_; })) {
                    alsa_.snd_pcm_drop(pcm_);
                    playing_ = prepared = false;
                }
                changed_.wait(hold, [this] { return wanted_ || quit_; });
                continue;
            }
            if (!prepared && !lost_)
                lost_ = alsa_.snd_pcm_prepare(pcm_) < 0;
            prepared = playing_ = true;
            hold.unlock();
            if (lost_)
                pullInRealTime();
            else
                writePeriod();
            hold.lock();
        }
        // What the card holds sounds before it closes, as after a stop.
        if (playing_) {
            hold.unlock();
            std::this_thread::sleep_for(heldByCard());
            alsa_.snd_pcm_drop(pcm_);
        }
    }

    // One period into the card once it has room for it. An underrun or a
    // suspend is recovered from; a card that cannot go on (unplugged) is lost.
    void writePeriod()
    {
        const int ready = alsa_.snd_pcm_wait(pcm_, kWaitMs);
        if (ready == 0)
            return;
        if (ready < 0) {
            recover(ready);
            return;
        }
        feed_.pull(period_.data(), periodFrames_);
        snd_pcm_uframes_t done = 0;
        while (done < periodFrames_ && !lost_) {
            const snd_pcm_sframes_t n = alsa_.snd_pcm_writei(pcm_, period_.data() + done * 2, periodFrames_ - done);
            if (n > 0)
                done += snd_pcm_uframes_t(n);
            else if (n == 0 || n == -EAGAIN)
                alsa_.snd_pcm_wait(pcm_, kWaitMs);
            else
                recover(int(n));
            std::lock_guard<std::mutex> hold(lock_);
            if (quit_)
                return;
        }
    }

    void recover(int error)
    {
        if (alsa_.snd_pcm_recover(pcm_, error, 1) < 0)
            lost_ = true;
    }

    // Without its card the device still takes the sound in real time, so
    // that what plays ends and the program goes on.
    void pullInRealTime()
    {
        feed_.pull(period_.data(), periodFrames_);
        std::this_thread::sleep_for(std::chrono::microseconds(int64_t(periodFrames_) * 1000000 / rate_));
    }

    // How long what the card holds takes to sound.
    std::chrono::microseconds heldByCard() const
    {
        snd_pcm_sframes_t held = 0;
        if (lost_ || alsa_.snd_pcm_delay(pcm_, &held) < 0 || held <= 0)
            return std::chrono::microseconds(0);
        held = std::min<snd_pcm_sframes_t>(held, snd_pcm_sframes_t(bufferFrames_));
        return std::chrono::microseconds(int64_t(held) * 1000000 / rate_);
    }

    const Alsa& alsa_;
    snd_pcm_t* const pcm_; // used by the device's thread only, once it runs
    const unsigned rate_;
    const snd_pcm_uframes_t periodFrames_;
    const snd_pcm_uframes_t bufferFrames_;
    DeviceFeed& feed_;
    std::vector<int16_t> period_;

    std::mutex lock_; // guards the orders
    std::condition_variable changed_;
    bool wanted_ = false; // the mixer wants the device to take sound
    bool quit_ = false;   // the device is being destroyed

    // The device's thread's own.
    bool playing_ = false; // the card was given sound and not stopped since
    bool lost_ = false;    // the card failed for good: the device keeps time alone
    std::thread thread_;   // last, so that it starts with the rest in place
};

// 16-bit stereo at `rate`, in periods of about `periodFrames`, two of them in
// the card. False when the card cannot.
bool Configure(const Alsa& alsa, snd_pcm_t* pcm, unsigned rate, snd_pcm_uframes_t& periodFrames,
               snd_pcm_uframes_t& bufferFrames)
{
    snd_pcm_hw_params_t* params = nullptr;
    if (alsa.snd_pcm_hw_params_malloc(&params) < 0)
        return false;
    bufferFrames = periodFrames * 2;
    int dir = 0;
    const bool ok = alsa.snd_pcm_hw_params_any(pcm, params) >= 0 &&
                    alsa.snd_pcm_hw_params_set_access(pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED) >= 0 &&
                    alsa.snd_pcm_hw_params_set_format(pcm, params, SND_PCM_FORMAT_S16) >= 0 &&
                    alsa.snd_pcm_hw_params_set_channels(pcm, params, 2) >= 0 &&
                    alsa.snd_pcm_hw_params_set_rate(pcm, params, rate, 0) >= 0 &&
                    alsa.snd_pcm_hw_params_set_period_size_near(pcm, params, &periodFrames, &dir) >= 0 &&
                    alsa.snd_pcm_hw_params_set_buffer_size_near(pcm, params, &bufferFrames) >= 0 &&
                    alsa.snd_pcm_hw_params(pcm, params) >= 0 &&
                    alsa.snd_pcm_hw_params_get_period_size(params, &periodFrames, &dir) >= 0 &&
                    alsa.snd_pcm_hw_params_get_buffer_size(params, &bufferFrames) >= 0 && periodFrames > 0 &&
                    bufferFrames >= periodFrames;
    alsa.snd_pcm_hw_params_free(params);
    return ok;
}

} // namespace

std::unique_ptr<OutputDevice> OpenSoundDevice(unsigned rate, DeviceFeed& feed)
{
    const Alsa* loaded = LoadAlsa();
    if (!loaded)
        return nullptr;
    const Alsa& alsa = *loaded;
    snd_pcm_t* pcm = nullptr;
    if (alsa.snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return nullptr;
    // A period of the silent device's length: the device's thread and the
    // mixer each wake about once per period while playing.
    const auto period = DevicePeriod(kDevicePeriod, rate, feed);
    snd_pcm_uframes_t periodFrames = snd_pcm_uframes_t(int64_t(rate) * period.count() / 1000000);
    snd_pcm_uframes_t bufferFrames = 0;
    if (!Configure(alsa, pcm, rate, periodFrames, bufferFrames) || alsa.snd_pcm_prepare(pcm) < 0) {
        alsa.snd_pcm_close(pcm);
        return nullptr;
    }
    return std::make_unique<SoundDevice>(alsa, pcm, rate, periodFrames, bufferFrames, feed);
}

} // namespace bass
