// The Opus decoder library's one export.

#include "MediaDecoder.h"

extern "C" __attribute__((visibility("default"))) const media::DecoderTable* orvella_media_opus()
{
    static const media::DecoderTable table{&media::DescribeOpus, &media::OpenOpus};
    return &table;
}
