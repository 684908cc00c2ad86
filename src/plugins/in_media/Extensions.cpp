#include "Extensions.h"

namespace media {

// One pair per format. The engine's own types (WAV, MP3) are not claimed. Ogg
// files, .oga and .ogg, are claimed for the FLAC and Opus inside them; Vorbis,
// the engine's own, is declined after a look at the first page.
char extension_list[] = "FLAC\0FLAC lossless audio (FLAC)\0"
                        "OPUS\0Ogg Opus (OPUS)\0"
                        "OGA;OGG\0Ogg FLAC and Opus (OGA,OGG)\0"
                        "M4A;M4B;F4A;MP4;AAC;ADTS\0MPEG-4 audio, AAC and ALAC (M4A,M4B,F4A,MP4,AAC,ADTS)\0"
                        "APE\0Monkey's Audio (APE)\0"
                        "WV\0WavPack (WV)\0"
                        "MPC;MP+;MPP\0Musepack (MPC,MP+,MPP)\0"
                        "TTA\0TrueAudio (TTA)\0"
                        "VQF\0TwinVQ (VQF)\0"
                        "WMA;ASF\0Windows Media audio (WMA,ASF)\0"
                        "MDZ\0Zipped module (MDZ)\0"; // the literal's own NUL ends the list

} // namespace media
