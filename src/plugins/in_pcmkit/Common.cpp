#include "pcmkit.h"

#include <cstdio>
#include <cstdlib>

namespace pcmkit {

int source_read_full(byte_source* s, void* buffer, int count, const abort_flag* abort)
{
    auto* out = static_cast<uint8_t*>(buffer);
    int total = 0;
    while (total < count && !aborted(abort)) {
        int n = source_read(s, out + total, count - total, abort);
        if (n <= 0)
            break;
        total += n;
    }
    return total;
}

int source_can_seek_op(decoder* d)
{
    return source_can_seek(d->source);
}

int cannot_seek_op(decoder*)
{
    return 0;
}

int refuse_seek_op(decoder*, int64_t, int64_t*, const abort_flag*)
{
    return 1;
}

bool playable_format(const pcm_format& f)
{
    return f.rate > 0 && f.channels >= 1 && f.channels <= kMaxChannels && f.bits >= 8 && f.bits <= 64 &&
           f.bits % 8 == 0;
}

int64_t MulDiv64(int64_t a, int64_t b, int64_t c)
{
    if (c == 0)
        return -1;
    __int128 product = static_cast<__int128>(a) * b;
    bool negative = (product < 0) != (c < 0);
    __int128 num = product < 0 ? -product : product;
    __int128 den = c < 0 ? -static_cast<__int128>(c) : c;
    __int128 q = (num + den / 2) / den;
    if (q > INT64_MAX)
        return -1;
    return static_cast<int64_t>(negative ? -q : q);
}

int32_t MulDiv(int32_t a, int32_t b, int32_t c)
{
    int64_t r = MulDiv64(a, b, c);
    if (c == 0 || r > INT32_MAX || r < INT32_MIN)
        return -1;
    return static_cast<int32_t>(r);
}

int32_t frames_to_ms(int64_t frames, int32_t rate)
{
    if (frames < 0 || rate <= 0)
        return -1;
    int64_t ms = MulDiv64(frames, 1000, rate);
    return ms < 0 || ms > INT32_MAX ? -1 : static_cast<int32_t>(ms);
}

uint32_t format_bitrate(const pcm_format& f, int bits)
{
    uint64_t bps = static_cast<uint64_t>(f.rate) * static_cast<uint64_t>(f.channels) * static_cast<uint64_t>(bits);
    uint64_t kbps = bps / 1000 + (bps % 1000 > 500 ? 1 : 0);
    return static_cast<uint32_t>(kbps);
}

void fill_standard_info(decoder* d, const char* name, int bits, int channels, decoder_info* info)
{
    pcm_format f = d->format;
    f.channels = channels;
    int32_t ms = frames_to_ms(d->ops->length(d), d->format.rate);
    info->rate = static_cast<uint32_t>(f.rate);
    info->channels = static_cast<uint32_t>(channels);
    info->bits = static_cast<uint32_t>(bits);
    info->bitrate = format_bitrate(f, bits);
    info->length_ms = static_cast<uint32_t>(ms);
    uint32_t seconds = ms < 0 ? 0 : static_cast<uint32_t>(ms) / 1000;
    std::snprintf(info->text, sizeof info->text,
                  "Format: %s, %u Hz, %u channel(s), %u bits per sample\nLength: %u:%02u", name,
                  static_cast<unsigned>(f.rate), static_cast<unsigned>(channels), static_cast<unsigned>(bits),
                  seconds / 60, seconds % 60);
}

} // namespace pcmkit
