// Conversion filters: decoders over another decoder that change the sample
// width, the channel count or the number kind. They read their input in
// pieces of whole frames through a fixed buffer; length, information and
// seeking ability are the inner decoder's.

#include "Decoders.h"
#include "Settings.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <new>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pcmkit {
namespace {

constexpr int kInputBytes = 4608;

struct Filter : decoder {
    decoder* inner;
    int inBytes;  // bytes per input sample
    int outBytes; // bytes per output sample
    uint8_t input[kInputBytes];
};

// Reads up to frames input frames into the buffer; returns the frames read.
int read_input(Filter* f, int frames, const abort_flag* abort)
{
    const int inFrame = f->inBytes * f->inner->format.channels;
    int want = std::min(frames, kInputBytes / inFrame) * inFrame;
    int n = f->inner->ops->read(f->inner, f->input, want, abort);
    return n > 0 ? n / inFrame : 0;
}

// Runs convert over pieces of input until out has frames frames or the inner
// decoder ends; returns the output bytes.
template <typename Convert>
int filter_read(Filter* f, void* buffer, int bytes, const abort_flag* abort, Convert convert)
{
    const int outFrame = f->outBytes * f->format.channels;
    const int frames = bytes / outFrame;
    auto* out = static_cast<uint8_t*>(buffer);
    uint8_t scratch[kInputBytes * 2];
    int done = 0;
    while (done < frames) {
        int n = read_input(f, frames - done, abort);
        if (n <= 0)
            break;
        convert(out ? out + done * outFrame : scratch, n);
        done += n;
    }
    return done * outFrame;
}

// Frees a filter as the kind it was made as, with the decoder it reads.
template <typename Kind> void filter_destroy(decoder* self)
{
    auto* f = static_cast<Kind*>(self);
    decoder_destroy(f->inner);
    delete f;
}

int64_t filter_length(decoder* self)
{
    decoder* inner = static_cast<Filter*>(self)->inner;
    return inner->ops->length(inner);
}

void filter_info(decoder* self, decoder_info* info)
{
    decoder* inner = static_cast<Filter*>(self)->inner;
    inner->ops->info(inner, info);
}

int filter_can_seek(decoder* self)
{
    decoder* inner = static_cast<Filter*>(self)->inner;
    return inner->ops->can_seek(inner);
}

// Seeks the inner decoder; the output position is its position scaled by
// numerator / denominator.
int filter_seek_scaled(decoder* self, int64_t frame, int64_t* bytePosition, const abort_flag* abort, int64_t numerator,
                       int64_t denominator)
{
    decoder* inner = static_cast<Filter*>(self)->inner;
    int64_t position = 0;
    int result = inner->ops->seek(inner, frame, &position, abort);
    if (bytePosition)
        *bytePosition = MulDiv64(position, numerator, denominator);
    return result;
}

Filter* new_filter(decoder* inner, const decoder_ops* ops, pcm_format format, int inBytes, int outBytes)
{
    auto* f = new (std::nothrow) Filter;
    if (!f)
        return nullptr;
    f->ops = ops;
    f->format = format;
    f->source = nullptr;
    f->inner = inner;
    f->inBytes = inBytes;
    f->outBytes = outBytes;
    return f;
}

// ---- width: 8-bit widened, wider samples narrowed, to 16 bits ------------------

// The two most significant bytes of each sample, without rounding; a fixed
// width lets the loop run as plain byte moves.
template <int Width> void narrow(const uint8_t* in, uint8_t* out, int samples)
{
    for (int i = 0; i < samples; ++i) {
        out[2 * i] = in[i * Width + Width - 2];
        out[2 * i + 1] = in[i * Width + Width - 1];
    }
}

// 24 bits: a sample's bytes and the next one's first, read as one
// little-endian word, hold the top two bytes in bits 8 to 23: one load, shift
// and store a sample where the byte moves take two loads and two stores. The
// last sample, whose word would reach past the input, goes byte by byte.
void narrow24(const uint8_t* in, uint8_t* out, int samples)
{
    if constexpr (std::endian::native != std::endian::little) {
        narrow<3>(in, out, samples);
    } else {
        int i = 0;
        for (; i + 1 < samples; ++i) {
            uint32_t word;
            std::memcpy(&word, in + 3 * i, sizeof word);
            const auto top = static_cast<uint16_t>(word >> 8);
            std::memcpy(out + 2 * i, &top, sizeof top);
        }
        narrow<3>(in + 3 * i, out + 2 * i, samples - i);
    }
}

int width_read(decoder* self, void* buffer, int bytes, const abort_flag* abort)
{
    auto* f = static_cast<Filter*>(self);
    const int width = f->inBytes;
    const int channels = f->format.channels;
    return filter_read(f, buffer, bytes, abort, [&](uint8_t* out, int frames) {
        const uint8_t* in = f->input;
        const int samples = frames * channels;
        switch (width) {
        case 1:
            for (int i = 0; i < samples; ++i) {
                const auto sample = static_cast<uint16_t>(in[i] * 257 - 32768);
                out[2 * i] = static_cast<uint8_t>(sample);
                out[2 * i + 1] = static_cast<uint8_t>(sample >> 8);
            }
            break;
        case 3:
            narrow24(in, out, samples);
            break;
        case 4:
            narrow<4>(in, out, samples);
            break;
        default:
            for (int i = 0; i < samples; ++i, in += width, out += 2) {
                out[0] = in[width - 2];
                out[1] = in[width - 1];
            }
            break;
        }
    });
}

int width_seek(decoder* self, int64_t frame, int64_t* bytePosition, const abort_flag* abort)
{
    return filter_seek_scaled(self, frame, bytePosition, abort, 16, static_cast<Filter*>(self)->inBytes * 8);
}

constexpr decoder_ops kWidthOps = {filter_destroy<Filter>, width_read, filter_length, width_seek, filter_info,
                                   filter_can_seek};

// ---- mono: the channels of each frame averaged ---------------------------------

int64_t load_signed(const uint8_t* p, int width)
{
    uint64_t v = 0;
    for (int b = 0; b < width; ++b)
        v |= static_cast<uint64_t>(p[b]) << (8 * b);
    int shift = 64 - 8 * width;
    return static_cast<int64_t>(v << shift) >> shift;
}

int mono_read(decoder* self, void* buffer, int bytes, const abort_flag* abort)
{
    auto* f = static_cast<Filter*>(self);
    const int width = f->inBytes;
    const int channels = f->inner->format.channels;
    return filter_read(f, buffer, bytes, abort, [&](uint8_t* out, int frames) {
        const uint8_t* in = f->input;
        for (int i = 0; i < frames; ++i, out += width) {
            int64_t sum = 0;
            for (int c = 0; c < channels; ++c, in += width)
                sum += width == 1 ? static_cast<int64_t>(*in) - 128 : load_signed(in, width);
            // Integer division truncates toward zero; 8-bit samples centre on 128.
            int64_t mean = sum / channels + (width == 1 ? 128 : 0);
            for (int b = 0; b < width; ++b)
                out[b] = static_cast<uint8_t>(static_cast<uint64_t>(mean) >> (8 * b));
        }
    });
}

int mono_seek(decoder* self, int64_t frame, int64_t* bytePosition, const abort_flag* abort)
{
    return filter_seek_scaled(self, frame, bytePosition, abort, 1, static_cast<Filter*>(self)->inner->format.channels);
}

constexpr decoder_ops kMonoOps = {filter_destroy<Filter>, mono_read, filter_length, mono_seek, filter_info,
                                  filter_can_seek};

// ---- floating point to integers, with optional dither ------------------------

constexpr int kMaxDitherChannels = 8;

struct FloatFilter : Filter {
    double scale;
    bool dither;
    int ditherChannel;
    double error[kMaxDitherChannels];
};

// One sample scaled, limited to the output range and truncated toward zero.
template <typename In> inline double scaled(const uint8_t* in, double scale, double low, double high)
{
    In x;
    std::memcpy(&x, in, sizeof x);
    double y = static_cast<double>(x) * scale;
    if (!(y >= low)) // below the range, or not a number
        return y != y ? 0.0 : low;
    return y > high ? high : y;
}

// The same without dither, for scales whose range fits 32 bits (all that the
// parsers make): no branch in the loop, so it vectorises. Real is the type the
// sample is scaled and limited in (see exact_in_float).
template <typename In, typename Out, typename Real>
void float_convert_plain(const uint8_t* in, uint8_t* out, int samples, double scaleBy)
{
    const Real scale = static_cast<Real>(scaleBy);
    const Real low = -scale;
    const Real high = scale - 1;
    for (int i = 0; i < samples; ++i) {
        In x;
        std::memcpy(&x, in + i * sizeof(In), sizeof x);
        Real y = static_cast<Real>(x) * scale;
        y = y >= low ? (y > high ? high : y) : (y != y ? Real(0) : low);
        const auto value = static_cast<int32_t>(y);
        if constexpr (sizeof(Out) == 3) {
            out[3 * i] = static_cast<uint8_t>(value);
            out[3 * i + 1] = static_cast<uint8_t>(value >> 8);
            out[3 * i + 2] = static_cast<uint8_t>(value >> 16);
        } else {
            const auto v = static_cast<Out>(value);
            std::memcpy(out + i * sizeof(Out), &v, sizeof v);
        }
    }
}

// Float samples scaled by a power of two to at most 24 bits come out the same
// in float as in double: the product is exact and both limits are whole
// numbers a float holds. Float arithmetic then does twice the samples a step.
bool exact_in_float(double scale, int outBytes)
{
    int exponent = 0;
    return outBytes <= 3 && std::frexp(scale, &exponent) == 0.5;
}

// Float to 16 bits, the usual case, eight samples a step: the compiler's own
// vector code narrows by shuffles, where a saturating pack is exact here
// because every value is already limited. Returns the samples done.
int float_to_int16_vector(const uint8_t* in, uint8_t* out, int samples, float scale)
{
#if defined(__SSE2__)
    const __m128 factor = _mm_set1_ps(scale);
    const __m128 low = _mm_set1_ps(-scale);
    const __m128 high = _mm_set1_ps(scale - 1);
    auto convert = [&](const uint8_t* at) {
        __m128 y = _mm_mul_ps(_mm_loadu_ps(reinterpret_cast<const float*>(at)), factor);
        y = _mm_and_ps(y, _mm_cmpeq_ps(y, y)); // not a number: 0
        return _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(y, low), high));
    };
    int i = 0;
    for (; i + 8 <= samples; i += 8) {
        const __m128i packed = _mm_packs_epi32(convert(in + 4 * i), convert(in + 4 * i + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), packed);
    }
    return i;
#else
    (void)in, (void)out, (void)samples, (void)scale;
    return 0;
#endif
}

template <typename In, typename Out> void float_convert(FloatFilter* f, uint8_t* out, int samples)
{
    const double low = -f->scale;
    const double high = f->scale - 1;
    const uint8_t* in = f->input;
    if (!f->dither && f->scale <= 2147483648.0) {
        if constexpr (std::is_same_v<In, float> && sizeof(Out) <= 3)
            if (exact_in_float(f->scale, f->outBytes)) {
                int done = 0;
                if constexpr (sizeof(Out) == 2)
                    done = float_to_int16_vector(in, out, samples, static_cast<float>(f->scale));
                float_convert_plain<In, Out, float>(in + done * sizeof(In), out + done * sizeof(Out), samples - done,
                                                    f->scale);
                return;
            }
        float_convert_plain<In, Out, double>(in, out, samples, f->scale);
        return;
    }
    if (!f->dither) {
        for (int i = 0; i < samples; ++i, in += sizeof(In), out += f->outBytes) {
            int64_t value = static_cast<int64_t>(scaled<In>(in, f->scale, low, high));
            if constexpr (sizeof(Out) == 3) {
                out[0] = static_cast<uint8_t>(value);
                out[1] = static_cast<uint8_t>(value >> 8);
                out[2] = static_cast<uint8_t>(value >> 16);
            } else {
                Out v = static_cast<Out>(value);
                std::memcpy(out, &v, sizeof v);
            }
        }
        return;
    }
    const int channels = f->format.channels;
    const int64_t top = (int64_t{1} << (f->outBytes * 8 - 1)) - 1;
    for (int i = 0; i < samples; ++i, in += sizeof(In), out += f->outBytes) {
        double y = scaled<In>(in, f->scale, low, high);
        int64_t value = static_cast<int64_t>(y);
        // The error of each channel is carried over and paid back by a step of 1.
        double& error = f->error[f->ditherChannel];
        error += y - static_cast<double>(value);
        if (error > 0.7) {
            ++value;
            error -= 1;
        } else if (error < -0.7) {
            --value;
            error += 1;
        }
        value = std::clamp(value, -top - 1, top);
        f->ditherChannel = f->ditherChannel + 1 == channels ? 0 : f->ditherChannel + 1;
        for (int b = 0; b < f->outBytes; ++b)
            out[b] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * b));
    }
}

// 3-byte output goes through the generic path's byte writes.
struct int24 {
    uint8_t b[3];
};

template <typename In> void float_convert_to(FloatFilter* f, uint8_t* out, int samples)
{
    switch (f->outBytes) {
    case 2:
        float_convert<In, int16_t>(f, out, samples);
        break;
    case 3:
        float_convert<In, int24>(f, out, samples);
        break;
    default:
        float_convert<In, int32_t>(f, out, samples);
        break;
    }
}

int float_read(decoder* self, void* buffer, int bytes, const abort_flag* abort)
{
    auto* f = static_cast<FloatFilter*>(self);
    const int channels = f->format.channels;
    return filter_read(f, buffer, bytes, abort, [&](uint8_t* out, int frames) {
        if (f->inBytes == 4)
            float_convert_to<float>(f, out, frames * channels);
        else
            float_convert_to<double>(f, out, frames * channels);
    });
}

int float_seek(decoder* self, int64_t frame, int64_t* bytePosition, const abort_flag* abort)
{
    auto* f = static_cast<Filter*>(self);
    return filter_seek_scaled(self, frame, bytePosition, abort, f->outBytes, f->inBytes);
}

constexpr decoder_ops kFloatOps = {
    filter_destroy<FloatFilter>, float_read, filter_length, float_seek, filter_info, filter_can_seek};

} // namespace

decoder* create_width_filter(decoder* inner)
{
    const pcm_format in = inner->format;
    // Widths it cannot narrow (40 bits) play unconverted.
    if (in.bits != 8 && in.bits != 16 && in.bits != 24 && in.bits != 32 && in.bits < 48)
        return nullptr;
    return new_filter(inner, &kWidthOps, pcm_format{in.rate, in.channels, 16}, in.bits / 8, 2);
}

decoder* create_mono_filter(decoder* inner)
{
    const pcm_format in = inner->format;
    if (in.channels < 2 || in.bits > 56)
        return nullptr;
    return new_filter(inner, &kMonoOps, pcm_format{in.rate, 1, in.bits}, in.bits / 8, in.bits / 8);
}

decoder* create_float_filter(decoder* inner, double divisor, int destination, bool dither)
{
    const pcm_format in = inner->format;
    if (destination < 0 || destination > 2 || (in.bits != 32 && in.bits != 64) || !(divisor > 0))
        return nullptr;
    const int outBits = 16 + 8 * destination;
    auto* f = new (std::nothrow) FloatFilter;
    if (!f)
        return nullptr;
    f->ops = &kFloatOps;
    f->format = pcm_format{in.rate, in.channels, outBits};
    f->source = nullptr;
    f->inner = inner;
    f->inBytes = in.bits / 8;
    f->outBytes = outBits / 8;
    f->scale = std::ldexp(1.0, outBits - 1) / divisor;
    f->dither = dither && in.channels <= kMaxDitherChannels;
    f->ditherChannel = 0;
    std::fill(std::begin(f->error), std::end(f->error), 0.0);
    return f;
}

decoder* create_float_pcm_decoder(byte_source* source, pcm_format stored, int flags)
{
    decoder* samples = create_pcm_decoder(source, stored, flags);
    if (!samples)
        return nullptr;
    // A width the settings file got wrong turns the conversion off.
    decoder* converted =
        create_float_filter(samples, 1.0, static_cast<int>(std::min<uint32_t>(cfg_fdest, 3)), cfg_dither);
    if (!converted)
        decoder_destroy(samples);
    return converted;
}

} // namespace pcmkit
