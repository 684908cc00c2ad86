/* The audio engine, libbass.so: plain C interface.
 *
 * The player loads the library at run time from the program folder with dlopen
 * and binds every function below by name with dlsym. Every name declared here is
 * exported from libbass.so; nothing else is.
 *
 * Conventions for every function:
 * - Results: a BOOL result is TRUE (nonzero) on success; a handle result is 0 on
 *   failure; a 64-bit count or position is negative (-1) on failure; a float
 *   result is negative (-1) on failure. After a failure BASS_ErrorGetCode() gives
 *   the reason (a BASS_ERROR_* value); after a success it gives BASS_OK (0).
 *   The error code belongs to the calling thread.
 * - Threads: every function may be called from any thread, unless its comment
 *   says otherwise. Calls made before BASS_Init (or after BASS_Free) fail with
 *   BASS_ERROR_INIT.
 * - Callbacks (stream, DSP and sync procedures) run on the engine's one mixing
 *   thread. They may call any function of this library, except BASS_Init and
 *   BASS_Free. Once the function that removes a callback returns
 *   (BASS_ChannelRemoveDSP, BASS_ChannelRemoveSync, BASS_StreamFree,
 *   BASS_MusicFree, BASS_Free), that callback is not running and is never called
 *   again, so its user data may be released; such a call waits for a callback of
 *   that channel that is running at that moment on the mixing thread.
 * - User values are pointer-sized and are handed back to callbacks unchanged.
 * - Channel byte formats: positions and lengths of a channel count bytes of its
 *   own format: 16-bit samples (8-bit when created with BASS_SAMPLE_8BITS), the
 *   channel's own sample rate and channel count (a file's rate and channels; a
 *   music module: 44100 Hz stereo; a user stream: what it was created with).
 * - Text arguments are NUL-terminated UTF-8 file names.
 *
 * The output device is chosen by BASS_Init from the environment variable
 * ORVELLA_AUDIO: unset or empty = the system's default sound output (a silent
 * device consuming audio in real time when there is none), "null" = the silent
 * real-time device, "wav:PATH" = a device consuming audio in real time and
 * writing everything that would have sounded to the 16-bit stereo WAV file PATH. */
#ifndef ORVELLA_BASS_BASS_H
#define ORVELLA_BASS_BASS_H

#include "platform/wintypes.h"

#ifdef __cplusplus
#define BASS_API extern "C" __attribute__((visibility("default")))
#else
#define BASS_API extern __attribute__((visibility("default")))
#endif

typedef DWORD HSTREAM;  /* a stream channel (file stream, WMA stream or user stream) */
typedef DWORD HMUSIC;   /* a music module channel */
typedef DWORD HCHANNEL; /* any channel: a stream or a music module */
typedef DWORD HSYNC;    /* a sync set on a channel */
typedef DWORD HDSP;     /* a DSP procedure set on a channel */
typedef DWORD HFX;      /* an effect set on a channel */

/* BASS_GetVersion: low word major, high word minor. */
#define BASS_VERSION_MAJOR 1
#define BASS_VERSION_MINOR 8
#define BASS_VERSION ((DWORD)BASS_VERSION_MAJOR | ((DWORD)BASS_VERSION_MINOR << 16))

/* Error codes (BASS_ErrorGetCode). */
#define BASS_OK 0
#define BASS_ERROR_INIT 1      /* BASS_Init has not succeeded (or BASS_Free was called) */
#define BASS_ERROR_ALREADY 2   /* already done: BASS_Init twice, BASS_Start while started */
#define BASS_ERROR_DEVICE 3    /* no such device, or ORVELLA_AUDIO has an unknown value */
#define BASS_ERROR_DRIVER 4    /* the output device could not be opened or started */
#define BASS_ERROR_HANDLE 5    /* not a valid handle (of the kind the function takes) */
#define BASS_ERROR_ILLPARAM 6  /* an argument is out of range or malformed */
#define BASS_ERROR_FILEOPEN 7  /* the file could not be opened or read */
#define BASS_ERROR_FILEFORM 8  /* the data is not in a format this function plays */
#define BASS_ERROR_CODEC 9     /* the container is known but its audio cannot be decoded */
#define BASS_ERROR_FORMAT 10   /* sample rate or sample format not supported */
#define BASS_ERROR_POSITION 11 /* position beyond the channel's length, or not seekable */
#define BASS_ERROR_NOTAVAIL 12 /* the value is not available for this channel (a user stream's length) */
#define BASS_ERROR_NOPLAY 13   /* the channel is not playing */
#define BASS_ERROR_NOPAUSE 14  /* the channel is not paused */
#define BASS_ERROR_ILLTYPE 15  /* unknown sync or effect type, or wrong channel kind */
#define BASS_ERROR_MEM 16      /* out of memory */
#define BASS_ERROR_UNKNOWN -1

/* Sample flags: BASS_StreamCreate, BASS_StreamCreateFile, BASS_ChannelGetFlags. */
#define BASS_SAMPLE_8BITS 1 /* 8-bit unsigned samples */
#define BASS_SAMPLE_MONO 2  /* one channel (file streams and modules: mixed down to mono) */
/* BASS_MusicLoad: measure the module's play length at load (BASS_MusicGetLength). */
#define BASS_MUSIC_MEASURELEN 8192

/* BASS_ChannelIsActive results. */
#define BASS_ACTIVE_STOPPED 0 /* stopped, never started, or ended */
#define BASS_ACTIVE_PLAYING 1
#define BASS_ACTIVE_PAUSED 3

/* Sync types (BASS_ChannelSetSync). */
#define BASS_SYNC_END 2 /* the channel has ended and the device has taken all of its data */

/* BASS_ChannelGetData: 256 FFT magnitudes of the newest 512 samples. */
#define BASS_DATA_FFT512 0x80000000u

/* Effect types (BASS_ChannelSetFX) and their parameter records. Values outside
 * a range make BASS_FXSetParameters fail with BASS_ERROR_ILLPARAM and change
 * nothing. */
#define BASS_FX_ECHO 3
#define BASS_FX_PARAMEQ 7
#define BASS_FX_REVERB 8

typedef struct BASS_FXECHO {
    float fWetDryMix;  /* percent of the delayed (wet) signal in the output, 0..100; default 50 */
    float fFeedback;   /* percent of the output fed back into the delay, 0..100; default 50 */
    float fLeftDelay;  /* ms, 1..2000; default 500 */
    float fRightDelay; /* ms, 1..2000; default 500 */
    BOOL lPanDelay;    /* 0 or 1: swap the channels at every repeat; default 0 */
} BASS_FXECHO;

typedef struct BASS_FXPARAMEQ {
    float fCenter;    /* Hz, 80..16000 (kept below 0.45 x the output rate); default 8000 */
    float fBandwidth; /* semitones, 1..36; default 12 */
    float fGain;      /* dB, -15..15; default 0 */
} BASS_FXPARAMEQ;

typedef struct BASS_FXREVERB {
    float fInGain;          /* dB, -96..0, applied to the signal entering the effect; default 0 */
    float fReverbMix;       /* dB, -96..0, level of the reverberation added to the signal; default 0 */
    float fReverbTime;      /* ms, 0.001..3000: time for the reverberation to fall by 60 dB; default 1000 */
    float fHighFreqRTRatio; /* 0.001..0.999: high-frequency decay time / reverb time; default 0.001 */
} BASS_FXREVERB;

/* BASS_GetInfo. The caller sets size to sizeof(BASS_INFO) (56) before the call. */
typedef struct BASS_INFO {
    DWORD size;       /* in: 56 */
    DWORD dsver;      /* version of the effect set: 8 (echo, parametric equalizer, reverb) */
    DWORD freq;       /* output sample rate (Hz) */
    DWORD chans;      /* output channels: 2 */
    DWORD latency;    /* ms of audio queued between the mixer and the device, and in the device */
    DWORD devicekind; /* BASS_DEVICE_SOUND, BASS_DEVICE_NULL or BASS_DEVICE_WAV; the system's
                         output reads BASS_DEVICE_SOUND (latency: the queue only) while it is
                         being opened or while its card is missing (the engine keeps time and
                         looks for the card again), and BASS_DEVICE_NULL once it has been
                         replaced because the system has no ALSA library */
    DWORD minrate;    /* lowest user-stream rate accepted (Hz) */
    DWORD maxrate;    /* highest user-stream rate accepted (Hz) */
    DWORD fxtypes;    /* bit set of the effect types accepted: 1 << BASS_FX_* */
    DWORD started;    /* 1 when the output is running (BASS_Start) */
    DWORD reserved[4];
} BASS_INFO;

#define BASS_DEVICE_SOUND 0 /* the system's sound output */
#define BASS_DEVICE_NULL 1  /* silent real-time device */
#define BASS_DEVICE_WAV 2   /* capture to a WAV file */

/* Callbacks. All run on the mixing thread (see above).
 *
 * STREAMPROC: writes up to length bytes of the stream's format into buffer and
 * returns how many it wrote. Returning fewer than length ends the stream: what
 * was returned plays out, the channel becomes inactive and its end syncs fire.
 * It may block for a while; the device then plays silence meanwhile.
 * DSPPROC: buffer holds length bytes of 16-bit stereo frames (mono sources
 * duplicated onto both sides) at the output rate, to be changed in place.
 * SYNCPROC: data is 0 for BASS_SYNC_END. */
typedef DWORD (*STREAMPROC)(HSTREAM handle, void* buffer, DWORD length, void* user);
typedef void (*DSPPROC)(HDSP handle, DWORD channel, void* buffer, DWORD length, void* user);
typedef void (*SYNCPROC)(HSYNC handle, DWORD channel, DWORD data, void* user);

/* --- Library and device ------------------------------------------------- */

/* BASS_VERSION (1.8). Needs no BASS_Init; never fails. */
BASS_API DWORD BASS_GetVersion(void);

/* The last error of the calling thread; BASS_OK after a success. Never fails. */
BASS_API int BASS_ErrorGetCode(void);

/* Opens the output device and starts the mixing thread; the output itself starts
 * with BASS_Start. device: -1 = the device ORVELLA_AUDIO chooses, 0 = the silent
 * real-time device. freq: output rate, 8000..192000. flags: 0. win: stored only.
 * The system's sound output is opened by the mixing thread, so this returns
 * without waiting for the sound servers; one that cannot be opened or started
 * is replaced by the silent device. Must be called from one thread at a time
 * with BASS_Free. Fails with BASS_ERROR_ALREADY when already initialised,
 * BASS_ERROR_DEVICE, BASS_ERROR_DRIVER, BASS_ERROR_ILLPARAM. */
BASS_API BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win);

/* Starts (or restarts after BASS_Stop) the output. BASS_ERROR_DRIVER when the
 * device refuses to start. Starting a started output succeeds. */
BASS_API BOOL BASS_Start(void);

/* Stops the output; channels keep their state and resume sounding at BASS_Start. */
BASS_API BOOL BASS_Stop(void);

/* Frees every channel, stops the mixing thread and closes the device (a WAV
 * capture is complete and valid when this returns). From a callback it fails
 * with BASS_ERROR_ILLPARAM. A second call fails with BASS_ERROR_INIT and does
 * nothing else. */
BASS_API BOOL BASS_Free(void);

/* Fills *info; info->size must be sizeof(BASS_INFO) (56), else BASS_ERROR_ILLPARAM. */
BASS_API BOOL BASS_GetInfo(BASS_INFO* info);

/* Global volumes 0..100 by channel kind: music modules, samples (kept for the
 * caller; the engine has no sample channels), streams. -1 leaves one unchanged;
 * other values outside 0..100 fail with BASS_ERROR_ILLPARAM and change nothing.
 * 100 is unity gain; below it the gain is (v/100)^2. All are 100 after BASS_Init. */
BASS_API BOOL BASS_SetGlobalVolumes(int musvol, int samvol, int strvol);
/* Any pointer may be NULL. */
BASS_API BOOL BASS_GetGlobalVolumes(int* musvol, int* samvol, int* strvol);

/* --- Channels ----------------------------------------------------------- */

/* A file stream: WAV (PCM or float), MPEG audio layers 1-3 and Ogg Vorbis,
 * recognised by content. mem FALSE: file is a file name; offset is where the
 * audio file starts inside it and length its size (0: to the end). mem TRUE: file
 * points to length bytes of a file in memory (offset is added to it) that must
 * stay valid until the stream is freed. flags: BASS_SAMPLE_MONO, BASS_SAMPLE_8BITS
 * (byte format only). Failures: BASS_ERROR_FILEOPEN, BASS_ERROR_FILEFORM (not
 * one of these formats), BASS_ERROR_CODEC, BASS_ERROR_ILLPARAM. */
BASS_API HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags);

/* A user stream: freq 1000..384000 Hz; flags BASS_SAMPLE_8BITS, BASS_SAMPLE_MONO
 * (16-bit stereo otherwise). proc fills it on the mixing thread (see STREAMPROC).
 * Its length is not available; its position counts the bytes played since it was
 * created, last stopped or last restarted with flush. */
BASS_API HSTREAM BASS_StreamCreate(DWORD freq, DWORD flags, STREAMPROC proc, void* user);

/* Stops and frees a stream with its syncs, DSPs and effects. BASS_ERROR_HANDLE
 * when it is not a stream (already freed, or a music module). */
BASS_API BOOL BASS_StreamFree(HSTREAM handle);

/* The stream's length in bytes of its format; BASS_ERROR_NOTAVAIL for user streams. */
BASS_API int64_t BASS_StreamGetLength(HSTREAM handle);

/* Plays a stream. flush FALSE: from its current position (a stream that had
 * ended starts again from the beginning; a paused one resumes). flush TRUE:
 * whatever the stream had buffered is dropped and it restarts from the beginning
 * (a user stream: its callback is asked afresh and its position restarts at 0).
 * flags: 0. */
BASS_API BOOL BASS_StreamPlay(HSTREAM handle, BOOL flush, DWORD flags);

/* A music module (MOD, S3M, XM, IT, MTM) rendered at 44100 Hz. Arguments as for
 * BASS_StreamCreateFile; flags BASS_MUSIC_MEASURELEN, BASS_SAMPLE_MONO.
 * BASS_ERROR_FILEFORM when it is not one of these module types. */
BASS_API HMUSIC BASS_MusicLoad(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags);

/* Frees a music module (BASS_ERROR_HANDLE when handle is not one). */
BASS_API BOOL BASS_MusicFree(HMUSIC handle);

/* playlen TRUE: the play length in bytes of the module's format; FALSE: the
 * number of entries of its order list. */
BASS_API int64_t BASS_MusicGetLength(HMUSIC handle, BOOL playlen);

/* Plays a module from its current position (from the start once it has ended). */
BASS_API BOOL BASS_MusicPlay(HMUSIC handle);

/* Pause keeps the position (BASS_ERROR_NOPLAY when not playing); Resume continues
 * a paused channel (BASS_ERROR_NOPAUSE when it is not paused). Stop stops the
 * channel at its position (a user stream: drops what it had buffered and its
 * position returns to 0); stopping a stopped channel succeeds. */
BASS_API BOOL BASS_ChannelPause(DWORD handle);
BASS_API BOOL BASS_ChannelResume(DWORD handle);
BASS_API BOOL BASS_ChannelStop(DWORD handle);

/* BASS_ACTIVE_PLAYING, BASS_ACTIVE_PAUSED or BASS_ACTIVE_STOPPED (also for an
 * invalid handle, with BASS_ERROR_HANDLE). */
BASS_API DWORD BASS_ChannelIsActive(DWORD handle);

/* The channel's BASS_SAMPLE_* flags (and BASS_MUSIC_MEASURELEN for modules);
 * (DWORD)-1 with BASS_ERROR_HANDLE. */
BASS_API DWORD BASS_ChannelGetFlags(DWORD handle);

/* Current position in bytes (of what has been sent to the device). */
BASS_API int64_t BASS_ChannelGetPosition(DWORD handle);

/* Moves a file stream or module to pos bytes (rounded down to a whole frame).
 * BASS_ERROR_POSITION beyond the length; BASS_ERROR_NOTAVAIL for user streams. */
BASS_API BOOL BASS_ChannelSetPosition(DWORD handle, int64_t pos);

/* Conversions in the channel's byte format. Bytes2Seconds: -1 on error (negative
 * bytes: BASS_ERROR_ILLPARAM). Seconds2Bytes: whole frames, rounded down; -1 on
 * error. */
BASS_API float BASS_ChannelBytes2Seconds(DWORD handle, int64_t pos);
BASS_API int64_t BASS_ChannelSeconds2Bytes(DWORD handle, float secs);

/* freq: playback rate in Hz (100..384000; 0 = the channel's own rate; -1
 * unchanged), volume 0..100 (the channel's own gain, applied like the global
 * volumes; -1 unchanged), pan -100 (left) .. 100 (right), BASS_PAN_UNCHANGED
 * (-101) leaves it (-1 is a pan slightly to the left). Out of range:
 * BASS_ERROR_ILLPARAM, nothing changed. Pan 0 leaves both sides at full level;
 * towards one side the other side's level falls linearly to 0. */
#define BASS_PAN_UNCHANGED (-101)
BASS_API BOOL BASS_ChannelSetAttributes(DWORD handle, int freq, int volume, int pan);
/* Any pointer may be NULL. */
BASS_API BOOL BASS_ChannelGetAttributes(DWORD handle, DWORD* freq, DWORD* volume, int* pan);

/* flags BASS_DATA_FFT512: writes 256 floats to buffer, the FFT magnitudes of the
 * newest 512 samples (left and right averaged, Hann window) that the channel
 * sent to the device, before the global volumes and pan; bin k is k x rate / 512
 * Hz, and a full-scale sine gives about 1.0 at its bin. Returns the number of
 * bytes written (1024); (DWORD)-1 with BASS_ERROR_NOPLAY when the channel is not
 * playing, BASS_ERROR_ILLPARAM for other flags or a NULL buffer,
 * BASS_ERROR_UNKNOWN when the system's FFTW library cannot be loaded. */
BASS_API DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD flags);

/* Sets a sync. type BASS_SYNC_END (param 0): proc(sync, channel, 0, user) is
 * called on the mixing thread once each time the channel ends, when the device
 * has taken its last frame (so its whole sound has been sent to the device; the
 * channel reads as stopped from the moment its last frame was mixed).
 * BASS_ERROR_ILLTYPE for other types. */
BASS_API HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, uint64_t param, SYNCPROC proc, void* user);
BASS_API BOOL BASS_ChannelRemoveSync(DWORD handle, HSYNC sync);

/* DSP procedures run in the order they were set, before the effects. */
BASS_API HDSP BASS_ChannelSetDSP(DWORD handle, DSPPROC proc, void* user);
BASS_API BOOL BASS_ChannelRemoveDSP(DWORD handle, HDSP dsp);

/* Effects run in float, in the order they were set, after the DSPs, with their
 * default parameters until set. BASS_ERROR_ILLTYPE for an unknown type. */
BASS_API HFX BASS_ChannelSetFX(DWORD handle, DWORD type);
BASS_API BOOL BASS_ChannelRemoveFX(DWORD handle, HFX fx);

/* params points to the record of the effect's type (BASS_FXECHO, BASS_FXPARAMEQ,
 * BASS_FXREVERB). A changed value takes effect from the next block mixed. */
BASS_API BOOL BASS_FXGetParameters(HFX fx, void* params);
BASS_API BOOL BASS_FXSetParameters(HFX fx, const void* params);

#endif
