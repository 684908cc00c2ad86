// The FLAC decoder library's one export.

#include "MediaDecoder.h"

extern "C" __attribute__((visibility("default"))) const media::DecoderTable* orvella_media_flac()
{
    static const media::DecoderTable table{&media::DescribeFlac, &media::OpenFlac};
    return &table;
}
