// One read-only opening of a file for one reader's Read. It behaves like a file
// stream (a position that may lie past the end but never before the start;
// reads that return fewer bytes at the end) and keeps three small windows of
// the file in memory, so the byte-wise walks of the tag readers and the head,
// middle and tail reads of a probe cost few system calls. A caller that tries
// several readers on one file (the playlist's title refresh) opens it once and
// hands the same ReaderFile to each reader's Read: that halves the cost.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace fileinfo {

class ReaderFile {
  public:
    explicit ReaderFile(const std::string& fileName);
    ~ReaderFile();
    ReaderFile(const ReaderFile&) = delete;
    ReaderFile& operator=(const ReaderFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // errno of a failed opening (ENOENT, EACCES...; EISDIR for a folder, EINVAL for any other file that is
    // not a regular file, which is never opened so that a pipe cannot block); 0 when open.
    int OpenError() const { return openError_; }
    int64_t Size() const { return size_; }

    int64_t Position() const { return position_; }
    // False, with the position unchanged, for a negative position or a closed file.
    bool Seek(int64_t position);
    bool Skip(int64_t count) { return Seek(position_ + count); }

    // Reads up to count bytes at the position and moves past them; fewer at the end of the file.
    std::size_t Read(void* buffer, std::size_t count);
    // True only when all count bytes were read.
    bool ReadExact(void* buffer, std::size_t count) { return Read(buffer, count) == count; }
    bool ReadAt(int64_t position, void* buffer, std::size_t count)
    {
        return Seek(position) && ReadExact(buffer, count);
    }

    bool ReadU16LE(uint16_t& value);
    bool ReadU32LE(uint32_t& value);
    bool ReadU64LE(uint64_t& value);
    bool ReadU32BE(uint32_t& value);

  private:
    static constexpr std::size_t kWindowSize = 8192;
    struct Window {
        int64_t start = -1;
        std::size_t length = 0;
        uint64_t lastUse = 0;
        std::array<unsigned char, kWindowSize> bytes;
    };
    Window* windowAt(int64_t position);

    int fd_ = -1;
    int openError_ = 0;
    int64_t size_ = 0;
    int64_t position_ = 0;
    uint64_t useCounter_ = 0;
    std::array<Window, 3> windows_;
};

// Little- and big-endian integers from bytes already read.
inline uint16_t LE16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t LE32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint32_t BE32(const unsigned char* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// A file size or position held in the readers' signed 32-bit fields; larger
// files are treated as 2 GiB - 1 rather than turning negative.
int32_t FileSize32(int64_t size);

} // namespace fileinfo
