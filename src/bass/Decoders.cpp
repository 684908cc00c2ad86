#include "Decoders.h"

#include "platform/siblinglib.h"

namespace bass {

namespace {

constexpr const char* kCoreCodecs[] = {"pcm_u8",    "pcm_s16le", "pcm_s24le", "pcm_s32le", "pcm_f32le",
                                       "pcm_f64le", "pcm_alaw",  "pcm_mulaw", "mp1",       "mp2",
                                       "mp3",       "vorbis",    nullptr};

const DecoderTable* LoadDecoders()
{
    // Beside this library, whatever folder the program runs from; never closed,
    // as streams hold objects whose code lives there.
    auto entry = reinterpret_cast<decltype(&orvella_bass_decoders)>(platform::SymbolBeside(
        reinterpret_cast<const void*>(&Decoders), "libbassdecoders.so", "orvella_bass_decoders"));
    return entry ? entry() : nullptr;
}

} // namespace

const FileRules kCoreFileRules{"wav,mp3,ogg", kCoreCodecs};

const DecoderTable* Decoders()
{
    static const DecoderTable* table = LoadDecoders(); // thread-safe once
    return table;
}

} // namespace bass
