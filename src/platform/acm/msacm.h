/* The audio codec manager calls the waveform plug-in makes, answered by FFmpeg's
 * decoders chosen by the WAVE format tag (FFmpeg's RIFF tag table), loaded with
 * the first call that needs a codec; mu-law and A-law are expanded by table
 * without them. Only
 * decoding to PCM exists: a conversion stream turns one compressed format into
 * integer PCM of 8, 16, 24 or 32 bits at the same rate and channel count.
 *
 * WAVE_FORMAT_EXTENSIBLE sources are resolved through their sub-format: the
 * identifiers xxxxxxxx-0000-0010-8000-00AA00389B71 carry a format tag in their
 * first word. ORVELLA_ACM_UNAVAILABLE, a comma-separated list of hexadecimal
 * tags, makes those formats undecodable (as on a system without the codec).
 *
 * Every call is safe from any thread for distinct streams; one stream is used by
 * one thread at a time. */
#ifndef ORVELLA_PLATFORM_ACM_MSACM_H
#define ORVELLA_PLATFORM_ACM_MSACM_H

#include "platform/wintypes.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint16_t WORD;
typedef uint32_t MMRESULT;
typedef struct AcmDriver* HACMDRIVER; /* always null: the one built-in driver */
typedef struct AcmStream* HACMSTREAM;

#define MMSYSERR_NOERROR 0u
#define MMSYSERR_INVALHANDLE 5u
#define MMSYSERR_NOMEM 7u
#define MMSYSERR_INVALFLAG 10u
#define MMSYSERR_INVALPARAM 11u
#define ACMERR_NOTPOSSIBLE 512u
#define ACMERR_BUSY 513u
#define ACMERR_UNPREPARED 514u

#define WAVE_FORMAT_PCM 0x0001u
#define WAVE_FORMAT_ADPCM 0x0002u
#define WAVE_FORMAT_IEEE_FLOAT 0x0003u
#define WAVE_FORMAT_ALAW 0x0006u
#define WAVE_FORMAT_MULAW 0x0007u
#define WAVE_FORMAT_IMA_ADPCM 0x0011u
#define WAVE_FORMAT_GSM610 0x0031u
#define WAVE_FORMAT_MPEGLAYER3 0x0055u
#define WAVE_FORMAT_EXTENSIBLE 0xFFFEu

#pragma pack(push, 1)
/* 18 bytes, followed by cbSize extra bytes. */
typedef struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
} WAVEFORMATEX;

typedef struct WAVEGUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    uint8_t Data4[8];
} WAVEGUID;

/* 40 bytes: cbSize is at least 22. */
typedef struct WAVEFORMATEXTENSIBLE {
    WAVEFORMATEX Format;
    WORD wValidBitsPerSample;
    DWORD dwChannelMask;
    WAVEGUID SubFormat;
} WAVEFORMATEXTENSIBLE;
#pragma pack(pop)

/* The sub-format of a format tag: {tag}-0000-0010-8000-00AA00389B71. */
WAVEGUID acmSubFormatOfTag(WORD tag);

#define ACM_FORMATSUGGESTF_WFORMATTAG 0x00010000u

#define ACM_STREAMCONVERTF_BLOCKALIGN 0x00000004u
#define ACM_STREAMCONVERTF_START 0x00000010u
#define ACM_STREAMCONVERTF_END 0x00000020u

#define ACMSTREAMHEADER_STATUSF_DONE 0x00010000u
#define ACMSTREAMHEADER_STATUSF_PREPARED 0x00020000u

/* The caller's two buffers. cbStruct must be sizeof(ACMSTREAMHEADER). The
 * lengths and pointers may change between conversions while prepared; a
 * conversion uses at most cbSrcLength source bytes and writes at most
 * cbDstLength destination bytes. */
typedef struct ACMSTREAMHEADER {
    DWORD cbStruct;
    DWORD fdwStatus;
    uintptr_t dwUser;
    uint8_t* pbSrc;
    DWORD cbSrcLength;
    DWORD cbSrcLengthUsed;
    uintptr_t dwSrcUser;
    uint8_t* pbDst;
    DWORD cbDstLength;
    DWORD cbDstLengthUsed;
    uintptr_t dwDstUser;
    uintptr_t dwReservedDriver[10];
} ACMSTREAMHEADER;

#define ACMFORMATTAGDETAILS_FORMATTAG_CHARS 48
#define ACMFORMATDETAILS_FORMAT_CHARS 128
#define ACM_FORMATTAGDETAILSF_FORMATTAG 0x00000001u
#define ACM_FORMATDETAILSF_FORMAT 0x00000001u

typedef struct ACMFORMATTAGDETAILSA {
    DWORD cbStruct;
    DWORD dwFormatTagIndex;
    DWORD dwFormatTag;
    DWORD cbFormatSize;
    DWORD fdwSupport;
    DWORD cStandardFormats;
    char szFormatTag[ACMFORMATTAGDETAILS_FORMATTAG_CHARS];
} ACMFORMATTAGDETAILSA;

typedef struct ACMFORMATDETAILSA {
    DWORD cbStruct;
    DWORD dwFormatIndex;
    DWORD dwFormatTag;
    DWORD fdwSupport;
    WAVEFORMATEX* pwfx;
    DWORD cbwfx;
    char szFormat[ACMFORMATDETAILS_FORMAT_CHARS];
} ACMFORMATDETAILSA;

/* Fills dst (cbwfxDst bytes, at least 18) with the PCM format the source
 * decodes to. The source's extra bytes (cbSize) must be readable. Non-zero
 * when no decoder takes the source format. */
MMRESULT acmFormatSuggest(HACMDRIVER driver, const WAVEFORMATEX* src, WAVEFORMATEX* dst, DWORD cbwfxDst,
                          DWORD fdwSuggest);

/* Opens a synchronous stream from src to the PCM format dst (tag 1, or
 * extensible with the PCM sub-format) of the same rate and channel count. */
MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const WAVEFORMATEX* src, const WAVEFORMATEX* dst,
                       void* filter, uintptr_t callback, uintptr_t instance, DWORD fdwOpen);
MMRESULT acmStreamClose(HACMSTREAM stream, DWORD fdwClose);
MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD fdwPrepare);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD fdwUnprepare);

/* Converts the source bytes of the header. With BLOCKALIGN only whole source
 * blocks are taken (unless END says no more will come); START drops whatever
 * the stream held from before (after a seek); END drains the decoder. Decoded
 * samples that do not fit the destination are kept and delivered first by the
 * next conversion, so nothing is lost or repeated at buffer edges. */
MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD fdwConvert);

/* Display names: the codec's name for a tag, a description of one format. */
MMRESULT acmFormatTagDetailsA(HACMDRIVER driver, ACMFORMATTAGDETAILSA* details, DWORD fdwDetails);
MMRESULT acmFormatDetailsA(HACMDRIVER driver, ACMFORMATDETAILSA* details, DWORD fdwDetails);

#ifdef __cplusplus
}
#endif

#endif
