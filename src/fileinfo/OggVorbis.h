// Ogg Vorbis for the player: walks the first two Ogg pages (after any ID3v2
// tag) for the identification and comment headers, and takes the sample count
// from the last page.
#pragma once

#include <cstdint>
#include <string>

namespace fileinfo {

class ReaderFile;

namespace OggVorbis {

class TOggVorbis {
  public:
    void Clear() { *this = TOggVorbis(); }
    // True when the file begins (after an ID3v2 tag) with an Ogg page holding a Vorbis
    // identification header. A file that cannot be opened gives false with OpenError() set,
    // which the player treats as a file it cannot open.
    bool Read(const std::string& fileName);
    bool Read(ReaderFile& file);
    int OpenError() const { return openError_; } // errno of the last failed opening, else 0

    int32_t FileSize() const { return fileSize_; }
    uint8_t ChannelCount() const { return channelCount_; }
    uint32_t SampleRate() const { return sampleRate_; }
    uint16_t NominalBitRateKbps() const { return nominalBitRateKbps_; }
    int32_t SampleCount() const { return sampleCount_; }
    int32_t Id3v2Size() const { return id3v2Size_; }
    const std::string& Title() const { return title_; }
    const std::string& Artist() const { return artist_; } // ARTIST, else PERFORMER
    const std::string& Album() const { return album_; }
    const std::string& Date() const { return date_; }
    const std::string& Genre() const { return genre_; }
    const std::string& Comment() const { return comment_; } // COMMENT, else DESCRIPTION
    uint16_t Track() const { return track_; }
    const std::string& Vendor() const { return vendor_; }

    double DurationSeconds() const;
    uint16_t BitRateKbps() const;
    bool IsPlausible() const;

  private:
    int openError_{};
    int32_t fileSize_{};
    uint8_t channelCount_{};
    uint32_t sampleRate_{};
    uint16_t nominalBitRateKbps_{};
    int32_t sampleCount_{};
    int32_t id3v2Size_{};
    std::string title_, artist_, album_, date_, genre_, comment_;
    uint16_t track_{};
    std::string vendor_;
};

} // namespace OggVorbis
} // namespace fileinfo
