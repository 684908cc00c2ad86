// The audio engine and its WMA add-on, loaded at run time from the program
// folder and bound name by name. Only the calls the player makes are bound;
// every one of them must resolve or the library is not used at all.
#pragma once

#include "bass/bass_wma.h"

#include <string>

namespace player {

// X-lists of the bound names: one place for the declaration and the lookup.
#define PLAYER_BASS_FUNCTIONS(X)                                                                                       \
    X(BASS_GetVersion)                                                                                                 \
    X(BASS_ErrorGetCode)                                                                                               \
    X(BASS_Init)                                                                                                       \
    X(BASS_Start)                                                                                                      \
    X(BASS_Free)                                                                                                       \
    X(BASS_GetInfo)                                                                                                    \
    X(BASS_SetGlobalVolumes)                                                                                           \
    X(BASS_GetGlobalVolumes)                                                                                           \
    X(BASS_StreamCreateFile)                                                                                           \
    X(BASS_StreamCreate)                                                                                               \
    X(BASS_StreamFree)                                                                                                 \
    X(BASS_StreamGetLength)                                                                                            \
    X(BASS_StreamPlay)                                                                                                 \
    X(BASS_MusicLoad)                                                                                                  \
    X(BASS_MusicFree)                                                                                                  \
    X(BASS_MusicGetLength)                                                                                             \
    X(BASS_MusicPlay)                                                                                                  \
    X(BASS_ChannelPause)                                                                                               \
    X(BASS_ChannelResume)                                                                                              \
    X(BASS_ChannelStop)                                                                                                \
    X(BASS_ChannelIsActive)                                                                                            \
    X(BASS_ChannelGetFlags)                                                                                            \
    X(BASS_ChannelGetPosition)                                                                                         \
    X(BASS_ChannelSetPosition)                                                                                         \
    X(BASS_ChannelBytes2Seconds)                                                                                       \
    X(BASS_ChannelSeconds2Bytes)                                                                                       \
    X(BASS_ChannelSetAttributes)                                                                                       \
    X(BASS_ChannelGetAttributes)                                                                                       \
    X(BASS_ChannelGetData)                                                                                             \
    X(BASS_ChannelSetSync)                                                                                             \
    X(BASS_ChannelSetDSP)                                                                                              \
    X(BASS_ChannelRemoveDSP)                                                                                           \
    X(BASS_ChannelSetFX)                                                                                               \
    X(BASS_ChannelRemoveFX)                                                                                            \
    X(BASS_FXGetParameters)                                                                                            \
    X(BASS_FXSetParameters)

#define PLAYER_BASS_WMA_FUNCTIONS(X)                                                                                   \
    X(BASS_WMA_StreamCreateFile)                                                                                       \
    X(BASS_WMA_ChannelSetSync)

#define PLAYER_DECLARE_ENTRY(name) decltype(&::name) name = nullptr;

// The call tables. Filled on the user-interface thread before any other thread
// of the player exists and cleared only after they have all ended, so other
// threads read them without a lock.
struct BassFunctions {
    PLAYER_BASS_FUNCTIONS(PLAYER_DECLARE_ENTRY)
};
struct BassWmaFunctions {
    PLAYER_BASS_WMA_FUNCTIONS(PLAYER_DECLARE_ENTRY)
};

#undef PLAYER_DECLARE_ENTRY

const BassFunctions& Bass();
const BassWmaFunctions& BassWma();

// folder + "libbass.so". True at once when already loaded.
bool LoadBass(const std::string& folder);
bool BassLoaded();
// BASS_Free, then the library is freed.
void UnloadBass();

// folder + "libbasswma.so"; needs the engine loaded first.
bool LoadBassWma(const std::string& folder);
bool BassWmaLoaded();
void UnloadBassWma();

} // namespace player
