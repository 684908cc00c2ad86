// RIFF WAVE for the player: channels, sample rate and bits per sample from the
// fixed 44-byte header, and a duration computed from them.
#pragma once

#include <cstdint>
#include <string>

namespace fileinfo {

class ReaderFile;

namespace WAVfile {

class TWAVfile {
  public:
    void Clear() { *this = TWAVfile(); }
    // False when fewer than 44 bytes can be read.
    bool Read(const std::string& fileName);
    bool Read(ReaderFile& file);

    bool Recognised() const { return recognised_; }
    uint8_t ChannelCount() const { return channelCount_; }
    uint32_t SampleRate() const { return sampleRate_; }
    uint8_t BitsPerSample() const { return bitsPerSample_; }
    int64_t FileSize() const { return fileSize_; } // RIFF size + 8, or the real size when that is no size
    double DurationSeconds() const;

  private:
    bool recognised_{};
    uint8_t channelCount_{};
    uint32_t sampleRate_{};
    uint8_t bitsPerSample_{};
    int64_t fileSize_{};
};

} // namespace WAVfile
} // namespace fileinfo
