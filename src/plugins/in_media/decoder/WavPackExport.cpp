// The WavPack decoder library's one export.

#include "MediaDecoder.h"

extern "C" __attribute__((visibility("default"))) const media::DecoderTable* orvella_media_wavpack()
{
    static const media::DecoderTable table{&media::DescribeWavPack, &media::OpenWavPack};
    return &table;
}
