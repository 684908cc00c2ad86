#include "VorbisComments.h"

#include "ReaderFile.h"
#include "TextRoutines.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace fileinfo {

namespace {

// Page header: "OggS" version(1) flags(1, bit 0: continues a packet) granule(8) serial(4)
// sequence(4) crc(4) segments(1), then the segment sizes and the body.
constexpr std::size_t kPageHeader = 27, kFlags = 5, kSegments = 26;
// Pages a comment header is followed over: a 16 MB picture in the 4 KB pages taggers write.
constexpr int kMostPages = 4096;

// The bytes of a packet read on over its page's end: a page header there that continues the
// packet is passed over. Anything else is read straight on, as a packet that fits its page
// always was.
class PacketBytes {
  public:
    PacketBytes(ReaderFile& file, int64_t bodyEnd) : file_(file), bodyEnd_(bodyEnd) {}

    std::size_t Read(void* out, std::size_t count)
    {
        auto* bytes = static_cast<unsigned char*>(out);
        std::size_t done = 0;
        // An empty page only moves on to the next header; pages are bounded in number.
        while (done < count) {
            std::size_t want = std::size_t(std::min<int64_t>(int64_t(count - done), untilPageEnd()));
            if (want == 0)
                continue;
            std::size_t got = file_.Read(bytes + done, want);
            done += got;
            if (got < want)
                break;
        }
        return done;
    }

    bool Skip(int64_t count)
    {
        while (count > 0) {
            int64_t step = std::min(count, untilPageEnd());
            if (!file_.Skip(step))
                return false;
            count -= step;
        }
        return true;
    }

  private:
    // Bytes that may be taken before the next page header: everything when no page is known.
    int64_t untilPageEnd()
    {
        if (bodyEnd_ >= 0 && file_.Position() == bodyEnd_)
            passPageHeader();
        if (bodyEnd_ < 0 || file_.Position() > bodyEnd_)
            return INT64_MAX;
        return bodyEnd_ - file_.Position();
    }

    void passPageHeader()
    {
        std::array<unsigned char, kPageHeader> header;
        std::array<unsigned char, 255> sizes;
        const int64_t page = file_.Position();
        bool continues = pages_++ < kMostPages && file_.ReadExact(header.data(), header.size()) &&
                         std::memcmp(header.data(), "OggS", 4) == 0 && (header[kFlags] & 1) != 0 &&
                         file_.ReadExact(sizes.data(), header[kSegments]);
        if (!continues) {
            file_.Seek(page);
            bodyEnd_ = -1;
            return;
        }
        bodyEnd_ = file_.Position();
        for (std::size_t i = 0; i < header[kSegments]; ++i)
            bodyEnd_ += sizes[i];
    }

    ReaderFile& file_;
    int64_t bodyEnd_;
    int pages_ = 0;
};

bool ReadU32LE(PacketBytes& packet, uint32_t& value)
{
    unsigned char b[4];
    if (packet.Read(b, sizeof b) != sizeof b)
        return false;
    value = LE32(b);
    return true;
}

// The first kValueCap bytes of a value of `size` bytes, then past the rest; false for a negative size.
bool ReadBoundedValue(PacketBytes& packet, int64_t size, std::string& buffer)
{
    buffer.clear();
    if (size < 0)
        return false;
    buffer.resize(static_cast<std::size_t>(std::min<int64_t>(size, kValueCap)));
    buffer.resize(packet.Read(buffer.data(), buffer.size()));
    return packet.Skip(size - int64_t(buffer.size()));
}

} // namespace

void ReadVorbisComments(ReaderFile& file, int64_t bodyEnd, const std::function<void(const std::string& entry)>& onEntry)
{
    PacketBytes packet(file, bodyEnd);
    int64_t entry = 0;
    int32_t count = 0;
    do {
        uint32_t length;
        std::string buffer;
        if (!ReadU32LE(packet, length) || !ReadBoundedValue(packet, static_cast<int32_t>(length), buffer))
            return;
        onEntry(Trim(buffer));
        if (entry == 0) {
            uint32_t stored;
            if (!ReadU32LE(packet, stored))
                return;
            count = static_cast<int32_t>(stored);
        }
        ++entry;
    } while (entry <= count);
}

int64_t PageBodyEnd(ReaderFile& file, int64_t page)
{
    std::array<unsigned char, kPageHeader> header;
    std::array<unsigned char, 255> sizes;
    if (!file.ReadAt(page, header.data(), header.size()) || std::memcmp(header.data(), "OggS", 4) != 0 ||
        !file.ReadExact(sizes.data(), header[kSegments]))
        return -1;
    int64_t end = file.Position();
    for (std::size_t i = 0; i < header[kSegments]; ++i)
        end += sizes[i];
    return end;
}

bool SplitComment(const std::string& entry, std::string& upperName, std::string& value)
{
    std::size_t equals = entry.find('=');
    if (equals == std::string::npos)
        return false;
    upperName = UpperAscii(std::string_view(entry).substr(0, equals));
    value = entry.substr(equals + 1);
    return true;
}

} // namespace fileinfo
