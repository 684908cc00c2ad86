// Recognising and opening what in_media plays. Decoding reuses the engine's
// FFmpeg and libopenmpt sources with this plug-in's own list of formats; the
// description (properties and tags) is a separate look at the file's headers
// (and, for FLAC and raw AAC, a few frames), so the file information of a
// playlist entry never decodes the whole stream.

#include "MediaDecoder.h"
#include "MediaInput.h"
#include "ZipArchive.h"

#include "bass/InputAvio.h"
#include "bass/Source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>

namespace media {
namespace {

// FFmpeg demuxers and codecs of the formats the plug-in claims.
constexpr const char* kDemuxers = "flac,ogg,mov,aac,ape,wv,mpc,mpc8,tta,vqf,asf";
constexpr const char* kCodecs[] = {"flac",    "opus",      "aac",         "aac_latm", "alac",   "ape",
                                   "wavpack", "musepack7", "musepack8",   "tta",      "twinvq", "wmav1",
                                   "wmav2",   "wmapro",    "wmalossless", "wmavoice", nullptr};
// The same decoders by their decoder names, for probing streams.
constexpr const char* kDecoderNames =
    "flac,opus,aac,aac_latm,alac,ape,wavpack,mpc7,mpc8,tta,twinvq,wmav1,wmav2,wmapro,wmalossless,wmavoice";
const bass::FileRules kMediaRules{kDemuxers, kCodecs};

constexpr std::size_t kMaxZipBytes = 64u << 20; // zipped modules are small; the engine takes modules up to 64 MiB
constexpr unsigned kModuleRate = 44100;

bool acceptedCodec(AVCodecID id)
{
    const char* name = avcodec_get_name(id);
    for (const char* const* c = kCodecs; *c; ++c)
        if (std::strcmp(*c, name) == 0)
            return true;
    return false;
}

bool isZip(bass::InputData& data)
{
    uint8_t head[4];
    return data.read(0, head, sizeof head) == long(sizeof head) && LooksLikeZip(head, sizeof head);
}

// A TwinVQ file that ends inside its header chunks holds no sound. FFmpeg
// 5.1's VQF demuxer would keep (leak) the buffer of the chunk it cannot read
// whole, and before the header's size has been read whole, it takes a size
// from beyond the file's end (half a gigabyte for an 11-byte file). So such
// a file never reaches it.
bool isTwinVqCutShortInItsHeader(bass::InputData& data)
{
    uint8_t head[16];
    const long got = data.read(0, head, sizeof head);
    if (got < 4 || std::memcmp(head, "TWIN", 4) != 0)
        return false;
    if (got < long(sizeof head))
        return true;
    const uint64_t headerBytes =
        uint64_t(head[12]) << 24 | uint64_t(head[13]) << 16 | uint64_t(head[14]) << 8 | uint64_t(head[15]);
    return data.size() < sizeof head + headerBytes;
}

// --- zipped modules ------------------------------------------------------------

bool unzipModule(bass::InputData& data, std::vector<uint8_t>& module, std::string& name, std::string& why)
{
    if (data.size() > kMaxZipBytes) {
        why = "The zip archive is too large for a module.";
        return false;
    }
    std::vector<uint8_t> archive(std::size_t(data.size()));
    if (data.read(0, archive.data(), archive.size()) != long(archive.size())) {
        why = "The file cannot be read.";
        return false;
    }
    return FirstZipEntry(archive.data(), archive.size(), kMaxZipBytes, module, name, why);
}

class ModuleDecoder final : public Decoder {
  public:
    static std::unique_ptr<Decoder> open(bass::InputData& data, std::string& why)
    {
        std::vector<uint8_t> bytes;
        std::string name;
        if (!unzipModule(data, bytes, name, why))
            return nullptr;
        int error = 0;
        auto moduleData = bass::InputData::Open(true, bytes.data(), 0, uint32_t(bytes.size()), error);
        bass::StreamFormat format;
        int64_t orders = 0;
        std::unique_ptr<bass::Source> source =
            moduleData ? bass::OpenMusicSource(std::move(moduleData), kModuleRate, false, format, orders, error)
                       : nullptr;
        if (!source) {
            why = "The zip archive holds no module this plug-in plays (MOD, S3M, XM, IT or MTM).";
            return nullptr;
        }
        auto decoder = std::unique_ptr<ModuleDecoder>(new ModuleDecoder(std::move(source)));
        StreamProperties& p = decoder->description_.properties;
        p.format = "Zipped module";
        p.codec = "Module \"" + name + "\"";
        p.sampleRate = int(format.rate);
        p.channels = int(format.channels);
        p.outputChannels = int(format.channels);
        p.lengthMs = format.lengthFrames < 0 ? -1 : std::min(kMaxLengthMs, format.lengthFrames * 1000 / format.rate);
        decoder->description_.tags = moduleTags(bytes);
        return decoder;
    }

    int read(int16_t* out, int frames) override { return int(source_->read(out, std::size_t(std::max(frames, 0)))); }
    bool seek(int64_t ms) override
    {
        const int64_t length = description_.properties.lengthMs;
        return ms >= 0 && (length < 0 || ms <= length) && source_->seek(uint64_t(ms) * kModuleRate / 1000);
    }

  private:
    // The song's own title and artist, as the module stores them.
    static Tags moduleTags(const std::vector<uint8_t>& bytes)
    {
        Tags tags;
        openmpt_module* module =
            openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                               openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
        if (!module)
            return tags;
        for (const char* key : {"artist", "title"}) {
            const char* value = openmpt_module_get_metadata(module, key);
            if (value && *value)
                tags.emplace_back(key, value);
            openmpt_free_string(value);
        }
        openmpt_module_destroy(module);
        return tags;
    }

    explicit ModuleDecoder(std::unique_ptr<bass::Source> source) : source_(std::move(source)) {}
    std::unique_ptr<bass::Source> source_;
};

// --- FFmpeg files ----------------------------------------------------------------

// A look at the headers through the engine's input, without decoding.
class Probe {
  public:
    explicit Probe(bass::InputData& data) : data_(data), input_(data) {}
    ~Probe() { avformat_close_input(&format_); }

    bool describe(Description& out, std::string& why)
    {
        if (isTwinVqCutShortInItsHeader(data_)) {
            why = "The file ends inside its header.";
            return false;
        }
        AVIOContext* io = input_.open();
        format_ = io ? avformat_alloc_context() : nullptr;
        if (!format_) {
            why = "Out of memory.";
            return false;
        }
        format_->pb = io;
        format_->flags |= AVFMT_FLAG_CUSTOM_IO;
        format_->format_whitelist = av_strdup(kDemuxers);
        format_->codec_whitelist = av_strdup(kDecoderNames);
        if (avformat_open_input(&format_, nullptr, nullptr, nullptr) < 0) {
            why = "The file is none of the formats this plug-in plays.";
            return false; // format_ is freed by a failed open
        }
        // FLAC and raw AAC tell their rate and channels only in their frames: look at a few.
        for (unsigned i = 0; i < format_->nb_streams; ++i) {
            const AVCodecParameters* par = format_->streams[i]->codecpar;
            if (par->codec_type == AVMEDIA_TYPE_AUDIO && (par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0)) {
                for (unsigned j = 0; j < format_->nb_streams; ++j)
                    if (format_->streams[j]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
                        format_->streams[j]->discard = AVDISCARD_ALL;
                avformat_find_stream_info(format_, nullptr);
                break;
            }
        }
        const int stream = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (stream < 0 || !acceptedCodec(format_->streams[stream]->codecpar->codec_id)) {
            why = "The file holds no audio this plug-in decodes.";
            return false;
        }
        const AVStream* st = format_->streams[stream];
        const AVCodecParameters* par = st->codecpar;
        if (par->sample_rate <= 0 || par->sample_rate > int(bass::kMaxUserRate) || par->ch_layout.nb_channels <= 0) {
            why = "The audio has no usable sample rate or channel count.";
            return false;
        }
        StreamProperties& p = out.properties;
        p.format = format_->iformat->long_name ? format_->iformat->long_name : format_->iformat->name;
        const AVCodecDescriptor* codec = avcodec_descriptor_get(par->codec_id);
        p.codec = codec ? (codec->long_name ? codec->long_name : codec->name) : "";
        p.sampleRate = par->sample_rate;
        p.channels = par->ch_layout.nb_channels;
        p.bitsPerSample = par->bits_per_raw_sample > 0 ? par->bits_per_raw_sample : 0;
        const int64_t bitrate = par->bit_rate > 0 ? par->bit_rate : format_->bit_rate;
        p.bitrateKbps = bitrate > 0 ? int(std::min<int64_t>(bitrate / 1000, INT_MAX)) : 0;
        p.lengthMs = lengthMs(*st);
        out.tags.clear();
        addTags(format_->metadata, out.tags);
        addTags(st->metadata, out.tags); // Ogg keeps its comments with the stream
        return true;
    }

  private:
    int64_t lengthMs(const AVStream& st) const
    {
        int64_t ms = -1;
        const int64_t start = st.start_time == AV_NOPTS_VALUE ? 0 : std::max<int64_t>(0, st.start_time);
        if (st.duration != AV_NOPTS_VALUE && st.duration > start && st.time_base.num > 0 && st.time_base.den > 0)
            ms = av_rescale_q(st.duration - start, st.time_base, AVRational{1, 1000});
        else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
            ms = av_rescale(format_->duration, 1000, AV_TIME_BASE);
        return ms < 0 ? -1 : std::min(ms, kMaxLengthMs);
    }

    static void addTags(const AVDictionary* dictionary, Tags& tags)
    {
        const AVDictionaryEntry* e = nullptr;
        while ((e = av_dict_get(dictionary, "", e, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
            std::string key = e->key;
            std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return char(std::tolower(c)); });
            tags.emplace_back(std::move(key), e->value);
        }
    }

    bass::InputData& data_;
    bass::InputAvio input_;
    AVFormatContext* format_ = nullptr;
};

class FileDecoder final : public Decoder {
  public:
    FileDecoder(Description description, std::unique_ptr<bass::Source> source, const bass::StreamFormat& format)
        : source_(std::move(source))
    {
        description_ = std::move(description);
        StreamProperties& p = description_.properties;
        p.sampleRate = int(format.rate); // the decoded rate rules (HE-AAC doubles the container's)
        p.outputChannels = int(format.channels);
        if (format.lengthFrames > 0)
            p.lengthMs = std::min(kMaxLengthMs, format.lengthFrames * 1000 / format.rate);
    }

    int read(int16_t* out, int frames) override { return int(source_->read(out, std::size_t(std::max(frames, 0)))); }
    bool seek(int64_t ms) override
    {
        const int64_t length = description_.properties.lengthMs;
        if (ms < 0 || (length >= 0 && ms > length))
            return false;
        return source_->seek(uint64_t(ms) * unsigned(description_.properties.sampleRate) / 1000);
    }

  private:
    std::unique_ptr<bass::Source> source_;
};

void quietFfmpeg()
{
    if (av_log_get_level() == AV_LOG_INFO)
        av_log_set_level(AV_LOG_QUIET); // decoders complain about damaged frames on stderr otherwise
}

} // namespace

bool DescribeMedia(const MediaInput& input, Description& out, std::string& why)
{
    out = Description{};
    std::unique_ptr<bass::InputData> data = OpenInput(input, why);
    if (!data)
        return false;
    if (isZip(*data)) {
        std::unique_ptr<Decoder> module = ModuleDecoder::open(*data, why);
        if (!module)
            return false;
        out = module->description();
        return true;
    }
    quietFfmpeg();
    return Probe(*data).describe(out, why);
}

std::unique_ptr<Decoder> OpenMedia(const MediaInput& input, std::string& why)
{
    std::unique_ptr<bass::InputData> data = OpenInput(input, why);
    if (!data)
        return nullptr;
    if (isZip(*data))
        return ModuleDecoder::open(*data, why);
    quietFfmpeg();
    Description description;
    if (!Probe(*data).describe(description, why))
        return nullptr;
    bass::StreamFormat format;
    int error = 0;
    std::unique_ptr<bass::Source> source = bass::OpenFileSource(std::move(data), kMediaRules, false, format, error);
    if (!source) {
        why = "The audio in the file cannot be decoded.";
        return nullptr;
    }
    return std::make_unique<FileDecoder>(std::move(description), std::move(source), format);
}

} // namespace media
