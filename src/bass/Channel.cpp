#include "Channel.h"
#include "SampleMath.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace bass {
namespace {

constexpr std::size_t kMaxBlockFrames = 2048;
constexpr std::size_t kMaxReadFrames = 16384; // a block at the highest rate ratio, with room
constexpr std::size_t kFifoFrames = 4 * kMaxBlockFrames;

} // namespace

Channel::Channel(DWORD handle_, Kind kind_, DWORD flags_, const StreamFormat& format, std::unique_ptr<Source> source,
                 unsigned outputRate)
    : handle(handle_), kind(kind_), flags(flags_), rate(format.rate), channels(format.channels),
      lengthFrames(format.lengthFrames), outputRate_(outputRate), source_(std::move(source)), playRate_(format.rate)
{
    fifo_.resize(kFifoFrames * 2);
    dspBuffer_.resize(kMaxBlockFrames * 2);
    block_.resize(kMaxBlockFrames * 2);
}

Channel::~Channel() = default;

// --- play state --------------------------------------------------------------

int Channel::play(bool flush)
{
    std::lock_guard<std::mutex> hold(stateLock_);
    if (flush || (ended_ && seekable())) {
        if (seekable())
            pendingSeek_ = 0;
        else
            pendingFlush_ = true;
        position_ = 0;
        positionExact_ = 0;
        ++generation_;
    } else if (ended_) {
        pendingFlush_ = true; // a user stream that ended asks its callback again
    }
    ended_ = false;
    playingOut_.store(false);
    state_.store(PlayState::Playing, std::memory_order_release);
    return BASS_OK;
}

int Channel::pause()
{
    std::lock_guard<std::mutex> hold(stateLock_);
    if (state_.load() != PlayState::Playing)
        return BASS_ERROR_NOPLAY;
    state_.store(PlayState::Paused, std::memory_order_release);
    return BASS_OK;
}

int Channel::resume()
{
    std::lock_guard<std::mutex> hold(stateLock_);
    if (state_.load() != PlayState::Paused)
        return BASS_ERROR_NOPAUSE;
    state_.store(PlayState::Playing, std::memory_order_release);
    return BASS_OK;
}

void Channel::stop()
{
    std::lock_guard<std::mutex> hold(stateLock_);
    state_.store(PlayState::Stopped, std::memory_order_release);
    playingOut_.store(false);
    ++generation_;
    if (!seekable()) {
        // A user stream has no source position to come back to.
        pendingFlush_ = true;
        position_ = 0;
        positionExact_ = 0;
    }
}

DWORD Channel::activeState() const
{
    switch (state_.load(std::memory_order_acquire)) {
    case PlayState::Playing:
        return BASS_ACTIVE_PLAYING;
    case PlayState::Paused:
        return BASS_ACTIVE_PAUSED;
    default:
        return playingOut_.load() ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
    }
}

int64_t Channel::position() const
{
    std::lock_guard<std::mutex> hold(stateLock_);
    return position_;
}

int Channel::setPosition(int64_t frame)
{
    if (!seekable())
        return BASS_ERROR_NOTAVAIL;
    if (frame < 0 || (lengthFrames >= 0 && frame > lengthFrames))
        return BASS_ERROR_POSITION;
    std::lock_guard<std::mutex> hold(stateLock_);
    pendingSeek_ = frame;
    position_ = frame;
    positionExact_ = double(frame);
    ended_ = false;
    ++generation_;
    return BASS_OK;
}

int Channel::setAttributes(int freq, int volume, int pan)
{
    if ((freq != -1 && freq != 0 && (freq < 100 || freq > 384000)) || (volume != -1 && (volume < 0 || volume > 100)) ||
        (pan != -101 && (pan < -100 || pan > 100)))
        return BASS_ERROR_ILLPARAM;
    std::lock_guard<std::mutex> hold(stateLock_);
    if (freq != -1)
        playRate_ = freq == 0 ? rate : unsigned(freq);
    if (volume != -1)
        volume_ = volume;
    if (pan != -101)
        pan_ = pan;
    return BASS_OK;
}

void Channel::getAttributes(DWORD* freq, DWORD* volume, int* pan) const
{
    std::lock_guard<std::mutex> hold(stateLock_);
    if (freq)
        *freq = playRate_;
    if (volume)
        *volume = DWORD(volume_);
    if (pan)
        *pan = pan_;
}

// --- syncs, DSPs, effects ----------------------------------------------------

HSYNC Channel::addSync(HSYNC sync, SYNCPROC proc, void* user)
{
    std::lock_guard<std::recursive_mutex> hold(chainLock_);
    syncs_.push_back({sync, proc, user});
    return sync;
}

bool Channel::removeSync(HSYNC sync)
{
    std::lock_guard<std::recursive_mutex> hold(chainLock_);
    return std::erase_if(syncs_, [&](const Sync& s) { return s.handle == sync; }) > 0;
}

void Channel::addDsp(HDSP dsp, DSPPROC proc, void* user)
{
    std::lock_guard<std::recursive_mutex> hold(chainLock_);
    dsps_.push_back({dsp, proc, user});
}

bool Channel::removeDsp(HDSP dsp)
{
    std::lock_guard<std::recursive_mutex> hold(chainLock_);
    for (auto it = dsps_.begin(); it != dsps_.end(); ++it) {
        if (it->handle != dsp || !it->proc)
            continue;
        if (dspPasses_ > 0)
            it->proc = nullptr; // removed from inside a DSP: the pass compacts the list
        else
            dsps_.erase(it);
        return true;
    }
    return false;
}

bool Channel::addEffect(HFX fx, uint32_t type)
{
    std::unique_ptr<Effect> effect = CreateEffect(type, outputRate_);
    if (!effect)
        return false;
    std::lock_guard<std::recursive_mutex> hold(chainLock_);
    effects_.push_back({fx, type, std::move(effect)});
    return true;
}

bool Channel::removeEffect(HFX fx)
{
    std::lock_guard<std::recursive_mutex> hold(chainLock_);
    return std::erase_if(effects_, [&](const Fx& f) { return f.handle == fx; }) > 0;
}

bool Channel::effectParameters(HFX fx, void* get, const void* set, bool* valid)
{
    std::lock_guard<std::recursive_mutex> hold(chainLock_);
    auto it = std::find_if(effects_.begin(), effects_.end(), [&](const Fx& f) { return f.handle == fx; });
    if (it == effects_.end())
        return false;
    if (get)
        it->effect->getParameters(get);
    if (set)
        *valid = it->effect->setParameters(set);
    return true;
}

void Channel::history(float* out) const
{
    std::lock_guard<std::mutex> hold(historyLock_);
    // Oldest first: from the write position to the end, then from the start.
    const auto split = history_.begin() + long(historyPos_);
    std::copy(history_.begin(), split, std::copy(split, history_.end(), out));
}

void Channel::release()
{
    released_.store(true);
    {
        std::lock_guard<std::mutex> hold(stateLock_);
        state_.store(PlayState::Stopped, std::memory_order_release);
        ++generation_;
    }
    // Wait out a callback running on the mixing thread. Taking each lock once is
    // enough: the mixer checks released_ after it takes them. On the mixing
    // thread itself the recursive locks are taken at once.
    {
        std::lock_guard<std::recursive_mutex> hold(sourceLock_);
    }
    {
        std::lock_guard<std::recursive_mutex> hold(chainLock_);
    }
}

// --- mixing thread -------------------------------------------------------------

bool Channel::mix(const MixBlock& block)
{
    const std::size_t frames = std::min(block.frames, kMaxBlockFrames);
    uint64_t generation;
    int64_t seek;
    bool flush;
    unsigned playRate;
    int volume, pan;
    {
        std::lock_guard<std::mutex> hold(stateLock_);
        if (state_.load() != PlayState::Playing)
            return false;
        generation = generation_;
        seek = pendingSeek_;
        flush = pendingFlush_;
        pendingSeek_ = -1;
        pendingFlush_ = false;
        playRate = playRate_;
        volume = volume_;
        pan = pan_;
    }

    std::size_t got;
    bool drained;
    int64_t framesRead;
    {
        std::lock_guard<std::recursive_mutex> hold(sourceLock_);
        if (released_.load())
            return false;
        if (seek >= 0) {
            resetPipeline();
            if (source_->seek(uint64_t(seek)))
                framesRead_ = seek;
        } else if (flush) {
            resetPipeline();
            framesRead_ = 0;
        }
        got = produce(block_.data(), frames, playRate);
        drained = drained_;
        framesRead = framesRead_;
    }

    if (got > 0) {
        std::lock_guard<std::recursive_mutex> hold(chainLock_);
        if (!released_.load())
            runChain(block_.data(), got);
    }

    bool endedNow = false;
    {
        std::lock_guard<std::mutex> hold(stateLock_);
        if (generation_ != generation) {
            // Stopped, flushed or moved while this block was made: drop it, and
            // have a seekable source continue exactly where the position says.
            if (seekable() && pendingSeek_ < 0)
                pendingSeek_ = position_;
            return false;
        }
        positionExact_ += double(got) * playRate / outputRate_;
        position_ = int64_t(positionExact_ + 1e-6);
        if (seekable() && position_ > framesRead)
            position_ = framesRead;
        if (got < frames && drained) {
            if (seekable())
                position_ = framesRead;
            ended_ = true;
            endedNow = true;
            playingOut_.store(true);
            state_.store(PlayState::Stopped, std::memory_order_release);
        }
    }

    recordHistory(block_.data(), got);
    const float gain = block.kindGain * VolumeGain(volume);
    const float left = gain * (pan > 0 ? float(100 - pan) / 100.0f : 1.0f);
    const float right = gain * (pan < 0 ? float(100 + pan) / 100.0f : 1.0f);
    for (std::size_t i = 0; i < got; ++i) {
        block.mix[i * 2] += block_[i * 2] * left;
        block.mix[i * 2 + 1] += block_[i * 2 + 1] * right;
    }
    return endedNow;
}

void Channel::fireEndSyncs()
{
    playingOut_.store(false);
    std::lock_guard<std::recursive_mutex> hold(chainLock_);
    // A sync may add or remove syncs: walk a copy, skipping removed ones.
    const std::vector<Sync> syncs = syncs_;
    for (const Sync& s : syncs) {
        if (released_.load())
            return;
        const bool present =
            std::any_of(syncs_.begin(), syncs_.end(), [&](const Sync& t) { return t.handle == s.handle; });
        if (present)
            s.proc(s.handle, handle, 0, s.user);
    }
}

void Channel::resetPipeline()
{
    resampler_.reset();
    fifoFrames_ = 0;
    sourceEnded_ = false;
    drained_ = false;
}

// Fills out with up to frames stereo frames at the output rate; fewer only at
// the end of the source.
std::size_t Channel::produce(float* out, std::size_t frames, unsigned playRate)
{
    const bool resample = playRate != outputRate_;
    if (resample && (!resampler_ || resampler_->inRate() != playRate))
        resampler_ = std::make_unique<Resampler>(playRate, outputRate_);
    else if (!resample)
        resampler_.reset(); // back at the output rate: the few frames it held are dropped

    while (fifoFrames_ < frames && !drained_) {
        float* fifoEnd = fifo_.data() + fifoFrames_ * 2;
        const std::size_t room = kFifoFrames - fifoFrames_;
        if (sourceEnded_) {
            const std::size_t made = resample ? resampler_->drain(fifoEnd, room) : 0;
            if (made > 0)
                fifoFrames_ += made;
            else
                drained_ = true;
            continue;
        }
        const std::size_t need = frames - fifoFrames_;
        std::size_t ask = resample ? std::size_t(std::ceil(double(need) * playRate / outputRate_)) + 1 : need;
        ask = std::min(ask, kMaxReadFrames);
        // Sized by use: a channel at the output rate never needs more than a block.
        if (raw_.size() < ask * 2)
            raw_.resize(ask * 2);
        if (resample && stereo_.size() < ask * 2)
            stereo_.resize(ask * 2);
        const std::size_t got = std::min(source_->read(raw_.data(), ask), ask);
        framesRead_ += int64_t(got);
        if (got < ask)
            sourceEnded_ = true;
        float* dst = resample ? stereo_.data() : fifoEnd;
        if (channels == 2) {
            for (std::size_t i = 0; i < got * 2; ++i)
                dst[i] = raw_[i] / 32768.0f;
        } else {
            for (std::size_t i = 0; i < got; ++i)
                dst[i * 2] = dst[i * 2 + 1] = raw_[i] / 32768.0f;
        }
        if (!resample)
            fifoFrames_ += got;
        else if (got > 0)
            fifoFrames_ += resampler_->convert(stereo_.data(), got, fifoEnd, room);
    }

    const std::size_t n = std::min(frames, fifoFrames_);
    std::memcpy(out, fifo_.data(), n * 2 * sizeof(float));
    fifoFrames_ -= n;
    std::memmove(fifo_.data(), fifo_.data() + n * 2, fifoFrames_ * 2 * sizeof(float));
    return n;
}

void Channel::runChain(float* frames, std::size_t count)
{
    if (!dsps_.empty()) {
        // DSPs see 16-bit stereo frames.
        ToSamples(frames, dspBuffer_.data(), count * 2);
        ++dspPasses_;
        for (std::size_t i = 0; i < dsps_.size() && !released_.load(); ++i) {
            const Dsp d = dsps_[i]; // by value: the list may grow during the call
            if (d.proc)
                d.proc(d.handle, handle, dspBuffer_.data(), DWORD(count * 4), d.user);
        }
        if (--dspPasses_ == 0)
            std::erase_if(dsps_, [](const Dsp& d) { return !d.proc; });
        for (std::size_t i = 0; i < count * 2; ++i)
            frames[i] = dspBuffer_[i] / 32768.0f;
    }
    for (Fx& fx : effects_)
        fx.effect->process(frames, count);
}

void Channel::recordHistory(const float* frames, std::size_t count)
{
    std::lock_guard<std::mutex> hold(historyLock_);
    for (std::size_t i = 0; i < count; ++i) {
        history_[historyPos_] = 0.5f * (frames[i * 2] + frames[i * 2 + 1]);
        if (++historyPos_ == kHistory)
            historyPos_ = 0;
    }
}

} // namespace bass
