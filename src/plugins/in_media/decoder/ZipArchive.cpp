// Reads the central directory, so that sizes come from one place even when the
// local headers defer them to a data descriptor.
//
//   end of central directory (22 bytes + comment):
//     "PK\5\6" disk(2) cd-disk(2) entries-here(2) entries(2) cd-size(4) cd-offset(4) comment-length(2)
//   central directory entry (46 bytes + name + extra + comment):
//     "PK\1\2" made-by(2) needed(2) flags(2) method(2) time(2) date(2) crc(4) packed(4) size(4)
//     name-length(2) extra-length(2) comment-length(2) disk(2) internal(2) external(4) local-offset(4)
//   local header (30 bytes + name + extra), then the data:
//     "PK\3\4" needed(2) flags(2) method(2) time(2) date(2) crc(4) packed(4) size(4) name-length(2) extra-length(2)

#include "ZipArchive.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace media {
namespace {

constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr uint32_t kCentralEntry = 0x02014b50;
constexpr uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kMaxComment = 0xFFFF;
constexpr uint16_t kFlagEncrypted = 1;
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;
constexpr uint64_t kMaxDeflateRatio = 1032; // deflate's best: more claimed output is a lie

uint16_t u16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t u32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The end record's offset, searched backwards over the longest comment.
bool findEnd(const uint8_t* data, std::size_t size, std::size_t& at)
{
    if (size < kEndSize)
        return false;
    const std::size_t lowest = size - kEndSize > kMaxComment ? size - kEndSize - kMaxComment : 0;
    for (std::size_t i = size - kEndSize + 1; i-- > lowest;)
        if (u32(data + i) == kEndOfDirectory) {
            at = i;
            return true;
        }
    return false;
}

bool inflateRaw(const uint8_t* in, std::size_t inSize, std::vector<uint8_t>& out)
{
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = uInt(inSize);
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    const int result = inflate(&z, Z_FINISH);
    const bool whole = result == Z_STREAM_END && z.total_out == out.size();
    inflateEnd(&z);
    return whole;
}

} // namespace

bool LooksLikeZip(const uint8_t* data, std::size_t size)
{
    return size >= 4 && u32(data) == kLocalHeader;
}

bool FirstZipEntry(const uint8_t* data, std::size_t size, std::size_t maxBytes, std::vector<uint8_t>& out,
                   std::string& name, std::string& why)
{
    std::size_t end = 0;
    if (!findEnd(data, size, end)) {
        why = "The zip archive has no directory.";
        return false;
    }
    const std::size_t entries = u16(data + end + 10);
    std::size_t pos = u32(data + end + 16);
    const std::size_t directoryEnd = end;
    for (std::size_t n = 0; n < entries; ++n) {
        if (pos > directoryEnd || directoryEnd - pos < kCentralSize || u32(data + pos) != kCentralEntry)
            break;
        const uint8_t* e = data + pos;
        const uint16_t flags = u16(e + 8), method = u16(e + 10);
        const uint32_t crc = u32(e + 16), packed = u32(e + 20), unpacked = u32(e + 24);
        const std::size_t nameLength = u16(e + 28);
        const std::size_t skip = kCentralSize + nameLength + u16(e + 30) + u16(e + 32);
        const std::size_t local = u32(e + 42);
        if (directoryEnd - pos < kCentralSize + nameLength)
            break;
        const std::string entryName(reinterpret_cast<const char*>(e + kCentralSize), nameLength);
        pos += skip;
        const bool folder = !entryName.empty() && entryName.back() == '/';
        if (folder || (flags & kFlagEncrypted) || unpacked == 0)
            continue;
        if (method != kStored && method != kDeflated) {
            why = "The zipped file is packed in a way this plug-in does not unpack.";
            return false;
        }
        if (unpacked > maxBytes || packed == UINT32_MAX) {
            why = "The zipped file is too large.";
            return false;
        }
        if (unpacked > uint64_t(packed) * kMaxDeflateRatio + 64) {
            why = "The zip archive is damaged.";
            return false;
        }
        if (local > size || size - local < kLocalSize || u32(data + local) != kLocalHeader) {
            why = "The zip archive is damaged.";
            return false;
        }
        const std::size_t start = local + kLocalSize + u16(data + local + 26) + u16(data + local + 28);
        if (start > size || size - start < packed || (method == kStored && packed != unpacked)) {
            why = "The zip archive is damaged.";
            return false;
        }
        out.assign(unpacked, 0);
        const bool unpackedWhole = method == kStored ? (std::copy_n(data + start, packed, out.data()), true)
                                                     : inflateRaw(data + start, packed, out);
        if (!unpackedWhole || crc32(0, out.data(), uInt(out.size())) != crc) {
            why = "The zip archive is damaged.";
            return false;
        }
        name = entryName;
        return true;
    }
    why = "The zip archive holds no file.";
    return false;
}

} // namespace media
