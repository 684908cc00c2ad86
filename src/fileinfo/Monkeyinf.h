// Monkey's Audio: the 40-byte descriptor at the start of the file, and the
// file's ID3v1 tag.
#pragma once

#include "ID3v1.h"

#include <cstdint>
#include <string>

namespace fileinfo {

class ReaderFile;

class TMonkey {
  public:
    void Clear() { *this = TMonkey(); }
    // False, with everything cleared, when the ID3v1 read fails or fewer than 40 bytes can be read.
    // Whether the file is Monkey's Audio is IsPlausible's answer.
    bool Read(const std::string& fileName);
    bool Read(ReaderFile& file);

    int32_t FileSize() const { return fileSize_; }
    const std::string& Magic() const { return magic_; }       // "MAC "
    uint16_t FormatVersion() const { return formatVersion_; } // version × 1000
    uint16_t CompressionLevel() const { return compressionLevel_; }
    uint16_t FormatFlags() const { return formatFlags_; }
    uint16_t ChannelCount() const { return channelCount_; }
    int32_t SampleRate() const { return sampleRate_; }
    uint32_t HeaderBytes() const { return headerBytes_; }
    uint32_t TerminatingBytes() const { return terminatingBytes_; }
    int32_t TotalFrames() const { return totalFrames_; }
    int32_t FinalFrameSamples() const { return finalFrameSamples_; }
    uint32_t PeakLevel() const { return peakLevel_; }       // 0 unless flag 0x04
    uint32_t SeekElements() const { return seekElements_; } // 0 unless flag 0x10
    const TID3v1& Id3v1Tag() const { return id3v1_; }

    bool IsPlausible() const;
    uint8_t BitsPerSample() const;
    std::string ChannelModeText() const;
    int32_t SamplesPerFrame() const;
    int32_t TotalSamples() const;
    double DurationSeconds() const;

    enum : uint16_t { kEightBit = 0x01, kPeakLevel = 0x04, kTwentyFourBit = 0x08, kSeekElements = 0x10 };

  private:
    int32_t fileSize_{};
    std::string magic_;
    uint16_t formatVersion_{}, compressionLevel_{}, formatFlags_{}, channelCount_{};
    int32_t sampleRate_{};
    uint32_t headerBytes_{}, terminatingBytes_{};
    int32_t totalFrames_{}, finalFrameSamples_{};
    uint32_t peakLevel_{}, seekElements_{};
    TID3v1 id3v1_;
};

} // namespace fileinfo
