// What the output stream plays of a plug-in's PCM: the engine takes 8- or
// 16-bit samples in one or two channels, so wider samples keep their top 16
// bits and more channels are mixed down to stereo.
#pragma once

namespace player {

constexpr int kMaxOutputChannels = 8;

// A plug-in's sample layout: bits per sample and channels, as given to Open.
struct PcmLayout {
    int bits = 0;
    int channels = 0;

    // Bytes that hold one sample (little-endian, left-justified, signed above 8 bits).
    int sampleBytes() const { return (bits + 7) / 8; }
    int frameBytes() const { return sampleBytes() * channels; }
    bool playable() const { return bits >= 8 && bits <= 32 && channels >= 1 && channels <= kMaxOutputChannels; }
    // The stream's layout: 8-bit and 16-bit mono or stereo play as they are.
    bool passesThrough() const { return (bits == 8 || bits == 16) && channels <= 2; }
    int streamChannels() const { return channels > 2 ? 2 : channels; }
    int streamSampleBytes() const { return passesThrough() ? sampleBytes() : 2; }
};

// Converts `frames` whole frames from `in` (layout `from`) to 16-bit samples in
// `out` (streamChannels() per frame).
void ConvertFrames(const char* in, int frames, const PcmLayout& from, short* out);

} // namespace player
