#include "Decoders.h"

extern "C" __attribute__((visibility("default"))) const bass::DecoderTable* orvella_bass_decoders()
{
    static const bass::DecoderTable table{&bass::OpenFileSource, &bass::OpenMusicSource};
    return &table;
}
