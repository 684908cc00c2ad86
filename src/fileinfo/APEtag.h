// The APE tag at the end of a file (before an ID3v1 tag when there is one).
#pragma once

#include <cstdint>
#include <string>

namespace fileinfo {

class ReaderFile;

class TAPEtag {
  public:
    void Clear() { *this = TAPEtag(); }
    // False when the footer cannot be read (files shorter than 128 bytes among them).
    bool Read(const std::string& fileName);
    bool Read(ReaderFile& file);

    bool TagFound() const { return tagFound_; }
    int32_t TagVersion() const { return tagVersion_; } // 1000 or 2000 as a rule
    int32_t TagSize() const { return tagSize_; }       // items and footer, without a header
    const std::string& Title() const { return title_; }
    const std::string& Artist() const { return artist_; }
    const std::string& Album() const { return album_; }
    uint8_t Track() const { return track_; }
    const std::string& Year() const { return year_; }
    const std::string& Genre() const { return genre_; }
    const std::string& Comment() const { return comment_; }
    const std::string& Copyright() const { return copyright_; }

  private:
    bool tagFound_{};
    int32_t tagVersion_{};
    int32_t tagSize_{};
    std::string title_, artist_, album_;
    uint8_t track_{};
    std::string year_, genre_, comment_, copyright_;
};

} // namespace fileinfo
