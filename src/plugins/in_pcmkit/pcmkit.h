// The shapes every part of the waveform plug-in shares: byte sources, decoders
// with their tables of operations, the format and information records, and
// the small arithmetic helpers.
//
// Objects are plain structs whose first member points to a table of operations;
// each kind derives from the base record and is made with new (std::nothrow).
// Whoever holds the pointer calls destroy exactly once. A decoder owns its byte
// source (and any decoder it wraps).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>

namespace pcmkit {

// Set from the host's thread to make every read, seek and open give up.
using abort_flag = std::atomic<bool>;

inline bool aborted(const abort_flag* flag)
{
    return flag && flag->load(std::memory_order_relaxed);
}

// ---- byte sources ---------------------------------------------------------

struct byte_source;

// Slot order is fixed: the optional network library's sources use it too.
struct byte_source_ops {
    int (*reserved0)(byte_source* self);
    int (*open)(byte_source* self, const char* name, const abort_flag* abort);        // 0 on success
    int (*read)(byte_source* self, void* buffer, int count, const abort_flag* abort); // <= 0 at the end
    int64_t (*length)(byte_source* self);                                             // -1 when unknown
    int (*can_seek)(byte_source* self);
    int (*seek)(byte_source* self, int64_t position, const abort_flag* abort); // 0 on success
    int (*reserved6)(byte_source* self);
    void (*destroy)(byte_source* self);
};

struct byte_source {
    const byte_source_ops* ops;
    int32_t tag; // set to 0 when taken from the network library
};

inline int source_read(byte_source* s, void* buffer, int count, const abort_flag* abort)
{
    return s->ops->read(s, buffer, count, abort);
}
inline int64_t source_length(byte_source* s)
{
    return s->ops->length(s);
}
inline bool source_can_seek(byte_source* s)
{
    return s->ops->can_seek(s) != 0;
}
inline bool source_seek(byte_source* s, int64_t position, const abort_flag* abort)
{
    return position >= 0 && s->ops->seek(s, position, abort) == 0;
}
inline void source_destroy(byte_source* s)
{
    if (s)
        s->ops->destroy(s);
}

// Reads until count bytes arrived or the source ends; returns the bytes read.
int source_read_full(byte_source* s, void* buffer, int count, const abort_flag* abort);
inline bool source_read_exact(byte_source* s, void* buffer, int count, const abort_flag* abort)
{
    return source_read_full(s, buffer, count, abort) == count;
}

// ---- formats and decoders -------------------------------------------------

struct pcm_format {
    int32_t rate; // Hz
    int32_t channels;
    int32_t bits; // 8-bit samples are unsigned, wider ones signed little-endian
};

inline int frame_bytes(const pcm_format& f)
{
    return f.bits / 8 * f.channels;
}

// Formats the decode path handles: whole bytes up to 64 bits, 1..64 channels.
constexpr int kMaxChannels = 64;
bool playable_format(const pcm_format& f);

struct decoder_info {
    uint32_t rate;
    uint32_t channels;
    uint32_t bits;
    uint32_t bitrate; // kbit/s
    uint32_t length_ms;
    char text[512];
};

struct decoder;

struct decoder_ops {
    void (*destroy)(decoder* self);
    // Whole frames in, bytes out; a null buffer decodes and drops. 0 at the end.
    int (*read)(decoder* self, void* buffer, int bytes, const abort_flag* abort);
    int64_t (*length)(decoder* self); // frames, -1 when unknown
    // 0 when the next read yields that frame; bytePosition (may be null) gets the
    // output byte offset of the position reached.
    int (*seek)(decoder* self, int64_t frame, int64_t* bytePosition, const abort_flag* abort);
    void (*info)(decoder* self, decoder_info* info);
    int (*can_seek)(decoder* self);
};

struct decoder {
    const decoder_ops* ops;
    pcm_format format;
    byte_source* source;
};

inline void decoder_destroy(decoder* d)
{
    if (d)
        d->ops->destroy(d);
}

// Operations most decoders share: destroy for a kind that owns only its
// source, seeking as the source can, and no seeking at all.
template <typename Kind> void destroy_decoder_and_source(decoder* d)
{
    source_destroy(d->source);
    delete static_cast<Kind*>(d);
}
int source_can_seek_op(decoder* d);
int cannot_seek_op(decoder* d);
int refuse_seek_op(decoder* d, int64_t frame, int64_t* bytePosition, const abort_flag* abort);

// What a container parser works with. The parser owns source: it may wrap or
// replace it; a decoder it builds takes it over (source becomes null). On a
// failed open whatever is left in source is destroyed by the caller.
struct open_context {
    byte_source* source = nullptr;
    const abort_flag* abort = nullptr;
    bool info_mode = false;        // no filters, no codec stream, no message boxes
    const char* message = nullptr; // why the open failed, when the parser knows
};

// ---- arithmetic -----------------------------------------------------------

// a * b / c rounded to the nearest (halves away from zero); -1 when c is 0 or
// the result does not fit.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);
int64_t MulDiv64(int64_t a, int64_t b, int64_t c);

// Frames to milliseconds at rate; -1 for an unknown length or one beyond 32 bits.
int32_t frames_to_ms(int64_t frames, int32_t rate);

// kbit/s of a format, rounded up when the remainder is above 500.
uint32_t format_bitrate(const pcm_format& f, int bits);

// The usual information: "Format: NAME, R Hz, C channel(s), B bits per sample"
// and "Length: m:ss". bits is what the coding stores, not the output width.
void fill_standard_info(decoder* d, const char* name, int bits, int channels, decoder_info* info);

inline uint16_t get_u16le(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint16_t get_u16be(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
inline uint32_t get_u24le(const uint8_t* p)
{
    return p[0] | p[1] << 8 | static_cast<uint32_t>(p[2]) << 16;
}
inline uint32_t get_u32le(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint32_t get_u32be(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}
inline bool same_id(const uint8_t* p, const char* id)
{
    return std::memcmp(p, id, 4) == 0;
}

} // namespace pcmkit
