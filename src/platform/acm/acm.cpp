// The codec manager's calls. Formats, headers and their bookkeeping are
// answered here; decoding is left to the codec library, loaded with the first
// call that needs a codec.

#include "AcmCodecs.h"
#include "CompandedPcm.h"
#include "MsAdpcm.h"

#include "platform/folders.h"
#include "platform/siblinglib.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace acm {

namespace {

const CodecTable* LoadCodecs()
{
    // Beside libplatform_core.so, wherever the program folder is; never closed, as
    // open streams hold objects whose code lives there.
    auto entry = reinterpret_cast<decltype(&orvella_acm_codecs)>(platform::SymbolBeside(
        reinterpret_cast<const void*>(&GetProgramPath), "libacmcodecs.so", "orvella_acm_codecs"));
    return entry ? entry() : nullptr;
}

} // namespace

const CodecTable* Codecs()
{
    static const CodecTable* table = LoadCodecs(); // thread-safe once
    return table;
}

} // namespace acm

using acm::SourceFormat;

// Companded formats and MS ADPCM are decoded here; everything else by the
// codec library.
struct AcmStream {
    acm::CodecStream* codec = nullptr;
    const int16_t* companding = nullptr;
    std::unique_ptr<acm::MsAdpcmStream> msAdpcm;
    int channels = 0;
    int dstBits = 16;
};

namespace {

constexpr uint8_t kGuidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr int kMaxChannels = 64;

bool isPcmSubFormat(const WAVEGUID& guid, WORD tag)
{
    return guid.Data1 == tag && std::memcmp(&guid.Data2, kGuidTail, sizeof kGuidTail) == 0;
}

bool describeSource(const WAVEFORMATEX* w, SourceFormat& out)
{
    if (!w || w->nChannels == 0 || w->nChannels > kMaxChannels || w->nSamplesPerSec == 0 ||
        w->nSamplesPerSec > 0x7FFFFFFF)
        return false;
    out.tag = w->wFormatTag;
    out.channels = w->nChannels;
    out.rate = static_cast<int>(w->nSamplesPerSec);
    out.blockAlign = w->nBlockAlign;
    out.bits = w->wBitsPerSample;
    out.avgBytes = static_cast<int>(std::min<DWORD>(w->nAvgBytesPerSec, 0x7FFFFFFF));
    out.extra = reinterpret_cast<const uint8_t*>(w) + sizeof(WAVEFORMATEX);
    out.extraSize = w->cbSize;
    if (out.tag == WAVE_FORMAT_EXTENSIBLE) {
        if (w->cbSize < 22)
            return false;
        auto* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(w);
        WAVEGUID guid = ext->SubFormat;
        if ((guid.Data1 >> 16) != 0 || !isPcmSubFormat(guid, static_cast<WORD>(guid.Data1)))
            return false;
        out.tag = static_cast<int>(guid.Data1);
        out.extra += 22;
        out.extraSize -= 22;
    }
    return true;
}

bool isPcmDestination(const WAVEFORMATEX* w)
{
    if (!w)
        return false;
    if (w->wFormatTag == WAVE_FORMAT_EXTENSIBLE)
        return w->cbSize >= 22 &&
               isPcmSubFormat(reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(w)->SubFormat, WAVE_FORMAT_PCM);
    return w->wFormatTag == WAVE_FORMAT_PCM;
}

// Tags listed in ORVELLA_ACM_UNAVAILABLE are treated as having no codec.
bool tagUnavailable(int tag)
{
    const char* list = std::getenv("ORVELLA_ACM_UNAVAILABLE");
    while (list && *list) {
        char* end = nullptr;
        unsigned long value = std::strtoul(list, &end, 16);
        if (end == list)
            break;
        if (static_cast<int>(value) == tag)
            return true;
        list = *end == ',' ? end + 1 : end;
    }
    return false;
}

// The names of the formats decoded here, as the codec library gives them.
const char* builtInName(int tag)
{
    switch (tag) {
    case WAVE_FORMAT_MULAW:
        return "PCM mu-law / G.711 mu-law";
    case WAVE_FORMAT_ALAW:
        return "PCM A-law / G.711 A-law";
    case WAVE_FORMAT_ADPCM:
        return "ADPCM Microsoft";
    default:
        return nullptr;
    }
}

// The PCM width the format decodes to; 0 when nothing decodes it.
int pcmBitsOf(const SourceFormat& f)
{
    if (tagUnavailable(f.tag))
        return 0;
    if (acm::CompandingTable(f.tag) || acm::MsAdpcmStream::Open(f, 16))
        return 16;
    const acm::CodecTable* codecs = acm::Codecs();
    return codecs ? codecs->pcmBits(f) : 0;
}

// A header prepared on this stream, or why not.
MMRESULT checkPrepared(HACMSTREAM stream, const ACMSTREAMHEADER* header)
{
    if (!stream)
        return MMSYSERR_INVALHANDLE;
    if (!header || header->cbStruct < sizeof(ACMSTREAMHEADER))
        return MMSYSERR_INVALPARAM;
    if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) ||
        header->dwReservedDriver[0] != reinterpret_cast<uintptr_t>(stream))
        return ACMERR_UNPREPARED;
    return MMSYSERR_NOERROR;
}

void writeName(char* buffer, std::size_t size, const std::string& text)
{
    std::snprintf(buffer, size, "%s", text.c_str());
}

} // namespace

extern "C" {

WAVEGUID acmSubFormatOfTag(WORD tag)
{
    WAVEGUID guid{};
    guid.Data1 = tag;
    std::memcpy(&guid.Data2, kGuidTail, sizeof kGuidTail);
    return guid;
}

MMRESULT acmFormatSuggest(HACMDRIVER, const WAVEFORMATEX* src, WAVEFORMATEX* dst, DWORD cbwfxDst, DWORD fdwSuggest)
{
    if (!src || !dst || cbwfxDst < sizeof(WAVEFORMATEX))
        return MMSYSERR_INVALPARAM;
    if ((fdwSuggest & ACM_FORMATSUGGESTF_WFORMATTAG) && dst->wFormatTag != WAVE_FORMAT_PCM)
        return ACMERR_NOTPOSSIBLE;
    SourceFormat f;
    if (!describeSource(src, f))
        return ACMERR_NOTPOSSIBLE;
    const int bits = pcmBitsOf(f);
    if (bits == 0)
        return ACMERR_NOTPOSSIBLE;

    dst->wFormatTag = WAVE_FORMAT_PCM;
    dst->nChannels = static_cast<WORD>(f.channels);
    dst->nSamplesPerSec = static_cast<DWORD>(f.rate);
    dst->nBlockAlign = static_cast<WORD>(f.channels * bits / 8);
    dst->nAvgBytesPerSec = static_cast<DWORD>(f.rate) * dst->nBlockAlign;
    dst->wBitsPerSample = static_cast<WORD>(bits);
    dst->cbSize = 0;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER, const WAVEFORMATEX* src, const WAVEFORMATEX* dst, void* filter,
                       uintptr_t, uintptr_t, DWORD)
{
    if (!stream || !src || !dst || filter)
        return MMSYSERR_INVALPARAM;
    *stream = nullptr;
    SourceFormat f;
    if (!describeSource(src, f) || !isPcmDestination(dst))
        return ACMERR_NOTPOSSIBLE;
    const int bits = dst->wBitsPerSample;
    if (dst->nChannels != f.channels || dst->nSamplesPerSec != static_cast<DWORD>(f.rate) ||
        (bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return ACMERR_NOTPOSSIBLE;
    if (tagUnavailable(f.tag))
        return ACMERR_NOTPOSSIBLE;
    auto s = std::unique_ptr<AcmStream>(new (std::nothrow) AcmStream);
    if (!s)
        return MMSYSERR_NOMEM;
    s->companding = acm::CompandingTable(f.tag);
    s->msAdpcm = acm::MsAdpcmStream::Open(f, bits);
    s->channels = f.channels;
    s->dstBits = bits;
    if (!s->companding && !s->msAdpcm) {
        const acm::CodecTable* codecs = acm::Codecs();
        s->codec = codecs ? codecs->open(f, bits) : nullptr;
        if (!s->codec)
            return ACMERR_NOTPOSSIBLE;
    }
    *stream = s.release();
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM stream, DWORD)
{
    if (!stream)
        return MMSYSERR_INVALHANDLE;
    // A codec stream exists only when the codecs were loaded.
    if (stream->codec)
        acm::Codecs()->close(stream->codec);
    delete stream;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD)
{
    if (!stream)
        return MMSYSERR_INVALHANDLE;
    if (!header || header->cbStruct < sizeof(ACMSTREAMHEADER) || !header->pbSrc || !header->pbDst)
        return MMSYSERR_INVALPARAM;
    header->fdwStatus = ACMSTREAMHEADER_STATUSF_PREPARED | ACMSTREAMHEADER_STATUSF_DONE;
    header->dwReservedDriver[0] = reinterpret_cast<uintptr_t>(stream);
    header->dwReservedDriver[1] = header->cbSrcLength;
    header->dwReservedDriver[2] = header->cbDstLength;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD)
{
    if (MMRESULT failed = checkPrepared(stream, header))
        return failed;
    // As with the system's manager, the buffers must be given back at their prepared sizes.
    if (header->cbSrcLength != header->dwReservedDriver[1] || header->cbDstLength != header->dwReservedDriver[2])
        return MMSYSERR_INVALPARAM;
    header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
    header->dwReservedDriver[0] = 0;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags)
{
    if (MMRESULT failed = checkPrepared(stream, header))
        return failed;
    if (header->cbSrcLength > header->dwReservedDriver[1] || header->cbDstLength > header->dwReservedDriver[2])
        return MMSYSERR_INVALPARAM;
    acm::Conversion done;
    if (stream->companding)
        done = acm::ExpandCompanded(stream->companding, stream->channels, stream->dstBits, header->pbSrc,
                                    header->cbSrcLength, header->pbDst, header->cbDstLength,
                                    (flags & ACM_STREAMCONVERTF_END) != 0);
    else if (stream->msAdpcm)
        done = stream->msAdpcm->convert(header->pbSrc, header->cbSrcLength, header->pbDst, header->cbDstLength, flags);
    else
        done = acm::Codecs()->convert(stream->codec, header->pbSrc, header->cbSrcLength, header->pbDst,
                                      header->cbDstLength, flags);
    header->cbSrcLengthUsed = static_cast<DWORD>(done.srcUsed);
    header->cbDstLengthUsed = static_cast<DWORD>(done.dstUsed);
    header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatTagDetailsA(HACMDRIVER, ACMFORMATTAGDETAILSA* details, DWORD fdwDetails)
{
    if (!details || details->cbStruct < sizeof(ACMFORMATTAGDETAILSA) || fdwDetails != ACM_FORMATTAGDETAILSF_FORMATTAG)
        return MMSYSERR_INVALPARAM;
    const int tag = static_cast<int>(details->dwFormatTag);
    if (tagUnavailable(tag))
        return ACMERR_NOTPOSSIBLE;
    if (const char* name = builtInName(tag)) {
        writeName(details->szFormatTag, sizeof details->szFormatTag, name);
    } else {
        const acm::CodecTable* codecs = acm::Codecs();
        if (!codecs || !codecs->tagName(tag, details->szFormatTag, sizeof details->szFormatTag))
            return ACMERR_NOTPOSSIBLE;
    }
    details->dwFormatTagIndex = 0;
    details->cbFormatSize = sizeof(WAVEFORMATEX);
    details->fdwSupport = 0;
    details->cStandardFormats = 0;
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatDetailsA(HACMDRIVER, ACMFORMATDETAILSA* details, DWORD fdwDetails)
{
    if (!details || details->cbStruct < sizeof(ACMFORMATDETAILSA) || fdwDetails != ACM_FORMATDETAILSF_FORMAT ||
        !details->pwfx || details->cbwfx < sizeof(WAVEFORMATEX))
        return MMSYSERR_INVALPARAM;
    const WAVEFORMATEX* w = details->pwfx;
    std::string text = std::to_string(w->nSamplesPerSec) + " Hz";
    if (w->wBitsPerSample)
        text += ", " + std::to_string(w->wBitsPerSample) + " bit";
    text += w->nChannels == 1   ? ", mono"
            : w->nChannels == 2 ? ", stereo"
                                : ", " + std::to_string(w->nChannels) + " channels";
    details->dwFormatIndex = 0;
    details->dwFormatTag = w->wFormatTag;
    details->fdwSupport = 0;
    writeName(details->szFormat, sizeof details->szFormat, text);
    return MMSYSERR_NOERROR;
}

} // extern "C"
