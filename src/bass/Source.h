// Where a channel's samples come from: a decoded file, a music module or a
// user callback. Sources are used by the mixing thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace bass {

// The rates a user stream may have.
constexpr unsigned kMinUserRate = 1000;
constexpr unsigned kMaxUserRate = 384000;

class Source {
  public:
    virtual ~Source() = default;
    // Writes up to frames frames of interleaved 16-bit samples; fewer means the end.
    virtual std::size_t read(int16_t* out, std::size_t frames) = 0;
    // Moves to a frame; false when the source cannot.
    virtual bool seek(uint64_t frame) = 0;
};

// The bytes of a file handed to a create call: a section of a file on disk or a
// caller's memory block. Reads never go outside the section.
class InputData {
  public:
    // error receives a BASS_ERROR_* code on failure.
    static std::unique_ptr<InputData> Open(bool mem, const void* file, uint32_t offset, uint32_t length, int& error);
    ~InputData();

    uint64_t size() const { return size_; }
    // Bytes read at pos (0 at or past the end, -1 on a read error).
    long read(uint64_t pos, void* buffer, std::size_t count);

  private:
    InputData() = default;
    std::FILE* file_ = nullptr;
    const uint8_t* memory_ = nullptr;
    uint64_t base_ = 0;
    uint64_t size_ = 0;
    uint64_t filePos_ = ~uint64_t(0); // where the stdio stream stands, relative to base_
};

// A read position over InputData, for decoders that read and seek as on a file.
class InputCursor {
  public:
    explicit InputCursor(InputData& data) : data_(&data) {}
    // Bytes read (0 at the end, -1 on a read error); the position moves past them.
    long read(void* buffer, std::size_t count);
    // Moves as lseek does (SEEK_SET, SEEK_CUR, SEEK_END): the new position, or
    // -1 (and no move) for a place outside the data.
    int64_t seek(int64_t offset, int whence);
    uint64_t position() const { return pos_; }

  private:
    InputData* data_;
    uint64_t pos_ = 0;
};

// What a file decoder accepts: FFmpeg demuxer names and codec names.
struct FileRules {
    const char* demuxers;      // comma list, e.g. "wav,mp3,ogg"
    const char* const* codecs; // null-terminated list of codec names
};

// What BASS_StreamCreateFile opens: WAV (PCM, float, A-law, mu-law), MPEG audio, Ogg Vorbis.
extern const FileRules kCoreFileRules;

struct StreamFormat {
    unsigned rate = 0;
    unsigned channels = 0;
    int64_t lengthFrames = -1; // -1: unknown
};

// Opens a decoder for data; mono mixes down to one channel, otherwise more
// than two channels are mixed down to stereo. error: BASS_ERROR_FILEFORM,
// BASS_ERROR_CODEC or BASS_ERROR_MEM.
std::unique_ptr<Source> OpenFileSource(std::unique_ptr<InputData> data, const FileRules& rules, bool mono,
                                       StreamFormat& format, int& error);

// A MOD, S3M, XM, IT or MTM module rendered at rate. error: BASS_ERROR_FILEFORM,
// BASS_ERROR_FILEOPEN, BASS_ERROR_MEM.
std::unique_ptr<Source> OpenMusicSource(std::unique_ptr<InputData> data, unsigned rate, bool mono, StreamFormat& format,
                                        int64_t& orders, int& error);

} // namespace bass
