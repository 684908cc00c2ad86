// The decoder library's one export.

#include "MediaDecoder.h"

extern "C" __attribute__((visibility("default"))) const media::DecoderTable* orvella_media_decoders()
{
    static const media::DecoderTable table{&media::DescribeMedia, &media::OpenMedia};
    return &table;
}
