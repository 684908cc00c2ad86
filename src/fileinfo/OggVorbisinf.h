// Ogg Vorbis for the display: the identification header at its usual fixed
// place, the comments searched in the first bytes or found by walking the
// first pages, and the sample count of a page near the end.
#pragma once

#include <cstdint>
#include <string>

namespace fileinfo {

class ReaderFile;

namespace OggVorbisinf {

class TOggVorbis {
  public:
    void Clear() { *this = TOggVorbis(); }
    // False when the 30 bytes at offset 28 cannot be read; any other file gives true, with
    // Recognised telling whether the Vorbis identification header was there.
    bool Read(const std::string& fileName);
    bool Read(ReaderFile& file);

    bool Recognised() const { return recognised_; }
    int32_t FileSize() const { return fileSize_; }
    uint8_t ChannelCount() const { return channelCount_; } // 1 or 2, else 0
    uint32_t SampleRate() const { return sampleRate_; }
    uint16_t NominalBitRateKbps() const { return nominalBitRateKbps_; }
    int32_t SampleCount() const { return sampleCount_; }
    const std::string& Title() const { return title_; }
    const std::string& Artist() const { return artist_; }
    const std::string& Album() const { return album_; }
    const std::string& Date() const { return date_; }
    const std::string& Genre() const { return genre_; }
    const std::string& Comment() const { return comment_; }
    uint8_t Track() const { return track_; }
    const std::string& Vendor() const { return vendor_; }

    double DurationSeconds() const;
    uint16_t BitRateKbps() const;
    bool IsDamaged() const;
    std::string ChannelModeText() const;

  private:
    bool recognised_{};
    int32_t fileSize_{};
    uint8_t channelCount_{};
    uint32_t sampleRate_{};
    uint16_t nominalBitRateKbps_{};
    int32_t sampleCount_{};
    std::string title_, artist_, album_, date_, genre_, comment_;
    uint8_t track_{};
    std::string vendor_;
};

} // namespace OggVorbisinf
} // namespace fileinfo
