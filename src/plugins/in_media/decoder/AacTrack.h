// An AAC stream in a file: the first AAC sound track of an MP4 file (.m4a,
// .mp4, .m4b, .mov) or a raw ADTS stream (.aac): where each of its frames
// lies, how long each lasts, and the file's tags. Every size and count in the
// file is checked against the bytes that hold it.
#pragma once

#include "MediaDecoder.h"

#include "bass/Source.h"

#include <cstdint>
#include <string>
#include <vector>

namespace media {

struct AacTrack {
    std::string container;              // as the FFmpeg decoders name it
    std::vector<uint8_t> decoderConfig; // the AAC AudioSpecificConfig
    int channels = 0;                   // of the AAC configuration: 1 or 2
    uint32_t timescale = 0;             // of the frames' durations, per second
    uint64_t skip = 0;                  // timescale units decoded but not played (the encoder's delay)
    uint64_t length = 0;                // timescale units played, after skip
    uint32_t averageBitrate = 0;        // bit/s, 0 when the file does not say

    // The frames in decoding order, every one wholly inside the file.
    std::vector<uint64_t> offsets;
    std::vector<uint32_t> sizes;
    // Runs of frames of one duration, in order; each lasts up to the next.
    struct Run {
        std::size_t firstFrame;
        uint64_t start; // timescale units from the first frame's start
        uint32_t delta; // timescale units each frame of the run lasts
    };
    std::vector<Run> durations;

    std::size_t frameCount() const { return sizes.size(); }
    // Timescale units from the first frame's start to frame's.
    uint64_t startOf(std::size_t frame) const;
    uint32_t durationOf(std::size_t frame) const;
    // The frame playing at time (the last one from its start on).
    std::size_t frameAt(uint64_t time) const;
    Tags tags;
};

// False, with why, for a file that is no MP4 or holds no AAC track of one or
// two channels that this reader takes (such tracks go to the FFmpeg decoders).
bool ReadMp4Track(bass::InputData& data, AacTrack& out, std::string& why);

// The same for a file of ADTS frames. Files with tags (ID3 or APE) are left to
// the FFmpeg decoders, which read them.
bool ReadAdtsTrack(bass::InputData& data, AacTrack& out, std::string& why);

} // namespace media
