#include "Decoders.h"

#include <dlfcn.h>

#include <string>

namespace bass {

namespace {

constexpr const char* kCoreCodecs[] = {"pcm_u8",    "pcm_s16le", "pcm_s24le", "pcm_s32le", "pcm_f32le",
                                       "pcm_f64le", "pcm_alaw",  "pcm_mulaw", "mp1",       "mp2",
                                       "mp3",       "vorbis",    nullptr};

// Beside this library, whatever folder the program runs from.
std::string LibraryPath(const char* name)
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<const void*>(&Decoders), &info) || !info.dli_fname)
        return name;
    std::string path = info.dli_fname;
    return path.substr(0, path.rfind('/') + 1) + name;
}

template <class Table> const Table* LoadTable(const char* library, const char* entryName)
{
    // Never closed: streams hold objects whose code lives there.
    void* handle = dlopen(LibraryPath(library).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    auto entry = reinterpret_cast<const Table* (*)()>(dlsym(handle, entryName));
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
