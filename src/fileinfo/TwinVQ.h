// TwinVQ (VQF): the fixed header and the text chunks that follow it.
#pragma once

#include <cstdint>
#include <string>

namespace fileinfo {

class ReaderFile;

class TTwinVQ {
  public:
    void Clear() { *this = TTwinVQ(); }
    // False when fewer than 40 bytes can be read.
    bool Read(const std::string& fileName);
    bool Read(ReaderFile& file);

    bool Recognised() const { return recognised_; }
    uint8_t ChannelCount() const { return channelCount_; }
    uint8_t BitRateKbps() const { return bitRateKbps_; } // low 8 bits of the header's rate
    uint32_t SampleRate() const { return sampleRate_; }
    int32_t FileSize() const { return fileSize_; }
    double DurationSeconds() const { return durationSeconds_; }
    // The texts are the chunk data as stored, at most 250 bytes of it.
    const std::string& Title() const { return title_; }
    const std::string& Comment() const { return comment_; }
    const std::string& Author() const { return author_; }
    const std::string& Copyright() const { return copyright_; }
    const std::string& SourceFile() const { return sourceFile_; }

    std::string ChannelModeText() const;
    bool IsDamaged() const;

  private:
    bool recognised_{};
    uint8_t channelCount_{};
    uint8_t bitRateKbps_{};
    uint32_t sampleRate_{};
    int32_t fileSize_{};
    double durationSeconds_{};
    std::string title_, comment_, author_, copyright_, sourceFile_;
};

} // namespace fileinfo
