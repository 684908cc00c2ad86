#include "WAVfileinf.h"

#include "ChannelMode.h"
#include "WaveHeader.h"

namespace fileinfo::WAVfileinf {

bool TWAVfile::Read(const std::string& fileName)
{
    ReaderFile file(fileName);
    return Read(file);
}

bool TWAVfile::Read(ReaderFile& file)
{
    Clear();
    WaveHeader header;
    if (!file.ReadAt(0, header.Bytes.data(), 40))
        return false;
    if (!header.Passes())
        return true;
    // When the format chunk is not followed by the data, the chunk behind it should be a "fact"
    // chunk: its id, size, then the sample count. It is only looked for in a WAVE file, so that
    // another format is never refused for lacking one.
    uint32_t sampleCount = 0;
    if (!header.DataFollowsFormat()) {
        int64_t next = int64_t(header.FormatSize()) + 20;
        unsigned char chunk[12];
        if (!file.ReadAt(next, chunk, sizeof chunk))
            return false;
        // Only a real "fact" chunk gives a sample count; four bytes of any other chunk would make
        // a nonsense duration.
        if (std::memcmp(chunk, "fact", 4) == 0)
            sampleCount = LE32(chunk + 8);
    }

    formatTag_ = header.FormatTag();
    channelCount_ = static_cast<uint8_t>(header.Channels());
    sampleRate_ = header.SampleRate();
    byteRate_ = header.ByteRate();
    blockAlign_ = header.BlockAlign();
    bitsPerSample_ = static_cast<uint8_t>(header.BitsPerSample());
    sampleCount_ = sampleCount;
    // Format chunk, a 12-byte "fact" chunk and the 8-byte data chunk header.
    int64_t headerSize = header.DataFollowsFormat() ? 44 : int64_t(header.FormatSize()) + 40;
    fileSize_ = header.FileSize(file.Size());
    if (fileSize_ < headerSize)
        headerSize = fileSize_;
    headerSize_ = static_cast<uint16_t>(headerSize);
    recognised_ = true;
    return true;
}

double TWAVfile::DurationSeconds() const
{
    if (!recognised_)
        return 0;
    double duration = 0;
    if (sampleCount_ == 0 && byteRate_ != 0)
        duration = (double(fileSize_) - headerSize_) / byteRate_;
    if (sampleCount_ > 0 && sampleRate_ != 0)
        duration = double(sampleCount_) / sampleRate_;
    return duration;
}

uint32_t TWAVfile::BitRateKbps() const
{
    return static_cast<uint32_t>(uint64_t(sampleRate_) * channelCount_ * bitsPerSample_ / 1000);
}

std::string TWAVfile::ChannelModeText() const
{
    return ChannelModeFor(channelCount_);
}

} // namespace fileinfo::WAVfileinf
