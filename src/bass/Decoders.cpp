#include "Decoders.h"

#include <dlfcn.h>

#include <string>

namespace bass {

namespace {

constexpr const char* kCoreCodecs[] = {"pcm_u8",    "pcm_s16le", "pcm_s24le", "pcm_s32le", "pcm_f32le",
                                       "pcm_f64le", "pcm_alaw",  "pcm_mulaw", "mp1",       "mp2",
                                       "mp3",       "vorbis",    nullptr};

// Beside this library, whatever folder the program runs from.
std::string DecoderLibraryPath()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<const void*>(&Decoders), &info) || !info.dli_fname)
        return "libbassdecoders.so";
    std::string path = info.dli_fname;
    return path.substr(0, path.rfind('/') + 1) + "libbassdecoders.so";
}

const DecoderTable* LoadDecoders()
{
    // Never closed: streams hold objects whose code lives there.
    void* library = dlopen(DecoderLibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return nullptr;
    auto entry = reinterpret_cast<decltype(&orvella_bass_decoders)>(dlsym(library, "orvella_bass_decoders"));
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
