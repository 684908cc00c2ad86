#include "FluidLibrary.h"

#include <dlfcn.h>

#include <mutex>

#ifndef MIDI_FLUIDSYNTH_SONAME
#define MIDI_FLUIDSYNTH_SONAME "libfluidsynth.so.3"
#endif

namespace midi {
namespace {

std::mutex loadMutex; // guards the two below
FluidFunctions functions;
bool loaded = false;

void quiet(int, const char*, void*)
{
}

} // namespace

const FluidFunctions* LoadFluidSynth(std::string* why)
{
    std::lock_guard lock(loadMutex);
    if (loaded)
        return &functions;
    void* library = dlopen(MIDI_FLUIDSYNTH_SONAME, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library) {
        if (why)
            *why = std::string("cannot load ") + MIDI_FLUIDSYNTH_SONAME + " (install the package libfluidsynth3)";
        return nullptr;
    }
    FluidFunctions bound;
    bool complete = true;
#define MIDI_FLUID_BIND(name)                                                                                          \
    bound.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name));                                           \
    if (!bound.name) {                                                                                                 \
        complete = false;                                                                                              \
        if (why)                                                                                                       \
            *why = std::string(MIDI_FLUIDSYNTH_SONAME) + " has no " #name;                                             \
    }
    MIDI_FLUID_FUNCTIONS(MIDI_FLUID_BIND)
#undef MIDI_FLUID_BIND
    if (!complete) {
        dlclose(library);
        return nullptr;
    }
    // Nothing is logged: the synthesizer's warnings about odd files stay silent.
    for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
        bound.fluid_set_log_function(level, quiet, nullptr);
    functions = bound;
    loaded = true;
    return &functions;
}

bool FluidSynthLoaded()
{
    std::lock_guard lock(loadMutex);
    return loaded;
}

} // namespace midi
