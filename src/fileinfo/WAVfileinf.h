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
    uint16_t SampleRate() const { return sampleRate_; } // low 16 bits
    uint32_t ByteRate() const { return byteRate_; }
    uint16_t BlockAlign() const { return blockAlign_; }
    uint8_t BitsPerSample() const { return bitsPerSample_; }
    int32_t SampleCount() const { return sampleCount_; } // from a "fact" chunk; 0 without one
    uint16_t HeaderSize() const { return headerSize_; }  // bytes before the audio data
    int32_t FileSize() const { return fileSize_; }       // as the RIFF header declares it
    double DurationSeconds() const;
    std::string ChannelModeText() const;

  private:
    bool recognised_{};
    uint16_t formatTag_{};
    uint8_t channelCount_{};
    uint16_t sampleRate_{};
    uint32_t byteRate_{};
    uint16_t blockAlign_{};
    uint8_t bitsPerSample_{};
    int32_t sampleCount_{};
    uint16_t headerSize_{};
    int32_t fileSize_{};
};

} // namespace WAVfileinf
} // namespace fileinfo
