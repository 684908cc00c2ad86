// The system's default sound output: ALSA's "default" device, which on a
// desktop leads to its sound server. A thread of the device's own writes one
// period at a time, pulled from the ring (DeviceFeed::pull), as the card makes
// room. libasound is loaded when the mixing thread opens the device, so a
// program that plays silently does not map it. While there is no card to play
// to (none yet, or it failed), the device keeps time on its own and looks for
// the card again: a sound server that restarts, a headset plugged in later.
//
// ALSA directly rather than through a portable layer: such a layer probes
// every sound server it knows when it starts, and a JACK client library whose
// shared store was left locked by a killed client never returns from that
// probe, which left the mixer waiting for ever with nothing heard.

#include "LoadedLibrary.h"
#include "OutputDevice.h"
#include "bass.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
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
    ORVELLA_ALSA_FUNCTIONS(ORVELLA_FUNCTION_POINTER)
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
#define ORVELLA_BIND(name) complete = BindFunction(library, alsa.name, #name) && complete;
        ORVELLA_ALSA_FUNCTIONS(ORVELLA_BIND)
#undef ORVELLA_BIND
        if (!complete)
            return nullptr;
        alsa.snd_lib_error_set_handler(SilentAlsa);
        return &alsa;
    }();
    return loaded;
}

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

// An open card and the sizes it took.
struct Card {
    snd_pcm_t* pcm = nullptr;
    snd_pcm_uframes_t periodFrames = 0;
    snd_pcm_uframes_t bufferFrames = 0;
};

// ALSA's default device, prepared to play 16-bit stereo at `rate` in periods
// of about `periodFrames`; nothing when it is not there or cannot.
std::optional<Card> OpenCard(const Alsa& alsa, unsigned rate, snd_pcm_uframes_t periodFrames)
{
    Card card{nullptr, periodFrames, 0};
    if (alsa.snd_pcm_open(&card.pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return std::nullopt;
    if (!Configure(alsa, card.pcm, rate, card.periodFrames, card.bufferFrames) || alsa.snd_pcm_prepare(card.pcm) < 0) {
        alsa.snd_pcm_close(card.pcm);
        return std::nullopt;
    }
    return card;
}

// How long a wait for the card lasts before the device looks at its orders
// again: a card that stalls holds up neither a stop nor the end.
constexpr int kWaitMs = 100;

// How often a card that failed is looked for again while sound is wanted.
constexpr std::chrono::seconds kReopenInterval{1};

class SoundDevice final : public OutputDevice {
  public:
    SoundDevice(const Alsa& alsa, const Card& card, unsigned rate, DeviceFeed& feed)
        : alsa_(alsa), rate_(rate), askedPeriodFrames_(card.periodFrames), feed_(feed),
          bufferFrames_(card.bufferFrames), card_(card), period_(card.periodFrames * 2), lost_(!card.pcm),
          thread_([this] { run(); })
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
        if (card_.pcm)
            alsa_.snd_pcm_close(card_.pcm);
    }

    bool start() override
    {
        {
            std::lock_guard<std::mutex> hold(lock_);
            started_ = started_ || !wanted_;
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
    unsigned latencyMs() const override { return unsigned(bufferFrames_.load() * 1000 / rate_); }

  private:
    void run()
    {
        bool prepared = true; // OpenCard prepared it
        std::unique_lock<std::mutex> hold(lock_);
        while (!quit_) {
            if (!wanted_) {
                if (playing_ && !changed_.wait_for(hold, heldByCard(), [this] { return wanted_ || quit_; })) {
                    drop();
                    playing_ = prepared = false;
                }
                changed_.wait(hold, [this] { return wanted_ || quit_; });
                continue;
            }
            if (!prepared && !lost_ && alsa_.snd_pcm_prepare(card_.pcm) < 0)
                markLost();
            prepared = playing_ = true;
            const bool started = std::exchange(started_, false);
            hold.unlock();
            if (lost_ && (started || std::chrono::steady_clock::now() >= nextReopen_))
                reopen();
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
            drop();
        }
    }

    // One period into the card once it has room for it. An underrun or a
    // suspend is recovered from; a card that cannot go on (unplugged, or its
    // sound server gone) is lost until it can be opened again.
    void writePeriod()
    {
        const int ready = alsa_.snd_pcm_wait(card_.pcm, kWaitMs);
        if (ready == 0)
            return;
        if (ready < 0) {
            recover(ready);
            return;
        }
        feed_.pull(period_.data(), card_.periodFrames);
        snd_pcm_uframes_t done = 0;
        while (done < card_.periodFrames && !lost_) {
            const snd_pcm_sframes_t n =
                alsa_.snd_pcm_writei(card_.pcm, period_.data() + done * 2, card_.periodFrames - done);
            if (n > 0)
                done += snd_pcm_uframes_t(n);
            else if (n == 0 || n == -EAGAIN)
                alsa_.snd_pcm_wait(card_.pcm, kWaitMs);
            else
                recover(int(n));
            std::lock_guard<std::mutex> hold(lock_);
            if (quit_)
                return;
        }
    }

    void recover(int error)
    {
        if (alsa_.snd_pcm_recover(card_.pcm, error, 1) < 0)
            markLost();
    }

    // A sound server that has just gone is not back at once: the card is
    // looked for again a while later, or as soon as something starts.
    void markLost()
    {
        lost_ = true;
        nextReopen_ = std::chrono::steady_clock::now() + kReopenInterval;
    }

    // The default device again, as the sound server that restarted or the
    // card plugged in again offers it now, in place of the one that failed.
    void reopen()
    {
        if (card_.pcm)
            alsa_.snd_pcm_close(card_.pcm);
        const std::optional<Card> card = OpenCard(alsa_, rate_, askedPeriodFrames_);
        if (!card) {
            card_.pcm = nullptr;
            markLost();
            return;
        }
        card_ = *card;
        period_.resize(card_.periodFrames * 2);
        bufferFrames_.store(card_.bufferFrames);
        lost_ = false;
    }

    void drop()
    {
        if (card_.pcm)
            alsa_.snd_pcm_drop(card_.pcm);
    }

    // Without its card the device still takes the sound in real time, so
    // that what plays ends and the program goes on.
    void pullInRealTime()
    {
        feed_.pull(period_.data(), card_.periodFrames);
        std::this_thread::sleep_for(std::chrono::microseconds(int64_t(card_.periodFrames) * 1000000 / rate_));
    }

    // How long what the card holds takes to sound.
    std::chrono::microseconds heldByCard() const
    {
        snd_pcm_sframes_t held = 0;
        if (lost_ || alsa_.snd_pcm_delay(card_.pcm, &held) < 0 || held <= 0)
            return std::chrono::microseconds(0);
        held = std::min<snd_pcm_sframes_t>(held, snd_pcm_sframes_t(card_.bufferFrames));
        return std::chrono::microseconds(int64_t(held) * 1000000 / rate_);
    }

    const Alsa& alsa_;
    const unsigned rate_;
    const snd_pcm_uframes_t askedPeriodFrames_;
    DeviceFeed& feed_;
    std::atomic<snd_pcm_uframes_t> bufferFrames_; // the card's, for latencyMs

    std::mutex lock_; // guards the orders
    std::condition_variable changed_;
    bool wanted_ = false;  // the mixer wants the device to take sound
    bool quit_ = false;    // the device is being destroyed
    bool started_ = false; // started from a stop since the device's thread last looked

    // The device's thread's own.
    bool playing_ = false; // the card was given sound and not stopped since
    Card card_;            // no handle while there is no card to play to
    std::vector<int16_t> period_;
    bool lost_; // no card, or it failed: the device keeps time alone and looks for it again
    std::chrono::steady_clock::time_point nextReopen_;
    std::thread thread_; // last, so that it starts with the rest in place
};

} // namespace

std::unique_ptr<OutputDevice> OpenSoundDevice(unsigned rate, DeviceFeed& feed)
{
    const Alsa* loaded = LoadAlsa();
    if (!loaded)
        return nullptr;
    const Alsa& alsa = *loaded;
    // A period of the silent device's length: the device's thread and the
    // mixer each wake about once per period while playing.
    const auto period = DevicePeriod(kDevicePeriod, rate, feed);
    const auto periodFrames = snd_pcm_uframes_t(int64_t(rate) * period.count() / 1000000);
    // A card that is not there yet (unplugged, its sound server not up, held
    // by another program) is looked for as sound starts, as one that failed.
    const Card card = OpenCard(alsa, rate, periodFrames).value_or(Card{nullptr, periodFrames, 0});
    return std::make_unique<SoundDevice>(alsa, card, rate, feed);
}

} // namespace bass
