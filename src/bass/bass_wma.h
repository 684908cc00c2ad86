/* The WMA add-on of the audio engine, libbasswma.so: plain C interface.
 *
 * Loaded at run time from the program folder after libbass.so (which it uses:
 * its streams are ordinary channels of libbass.so, and its errors are read with
 * BASS_ErrorGetCode). Conventions as in bass.h. */
#ifndef ORVELLA_BASS_BASS_WMA_H
#define ORVELLA_BASS_BASS_WMA_H

#include "bass/bass.h"

/* A stream of an ASF/WMA file (Windows Media Audio 1, 2, 9 Pro and Lossless).
 * Arguments and errors as for BASS_StreamCreateFile; the stream is freed with
 * BASS_StreamFree and played with BASS_StreamPlay. */
BASS_API HSTREAM BASS_WMA_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags);

/* As BASS_ChannelSetSync, for a WMA stream (any channel is accepted). */
BASS_API HSYNC BASS_WMA_ChannelSetSync(HSTREAM handle, DWORD type, uint64_t param, SYNCPROC proc, void* user);

#endif
