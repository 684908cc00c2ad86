// The 128-byte ID3v1 tag at the end of a file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fileinfo {

class ReaderFile;

class TID3v1 {
  public:
    void Clear() { *this = TID3v1(); }
    // False when the file cannot be opened or is shorter than 128 bytes; a file without a tag
    // gives true with TagFound false.
    bool Read(const std::string& fileName);
    bool Read(ReaderFile& file);

    bool TagFound() const { return tagFound_; }
    uint8_t TagVersion() const { return tagVersion_; } // 1: version 1.0; 2: version 1.1 (with a track)
    const std::string& Title() const { return title_; }
    const std::string& Artist() const { return artist_; }
    const std::string& Album() const { return album_; }
    const std::string& Year() const { return year_; }
    const std::string& Comment() const { return comment_; }
    uint8_t Track() const { return track_; }
    uint8_t GenreIndex() const { return genreIndex_; }
    // The genre table's name for GenreIndex; empty past the table.
    std::string GenreName() const;

    static constexpr int kGenreCount = 148;
    static std::string_view Genre(int index); // empty outside 0..147

  private:
    bool tagFound_{};
    uint8_t tagVersion_ = 1;
    std::string title_, artist_, album_, year_, comment_;
    uint8_t track_{};
    uint8_t genreIndex_ = 255;
};

} // namespace fileinfo
