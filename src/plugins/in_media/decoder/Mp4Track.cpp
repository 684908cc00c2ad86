#include "AacTrack.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace media {
namespace {

constexpr uint64_t kMaxMovieBytes = 64 << 20; // the file's index ("moov"), read whole
constexpr uint32_t kMaxFrameBytes = 1 << 16;  // an AAC frame of two channels holds at most 1536
constexpr uint64_t kMaxUnits = uint64_t(1) << 44; // keeps units times a rate inside 64 bits
constexpr uint32_t kMaxFrames = 1 << 24;          // over 100 hours at 44.1 kHz
constexpr int kMaxTopLevelBoxes = 1 << 16;

constexpr uint32_t fourcc(const char (&name)[5])
{
    return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 | uint32_t(uint8_t(name[2])) << 8 |
           uint32_t(uint8_t(name[3]));
}

// Big-endian fields over a span of bytes; a read past its end marks it bad
// and yields zeros.
class Bytes {
  public:
    Bytes() = default;
    Bytes(const uint8_t* at, std::size_t size) : at_(at), left_(size) {}

    bool ok() const { return ok_; }
    std::size_t left() const { return left_; }
    const uint8_t* data() const { return at_; }

    uint64_t read(int bytes)
    {
        if (!has(std::size_t(bytes)))
            return 0;
        uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value = value << 8 | at_[i];
        at_ += bytes;
        left_ -= std::size_t(bytes);
        return value;
    }
    uint8_t u8() { return uint8_t(read(1)); }
    uint16_t u16() { return uint16_t(read(2)); }
    uint32_t u32() { return uint32_t(read(4)); }
    uint64_t u64() { return read(8); }
    void skip(std::size_t count)
    {
        if (has(count)) {
            at_ += count;
            left_ -= count;
        }
    }
    Bytes take(std::size_t count)
    {
        if (!has(count))
            return Bytes();
        Bytes part(at_, count);
        skip(count);
        return part;
    }

  private:
    bool has(std::size_t count)
    {
        if (count > left_)
            ok_ = false;
        return ok_;
    }

    const uint8_t* at_ = nullptr;
    std::size_t left_ = 0;
    bool ok_ = true;
};

struct Box {
    uint32_t type = 0;
    Bytes body;
};

// The next box of a span; false at its end or at a box that does not fit in it.
bool nextBox(Bytes& in, Box& box)
{
    if (in.left() < 8)
        return false;
    uint64_t size = in.u32();
    box.type = in.u32();
    uint64_t header = 8;
    if (size == 1) {
        size = in.u64();
        header = 16;
    } else if (size == 0) {
        size = header + in.left(); // to the end of the parent
    }
    if (!in.ok() || size < header || size - header > in.left())
        return false;
    box.body = in.take(std::size_t(size - header));
    return true;
}

bool child(Bytes in, uint32_t type, Bytes& out)
{
    Box box;
    while (nextBox(in, box))
        if (box.type == type) {
            out = box.body;
            return true;
        }
    return false;
}

// The box at the end of a path of types below in.
bool descend(Bytes in, std::initializer_list<uint32_t> path, Bytes& out)
{
    for (uint32_t type : path)
        if (!child(in, type, in))
            return false;
    out = in;
    return true;
}

// A full box's version; its flags are skipped.
uint8_t version(Bytes& body)
{
    const uint8_t v = body.u8();
    body.skip(3);
    return v;
}

// --- the sample description: AAC, and its configuration ------------------------

// An MPEG-4 descriptor: a tag, a length of one to four 7-bit groups, a body.
bool descriptor(Bytes& in, uint8_t& tag, Bytes& body)
{
    tag = in.u8();
    uint32_t length = 0;
    for (int i = 0; i < 4; ++i) {
        const uint8_t b = in.u8();
        length = length << 7 | (b & 0x7f);
        if (!(b & 0x80))
            break;
    }
    if (!in.ok() || length > in.left())
        return false;
    body = in.take(length);
    return true;
}

bool findDescriptor(Bytes in, uint8_t wanted, Bytes& out)
{
    uint8_t tag = 0;
    Bytes body;
    while (in.left() > 0 && descriptor(in, tag, body))
        if (tag == wanted) {
            out = body;
            return true;
        }
    return false;
}

// What an AudioSpecificConfig says first; -1 where it cannot be read.
struct AudioConfig {
    int objectType = -1;
    uint32_t rate = 0; // 0 when not one of the standard rates
    int channels = -1; // 0: given otherwise
};

constexpr uint32_t kConfigRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                     22050, 16000, 12000, 11025, 8000,  7350};

AudioConfig readConfig(const std::vector<uint8_t>& config)
{
    uint64_t bits = 0;
    int have = 0;
    std::size_t next = 0;
    auto take = [&](int count) -> int {
        while (have < count) {
            if (next >= config.size())
                return -1;
            bits = bits << 8 | config[next++];
            have += 8;
        }
        have -= count;
        return int(bits >> have & ((1u << count) - 1));
    };
    AudioConfig out;
    int objectType = take(5);
    if (objectType == 31) {
        const int extension = take(6);
        objectType = extension < 0 ? -1 : 32 + extension;
    }
    const int rateIndex = take(4);
    if (objectType < 0 || rateIndex < 0 || (rateIndex == 15 && (take(12) < 0 || take(12) < 0)))
        return out;
    out.objectType = objectType;
    out.rate = rateIndex < int(std::size(kConfigRates)) ? kConfigRates[rateIndex] : 0;
    out.channels = take(4);
    return out;
}

// From an "esds" box: the AAC configuration and the average bit rate.
bool readEsds(Bytes esds, AacTrack& out, std::string& why)
{
    version(esds);
    Bytes es, config, specific;
    uint8_t tag = 0;
    if (!descriptor(esds, tag, es) || (tag != 3 && tag != 4)) {
        why = "The MP4 file's sound description cannot be read.";
        return false;
    }
    if (tag == 3) {
        es.skip(2); // ES_ID
        const uint8_t flags = es.u8();
        if (flags & 0x80)
            es.skip(2);
        if (flags & 0x40)
            es.skip(es.u8());
        if (flags & 0x20)
            es.skip(2);
        if (!es.ok() || !findDescriptor(es, 4, config)) {
            why = "The MP4 file's sound description cannot be read.";
            return false;
        }
    } else {
        config = es;
    }
    const uint8_t objectType = config.u8();
    config.skip(1 + 3 + 4); // stream type, buffer size, maximum bit rate
    out.averageBitrate = config.u32();
    // MPEG-4 audio, or MPEG-2 AAC (main, LC, SSR profiles).
    if (!config.ok() || (objectType != 0x40 && (objectType < 0x66 || objectType > 0x68))) {
        why = "The MP4 file's sound is not AAC.";
        return false;
    }
    if (!findDescriptor(config, 5, specific) || specific.left() == 0) {
        why = "The MP4 file's AAC stream has no configuration.";
        return false;
    }
    out.decoderConfig.assign(specific.data(), specific.data() + specific.left());
    out.channels = readConfig(out.decoderConfig).channels;
    if (out.channels != 1 && out.channels != 2) {
        why = "The AAC stream has more than two channels.";
        return false;
    }
    return true;
}

bool readSampleDescription(Bytes stsd, AacTrack& out, std::string& why)
{
    version(stsd);
    stsd.skip(4); // entry count: the first entry describes the track
    Box entry;
    if (!nextBox(stsd, entry) || entry.type != fourcc("mp4a")) {
        why = "The MP4 file's sound is not AAC.";
        return false;
    }
    Bytes body = entry.body;
    body.skip(6 + 2); // reserved, data reference
    const uint16_t soundVersion = body.u16();
    body.skip(2 + 4 + 2 + 2 + 2 + 2 + 4); // up to the end of the version 0 fields
    body.skip(soundVersion == 1 ? 16 : soundVersion == 2 ? 36 : 0);
    Bytes esds, wave;
    if (child(body, fourcc("esds"), esds) ||
        (child(body, fourcc("wave"), wave) && child(wave, fourcc("esds"), esds)))
        return readEsds(esds, out, why);
    why = "The MP4 file's sound description cannot be read.";
    return false;
}

// --- the sample tables -------------------------------------------------------------

template <class Entry, class ReadEntry>
bool readTable(Bytes box, std::size_t entryBytes, std::vector<Entry>& out, ReadEntry readEntry)
{
    version(box);
    const uint32_t count = box.u32();
    if (!box.ok() || count > box.left() / entryBytes)
        return false;
    out.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        out.push_back(readEntry(box));
    return true;
}

struct ChunkRun {
    uint32_t firstChunk; // 1-based
    uint32_t framesPerChunk;
};

bool readFrameTables(Bytes stbl, uint64_t fileSize, AacTrack& out, std::string& why)
{
    why = "The MP4 file's frame tables are damaged.";
    Bytes stts, stsc, stsz, stco;
    const bool wideOffsets = !child(stbl, fourcc("stco"), stco);
    if ((wideOffsets && !child(stbl, fourcc("co64"), stco)) || !child(stbl, fourcc("stts"), stts) ||
        !child(stbl, fourcc("stsc"), stsc) || !child(stbl, fourcc("stsz"), stsz)) {
        why = "The MP4 file has no frame tables.";
        return false;
    }

    struct TimeToFrames {
        uint32_t count, delta;
    };
    std::vector<TimeToFrames> durations;
    std::vector<ChunkRun> chunkRuns;
    std::vector<uint64_t> chunks;
    if (!readTable(stts, 8, durations, [](Bytes& b) { return TimeToFrames{b.u32(), b.u32()}; }) ||
        !readTable(stsc, 12, chunkRuns,
                   [](Bytes& b) {
                       const ChunkRun run{b.u32(), b.u32()};
                       b.skip(4); // description index
                       return run;
                   }) ||
        !readTable(stco, wideOffsets ? 8 : 4, chunks,
                   [wideOffsets](Bytes& b) { return wideOffsets ? b.u64() : uint64_t(b.u32()); }))
        return false;

    version(stsz);
    const uint32_t commonSize = stsz.u32();
    uint32_t count = stsz.u32();
    if (!stsz.ok() || (commonSize == 0 && count > stsz.left() / 4))
        return false;
    // Every frame lies in the file: no more of one size than the file holds.
    if (commonSize != 0)
        count = uint32_t(std::min<uint64_t>(count, fileSize / commonSize));
    count = std::min(count, kMaxFrames);

    // Each frame's place: the chunks in runs, the frames of a chunk one after another.
    for (std::size_t run = 0; run < chunkRuns.size() && out.sizes.size() < count; ++run) {
        const uint64_t first = chunkRuns[run].firstChunk;
        const uint64_t end =
            std::min<uint64_t>(run + 1 < chunkRuns.size() ? chunkRuns[run + 1].firstChunk : chunks.size() + 1,
                               chunks.size() + 1);
        if (first == 0 || (run > 0 && first <= chunkRuns[run - 1].firstChunk))
            return false;
        for (uint64_t chunk = first; chunk < end && out.sizes.size() < count; ++chunk) {
            uint64_t at = chunks[chunk - 1];
            for (uint32_t k = 0; k < chunkRuns[run].framesPerChunk && out.sizes.size() < count; ++k) {
                const uint32_t size = commonSize ? commonSize : stsz.u32();
                if (size == 0 || size > kMaxFrameBytes || at > fileSize || size > fileSize - at) {
                    count = uint32_t(out.sizes.size()); // the file ends (or breaks off) here
                    break;
                }
                out.offsets.push_back(at);
                out.sizes.push_back(size);
                at += size;
            }
        }
    }
    if (out.sizes.empty()) {
        why = "The MP4 file's AAC track holds no frames.";
        return false;
    }

    // Durations for exactly the frames there are; past the table, the last one.
    const std::size_t frames = out.sizes.size();
    std::size_t covered = 0;
    uint64_t units = 0;
    auto cover = [&](uint64_t count, uint32_t delta) {
        const std::size_t n = std::size_t(std::min<uint64_t>(count, frames - covered));
        if (n == 0 || units > kMaxUnits) // past the limit: refused below
            return;
        if (out.durations.empty() || out.durations.back().delta != delta)
            out.durations.push_back({covered, units, delta});
        covered += n;
        units += uint64_t(n) * delta;
    };
    for (const TimeToFrames& entry : durations)
        cover(entry.count, entry.delta);
    if (out.durations.empty())
        return false;
    cover(frames, out.durations.back().delta);
    if (units == 0 || units > kMaxUnits)
        return false;
    out.length = units;
    return true;
}

// The first edit that plays media: where the track starts (the encoder's
// delay) and for how long, in the movie's timescale. False without one.
bool readEdits(Bytes trak, uint32_t movieTimescale, AacTrack& out)
{
    Bytes elst;
    if (!descend(trak, {fourcc("edts"), fourcc("elst")}, elst))
        return false;
    const bool wide = version(elst) == 1;
    const uint32_t count = elst.u32();
    for (uint32_t i = 0; i < count && elst.ok(); ++i) {
        const uint64_t duration = wide ? elst.u64() : elst.u32();
        const int64_t mediaTime = wide ? int64_t(elst.u64()) : int64_t(int32_t(elst.u32()));
        elst.skip(4); // rate
        if (!elst.ok() || mediaTime < 0)
            continue; // an empty edit: a pause before the track
        const uint64_t total = out.length;
        out.skip = std::min<uint64_t>(uint64_t(mediaTime), total);
        out.length = total - out.skip;
        if (duration > 0 && movieTimescale > 0) {
            const auto edited = static_cast<unsigned __int128>(duration) * out.timescale / movieTimescale;
            out.length = uint64_t(std::min<unsigned __int128>(out.length, edited));
        }
        return true;
    }
    return false;
}

// iTunes's gapless playback data, a freeform item of the tags ("iTunSMPB"):
// hexadecimal fields, of which the second is the encoder's delay and the
// fourth the length of the sound, in samples.
struct GaplessInfo {
    uint64_t delay = 0;
    uint64_t length = 0; // 0: none given
};

GaplessInfo readGaplessInfo(Bytes item)
{
    Bytes name, data;
    if (!child(item, fourcc("name"), name) || !child(item, fourcc("data"), data))
        return {};
    version(name);
    if (std::string(reinterpret_cast<const char*>(name.data()), name.left()) != "iTunSMPB")
        return {};
    data.skip(8); // type, locale
    std::vector<uint64_t> fields;
    std::string field;
    const std::string text(reinterpret_cast<const char*>(data.data()), data.ok() ? data.left() : 0);
    for (const char c : text + " ") {
        if (std::isxdigit(static_cast<unsigned char>(c)) && field.size() < 16) {
            field += c;
        } else if (c == ' ' && !field.empty()) {
            fields.push_back(std::stoull(field, nullptr, 16));
            field.clear();
        } else if (c != ' ') {
            return {}; // not the fields this reader knows
        }
    }
    if (fields.size() < 4)
        return {};
    return {fields[1], fields[3]};
}

// --- tags ----------------------------------------------------------------------------

struct TagName {
    uint32_t item;
    const char* name;
};

const TagName kTextTags[] = {
    {fourcc("\xa9nam"), "title"},   {fourcc("\xa9" "ART"), "artist"},  {fourcc("aART"), "album_artist"},
    {fourcc("\xa9" "alb"), "album"}, {fourcc("\xa9" "day"), "date"},   {fourcc("\xa9" "gen"), "genre"},
    {fourcc("\xa9" "cmt"), "comment"}, {fourcc("\xa9" "wrt"), "composer"}, {fourcc("\xa9too"), "encoder"},
};

// The tags, and the gapless playback data if the file has it.
GaplessInfo readTags(Bytes moov, AacTrack& out)
{
    GaplessInfo gapless;
    Bytes meta, ilst;
    if (!descend(moov, {fourcc("udta"), fourcc("meta")}, meta))
        return gapless;
    // A full box in MP4 files, a plain one in QuickTime's.
    if (meta.left() >= 8 && std::memcmp(meta.data() + 4, "hdlr", 4) != 0)
        version(meta);
    if (!child(meta, fourcc("ilst"), ilst))
        return gapless;
    Box item;
    while (nextBox(ilst, item)) {
        if (item.type == fourcc("----")) {
            if (const GaplessInfo found = readGaplessInfo(item.body); found.length > 0)
                gapless = found;
            continue;
        }
        Bytes data;
        if (!child(item.body, fourcc("data"), data))
            continue;
        const uint32_t kind = data.u32() & 0xffffff;
        data.skip(4); // locale
        if (!data.ok())
            continue;
        if (item.type == fourcc("trkn") || item.type == fourcc("disk")) {
            data.skip(2);
            const uint16_t number = data.u16(), total = data.u16();
            if (data.ok() && number > 0) {
                std::string text = std::to_string(number);
                if (total) {
                    text += '/';
                    text += std::to_string(total);
                }
                out.tags.emplace_back(item.type == fourcc("trkn") ? "track" : "disc", std::move(text));
            }
            continue;
        }
        if (kind != 1) // UTF-8 text
            continue;
        for (const TagName& tag : kTextTags)
            if (tag.item == item.type)
                out.tags.emplace_back(tag.name, std::string(reinterpret_cast<const char*>(data.data()), data.left()));
    }
    return gapless;
}

// --- the movie -----------------------------------------------------------------------

bool isSoundTrack(Bytes mdia)
{
    Bytes hdlr;
    if (!child(mdia, fourcc("hdlr"), hdlr))
        return false;
    version(hdlr);
    hdlr.skip(4);
    return hdlr.u32() == fourcc("soun");
}

bool readTrack(Bytes trak, uint32_t movieTimescale, uint64_t fileSize, AacTrack& out, bool& edited,
               std::string& why)
{
    Bytes mdia, mdhd, stbl, stsd;
    if (!child(trak, fourcc("mdia"), mdia) || !isSoundTrack(mdia))
        return false;
    if (!child(mdia, fourcc("mdhd"), mdhd) || !descend(mdia, {fourcc("minf"), fourcc("stbl")}, stbl) ||
        !child(stbl, fourcc("stsd"), stsd)) {
        why = "The MP4 file's sound track cannot be read.";
        return false;
    }
    const bool wide = version(mdhd) == 1;
    mdhd.skip(wide ? 16 : 8); // creation and modification times
    out.timescale = mdhd.u32();
    if (!mdhd.ok() || out.timescale == 0) {
        why = "The MP4 file's sound track cannot be read.";
        return false;
    }
    if (!readSampleDescription(stsd, out, why) || !readFrameTables(stbl, fileSize, out, why))
        return false;
    edited = readEdits(trak, movieTimescale, out);
    if (out.length == 0) {
        why = "The MP4 file's AAC track is empty.";
        return false;
    }
    return true;
}

// The file's index, read whole: false when there is none (or it is too large).
bool readMovieBox(bass::InputData& data, std::vector<uint8_t>& movie, std::string& why)
{
    uint64_t at = 0;
    for (int boxes = 0; boxes < kMaxTopLevelBoxes && at < data.size(); ++boxes) {
        uint8_t header[16];
        if (data.read(at, header, 16) < 8)
            break;
        Bytes fields(header, 16);
        uint64_t size = fields.u32();
        const uint32_t type = fields.u32();
        uint64_t headerSize = 8;
        if (size == 1) {
            size = fields.u64();
            headerSize = 16;
        } else if (size == 0) {
            size = data.size() - at;
        }
        if (boxes == 0 && type != fourcc("ftyp"))
            break;
        if (size < headerSize || size > data.size() - at)
            break;
        if (type == fourcc("moov")) {
            if (size - headerSize > kMaxMovieBytes) {
                why = "The MP4 file's index is too large.";
                return false;
            }
            movie.resize(std::size_t(size - headerSize));
            if (data.read(at + headerSize, movie.data(), movie.size()) != long(movie.size()))
                break;
            return true;
        }
        at += size;
    }
    why = "The file is none of the formats this plug-in plays.";
    return false;
}

} // namespace

bool ReadMp4Track(bass::InputData& data, AacTrack& out, std::string& why)
{
    out = AacTrack{};
    std::vector<uint8_t> movie;
    if (!readMovieBox(data, movie, why))
        return false;
    const Bytes moov(movie.data(), movie.size());
    Bytes mvhd;
    uint32_t movieTimescale = 0;
    if (child(moov, fourcc("mvhd"), mvhd)) {
        mvhd.skip(version(mvhd) == 1 ? 16 : 8);
        movieTimescale = mvhd.u32();
    }
    why = "The MP4 file has no AAC sound track.";
    Bytes in = moov;
    Box box;
    while (nextBox(in, box)) {
        if (box.type != fourcc("trak"))
            continue;
        AacTrack track;
        std::string trackWhy;
        bool edited = false;
        if (readTrack(box.body, movieTimescale, data.size(), track, edited, trackWhy)) {
            out = std::move(track);
            out.container = "QuickTime / MOV";
            const GaplessInfo gapless = readTags(moov, out);
            // Without an edit list, iTunes's data gives the delay and the end,
            // counted at the rate of plain AAC (the track's timescale).
            const AudioConfig config = readConfig(out.decoderConfig);
            if (!edited && gapless.length > 0 && config.objectType == 2 && config.rate == out.timescale &&
                gapless.delay <= out.length && gapless.length <= out.length - gapless.delay) {
                out.skip = gapless.delay;
                out.length = gapless.length;
            }
            return true;
        }
        if (!trackWhy.empty())
            why = trackWhy;
    }
    return false;
}

} // namespace media
