// One playing thing: a file stream, a user stream or a music module, with its
// play state, its DSPs, effects and syncs, and its way to the mixer.
//
// Threads and locks (always taken in this order; stateLock_ is innermost):
// - sourceLock_ (recursive) guards the source and the mixer-side pipeline
//   (resampler, FIFO, end flags). Held by the mixing thread while it pulls the
//   source, a user stream's callback included; taken by free to wait that out.
// - chainLock_ (recursive) guards the DSP, effect and sync lists and the effects'
//   parameters. Held by the mixing thread while it runs them; taken by the API
//   calls that change them, so a removal waits out a running callback.
// - stateLock_ guards the play state, position, pending seek or flush and the
//   attributes. Held only briefly, never around a callback.
// - historyLock_ guards the spectrum history. Held only to copy it.
// Both recursive locks allow callbacks, which run on the mixing thread while
// one is held, to call the API on their own channel.
#pragma once

#include "Effects.h"
#include "Resampler.h"
#include "Source.h"
#include "bass.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace bass {

enum class PlayState { Stopped, Playing, Paused };

// What the mixer hands a channel for one block.
struct MixBlock {
    std::size_t frames; // device frames wanted
    float* mix;         // interleaved stereo accumulator
    float kindGain;     // the global volume of the channel's kind, as a gain
};

class Channel {
  public:
    enum class Kind { FileStream, UserStream, Music };

    Channel(DWORD handle, Kind kind, DWORD flags, const StreamFormat& format, std::unique_ptr<Source> source,
            unsigned outputRate);
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    const DWORD handle;
    const Kind kind;
    const DWORD flags;
    const unsigned rate;     // the channel's own rate
    const unsigned channels; // 1 or 2
    const int64_t lengthFrames;
    int64_t orders = 0; // music: entries of the order list

    unsigned bytesPerFrame() const { return channels * (flags & BASS_SAMPLE_8BITS ? 1 : 2); }

    // --- any thread (results are BASS_ERROR_* codes, BASS_OK on success) ---
    int play(bool flush);
    int pause();
    int resume();
    void stop();
    DWORD activeState() const;
    int64_t position() const; // in frames
    int setPosition(int64_t frame);
    int setAttributes(int freq, int volume, int pan); // -1, -1, -101: unchanged
    void getAttributes(DWORD* freq, DWORD* volume, int* pan) const;
    bool isPlaying() const { return state_.load(std::memory_order_acquire) == PlayState::Playing; }

    HSYNC addSync(HSYNC handle, SYNCPROC proc, void* user);
    bool removeSync(HSYNC handle);
    void addDsp(HDSP handle, DSPPROC proc, void* user);
    bool removeDsp(HDSP handle);
    bool addEffect(HFX handle, uint32_t type);
    bool removeEffect(HFX handle);
    // false: no such effect; *valid false: a value was out of range.
    bool effectParameters(HFX handle, void* get, const void* set, bool* valid);

    // Copies the newest 512 samples sent to the device (mono, oldest first).
    void history(float* out) const;

    // Stops the channel for good and waits out any callback of it running on
    // the mixing thread; no callback of it runs after this returns.
    void release();

    // --- mixing thread ---
    // Adds one block to block.mix; true when the channel has just ended.
    bool mix(const MixBlock& block);
    // The device has taken the channel's last frame: it stops answering active,
    // and its end syncs fire.
    void fireEndSyncs();

    static constexpr std::size_t kHistory = 512;

  private:
    struct Dsp {
        HDSP handle;
        DSPPROC proc; // null once removed during a pass over the list
        void* user;
    };
    struct Fx {
        HFX handle;
        uint32_t type;
        std::unique_ptr<Effect> effect;
    };
    struct Sync {
        HSYNC handle;
        SYNCPROC proc;
        void* user;
    };

    std::size_t produce(float* out, std::size_t frames, unsigned playRate);
    void resetPipeline();
    void runChain(float* frames, std::size_t count);
    void recordHistory(const float* frames, std::size_t count);
    bool seekable() const { return kind != Kind::UserStream; }

    const unsigned outputRate_;
    std::atomic<bool> released_{false};

    // sourceLock_
    mutable std::recursive_mutex sourceLock_;
    std::unique_ptr<Source> source_;
    std::unique_ptr<Resampler> resampler_; // while the play rate is not the output rate
    std::vector<int16_t> raw_;             // source samples
    std::vector<float> stereo_;            // the same as stereo float
    std::vector<float> fifo_;              // resampled frames waiting for the mixer
    std::size_t fifoFrames_ = 0;
    bool sourceEnded_ = false; // the source gave fewer frames than asked
    bool drained_ = false;     // and everything it gave has left the pipeline
    int64_t framesRead_ = 0;   // source frames since the last seek, counted from it

    // chainLock_
    mutable std::recursive_mutex chainLock_;
    std::vector<Dsp> dsps_;
    std::vector<Fx> effects_;
    std::vector<Sync> syncs_;
    int dspPasses_ = 0; // >0 while the mixer walks dsps_
    std::vector<int16_t> dspBuffer_;

    // stateLock_
    mutable std::mutex stateLock_;
    std::atomic<PlayState> state_{PlayState::Stopped}; // written under stateLock_, read anywhere
    uint64_t generation_ = 0;                          // bumped by every stop, flush and seek
    bool ended_ = false;
    // Ended, but its last frames are still on their way through the device.
    std::atomic<bool> playingOut_{false};
    int64_t position_ = 0;     // frames sent to the device
    double positionExact_ = 0; // the same with its fraction (resampled channels)
    int64_t pendingSeek_ = -1;
    bool pendingFlush_ = false;
    unsigned playRate_; // the rate the channel plays at
    int volume_ = 100;
    int pan_ = 0;

    // historyLock_
    mutable std::mutex historyLock_;
    std::array<float, kHistory> history_{};
    std::size_t historyPos_ = 0;

    std::vector<float> block_; // mixing thread only: this channel's part of a block
};

} // namespace bass
