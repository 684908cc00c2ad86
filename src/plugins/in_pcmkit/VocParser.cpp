// Creative VOC: typed blocks of sound, silence and repeat loops, gathered into
// a block list that a source of its own plays as one stream.

#include "Containers.h"
#include "Decoders.h"
#include "Settings.h"
#include "Sources.h"

#include "platform/acm/msacm.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace pcmkit {
namespace {

struct voc_entry {
    int64_t offset;  // in the file, for sound
    uint32_t length; // bytes
    uint8_t fill;    // the byte a silence repeats
    bool silence;
};

// Copies made by repeat loops stop at this many entries: a loop count of
// 0xFFFF means "endless", and nested loops multiply.
constexpr int kMaxLoopEntries = 1 << 20;
constexpr int kLoopLevels = 31;

struct voc_list {
    voc_entry* entries = nullptr;
    int count = 0;
    int capacity = 0;

    ~voc_list() { std::free(entries); }

    // A failed growth drops the entry. By value: the entry may be one of ours,
    // which growing moves.
    void append(voc_entry entry)
    {
        if (entry.length == 0)
            return;
        if (count == capacity) {
            int wanted = capacity ? capacity * 2 : 32;
            auto* grown =
                static_cast<voc_entry*>(std::realloc(entries, sizeof(voc_entry) * static_cast<size_t>(wanted)));
            if (!grown)
                return;
            entries = grown;
            capacity = wanted;
        }
        entries[count++] = entry;
    }
};

// ---- the block-list source ------------------------------------------------

struct VocSource : byte_source {
    byte_source* file;
    voc_entry* entries;
    int count;
    int index = 0;       // current entry
    int64_t inEntry = 0; // position inside it
    int64_t total = 0;
    int64_t position = 0;
    bool broken = false; // a seek of the file failed
};

bool position_file(VocSource* s, const abort_flag* abort)
{
    if (s->index < s->count && !s->entries[s->index].silence &&
        !source_seek(s->file, s->entries[s->index].offset + s->inEntry, abort))
        s->broken = true;
    return !s->broken;
}

int voc_source_read(byte_source* self, void* buffer, int count, const abort_flag* abort)
{
    auto* s = static_cast<VocSource*>(self);
    auto* out = static_cast<uint8_t*>(buffer);
    int done = 0;
    while (done < count && !s->broken && !aborted(abort) && s->index < s->count) {
        const voc_entry& e = s->entries[s->index];
        int n = static_cast<int>(std::min<int64_t>(e.length - s->inEntry, count - done));
        if (e.silence) {
            std::memset(out + done, e.fill, static_cast<size_t>(n));
        } else {
            n = source_read(s->file, out + done, n, abort);
            if (n < 1)
                break;
        }
        done += n;
        s->inEntry += n;
        if (s->inEntry >= e.length) {
            ++s->index;
            s->inEntry = 0;
            position_file(s, abort);
        }
    }
    s->position += done;
    return done;
}

int64_t voc_source_length(byte_source* self)
{
    return static_cast<VocSource*>(self)->total;
}

int voc_source_can_seek(byte_source* self)
{
    return source_can_seek(static_cast<VocSource*>(self)->file);
}

int voc_source_seek(byte_source* self, int64_t target, const abort_flag* abort)
{
    auto* s = static_cast<VocSource*>(self);
    if (target < 0 || target > s->total)
        return 1;
    if (target < s->position) {
        s->index = 0;
        s->inEntry = 0;
        s->position = 0;
    }
    int64_t distance = target - s->position;
    while (distance > 0 && s->index < s->count) {
        int64_t left = s->entries[s->index].length - s->inEntry;
        if (distance < left) {
            s->inEntry += distance;
            distance = 0;
        } else {
            distance -= left;
            ++s->index;
            s->inEntry = 0;
        }
    }
    s->position = target;
    s->broken = false;
    return position_file(s, abort) ? 0 : 1;
}

int voc_source_nothing(byte_source*)
{
    return 0;
}

int voc_source_open(byte_source*, const char*, const abort_flag*)
{
    return 0;
}

void voc_source_destroy(byte_source* self)
{
    auto* s = static_cast<VocSource*>(self);
    source_destroy(s->file);
    std::free(s->entries);
    delete s;
}

constexpr byte_source_ops kVocSourceOps = {voc_source_nothing, voc_source_open,     voc_source_read,
                                           voc_source_length,  voc_source_can_seek, voc_source_seek,
                                           voc_source_nothing, voc_source_destroy};

// ---- the block walk -------------------------------------------------------

int rate_from_time_constant(int t)
{
    switch (t) {
    case 89:
    case 90:
        return 6000;
    case 131:
        return 8000;
    case 165:
    case 166:
        return 11025;
    case 173:
        return 12000;
    case 194:
        return 16000;
    case 210:
    case 211:
        return 22050;
    default:
        return 1000000 / (256 - t);
    }
}

struct voc_walk {
    voc_list list;
    pcm_format format{0, 1, 0};
    bool formatKnown = false;
    int codec = 0; // of the last new-format sound block
    bool loops = cfg_exploop;
    int levels = 0;
    struct {
        int first;
        int count;
    } loop[kLoopLevels];
};

void close_loop(voc_walk& w)
{
    if (!w.loops || w.levels == 0)
        return;
    --w.levels;
    const int first = w.loop[w.levels].first;
    const int count = w.loop[w.levels].count;
    const int end = w.list.count;
    for (int copy = 1; copy < count && end > first; ++copy)
        for (int i = first; i < end; ++i) {
            if (w.list.count >= kMaxLoopEntries)
                return;
            w.list.append(w.list.entries[i]);
        }
}

// Reads the block's fixed fields; the walk seeks past the block afterwards.
bool read_block(open_context& ctx, voc_walk& w, int type, int64_t start, int64_t length)
{
    uint8_t b[12];
    switch (type) {
    case 1: // sound data
        if (length < 2 || !source_read_exact(ctx.source, b, 2, ctx.abort))
            return length < 2;
        if (b[1] != 0)
            return true; // packed codecs are not played
        if (!w.formatKnown) {
            w.format = pcm_format{rate_from_time_constant(b[0]), 1, 8};
            w.formatKnown = true;
        }
        w.list.append(voc_entry{start + 2, static_cast<uint32_t>(length - 2), 0, false});
        return true;
    case 2: // continuation
        w.list.append(voc_entry{start, static_cast<uint32_t>(length), 0, false});
        return true;
    case 3: { // silence
        if (length != 3 || !w.formatKnown)
            return true;
        if (!source_read_exact(ctx.source, b, 3, ctx.abort))
            return false;
        const int n = get_u16le(b);
        if (n == 0 || !cfg_vocsil)
            return true;
        int64_t bytes = int64_t{n + 1} * (w.format.bits / 8) * w.format.channels;
        if (bytes > 0 && bytes <= UINT32_MAX)
            w.list.append(
                voc_entry{0, static_cast<uint32_t>(bytes), static_cast<uint8_t>(w.format.bits == 8 ? 128 : 0), true});
        return true;
    }
    case 6: // repeat start
        if (length != 2)
            return true;
        if (!source_read_exact(ctx.source, b, 2, ctx.abort))
            return false;
        if (w.loops && w.levels < kLoopLevels) {
            w.loop[w.levels].first = w.list.count;
            w.loop[w.levels].count = get_u16le(b);
            ++w.levels;
        }
        return true;
    case 7: // repeat end
        if (length == 0)
            close_loop(w);
        return true;
    case 9: // sound data, new format
        if (length <= 12)
            return true;
        if (!source_read_exact(ctx.source, b, 12, ctx.abort))
            return false;
        if (!w.formatKnown) {
            w.format = pcm_format{static_cast<int32_t>(std::min<uint32_t>(get_u32le(b), INT32_MAX)), b[5], b[4]};
            w.formatKnown = true;
        }
        w.codec = get_u16le(b + 6);
        w.list.append(voc_entry{start + 12, static_cast<uint32_t>(length - 12), 0, false});
        return true;
    default:
        return true;
    }
}

} // namespace

decoder* open_voc(open_context& ctx)
{
    if (!source_can_seek(ctx.source) && !load_into_memory(ctx))
        return nullptr;
    uint8_t head[22];
    if (!source_read_exact(ctx.source, head, 22, ctx.abort) || std::memcmp(head, "Creative Voice File", 19) != 0)
        return nullptr;
    int64_t position = get_u16le(head + 20);
    const int64_t length = source_length(ctx.source);
    if (!source_seek(ctx.source, position, ctx.abort))
        return nullptr;

    voc_walk w;
    while (position < length) {
        uint8_t b[4];
        if (!source_read_exact(ctx.source, b, 1, ctx.abort))
            return nullptr;
        if (b[0] == 0)
            break;
        if (!source_read_exact(ctx.source, b + 1, 3, ctx.abort))
            return nullptr;
        const int64_t start = position + 4;
        int64_t size = get_u24le(b + 1);
        if (start + size > length) {
            size = length - start;
            if (size <= 0)
                break;
        }
        if (!read_block(ctx, w, b[0], start, size))
            return nullptr;
        position = start + size;
        if (aborted(ctx.abort) || !source_seek(ctx.source, position, ctx.abort))
            return nullptr;
    }
    if (!w.formatKnown || w.format.bits == 0)
        w.format.bits = 8;
    if (w.list.count == 0)
        return nullptr;

    auto* s = new (std::nothrow) VocSource;
    if (!s)
        return nullptr;
    s->ops = &kVocSourceOps;
    s->tag = 0;
    s->file = ctx.source;
    s->entries = w.list.entries;
    s->count = w.list.count;
    w.list.entries = nullptr;
    for (int i = 0; i < s->count; ++i)
        s->total += s->entries[i].length;
    ctx.source = s;
    if (!position_file(s, ctx.abort))
        return nullptr;

    switch (w.codec) {
    case 0:
    case 4:
        ctx.source = nullptr;
        return create_pcm_decoder(s, w.format, 0);
    case 6:
    case 7: {
        uint8_t* format =
            companded_format(w.codec == 6 ? WAVE_FORMAT_ALAW : WAVE_FORMAT_MULAW, w.format.rate, w.format.channels);
        return format ? create_codec_decoder(ctx, format, sizeof(WAVEFORMATEX)) : nullptr;
    }
    default:
        return nullptr;
    }
}

} // namespace pcmkit
