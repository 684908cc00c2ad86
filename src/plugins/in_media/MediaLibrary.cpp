#include "MediaLibrary.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>

namespace media {
namespace {

constexpr const char* kLibraryName = "media_decoders.so";

std::mutex loading; // guards the one load
std::atomic<const DecoderTable*> table{nullptr};
std::string loadError; // set under loading when the load failed

// Beside this plug-in, wherever the host keeps it.
std::string libraryPath()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<const void*>(&Decoders), &info) || !info.dli_fname)
        return kLibraryName;
    const std::string self = info.dli_fname;
    return self.substr(0, self.rfind('/') + 1) + kLibraryName;
}

} // namespace

const DecoderTable* Decoders(std::string& why)
{
    if (const DecoderTable* loaded = table.load())
        return loaded;
    std::lock_guard lock(loading);
    if (table.load())
        return table.load();
    // Kept for the life of the process: a host may unload and load the plug-in
    // again, and the decoders need not be mapped twice.
    void* library = dlopen(libraryPath().c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    auto entry = library ? reinterpret_cast<decltype(&orvella_media_decoders)>(dlsym(library, "orvella_media_decoders"))
                         : nullptr;
    if (!entry) {
        const char* error = dlerror();
        loadError = std::string("The decoder library cannot be loaded: ") + (error ? error : kLibraryName);
        why = loadError;
        return nullptr;
    }
    table = entry();
    return table.load();
}

bool DecodersLoaded()
{
    return table.load() != nullptr;
}

} // namespace media
