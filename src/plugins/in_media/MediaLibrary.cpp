#include "MediaLibrary.h"

#include "platform/siblinglib.h"

#include <atomic>
#include <mutex>

namespace media {
namespace {

constexpr const char* kLibraryName = "media_decoders.so";

std::mutex loading; // guards the one load
std::atomic<const DecoderTable*> table{nullptr};
std::string loadError; // set under loading when the load failed

} // namespace

const DecoderTable* Decoders(std::string& why)
{
    if (const DecoderTable* loaded = table.load())
        return loaded;
    std::lock_guard lock(loading);
    if (table.load())
        return table.load();
    // Kept for the life of the process: a host may unload and load the plug-in
    // again, and the decoders need not be mapped twice. They sit beside the
    // plug-in, wherever the host keeps it.
    auto entry = reinterpret_cast<decltype(&orvella_media_decoders)>(platform::SymbolBeside(
        reinterpret_cast<const void*>(&Decoders), kLibraryName, "orvella_media_decoders", RTLD_NODELETE));
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
