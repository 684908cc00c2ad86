#include "FileStream.h"
#include "MpegFrames.h"
#include "bass.h"

#include <cstring>
#include <string_view>

namespace bass {
namespace {

enum class StreamKind { Mpeg, Vorbis, Other };

bool ListHas(std::string_view list, std::string_view name)
{
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        if (list.substr(0, comma) == name)
            return true;
        if (comma == std::string_view::npos)
            break;
        list.remove_prefix(comma + 1);
    }
    return false;
}

bool Takes(const FileRules& rules, const char* demuxer, std::initializer_list<const char*> codecs)
{
    if (!ListHas(rules.demuxers, demuxer))
        return false;
    for (const char* codec : codecs) {
        bool found = false;
        for (const char* const* c = rules.codecs; *c && !found; ++c)
            found = std::strcmp(*c, codec) == 0;
        if (!found)
            return false;
    }
    return true;
}

// Ogg whose first packet is a Vorbis identification header.
bool LooksLikeVorbis(InputData& data)
{
    uint8_t page[27 + 255 + 7];
    const long got = data.read(0, page, sizeof page);
    if (got < 27 || std::memcmp(page, "OggS", 4) != 0)
        return false;
    const long packet = 27 + page[26];
    return got >= packet + 7 && std::memcmp(page + packet, "\x01vorbis", 7) == 0;
}

StreamKind Sniff(InputData& data, const FileRules& rules)
{
    if (Takes(rules, "ogg", {"vorbis"}) && LooksLikeVorbis(data))
        return StreamKind::Vorbis;
    if (Takes(rules, "mp3", {"mp1", "mp2", "mp3"}) && FirstMpegFrame(data) >= 0)
        return StreamKind::Mpeg;
    return StreamKind::Other;
}

} // namespace

std::unique_ptr<Source> OpenFileStream(std::unique_ptr<InputData> data, const FileRules& rules, bool mono,
                                       StreamFormat& format, int& error, const CodecTable* (*codecs)(),
                                       const DecoderTable* (*decoders)())
{
    const StreamKind kind = Sniff(*data, rules);
    const CodecTable* light = kind == StreamKind::Other ? nullptr : codecs();
    std::unique_ptr<Source> source;
    if (light && kind == StreamKind::Mpeg)
        source = light->openMpeg(data, mono, format);
    else if (light && kind == StreamKind::Vorbis)
        source = light->openVorbis(data, mono, format);
    if (source) {
        error = BASS_OK;
        return source;
    }
    format = StreamFormat{};
    const DecoderTable* general = decoders();
    if (!general) {
        error = BASS_ERROR_CODEC;
        return nullptr;
    }
    return general->openFile(std::move(data), rules, mono, format, error);
}

} // namespace bass
