// WMA (ASF): stream properties and tag texts from the header object. Texts are
// stored as UTF-16 in the file and held here as UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace fileinfo {

class ReaderFile;

class TWMAfile {
  public:
    void Clear() { *this = TWMAfile(); }
    // False, with every field cleared, when the file cannot be opened or a read of the header
    // walk fails; a file of another format gives true with Recognised false.
    bool Read(const std::string& fileName);
    bool Read(ReaderFile& file);

    bool Recognised() const { return recognised_; }
    int32_t FileSize() const { return fileSize_; }
    uint8_t ChannelCount() const { return channelCount_; }
    int32_t SampleRate() const { return sampleRate_; }
    double DurationSeconds() const { return durationSeconds_; }
    int32_t BitRateKbps() const { return bitRateKbps_; }
    const std::string& Title() const { return title_; }
    const std::string& Artist() const { return artist_; }
    const std::string& Album() const { return album_; }
    const std::string& Year() const { return year_; }
    const std::string& Genre() const { return genre_; }
    const std::string& Comment() const { return comment_; }
    int32_t Track() const { return track_; }
    std::string ChannelModeText() const;

  private:
    bool recognised_{};
    int32_t fileSize_{};
    uint8_t channelCount_{};
    int32_t sampleRate_{};
    double durationSeconds_{};
    int32_t bitRateKbps_{};
    std::string title_, artist_, album_, year_, genre_, comment_;
    int32_t track_{};
};

} // namespace fileinfo
