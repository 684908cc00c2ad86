// RIFF WAVE for the display: every format field of the fixed header, the sample
// count of a "fact" chunk right after the format chunk, and a duration from
// the data size and the byte rate.
#pragma once

#include <cstdint>
#include <string>

namespace fileinfo {

class ReaderFile;

namespace WAVfileinf {

class TWAVfile {
  public:
    void Clear() { *this = TWAVfile(); }
    // False when the header cannot be read.
    bool Read(const std::string& fileName);
    bool Read(ReaderFile& file);

    bool Recognised() const { return recognised_; }
    uint16_t FormatTag() const { return formatTag_; }
    uint8_t ChannelCount() const { return channelCount_; }
    uint32_t SampleRate() const { return sampleRate_; }
    uint32_t ByteRate() const { return byteRate_; }
    uint16_t BlockAlign() const { return blockAlign_; }
    uint8_t BitsPerSample() const { return bitsPerSample_; }
    uint32_t SampleCount() const { return sampleCount_; } // from a "fact" chunk; 0 without one
    uint16_t HeaderSize() const { return headerSize_; }   // bytes before the audio data
    int64_t FileSize() const { return fileSize_; }        // RIFF size + 8, or the real size when that is no size
    // Kilobits per second of the stored samples: rate x channels x bits / 1000.
    uint32_t BitRateKbps() const;
    double DurationSeconds() const;
    std::string ChannelModeText() const;

  private:
    bool recognised_{};
    uint16_t formatTag_{};
    uint8_t channelCount_{};
    uint32_t sampleRate_{};
    uint32_t byteRate_{};
    uint16_t blockAlign_{};
    uint8_t bitsPerSample_{};
    uint32_t sampleCount_{};
    uint16_t headerSize_{};
    int64_t fileSize_{};
};

} // namespace WAVfileinf
} // namespace fileinfo
