#include "Decoders.h"

#include "platform/siblinglib.h"

namespace bass {

namespace {

constexpr const char* kCoreCodecs[] = {"pcm_u8",    "pcm_s16le", "pcm_s24le", "pcm_s32le", "pcm_f32le",
                                       "pcm_f64le", "pcm_alaw",  "pcm_mulaw", "mp1",       "mp2",
                                       "mp3",       "vorbis",    nullptr};

template <class Table> const Table* LoadTable(const char* library, const char* entryName)
{
    // Beside this library, whatever folder the program runs from; never closed,
    // as streams hold objects whose code lives there.
    auto entry = reinterpret_cast<const Table* (*)()>(
        platform::SymbolBeside(reinterpret_cast<const void*>(&Decoders), library, entryName));
    return entry ? entry() : nullptr;
}

} // namespace

const FileRules kCoreFileRules{"wav,mp3,ogg", kCoreCodecs};

const CodecTable* Codecs()
{
    static const CodecTable* table = LoadTable<CodecTable>("libbasscodecs.so", "orvella_bass_codecs"); // once
    return table;
}

const DecoderTable* Decoders()
{
    static const DecoderTable* table = LoadTable<DecoderTable>("libbassdecoders.so", "orvella_bass_decoders");
    return table;
}

} // namespace bass
