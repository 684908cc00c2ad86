#include "Decoders.h"

extern "C" __attribute__((visibility("default"))) const bass::CodecTable* orvella_bass_codecs()
{
    static const bass::CodecTable table{&bass::OpenMpegSource, &bass::OpenVorbisSource};
    return &table;
}
