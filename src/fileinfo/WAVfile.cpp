#include "WAVfile.h"

#include "WaveHeader.h"

namespace fileinfo::WAVfile {

bool TWAVfile::Read(const std::string& fileName)
{
    ReaderFile file(fileName);
    return Read(file);
}

bool TWAVfile::Read(ReaderFile& file)
{
    Clear();
    WaveHeader header;
    if (!file.ReadAt(0, header.Bytes.data(), header.Bytes.size()))
        return false;
    if (!header.Passes())
        return true;
    channelCount_ = static_cast<uint8_t>(header.Channels());
    sampleRate_ = header.SampleRate();
    bitsPerSample_ = static_cast<uint8_t>(header.BitsPerSample());
    fileSize_ = header.FileSize(file.Size());
    recognised_ = true;
    return true;
}

double TWAVfile::DurationSeconds() const
{
    if (!recognised_ || sampleRate_ == 0 || bitsPerSample_ == 0)
        return 0;
    return (double(fileSize_) - 44) * 8 / sampleRate_ / bitsPerSample_ / channelCount_;
}

} // namespace fileinfo::WAVfile
