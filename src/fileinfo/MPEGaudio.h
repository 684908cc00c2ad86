// MPEG audio: the first frame of the audio, a Xing or VBRI header behind it,
// and the ID3v1 and ID3v2 tags of the file, read together.
#pragma once

#include "ID3v1.h"
#include "ID3v2.h"

#include <array>
#include <cstdint>
#include <string>

namespace fileinfo {

class ReaderFile;

// The decoded header of the first accepted frame.
struct FrameInfo {
    bool Located = false;
    int32_t FrameOffset = 0; // within the search block where it was found
    uint16_t FrameLength = 0;
    bool ZeroAfterHeader = false; // the six bytes after the header are zero
    std::array<uint8_t, 4> RawHeader{};
    uint8_t VersionCode = 1; // 0 MPEG 2.5, 1 reserved, 2 MPEG 2, 3 MPEG 1
    uint8_t LayerCode = 0;   // 0 reserved, 1 Layer III, 2 Layer II, 3 Layer I
    bool HasCrc = false;
    uint16_t BitRateCode = 0;
    uint16_t SampleRateCode = 3;
    bool HasPadding = false;
    bool PrivateFlag = false;
    uint8_t ModeCode = 4; // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono, 4 none
    uint8_t ModeExtensionCode = 4;
    bool CopyrightFlag = false;
    bool OriginalFlag = false;
    uint8_t EmphasisCode = 2;
};

// A "Xing" or "VBRI" variable-bit-rate header, or an "Info" header: a Xing header in a file of one
// bit rate.
struct VBRData {
    bool Present = false;
    std::string Id; // "Xing", "VBRI" or "Info"
    int32_t FrameCount = 0;
    int32_t ByteCount = 0;
    uint8_t Quality = 0;
    std::string VendorText; // the 8 bytes after a Xing table; empty for VBRI
};

// Frames followed at points spread over a file without a frame-count header.
struct FrameSample {
    int64_t AudioBytes = 0; // from the first frame to the end of the audio
    int64_t Frames = 0;
    int64_t Bytes = 0;
    bool Varies = false; // a frame's bit rate differs from the first frame's
};

class TMPEGaudio {
  public:
    void Clear() { *this = TMPEGaudio(); }
    // False when a tag read or a file read failed; what was found before that stays.
    bool Read(const std::string& fileName);
    bool Read(ReaderFile& file);

    int32_t FileSize() const { return fileSize_; }
    const std::string& EncoderText() const { return encoderText_; }
    const VBRData& VBR() const { return vbr_; }
    const FrameSample& Sample() const { return sample_; }
    const FrameInfo& Frame() const { return frame_; }
    const TID3v1& Id3v1Tag() const { return id3v1_; }
    const TID3v2& Id3v2Tag() const { return id3v2_; }

    uint16_t BitRateKbps() const;
    uint32_t SampleRate() const;
    std::string ChannelModeText() const;
    double DurationSeconds() const;
    uint8_t EncoderId() const; // 0 Unknown, 1 Xing, 2 FhG, 3 LAME, 4 Blade, 5 GoGo, 6 Shine
    std::string EncoderName() const;
    bool IsPlausible() const;

    // The frame search looks at blocks of this size, at most three per file.
    static constexpr int kBlockSize = 3458;
    using Block = std::array<unsigned char, kBlockSize>;

  private:
    void searchFrame(const Block& block);
    void readVBR(const Block& block, std::size_t position);
    void sampleFrames(ReaderFile& file, int64_t audioStart);
    bool hasVariableHeader() const;
    bool sampleVaries() const;
    uint16_t constantBitRate() const;

    int32_t fileSize_{};
    std::string encoderText_;
    VBRData vbr_;
    FrameInfo frame_;
    uint16_t nextFrameBitRate_{}; // table rate of the header that confirmed the first frame
    FrameSample sample_;
    TID3v1 id3v1_;
    TID3v2 id3v2_;
};

} // namespace fileinfo
