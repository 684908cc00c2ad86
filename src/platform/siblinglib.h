// Libraries that travel beside the one that loads them, found wherever the
// program folder is. Header-only and free of Qt, so the engine can use it
// without linking libplatform.
#pragma once

#include <dlfcn.h>

#include <string>

namespace platform {

// The path of `library` in the folder of the loaded object that holds
// `anchor` (any function of that object); the bare name when it is unknown.
inline std::string PathBeside(const void* anchor, const char* library)
{
    Dl_info info{};
    if (!dladdr(anchor, &info) || !info.dli_fname)
        return library;
    const std::string self = info.dli_fname;
    return self.substr(0, self.rfind('/') + 1) + library;
}

// Opens `library` beside that object and returns its `symbol`; null when
// either is missing (dlerror says why). The library is never closed: what it
// gives out keeps pointing into it.
inline void* SymbolBeside(const void* anchor, const char* library, const char* symbol, int extraFlags = 0)
{
    void* handle = dlopen(PathBeside(anchor, library).c_str(), RTLD_NOW | RTLD_LOCAL | extraFlags);
    return handle ? dlsym(handle, symbol) : nullptr;
}

} // namespace platform
