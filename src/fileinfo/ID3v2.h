// The ID3v2 tag at the start of a file: version and size of any tag, and the
// texts of twelve frames of a version 2.2, 2.3 or 2.4 tag.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace fileinfo {

class ReaderFile;

class TID3v2 {
  public:
    void Clear() { *this = TID3v2(); }
    // False only when the first 10 bytes cannot be read; frame errors end the frame scan quietly.
    bool Read(const std::string& fileName);
    bool Read(ReaderFile& file);

    bool TagFound() const { return tagFound_; }
    uint8_t TagVersion() const { return tagVersion_; }
    // Bytes from the start of the file to the end of the tag, header included; 0 when that
    // would exceed the file.
    int32_t TagSize() const { return tagSize_; }
    const std::string& Title() const { return title_; }
    const std::string& Artist() const { return artist_; }
    const std::string& Album() const { return album_; }
    uint8_t Track() const { return track_; }
    const std::string& Year() const { return year_; }
    const std::string& Genre() const { return genre_; }
    const std::string& Comment() const { return comment_; }
    const std::string& Composer() const { return composer_; }
    const std::string& Encoder() const { return encoder_; }
    const std::string& Copyright() const { return copyright_; }
    const std::string& Language() const { return language_; }
    const std::string& Link() const { return link_; }

  private:
    static constexpr std::size_t kFrameCount = 12;
    // The header and one raw 250-byte text per frame identifier (empty when the frame is absent).
    struct TagInfo {
        std::array<unsigned char, 10> Header{};
        int64_t FileSize = 0;
        std::array<std::string, kFrameCount> Frame;
    };
    void scanFrames(ReaderFile& file, TagInfo& info) const; // 2.3
    void scanFrames22(ReaderFile& file, TagInfo& info) const;
    void scanFrames24(ReaderFile& file, TagInfo& info) const;
    // 2.3: the raw bytes, only a UTF-16 text decoded, as the program always read them.
    void setFields(const TagInfo& info);
    // 2.2 and 2.4: every text in its declared encoding.
    void setEncodedFields(const TagInfo& info);

    bool tagFound_{};
    uint8_t tagVersion_{};
    int32_t tagSize_{};
    std::string title_, artist_, album_;
    uint8_t track_{};
    std::string year_, genre_, comment_, composer_, encoder_, copyright_, language_, link_;
};

} // namespace fileinfo
