#include "CompandedPcm.h"

#include <array>
#include <bit>
#include <cstring>
#include <memory>

namespace acm {
namespace {

// code (complemented): s eee mmmm  (sign, exponent, mantissa); bias 0x84
constexpr int16_t ExpandMuLaw(uint8_t code)
{
    const int u = ~code & 0xFF;
    const int magnitude = ((((u & 0x0F) << 3) + 0x84) << ((u & 0x70) >> 4)) - 0x84;
    return int16_t((u & 0x80) ? -magnitude : magnitude);
}

// code (even bits inverted): s eee mmmm
constexpr int16_t ExpandALaw(uint8_t code)
{
    const int a = code ^ 0x55;
    const int exponent = (a & 0x70) >> 4;
    int magnitude = (a & 0x0F) << 4;
    magnitude += exponent == 0 ? 8 : 0x108;
    if (exponent > 1)
        magnitude <<= exponent - 1;
    return int16_t((a & 0x80) ? magnitude : -magnitude);
}

template <int16_t (*Expand)(uint8_t)> constexpr std::array<int16_t, 256> MakeTable()
{
    std::array<int16_t, 256> table{};
    for (int code = 0; code < 256; ++code)
        table[std::size_t(code)] = Expand(uint8_t(code));
    return table;
}

constexpr std::array<int16_t, 256> kMuLaw = MakeTable<ExpandMuLaw>();
constexpr std::array<int16_t, 256> kALaw = MakeTable<ExpandALaw>();

// Spot checks against the G.711 tables: silence, full scale, smallest steps.
static_assert(kMuLaw[0xFF] == 0 && kMuLaw[0x7F] == 0 && kMuLaw[0x00] == -32124 && kMuLaw[0x80] == 32124);
static_assert(kMuLaw[0xFE] == 8 && kMuLaw[0x7E] == -8);
static_assert(kALaw[0xD5] == 8 && kALaw[0x55] == -8 && kALaw[0xAA] == 32256 && kALaw[0x2A] == -32256);

// Both codes of a pair of bytes at once, each 16-bit value where a
// little-endian store puts it: half the loads and stores of a lookup a sample.
// 256 KiB a law, built on first use.
using PairTable = std::array<uint32_t, 65536>;

std::unique_ptr<PairTable> MakePairTable(const int16_t* table)
{
    std::unique_ptr<PairTable> pairs(new PairTable); // every entry written below
    for (std::size_t codes = 0; codes < pairs->size(); ++codes)
        (*pairs)[codes] = uint16_t(table[codes & 0xFF]) | uint32_t(uint16_t(table[codes >> 8])) << 16;
    return pairs;
}

const PairTable& PairTableOf(const int16_t* table)
{
    if (table == kMuLaw.data()) {
        static const std::unique_ptr<PairTable> muLaw = MakePairTable(table);
        return *muLaw;
    }
    static const std::unique_ptr<PairTable> aLaw = MakePairTable(kALaw.data());
    return *aLaw;
}

} // namespace

const int16_t* CompandingTable(int tag)
{
    switch (tag) {
    case WAVE_FORMAT_MULAW:
        return kMuLaw.data();
    case WAVE_FORMAT_ALAW:
        return kALaw.data();
    default:
        return nullptr;
    }
}

Conversion ExpandCompanded(const int16_t* table, int channels, int dstBits, const uint8_t* src, std::size_t srcSize,
                           uint8_t* dst, std::size_t dstCapacity, bool end)
{
    const std::size_t frame = std::size_t(channels);
    const std::size_t bytes = std::size_t(dstBits / 8);
    const std::size_t frames = std::min(srcSize / frame, dstCapacity / (frame * bytes));
    const std::size_t samples = frames * frame;
    switch (bytes) {
    case 1:
        for (std::size_t i = 0; i < samples; ++i)
            dst[i] = uint8_t((table[src[i]] >> 8) + 128);
        break;
    case 2:
        if constexpr (std::endian::native == std::endian::little) {
            const PairTable& pairs = PairTableOf(table);
            std::size_t i = 0;
#pragma GCC unroll 4
            for (; i + 2 <= samples; i += 2) {
                uint16_t codes;
                std::memcpy(&codes, src + i, 2);
                std::memcpy(dst + 2 * i, &pairs[codes], 4);
            }
            if (i < samples)
                std::memcpy(dst + 2 * i, &table[src[i]], 2);
        } else {
            for (std::size_t i = 0; i < samples; ++i) {
                const auto v = uint16_t(table[src[i]]);
                dst[2 * i] = uint8_t(v);
                dst[2 * i + 1] = uint8_t(v >> 8);
            }
        }
        break;
    default: // the 16-bit value in the top bytes, the rest zero
        for (std::size_t i = 0; i < samples; ++i) {
            uint8_t* out = dst + bytes * i;
            const auto v = uint16_t(table[src[i]]);
            for (std::size_t b = 0; b + 2 < bytes; ++b)
                out[b] = 0;
            out[bytes - 2] = uint8_t(v);
            out[bytes - 1] = uint8_t(v >> 8);
        }
        break;
    }
    Conversion done{samples, samples * bytes};
    if (end && frames == srcSize / frame)
        done.srcUsed = srcSize; // a partial last frame has nothing to give
    return done;
}

} // namespace acm
