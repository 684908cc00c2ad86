// Builds binary files byte by byte for parser tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace testsupport {

class ByteBuilder {
  public:
    ByteBuilder& u8(unsigned v);
    ByteBuilder& u16le(unsigned v);
    ByteBuilder& u16be(unsigned v);
    ByteBuilder& u24le(uint32_t v);
    ByteBuilder& u24be(uint32_t v);
    ByteBuilder& u32le(uint32_t v);
    ByteBuilder& u32be(uint32_t v);
    ByteBuilder& u64le(uint64_t v);
    ByteBuilder& f32le(float v);
    ByteBuilder& f64le(double v);
    ByteBuilder& f32be(float v);
    ByteBuilder& f64be(double v);
    ByteBuilder& ext80be(double v);        // IEEE 754 80-bit extended, big-endian (AIFF rates)
    ByteBuilder& syncsafe32(uint32_t v);   // 7 bits per byte, big-endian (ID3v2 sizes)
    ByteBuilder& text(std::string_view s); // bytes as given, no terminator
    ByteBuilder& fixed(std::string_view s, std::size_t width, char fill = '\0'); // padded or cut
    ByteBuilder& zeros(std::size_t count);
    ByteBuilder& fill(std::size_t count, uint8_t value);
    ByteBuilder& append(std::string_view bytes);

    // Overwrites 4 bytes at offset (for sizes known only at the end).
    ByteBuilder& patch32le(std::size_t offset, uint32_t v);
    ByteBuilder& patch32be(std::size_t offset, uint32_t v);

    std::size_t size() const { return bytes_.size(); }
    const std::string& bytes() const { return bytes_; }
    std::string str() const { return bytes_; }
    void writeTo(const std::string& path) const;

  private:
    std::string bytes_;
};

// An ID3v2.3 tag holding the artist (TPE1) and the title (TIT2) as Latin-1 text.
std::string Id3v23ArtistTitle(std::string_view artist, std::string_view title);

} // namespace testsupport
