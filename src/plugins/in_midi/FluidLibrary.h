// FluidSynth, loaded when the first MIDI file is played rather than with the
// plug-in: it brings dozens of libraries with it.
#pragma once

#include <fluidsynth.h>

#include <string>

namespace midi {

#define MIDI_FLUID_FUNCTIONS(X)                                                                                        \
    X(new_fluid_settings)                                                                                              \
    X(delete_fluid_settings)                                                                                           \
    X(fluid_settings_setnum)                                                                                           \
    X(fluid_settings_setint)                                                                                           \
    X(fluid_settings_setstr)                                                                                           \
    X(new_fluid_synth)                                                                                                 \
    X(delete_fluid_synth)                                                                                              \
    X(fluid_synth_sfload)                                                                                              \
    X(fluid_synth_system_reset)                                                                                        \
    X(fluid_synth_all_sounds_off)                                                                                      \
    X(fluid_synth_write_s16)                                                                                           \
    X(new_fluid_player)                                                                                                \
    X(delete_fluid_player)                                                                                             \
    X(fluid_player_add_mem)                                                                                            \
    X(fluid_player_play)                                                                                               \
    X(fluid_player_stop)                                                                                               \
    X(fluid_player_seek)                                                                                               \
    X(fluid_set_log_function)

struct FluidFunctions {
#define MIDI_FLUID_MEMBER(name) decltype(&::name) name = nullptr;
    MIDI_FLUID_FUNCTIONS(MIDI_FLUID_MEMBER)
#undef MIDI_FLUID_MEMBER
};

// The bound functions, or null with why when the library or one of its
// functions is missing. Loads once; the library then stays for the process
// (its own dependencies cannot be unloaded safely).
const FluidFunctions* LoadFluidSynth(std::string* why);

// True once LoadFluidSynth has succeeded in this process.
bool FluidSynthLoaded();

} // namespace midi
