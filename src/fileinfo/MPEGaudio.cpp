#include "MPEGaudio.h"

#include "ReaderFile.h"
#include "Rounding.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace fileinfo {

namespace {

// Frame header, 4 bytes:
//   byte 0: 11111111            sync
//   byte 1: 111 vv ll c         sync, version, layer, no-CRC bit
//   byte 2: bbbb ss p x         bit rate, sample rate, padding, private
//   byte 3: mm ee C O hh        mode, mode extension, copyright, original, emphasis
enum Version { kMpeg25 = 0, kVersionReserved = 1, kMpeg2 = 2, kMpeg1 = 3 };
enum Layer { kLayerReserved = 0, kLayer3 = 1, kLayer2 = 2, kLayer1 = 3 };
constexpr uint8_t kModeMono = 3;

// kbit/s by [version][layer][bit rate code]; reserved version and layer, codes 0 and 15 give 0.
constexpr uint16_t kBitRates[4][4][16] = {
    {{0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
    {{0}, {0}, {0}, {0}},
    {{0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
    {{0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}},
};

// Hz by [version][sample rate code].
constexpr uint16_t kSampleRates[4][4] = {
    {11025, 12000, 8000, 0}, {0, 0, 0, 0}, {22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};

constexpr std::string_view kModeTexts[5] = {"Stereo", "Stereo", "Dual Channel", "Mono", "Unknown"};
constexpr std::string_view kEncoderNames[7] = {"Unknown", "Xing", "FhG", "LAME", "Blade", "GoGo", "Shine"};
enum Encoder { kUnknown, kXing, kFhG, kLame, kBlade, kGoGo, kShine };

constexpr int kLastCandidate = 1729;

bool IsFrameHeader(const unsigned char* b)
{
    return b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && ((b[1] >> 3) & 3) != kVersionReserved &&
           ((b[1] >> 1) & 3) != kLayerReserved && (b[2] >> 4) != 0 && (b[2] >> 4) != 15 && ((b[2] >> 2) & 3) != 3 &&
           (b[3] & 3) != 2;
}

FrameInfo Decode(const unsigned char* b)
{
    FrameInfo f;
    std::memcpy(f.RawHeader.data(), b, 4);
    f.VersionCode = (b[1] >> 3) & 3;
    f.LayerCode = (b[1] >> 1) & 3;
    f.HasCrc = (b[1] & 1) == 0;
    f.BitRateCode = b[2] >> 4;
    f.SampleRateCode = (b[2] >> 2) & 3;
    f.HasPadding = (b[2] & 2) != 0;
    f.PrivateFlag = (b[2] & 1) != 0;
    f.ModeCode = b[3] >> 6;
    f.ModeExtensionCode = (b[3] >> 4) & 3;
    f.CopyrightFlag = (b[3] & 8) != 0;
    f.OriginalFlag = (b[3] & 4) != 0;
    f.EmphasisCode = b[3] & 3;
    return f;
}

uint16_t TableBitRate(const FrameInfo& f)
{
    return kBitRates[f.VersionCode & 3][f.LayerCode & 3][f.BitRateCode & 15];
}

uint16_t TableSampleRate(const FrameInfo& f)
{
    return kSampleRates[f.VersionCode & 3][f.SampleRateCode & 3];
}

// Bytes per frame for each bit per second of the rate, scaled by the sample rate: the samples of a
// frame / 8. Layers I and II hold 384 and 1152 samples in every version; Layer III holds 1152 in
// MPEG 1 and 576 in MPEG 2 and 2.5.
int Coefficient(const FrameInfo& f)
{
    if (f.LayerCode == kLayer1)
        return 48;
    return f.LayerCode == kLayer3 && f.VersionCode != kMpeg1 ? 72 : 144;
}

int PaddingBytes(const FrameInfo& f)
{
    if (!f.HasPadding)
        return 0;
    return f.LayerCode == kLayer1 ? 4 : 1;
}

int FrameLengthOf(const FrameInfo& f)
{
    return static_cast<int>(int64_t(Coefficient(f)) * TableBitRate(f) * 1000 / TableSampleRate(f)) + PaddingBytes(f);
}

// Where a Xing or VBRI header sits behind the frame header (after the side information).
int VBROffset(const FrameInfo& f)
{
    bool mono = f.ModeCode == kModeMono;
    if (f.VersionCode == kMpeg1)
        return mono ? 21 : 36;
    return mono ? 13 : 21;
}

bool Matches(const unsigned char* bytes, std::string_view text)
{
    return std::memcmp(bytes, text.data(), text.size()) == 0;
}

// The longest frame: MPEG 2.5 Layer II at 160 kbit/s and 8 kHz.
constexpr int kLongestFrame = 144 * 160 * 1000 / 8000 + 1;

// Another frame of the same stream: same version, layer and sample rate.
bool SameStream(const unsigned char* b, const FrameInfo& first)
{
    if (!IsFrameHeader(b))
        return false;
    FrameInfo f = Decode(b);
    return f.VersionCode == first.VersionCode && f.LayerCode == first.LayerCode &&
           f.SampleRateCode == first.SampleRateCode;
}

// Follows the frames of the stream that start between from and to: the first one is a header whose
// frame length leads to another header; from there frame follows frame until one does not.
void FollowFrames(ReaderFile& file, int64_t from, int64_t to, const FrameInfo& first, FrameSample& sample)
{
    std::vector<unsigned char> bytes(static_cast<std::size_t>(to - from + kLongestFrame + 4));
    if (!file.Seek(from))
        return;
    bytes.resize(file.Read(bytes.data(), bytes.size()));
    const auto span = static_cast<std::size_t>(to - from);
    auto lengthAt = [&](std::size_t i) {
        return i + 4 <= bytes.size() && SameStream(&bytes[i], first) ? FrameLengthOf(Decode(&bytes[i])) : 0;
    };
    std::size_t i = 0;
    while (i < span && !(lengthAt(i) > 0 && lengthAt(i + std::size_t(lengthAt(i))) > 0))
        ++i;
    for (int length; i < span && (length = lengthAt(i)) > 0; i += std::size_t(length)) {
        ++sample.Frames;
        sample.Bytes += length;
        sample.Varies = sample.Varies || Decode(&bytes[i]).BitRateCode != first.BitRateCode;
    }
}

// Up to a block at the position, zeros past the end of the file; false when the position is before
// the start. `full` tells whether the whole block was in the file.
bool ReadBlock(ReaderFile& file, int64_t position, TMPEGaudio::Block& block, bool& full)
{
    block.fill(0);
    full = false;
    if (!file.Seek(position))
        return false;
    full = file.Read(block.data(), block.size()) == block.size();
    return true;
}

// The encoders' signatures near the end of the file, searched backwards over two frames:
// "LAME" with the four bytes after it, or "GOGO".
std::string EncoderSignature(const TMPEGaudio::Block& block, int frameLength)
{
    for (int j = 0; j <= 2 * frameLength; ++j) {
        int start = TMPEGaudio::kBlockSize - 8 - j;
        if (start < 0)
            break;
        const unsigned char* at = block.data() + start;
        if (Matches(at, "LAME"))
            return std::string(reinterpret_cast<const char*>(at), 8);
        if (Matches(at, "GOGO"))
            return "GOGO";
    }
    return "";
}

} // namespace

bool TMPEGaudio::Read(const std::string& fileName)
{
    ReaderFile file(fileName);
    return Read(file);
}

bool TMPEGaudio::Read(ReaderFile& file)
{
    Clear();
    bool result = id3v1_.Read(file) && id3v2_.Read(file);
    Block block;
    bool full = false;
    if (result) {
        fileSize_ = FileSize32(file.Size());
        result = ReadBlock(file, id3v2_.TagSize(), block, full);
        if (result)
            searchFrame(block);
    }
    const bool inFirstBlock = frame_.Located;
    // Garbage before the audio: try once more in the middle of the file. The offset found there
    // stays relative to that block.
    if (result && !frame_.Located && full) {
        result = ReadBlock(file, (fileSize_ - id3v2_.TagSize()) / 2, block, full);
        if (result)
            searchFrame(block);
    }
    if (result && frame_.Located && !vbr_.Present)
        sampleFrames(file, id3v2_.TagSize() + (inFirstBlock ? frame_.FrameOffset : 0));
    if (result && frame_.Located && !hasVariableHeader()) {
        result = ReadBlock(file, int64_t(fileSize_) - kBlockSize - (id3v1_.TagFound() ? 128 : 0), block, full);
        if (result)
            encoderText_ = EncoderSignature(block, frame_.FrameLength);
    }
    if (!frame_.Located)
        Clear();
    return result;
}

void TMPEGaudio::searchFrame(const Block& block)
{
    vbr_ = VBRData{};
    for (int i = 0; i <= kLastCandidate; ++i) {
        if (!IsFrameHeader(&block[i]))
            continue;
        FrameInfo f = Decode(&block[i]);
        int length = FrameLengthOf(f);
        // Only a second header exactly one frame later confirms the first.
        if (i + length + 4 > kBlockSize || !IsFrameHeader(&block[i + length]))
            continue;
        f.Located = true;
        f.FrameOffset = i;
        f.FrameLength = static_cast<uint16_t>(length);
        f.ZeroAfterHeader = true;
        for (int k = 4; k < 10; ++k)
            f.ZeroAfterHeader = f.ZeroAfterHeader && block[i + k] == 0;
        frame_ = f;
        nextFrameBitRate_ = TableBitRate(Decode(&block[i + length]));
        readVBR(block, static_cast<std::size_t>(i + VBROffset(f)));
        return;
    }
}

void TMPEGaudio::readVBR(const Block& block, std::size_t p)
{
    if (p + 128 > block.size())
        return;
    const unsigned char* b = &block[p];
    // "Xing" flags(4) frames(4) bytes(4) table(100) quality(4, last byte used) vendor(8); the same
    // laid out as "Info" in a file of one bit rate.
    if (Matches(b, "Xing") || Matches(b, "Info")) {
        vbr_.Present = true;
        vbr_.Id.assign(reinterpret_cast<const char*>(b), 4);
        vbr_.FrameCount = static_cast<int32_t>(BE32(b + 8));
        vbr_.ByteCount = static_cast<int32_t>(BE32(b + 12));
        vbr_.Quality = b[119];
        vbr_.VendorText.assign(reinterpret_cast<const char*>(b + 120), 8);
    }
    // "VBRI" version(2) delay(2) quality(2, low byte used) bytes(4) frames(4)
    if (Matches(b, "VBRI")) {
        vbr_.Present = true;
        vbr_.Id = "VBRI";
        vbr_.Quality = b[9];
        vbr_.ByteCount = static_cast<int32_t>(BE32(b + 10));
        vbr_.FrameCount = static_cast<int32_t>(BE32(b + 14));
    }
}

bool TMPEGaudio::hasVariableHeader() const
{
    return vbr_.Present && vbr_.Id != "Info";
}

bool TMPEGaudio::sampleVaries() const
{
    return sample_.Varies && sample_.Frames > 0 && sample_.AudioBytes > 0;
}

uint16_t TMPEGaudio::constantBitRate() const
{
    // The "Info" frame may be coded at a higher rate than the audio so that its table fits: the
    // frame behind it has the rate of the file.
    return vbr_.Present && vbr_.Id == "Info" ? nextFrameBitRate_ : TableBitRate(frame_);
}

void TMPEGaudio::sampleFrames(ReaderFile& file, int64_t audioStart)
{
    // Frames are followed over the whole audio when it is short, else over kSampleSpan bytes at
    // kSamplePoints places spread evenly over it: a bounded read for any file size.
    constexpr int kSamplePoints = 16;
    constexpr int64_t kSampleSpan = 8192;
    int64_t audioEnd = file.Size() - (id3v1_.TagFound() ? 128 : 0);
    int64_t length = audioEnd - audioStart;
    if (length <= 0)
        return;
    sample_.AudioBytes = length;
    if (length <= kSamplePoints * kSampleSpan) {
        FollowFrames(file, audioStart, audioEnd, frame_, sample_);
        return;
    }
    for (int k = 0; k < kSamplePoints; ++k) {
        int64_t at = audioStart + length * k / kSamplePoints;
        FollowFrames(file, at, at + kSampleSpan, frame_, sample_);
    }
}

uint16_t TMPEGaudio::BitRateKbps() const
{
    if (hasVariableHeader() && vbr_.FrameCount > 0) {
        double average = double(vbr_.ByteCount) / vbr_.FrameCount - PaddingBytes(frame_);
        // Kept in 16 bits like the table rates; a nonsensical header wraps.
        return static_cast<uint16_t>(RoundHalfEven(average * TableSampleRate(frame_) / Coefficient(frame_) / 1000));
    }
    if (sampleVaries()) {
        double average = double(sample_.Bytes) / double(sample_.Frames);
        return static_cast<uint16_t>(RoundHalfEven(average * TableSampleRate(frame_) / Coefficient(frame_) / 1000));
    }
    return constantBitRate();
}

uint32_t TMPEGaudio::SampleRate() const
{
    return TableSampleRate(frame_);
}

std::string TMPEGaudio::ChannelModeText() const
{
    return std::string(kModeTexts[frame_.ModeCode <= 4 ? frame_.ModeCode : 4]);
}

double TMPEGaudio::DurationSeconds() const
{
    if (!frame_.Located)
        return 0;
    if (vbr_.Present && vbr_.FrameCount > 0)
        return double(Coefficient(frame_)) * vbr_.FrameCount * 8 / TableSampleRate(frame_);
    // Without a frame count, a stream of varying rate has as many frames as its average frame fits.
    if (sampleVaries()) {
        double frames = double(sample_.AudioBytes) * double(sample_.Frames) / double(sample_.Bytes);
        return double(Coefficient(frame_)) * frames * 8 / TableSampleRate(frame_);
    }
    // The ID3v1 tag at the end is not taken off.
    return (double(fileSize_) - id3v2_.TagSize() - frame_.FrameOffset) * 8 / constantBitRate() / 1000;
}

uint8_t TMPEGaudio::EncoderId() const
{
    if (!frame_.Located)
        return kUnknown;
    // An "Info" header says nothing of its encoder that the file does not say otherwise.
    if (hasVariableHeader()) {
        std::string_view vendor = std::string_view(vbr_.VendorText).substr(0, 4);
        uint8_t id = kUnknown;
        if (vendor == "LAME")
            id = kLame;
        if (vendor == "GOGO" || vendor == "MPGE")
            id = kGoGo;
        if (vbr_.Id == "Xing" && vendor != "LAME" && vendor != "GOGO" && vendor != "MPGE")
            id = kXing;
        if (vbr_.Id == "VBRI")
            id = kFhG;
        return id;
    }
    // Habits of the encoders in the header flags; each later rule wins over an earlier one.
    const FrameInfo& f = frame_;
    uint8_t id = kFhG;
    if (f.OriginalFlag && f.HasCrc)
        id = kLame;
    if (TableBitRate(f) <= 160 && f.ModeCode == 0)
        id = kBlade;
    if (f.CopyrightFlag && f.OriginalFlag && !f.HasCrc)
        id = kXing;
    if (f.ZeroAfterHeader && f.OriginalFlag)
        id = kXing;
    if (f.ModeCode == 2 && f.HasCrc)
        id = kShine;
    if (encoderText_.starts_with("LAME"))
        id = kLame;
    if (encoderText_.starts_with("GOGO"))
        id = kGoGo;
    return id;
}

std::string TMPEGaudio::EncoderName() const
{
    uint8_t id = EncoderId();
    std::string name(kEncoderNames[id]);
    const std::string& vendor = encoderText_.empty() ? vbr_.VendorText : encoderText_;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    // "LAME3.90" and the like carry the version.
    if (id == kLame && vendor.size() >= 8 && digit(vendor[4]) && vendor[5] == '.' && digit(vendor[6]) &&
        digit(vendor[7]))
        name.append(" ").append(vendor, 4, 4);
    return name;
}

bool TMPEGaudio::IsPlausible() const
{
    uint16_t rate = BitRateKbps();
    return frame_.Located && rate >= 8 && rate <= 448 && DurationSeconds() >= 0.1;
}

} // namespace fileinfo
