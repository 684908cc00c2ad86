/* Private entry of libbass.so for its add-ons (libbasswma.so): a file stream
 * whose accepted containers and codecs the add-on chooses. Not part of the
 * player's interface. Errors as for BASS_StreamCreateFile. */
#ifndef ORVELLA_BASS_ADDON_H
#define ORVELLA_BASS_ADDON_H

#include "bass/bass.h"

/* demuxers: comma list of FFmpeg demuxer names; codecs: NULL-terminated list of
 * FFmpeg codec names. */
BASS_API HSTREAM BASSADDON_StreamCreateFile(const char* demuxers, const char* const* codecs, BOOL mem, const void* file,
                                            DWORD offset, DWORD length, DWORD flags);

#endif
