#include "MsAdpcm.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

namespace acm {
namespace {

// The seven predictors every encoder writes into its format record, and the
// step adaptation by code.
constexpr std::array<int, 7> kCoef1 = {256, 512, 0, 192, 240, 460, 392};
constexpr std::array<int, 7> kCoef2 = {0, -256, 0, 64, 0, -208, -232};
constexpr std::array<int, 16> kAdaptation = {230, 230, 230, 230, 307, 409, 512, 614,
                                             768, 614, 512, 409, 307, 230, 230, 230};
// code (4 bits, two's complement) as a number: a load where a compare and a
// conditional move would sit in every sample's chain.
constexpr std::array<int8_t, 16> kCodeValue = {0, 1, 2, 3, 4, 5, 6, 7, -8, -7, -6, -5, -4, -3, -2, -1};
constexpr int kMinDelta = 16;
constexpr int kMaxDelta = INT_MAX / 768; // keeps the next step within int

struct Channel {
    int coef1 = 0;
    int coef2 = 0;
    int delta = 0;
    int sample1 = 0; // the newer of the two last samples
    int sample2 = 0;
};

int16_t le16(const uint8_t* p)
{
    return int16_t(uint16_t(p[0] | p[1] << 8));
}

// A sample in the output's byte order (the host's own).
void put16(uint8_t* p, int16_t sample)
{
    std::memcpy(p, &sample, sizeof sample);
}

// Inlined: in stereo the two channels' chains of dependent steps then overlap.
[[gnu::always_inline]] inline int16_t expand(Channel& c, unsigned code)
{
    int predictor = (c.sample1 * c.coef1 + c.sample2 * c.coef2) / 256;
    predictor += kCodeValue[code] * c.delta;
    // Past the 16-bit range only at the loudest, and the step past its bound
    // only in damaged data: branches almost never taken keep conditional moves
    // out of the chain each next sample waits on.
    if (predictor < -32768 || predictor > 32767) [[unlikely]]
        predictor = predictor < 0 ? -32768 : 32767;
    const auto sample = int16_t(predictor);
    c.sample2 = c.sample1;
    c.sample1 = sample;
    c.delta = std::max((kAdaptation[code] * c.delta) >> 8, kMinDelta);
    if (c.delta > kMaxDelta) [[unlikely]]
        c.delta = kMaxDelta;
    return sample;
}

} // namespace

std::unique_ptr<MsAdpcmStream> MsAdpcmStream::Open(const SourceFormat& f, int dstBits)
{
    if (f.tag != WAVE_FORMAT_ADPCM || dstBits != 16 || (f.channels != 1 && f.channels != 2) ||
        f.blockAlign < 7 * f.channels)
        return nullptr;
    return std::unique_ptr<MsAdpcmStream>(new MsAdpcmStream(f.channels, f.blockAlign));
}

std::size_t MsAdpcmStream::blockSamples(std::size_t size) const
{
    const std::size_t n = std::size_t(channels_);
    return size < 7 * n ? 0 : 2 * n + 2 * (size - 7 * n);
}

bool MsAdpcmStream::decodeBlock(const uint8_t* block, std::size_t size, uint8_t* out) const
{
    const std::size_t n = std::size_t(channels_);
    if (size < 7 * n)
        return false;
    // Header, each field for every channel in turn: predictor (1 byte), step,
    // then the two first samples, newest first (16 bits each).
    std::array<Channel, 2> state;
    for (std::size_t c = 0; c < n; ++c) {
        const int predictor = block[c];
        if (predictor >= int(kCoef1.size()))
            return false; // a damaged block is left out
        state[c].coef1 = kCoef1[std::size_t(predictor)];
        state[c].coef2 = kCoef2[std::size_t(predictor)];
        state[c].delta = le16(block + n + 2 * c);
        state[c].sample1 = le16(block + 3 * n + 2 * c);
        state[c].sample2 = le16(block + 5 * n + 2 * c);
    }
    for (std::size_t c = 0; c < n; ++c, out += 2)
        put16(out, int16_t(state[c].sample2));
    for (std::size_t c = 0; c < n; ++c, out += 2)
        put16(out, int16_t(state[c].sample1));
    // Codes: the high nibble first; in stereo high is left, low is right. Each
    // channel's state is a local of its own loop, so it stays in registers.
    if (n == 2) {
        Channel left = state[0], right = state[1];
        for (std::size_t at = 14; at < size; ++at, out += 4) {
            put16(out, expand(left, block[at] >> 4u));
            put16(out + 2, expand(right, block[at] & 0x0Fu));
        }
    } else {
        Channel mono = state[0];
        for (std::size_t at = 7; at < size; ++at, out += 4) {
            put16(out, expand(mono, block[at] >> 4u));
            put16(out + 2, expand(mono, block[at] & 0x0Fu));
        }
    }
    return true;
}

Conversion MsAdpcmStream::convert(const uint8_t* src, std::size_t srcSize, uint8_t* dst, std::size_t dstCapacity,
                                  DWORD flags)
{
    if (flags & ACM_STREAMCONVERTF_START) {
        decoded_.clear();
        handedOut_ = 0;
    }
    const bool end = (flags & ACM_STREAMCONVERTF_END) != 0;
    const std::size_t block = std::size_t(blockAlign_);
    Conversion done;
    for (;;) {
        // Samples decoded before go out first.
        const std::size_t n = std::min(decoded_.size() - handedOut_, (dstCapacity - done.dstUsed) / 2);
        if (n > 0) // nothing decoded yet has no buffer to copy from
            std::memcpy(dst + done.dstUsed, decoded_.data() + handedOut_, n * 2);
        done.dstUsed += n * 2;
        handedOut_ += n;
        if (handedOut_ < decoded_.size())
            break; // dst is full
        decoded_.clear();
        handedOut_ = 0;
        const std::size_t left = srcSize - done.srcUsed;
        if (left == 0 || (left < block && !end))
            break;
        const std::size_t size = std::min(left, block);
        const std::size_t samples = blockSamples(size);
        // A block that fits goes straight to dst; one that does not waits in
        // decoded_ for the next call.
        if (samples * 2 <= dstCapacity - done.dstUsed) {
            if (decodeBlock(src + done.srcUsed, size, dst + done.dstUsed))
                done.dstUsed += samples * 2;
        } else {
            decoded_.resize(samples);
            if (!decodeBlock(src + done.srcUsed, size, reinterpret_cast<uint8_t*>(decoded_.data())))
                decoded_.clear();
        }
        done.srcUsed += size;
    }
    return done;
}

} // namespace acm
