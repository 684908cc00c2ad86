#include "ByteBuilder.h"

#include "TempDir.h"

#include <cmath>
#include <cstring>

namespace testsupport {

ByteBuilder& ByteBuilder::u8(unsigned v)
{
    bytes_ += static_cast<char>(v & 0xFF);
    return *this;
}

ByteBuilder& ByteBuilder::u16le(unsigned v)
{
    return u8(v).u8(v >> 8);
}
ByteBuilder& ByteBuilder::u16be(unsigned v)
{
    return u8(v >> 8).u8(v);
}
ByteBuilder& ByteBuilder::u24le(uint32_t v)
{
    return u8(v).u8(v >> 8).u8(v >> 16);
}
ByteBuilder& ByteBuilder::u24be(uint32_t v)
{
    return u8(v >> 16).u8(v >> 8).u8(v);
}
ByteBuilder& ByteBuilder::u32le(uint32_t v)
{
    return u16le(v & 0xFFFF).u16le(v >> 16);
}
ByteBuilder& ByteBuilder::u32be(uint32_t v)
{
    return u16be(v >> 16).u16be(v & 0xFFFF);
}
ByteBuilder& ByteBuilder::u64le(uint64_t v)
{
    return u32le(static_cast<uint32_t>(v)).u32le(static_cast<uint32_t>(v >> 32));
}

ByteBuilder& ByteBuilder::f32le(float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return u32le(bits);
}

ByteBuilder& ByteBuilder::f64le(double v)
{
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return u64le(bits);
}

ByteBuilder& ByteBuilder::f32be(float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return u32be(bits);
}

ByteBuilder& ByteBuilder::f64be(double v)
{
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return u32be(static_cast<uint32_t>(bits >> 32)).u32be(static_cast<uint32_t>(bits));
}

ByteBuilder& ByteBuilder::ext80be(double v)
{
    unsigned sign = v < 0 ? 0x8000 : 0;
    v = std::fabs(v);
    if (v == 0)
        return u16be(sign).u32be(0).u32be(0);
    int exponent;
    double mantissa = std::frexp(v, &exponent); // v = mantissa * 2^exponent, mantissa in [0.5, 1)
    uint64_t bits = static_cast<uint64_t>(std::ldexp(mantissa, 64));
    u16be(sign | static_cast<unsigned>(exponent - 1 + 16383));
    return u32be(static_cast<uint32_t>(bits >> 32)).u32be(static_cast<uint32_t>(bits));
}

ByteBuilder& ByteBuilder::syncsafe32(uint32_t v)
{
    return u8((v >> 21) & 0x7F).u8((v >> 14) & 0x7F).u8((v >> 7) & 0x7F).u8(v & 0x7F);
}

ByteBuilder& ByteBuilder::text(std::string_view s)
{
    return append(s);
}

ByteBuilder& ByteBuilder::fixed(std::string_view s, std::size_t width, char fill)
{
    std::string field(s.substr(0, width));
    field.resize(width, fill);
    return append(field);
}

ByteBuilder& ByteBuilder::zeros(std::size_t count)
{
    return fill(count, 0);
}

ByteBuilder& ByteBuilder::fill(std::size_t count, uint8_t value)
{
    bytes_.append(count, static_cast<char>(value));
    return *this;
}

ByteBuilder& ByteBuilder::append(std::string_view bytes)
{
    bytes_.append(bytes);
    return *this;
}

ByteBuilder& ByteBuilder::patch32le(std::size_t offset, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes_.at(offset + i) = static_cast<char>((v >> (8 * i)) & 0xFF);
    return *this;
}

ByteBuilder& ByteBuilder::patch32be(std::size_t offset, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes_.at(offset + i) = static_cast<char>((v >> (8 * (3 - i))) & 0xFF);
    return *this;
}

void ByteBuilder::writeTo(const std::string& path) const
{
    WriteFile(path, bytes_);
}

std::string Id3v23ArtistTitle(std::string_view artist, std::string_view title)
{
    auto frame = [](const char* id, std::string_view text) {
        ByteBuilder b;
        b.text(id).u32be(uint32_t(text.size() + 1)).u16be(0).u8(0).text(text);
        return b.str();
    };
    const std::string frames = frame("TPE1", artist) + frame("TIT2", title);
    ByteBuilder tag;
    tag.text("ID3").u8(3).u8(0).u8(0).syncsafe32(uint32_t(frames.size())).append(frames);
    return tag.str();
}

} // namespace testsupport
