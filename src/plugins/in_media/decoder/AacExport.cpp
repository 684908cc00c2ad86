// The AAC decoder library's one export.

#include "MediaDecoder.h"

extern "C" __attribute__((visibility("default"))) const media::DecoderTable* orvella_media_aac()
{
    static const media::DecoderTable table{&media::DescribeAac, &media::OpenAac};
    return &table;
}
