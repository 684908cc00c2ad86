#include "MediaLibrary.h"

#include "platform/siblinglib.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace media {
namespace {

// One decoder library beside the plug-in, loaded once, the first time a file
// of its kind is looked into.
class Library {
  public:
    constexpr Library(const char* name, const char* entry) : name_(name), entry_(entry) {}

    const DecoderTable* get(std::string& why)
    {
        if (const DecoderTable* loaded = table_.load())
            return loaded;
        std::lock_guard lock(loading_);
        if (!table_.load()) {
            // Kept for the life of the process: a host may unload and load the
            // plug-in again, and the decoders need not be mapped twice. They sit
            // beside the plug-in, wherever the host keeps it.
            auto entry = reinterpret_cast<const DecoderTable* (*)()>(
                platform::SymbolBeside(reinterpret_cast<const void*>(&DescribeFile), name_, entry_, RTLD_NODELETE));
            if (!entry) {
                const char* error = dlerror();
                why = std::string("The decoder library cannot be loaded: ") + (error ? error : name_);
                return nullptr;
            }
            table_ = entry();
        }
        return table_.load();
    }
    bool loaded() const { return table_.load() != nullptr; }

  private:
    const char* name_;
    const char* entry_;
    std::mutex loading_; // guards the one load
    std::atomic<const DecoderTable*> table_{nullptr};
};

Library general("media_decoders.so", "orvella_media_decoders");
Library flac("media_flac.so", "orvella_media_flac");
Library opus("media_opus.so", "orvella_media_opus");
Library aac("media_aac.so", "orvella_media_aac");
Library wavpack("media_wavpack.so", "orvella_media_wavpack");

enum class Kind { Flac, Opus, Vorbis, Mp4, Adts, WavPack, Other };

// What a file is by its first bytes: FLAC (behind an ID3v2 tag or not), Ogg
// whose first packet is an Opus or a Vorbis head, MP4 (its first box names
// the file type), ADTS (an AAC frame header) or WavPack (a block header).
Kind kindOf(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return Kind::Other;
    unsigned char head[27 + 255 + 8] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    Kind kind = Kind::Other;
    if (got >= 4 && std::memcmp(head, "fLaC", 4) == 0) {
        kind = Kind::Flac;
    } else if (got >= 8 && std::memcmp(head + 4, "ftyp", 4) == 0) {
        kind = Kind::Mp4;
    } else if (got >= 2 && head[0] == 0xff && (head[1] & 0xf6) == 0xf0) {
        kind = Kind::Adts;
    } else if (got >= 4 && std::memcmp(head, "wvpk", 4) == 0) {
        kind = Kind::WavPack;
    } else if (got >= 10 && std::memcmp(head, "ID3", 3) == 0 && (head[6] | head[7] | head[8] | head[9]) < 0x80) {
        const long tagSize = 10 + (long(head[6]) << 21 | long(head[7]) << 14 | long(head[8]) << 7 | long(head[9])) +
                             ((head[5] & 0x10) ? 10 : 0);
        unsigned char mark[4] = {};
        if (std::fseek(file, tagSize, SEEK_SET) == 0 && std::fread(mark, 1, 4, file) == 4 &&
            std::memcmp(mark, "fLaC", 4) == 0)
            kind = Kind::Flac;
    } else if (got >= 27 && std::memcmp(head, "OggS", 4) == 0) {
        const std::size_t packet = 27 + std::size_t(head[26]);
        if (got >= packet + 8 && std::memcmp(head + packet, "OpusHead", 8) == 0)
            kind = Kind::Opus;
        else if (got >= packet + 7 && std::memcmp(head + packet, "\x01vorbis", 7) == 0)
            kind = Kind::Vorbis;
    }
    std::fclose(file);
    return kind;
}

Library* lightLibraryOf(Kind kind)
{
    switch (kind) {
    case Kind::Flac:
        return &flac;
    case Kind::Opus:
        return &opus;
    case Kind::Mp4:
    case Kind::Adts:
        return &aac;
    case Kind::WavPack:
        return &wavpack;
    default:
        return nullptr;
    }
}

// Ogg Vorbis (an .oga file, say) is the engine's own: refused without loading
// FFmpeg, which would refuse it too.
bool leftToTheEngine(Kind kind, std::string& why)
{
    if (kind != Kind::Vorbis)
        return false;
    why = "Ogg Vorbis is played by the program itself.";
    return true;
}

} // namespace

bool DescribeFile(const std::string& path, Description& out, std::string& why)
{
    const MediaInput input{path, nullptr, 0};
    const Kind kind = kindOf(path);
    if (leftToTheEngine(kind, why))
        return false;
    if (Library* library = lightLibraryOf(kind))
        if (const DecoderTable* light = library->get(why); light && light->describe(input, out, why))
            return true;
    const DecoderTable* decoders = general.get(why);
    return decoders && decoders->describe(input, out, why);
}

std::unique_ptr<Decoder> OpenFile(const std::string& path, std::string& why)
{
    const MediaInput input{path, nullptr, 0};
    const Kind kind = kindOf(path);
    if (leftToTheEngine(kind, why))
        return nullptr;
    if (Library* library = lightLibraryOf(kind))
        if (const DecoderTable* light = library->get(why))
            if (std::unique_ptr<Decoder> decoder = light->open(input, why))
                return decoder;
    const DecoderTable* decoders = general.get(why);
    return decoders ? decoders->open(input, why) : nullptr;
}

bool DecodersLoaded()
{
    return general.loaded();
}

} // namespace media
