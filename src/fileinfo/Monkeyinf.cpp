#include "Monkeyinf.h"

#include "ChannelMode.h"
#include "ReaderFile.h"

#include <array>

namespace fileinfo {

// Descriptor, little-endian: "MAC "(4) version(2) level(2) flags(2) channels(2) rate(4)
// header bytes(4) terminating bytes(4) frames(4) final frame samples(4) peak(4) seek elements(4)
constexpr std::size_t kDescriptorSize = 40;

bool TMonkey::Read(const std::string& fileName)
{
    ReaderFile file(fileName);
    return Read(file);
}

bool TMonkey::Read(ReaderFile& file)
{
    Clear();
    std::array<unsigned char, kDescriptorSize> d;
    if (!id3v1_.Read(file) || !file.ReadAt(0, d.data(), d.size())) {
        Clear();
        return false;
    }
    fileSize_ = FileSize32(file.Size());
    magic_.assign(reinterpret_cast<const char*>(d.data()), 4);
    formatVersion_ = LE16(&d[4]);
    compressionLevel_ = LE16(&d[6]);
    formatFlags_ = LE16(&d[8]);
    channelCount_ = LE16(&d[10]);
    sampleRate_ = static_cast<int32_t>(LE32(&d[12]));
    headerBytes_ = LE32(&d[16]);
    terminatingBytes_ = LE32(&d[20]);
    totalFrames_ = static_cast<int32_t>(LE32(&d[24]));
    finalFrameSamples_ = static_cast<int32_t>(LE32(&d[28]));
    peakLevel_ = (formatFlags_ & kPeakLevel) ? LE32(&d[32]) : 0;
    seekElements_ = (formatFlags_ & kSeekElements) ? LE32(&d[36]) : 0;
    return true;
}

bool TMonkey::IsPlausible() const
{
    return magic_ == "MAC " && sampleRate_ > 0 && channelCount_ > 0;
}

uint8_t TMonkey::BitsPerSample() const
{
    if (!IsPlausible())
        return 0;
    if (formatFlags_ & kTwentyFourBit)
        return 24;
    return (formatFlags_ & kEightBit) ? 8 : 16;
}

std::string TMonkey::ChannelModeText() const
{
    return ChannelModeFor(channelCount_);
}

int32_t TMonkey::SamplesPerFrame() const
{
    if (!IsPlausible())
        return 0;
    if (formatVersion_ >= 3900 || (formatVersion_ >= 3800 && compressionLevel_ == 4000))
        return 73728;
    return 9216;
}

int32_t TMonkey::TotalSamples() const
{
    if (!IsPlausible())
        return 0;
    // Computed wide and kept in 32 bits, so hostile frame counts cannot overflow.
    return static_cast<int32_t>(int64_t(SamplesPerFrame()) * (int64_t(totalFrames_) - 1) + finalFrameSamples_);
}

double TMonkey::DurationSeconds() const
{
    if (!IsPlausible())
        return 0;
    return double(TotalSamples()) / sampleRate_;
}

} // namespace fileinfo
