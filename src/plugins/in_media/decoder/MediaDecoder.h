// What in_media's decoder library offers the plug-in: one open stream that
// yields 16-bit interleaved PCM (mono, or stereo with more channels mixed
// down) at the file's own rate, its properties and its tags.
//
// The library (Plugins/media_decoders.so) carries FFmpeg and libopenmpt; the
// plug-in loads it when it first opens a file, so loading the plug-in costs
// no more than its own code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace media {

// The longest length a stream reports: the plug-in record gives lengths as int.
constexpr int64_t kMaxLengthMs = INT32_MAX;

struct StreamProperties {
    std::string format;     // container, e.g. "raw FLAC", "Ogg"
    std::string codec;      // e.g. "FLAC (Free Lossless Audio Codec)"
    int sampleRate = 0;     // Hz, of the file and of the output
    int channels = 0;       // of the file
    int outputChannels = 0; // 1 or 2; 0 until the stream is opened for playing
    int bitsPerSample = 0;  // of the file's samples; 0 when the codec has none
    int bitrateKbps = 0;    // 0 when unknown
    int64_t lengthMs = -1;  // -1 when unknown
};

// Tag names in lower case ("artist", "title", ...), in the file's order.
using Tags = std::vector<std::pair<std::string, std::string>>;

// The value of the first tag called name, or "". (Inline: the plug-in uses it
// without the decoder library.)
inline std::string TagValue(const Tags& tags, const std::string& name)
{
    for (const auto& [key, value] : tags)
        if (key == name)
            return value;
    return "";
}

// A Vorbis comment ("KEY=value", as FLAC and Opus keep their tags) added as a
// tag with its key in lower case; a comment without a key is left out.
inline void AddVorbisComment(const std::string& comment, Tags& tags)
{
    const std::size_t equals = comment.find('=');
    if (equals == std::string::npos || equals == 0)
        return;
    std::string key = comment.substr(0, equals);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    tags.emplace_back(std::move(key), comment.substr(equals + 1));
}

// What a file holds, without decoding it.
struct Description {
    StreamProperties properties;
    Tags tags;
};

class Decoder {
  public:
    virtual ~Decoder() = default;
    const Description& description() const { return description_; }
    // Fills out with up to frames frames; returns how many. 0 is the end (or a
    // failure the stream cannot get past).
    virtual int read(int16_t* out, int frames) = 0;
    // Positions at ms from the start; false when the stream cannot go there
    // (then it stays where it was).
    virtual bool seek(int64_t ms) = 0;

  protected:
    Description description_;
};

// Where a file's bytes are: a path, or a block of memory that outlives the call.
struct MediaInput {
    std::string path;
    const uint8_t* bytes = nullptr;
    std::size_t size = 0;
};

// Both recognise the file by its content and refuse what this plug-in does not
// play; on failure they return false / null, and why says what was wrong.
bool DescribeMedia(const MediaInput& input, Description& out, std::string& why);
std::unique_ptr<Decoder> OpenMedia(const MediaInput& input, std::string& why);

// The same for FLAC through libFLAC alone (Plugins/media_flac.so), which
// plays FLAC of one or two channels without mapping FFmpeg, for Ogg Opus
// through libopusfile alone (Plugins/media_opus.so), for AAC of one or two
// channels in MP4 and ADTS files through libfaad2 alone (Plugins/media_aac.so),
// and for WavPack of one or two channels through libwavpack alone
// (Plugins/media_wavpack.so).
bool DescribeFlac(const MediaInput& input, Description& out, std::string& why);
std::unique_ptr<Decoder> OpenFlac(const MediaInput& input, std::string& why);
bool DescribeOpus(const MediaInput& input, Description& out, std::string& why);
std::unique_ptr<Decoder> OpenOpus(const MediaInput& input, std::string& why);
bool DescribeAac(const MediaInput& input, Description& out, std::string& why);
std::unique_ptr<Decoder> OpenAac(const MediaInput& input, std::string& why);
bool DescribeWavPack(const MediaInput& input, Description& out, std::string& why);
std::unique_ptr<Decoder> OpenWavPack(const MediaInput& input, std::string& why);

// A decoder library's one export, bound by name.
struct DecoderTable {
    decltype(&DescribeMedia) describe;
    decltype(&OpenMedia) open;
};

} // namespace media

extern "C" const media::DecoderTable* orvella_media_decoders();
extern "C" const media::DecoderTable* orvella_media_flac();
extern "C" const media::DecoderTable* orvella_media_opus();
extern "C" const media::DecoderTable* orvella_media_aac();
extern "C" const media::DecoderTable* orvella_media_wavpack();
