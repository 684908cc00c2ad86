// Recognition by content (by extension only for VOX and AUD) and the open
// sequence shared by playing and the information paths.

#include "Containers.h"
#include "Decoders.h"
#include "Module.h"
#include "Settings.h"
#include "Sources.h"

#include "platform/msgbox.h"

#include <optional>
#include <strings.h>

namespace pcmkit {
namespace {

// The enabled row of the format table for the name's extension, or -1.
int extension_row(const char* name)
{
    const char* dot = std::strrchr(name, '.');
    if (!dot)
        return -1;
    for (int row = 0; row < kFormatRows; ++row)
        if ((cfg_ext_mask & (1u << row)) && strcasecmp(dot + 1, format_table[row].extension) == 0)
            return row;
    return -1;
}

decoder* parse(file_type type, open_context& ctx)
{
    switch (type) {
    case TYPE_RIFF:
        return open_riff(ctx);
    case TYPE_VOC:
        return open_voc(ctx);
    case TYPE_AU:
        return open_au(ctx);
    case TYPE_IFF:
        return open_iff(ctx);
    case TYPE_AUD:
        return open_aud(ctx);
    case TYPE_VOX:
        return open_vox(ctx);
    default:
        return nullptr;
    }
}

// The real-time conversions of the settings; a filter that cannot be built is left out.
decoder* add_filters(decoder* d)
{
    if ((cfg_8216 && d->format.bits == 8) || (cfg_downcvt && d->format.bits > 16))
        if (decoder* widened = create_width_filter(d))
            d = widened;
    if (cfg_mono && d->format.channels > 1)
        if (decoder* mixed = create_mono_filter(d))
            d = mixed;
    return d;
}

} // namespace

file_type detect_type(const char* name, byte_source* source, const abort_flag* abort)
{
    const int row = extension_row(name);
    if (row == kRowVox)
        return TYPE_VOX;
    uint8_t mark[4] = {};
    source_read_full(source, mark, 4, abort);
    source_seek(source, 0, abort);
    if (aborted(abort))
        return TYPE_UNKNOWN;
    if (row == kRowAud && get_u16le(mark) == 22050)
        return TYPE_AUD;
    if (same_id(mark, "RIFF"))
        return TYPE_RIFF;
    if (same_id(mark, "FORM"))
        return TYPE_IFF;
    if (same_id(mark, "Crea"))
        return TYPE_VOC;
    if (same_id(mark, ".snd"))
        return TYPE_AU;
    return TYPE_UNKNOWN;
}

void show_error(const char* text)
{
    if (!boxes_suppressed())
        MessageBox(host_window(), text, "Brevik Waveform Decoder v2.05a error", MB_ICONERROR);
}

decoder* open_file(const char* name, bool infoMode, const abort_flag* abort, open_result* result)
{
    *result = OPEN_FAILED;
    if (!name)
        return nullptr;
    std::optional<QuietBoxes> quiet;
    if (infoMode)
        quiet.emplace();
    byte_source* source = create_source_for_name(name);
    if (!source)
        return nullptr;
    if (source->ops->open(source, name, abort) != 0) {
        source_destroy(source);
        *result = OPEN_NO_SOURCE;
        return nullptr;
    }
    return open_source(name, source, infoMode, abort, result);
}

decoder* open_source(const char* name, byte_source* source, bool infoMode, const abort_flag* abort, open_result* result)
{
    *result = OPEN_FAILED;
    std::optional<QuietBoxes> quiet;
    if (infoMode)
        quiet.emplace();
    const file_type type = detect_type(name, source, abort);
    if (type == TYPE_UNKNOWN) {
        source_destroy(source);
        if (!aborted(abort))
            show_error("Invalid file type.");
        return nullptr;
    }
    open_context ctx;
    ctx.source = source;
    ctx.abort = abort;
    ctx.info_mode = infoMode;
    decoder* d = parse(type, ctx);
    // Formats no output could take (no channels, zero rate, odd widths) count as damaged.
    if (d && (aborted(abort) || !playable_format(d->format))) {
        decoder_destroy(d);
        d = nullptr;
    }
    if (!d) {
        source_destroy(ctx.source);
        if (!aborted(abort))
            show_error(ctx.message ? ctx.message : "Damaged file or unsupported format.");
        return nullptr;
    }
    if (!infoMode)
        d = add_filters(d);
    *result = OPEN_OK;
    return d;
}

} // namespace pcmkit
