#include "SmfFile.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace midi {

const char* SmfErrorText(SmfError error)
{
    switch (error) {
    case SmfError::None:
        return "no error";
    case SmfError::Unreadable:
        return "the file cannot be read";
    case SmfError::TooLarge:
        return "the file is too large for a MIDI file";
    case SmfError::NotMidi:
        return "not a standard MIDI file";
    case SmfError::BadHeader:
        return "damaged MIDI header";
    case SmfError::BadDivision:
        return "invalid time division";
    case SmfError::NoTracks:
        return "no tracks";
    case SmfError::BadEvent:
        return "damaged MIDI events";
    case SmfError::TooLong:
        return "the song is too long";
    case SmfError::Silent:
        return "no notes to play";
    }
    return "";
}

// ---- tempo map --------------------------------------------------------------

namespace {

constexpr uint32_t kDefaultTempo = 500000; // 120 beats per minute

// Frames per second of an SMPTE division's high byte (as a negative number); 0 when invalid.
double smpteFps(uint16_t division)
{
    switch (-static_cast<int8_t>(division >> 8)) {
    case 24:
        return 24;
    case 25:
        return 25;
    case 29:
        return 30000.0 / 1001.0; // drop-frame
    case 30:
        return 30;
    default:
        return 0;
    }
}

bool isSmpte(uint16_t division)
{
    return (division & 0x8000) != 0;
}

} // namespace

void TempoMap::reset(uint16_t division)
{
    division_ = division;
    changes_.clear();
    smpteMsPerTick_ = isSmpte(division) ? 1000.0 / (smpteFps(division) * (division & 0xFF)) : 0;
}

void TempoMap::add(uint64_t tick, uint32_t usPerQuarter)
{
    if (smpteMsPerTick_ == 0)
        changes_.push_back({tick, usPerQuarter});
}

void TempoMap::finish()
{
    // Stable: at one tick the change met last (the later track) wins, as when played.
    std::stable_sort(changes_.begin(), changes_.end(),
                     [](const Change& a, const Change& b) { return a.tick < b.tick; });
}

double TempoMap::msPerTick(uint32_t usPerQuarter) const
{
    return smpteMsPerTick_ != 0 ? smpteMsPerTick_ : usPerQuarter / 1000.0 / division_;
}

double TempoMap::msAt(uint64_t tick) const
{
    double ms = 0;
    uint64_t from = 0;
    uint32_t tempo = kDefaultTempo;
    for (const Change& c : changes_) {
        if (c.tick >= tick)
            break;
        ms += double(c.tick - from) * msPerTick(tempo);
        from = c.tick;
        tempo = c.usPerQuarter;
    }
    return ms + double(tick - from) * msPerTick(tempo);
}

uint64_t TempoMap::tickAt(double ms) const
{
    double at = 0;
    uint64_t from = 0;
    uint32_t tempo = kDefaultTempo;
    for (const Change& c : changes_) {
        const double next = at + double(c.tick - from) * msPerTick(tempo);
        if (next > ms)
            break;
        at = next;
        from = c.tick;
        tempo = c.usPerQuarter;
    }
    const double ticks = std::round(std::max(0.0, ms - at) / msPerTick(tempo));
    return from + static_cast<uint64_t>(std::min(ticks, double(INT32_MAX)));
}

// ---- reading ----------------------------------------------------------------

namespace {

constexpr uint64_t kMaxTicks = INT32_MAX;  // the synthesizer counts ticks in an int
constexpr uint32_t kMaxDelta = 0x0FFFFFFF; // four bytes of seven bits

// Meta event types.
constexpr uint8_t kMetaText = 0x01;
constexpr uint8_t kMetaLastText = 0x07; // text, copyright, track name, instrument, lyric, marker, cue
constexpr uint8_t kMetaTrackName = 0x03;
constexpr uint8_t kMetaEndOfTrack = 0x2F;
constexpr uint8_t kMetaTempo = 0x51;
constexpr uint8_t kMetaTimeSignature = 0x58;
constexpr uint8_t kMetaKeySignature = 0x59;

uint32_t be32(std::string_view b, std::size_t at)
{
    return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 | uint32_t(uint8_t(b[at + 2])) << 8 |
           uint8_t(b[at + 3]);
}

uint16_t be16(std::string_view b, std::size_t at)
{
    return uint16_t(uint8_t(b[at]) << 8 | uint8_t(b[at + 1]));
}

uint32_t le32(std::string_view b, std::size_t at)
{
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}

void putVarLen(std::string& out, uint32_t value)
{
    char bytes[4];
    int n = 0;
    do {
        bytes[n++] = char(value & 0x7F);
        value >>= 7;
    } while (value && n < 4);
    while (n > 1)
        out += char(bytes[--n] | 0x80);
    out += bytes[0];
}

void putBe32(std::string& out, uint32_t v)
{
    out += char(v >> 24);
    out += char(v >> 16);
    out += char(v >> 8);
    out += char(v);
}

void putBe16(std::string& out, uint16_t v)
{
    out += char(v >> 8);
    out += char(v);
}

// Text without surrounding blanks or control characters.
std::string trimmed(std::string_view text)
{
    auto blank = [](char c) { return uint8_t(c) <= ' ' || c == 0x7F; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    std::string out(text);
    std::replace_if(out.begin(), out.end(), blank, ' ');
    return out;
}

// One track chunk's events, read and written again.
class TrackReader {
  public:
    TrackReader(std::string_view body, SmfFile& file, std::string& karaokeTitle, std::string& trackName)
        : body_(body), file_(file), karaokeTitle_(karaokeTitle), trackName_(trackName)
    {
    }

    // Appends the rewritten events to out; a track cut short ends where its bytes end.
    SmfError read(std::string& out, uint64_t& endTick)
    {
        uint8_t running = 0;
        while (pos_ < body_.size()) {
            uint32_t delta;
            if (!varLen(delta))
                break;
            tick_ += delta;
            pending_ += delta;
            if (tick_ > kMaxTicks)
                return SmfError::TooLong;
            if (pos_ >= body_.size() || status_ != SmfError::None)
                break;
            uint8_t status = byte(pos_);
            if (status < 0x80) {
                if (running == 0)
                    return SmfError::BadEvent;
                status = running; // running status: the byte is the first data byte
            } else {
                ++pos_;
            }
            bool ended = false;
            if (status < 0xF0) {
                running = status;
                if (!channelEvent(status, out))
                    break;
            } else if (status == 0xFF) {
                if (!metaEvent(out, ended))
                    break;
            } else if (status == 0xF0 || status == 0xF7) {
                if (!sysexEvent(status, out))
                    break;
            } else {
                return SmfError::BadEvent;
            }
            if (ended)
                break;
        }
        if (status_ != SmfError::None)
            return status_;
        putDelta(out);
        out += "\xFF\x2F";
        out += '\0';
        endTick = tick_;
        return SmfError::None;
    }

  private:
    uint8_t byte(std::size_t at) const { return uint8_t(body_[at]); }

    // A variable-length number of at most four bytes; false when the bytes run
    // out (status_ says whether that is damage).
    bool varLen(uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            if (pos_ >= body_.size())
                return false;
            const uint8_t b = byte(pos_++);
            value = value << 7 | (b & 0x7F);
            if (!(b & 0x80))
                return true;
        }
        status_ = SmfError::BadEvent;
        return false;
    }

    // The time since the last written event; a gap too long for one number is
    // bridged by empty text events.
    void putDelta(std::string& out)
    {
        while (pending_ > kMaxDelta) {
            putVarLen(out, kMaxDelta);
            out += "\xFF\x01\x01 ";
            pending_ -= kMaxDelta;
        }
        putVarLen(out, uint32_t(pending_));
        pending_ = 0;
    }

    bool channelEvent(uint8_t status, std::string& out)
    {
        const uint8_t kind = status & 0xF0;
        const std::size_t length = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
        if (body_.size() - pos_ < length)
            return false;
        for (std::size_t i = 0; i < length; ++i)
            if (byte(pos_ + i) & 0x80) {
                status_ = SmfError::BadEvent;
                return false;
            }
        if (kind == 0x90 && byte(pos_ + 1) != 0)
            ++file_.noteCount;
        putDelta(out);
        out += char(status);
        out.append(body_.substr(pos_, length));
        pos_ += length;
        return true;
    }

    bool metaEvent(std::string& out, bool& ended)
    {
        if (pos_ >= body_.size())
            return false;
        const uint8_t type = byte(pos_++);
        uint32_t length;
        if (!varLen(length) || body_.size() - pos_ < length)
            return false;
        const std::string_view data = body_.substr(pos_, length);
        pos_ += length;
        bool keep = false;
        if (type == kMetaEndOfTrack) {
            ended = true;
        } else if (type == kMetaTempo) {
            // A tempo of zero would stop time; such events are left out.
            const uint32_t tempo =
                length == 3 ? uint32_t(uint8_t(data[0])) << 16 | uint8_t(data[1]) << 8 | uint8_t(data[2]) : 0;
            keep = tempo != 0 && !isSmpte(file_.division);
            if (keep)
                file_.tempo.add(tick_, tempo);
        } else if (type >= kMetaText && type <= kMetaLastText) {
            keep = true;
            noteText(type, data);
        } else {
            keep = (type == kMetaTimeSignature && length == 4) || (type == kMetaKeySignature && length == 2);
        }
        if (keep) {
            putDelta(out);
            out += '\xFF';
            out += char(type);
            putVarLen(out, length);
            out.append(data);
        }
        return true;
    }

    void noteText(uint8_t type, std::string_view data)
    {
        // Karaoke files carry their title as a text event "@T<title>".
        if (type == kMetaText && karaokeTitle_.empty() && data.size() > 2 && data.substr(0, 2) == "@T")
            karaokeTitle_ = trimmed(data.substr(2));
        // The first track's name is the song's; later tracks name their instruments.
        else if (type == kMetaTrackName && trackName_.empty() && file_.trackCount == 0)
            trackName_ = trimmed(data);
    }

    bool sysexEvent(uint8_t status, std::string& out)
    {
        uint32_t length;
        if (!varLen(length) || body_.size() - pos_ < length)
            return false;
        // Escaped (F7) packets are left out: the synthesizer has no use for them.
        if (status == 0xF0) {
            putDelta(out);
            out += char(status);
            putVarLen(out, length);
            out.append(body_.substr(pos_, length));
        }
        pos_ += length;
        return true;
    }

    std::string_view body_;
    SmfFile& file_;
    std::string& karaokeTitle_;
    std::string& trackName_;
    std::size_t pos_ = 0;
    uint64_t tick_ = 0;
    uint64_t pending_ = 0; // ticks since the last written event
    SmfError status_ = SmfError::None;
};

} // namespace

std::string_view UnwrapRmid(std::string_view bytes)
{
    if (bytes.size() < 4 || bytes.substr(0, 4) != "RIFF")
        return bytes;
    if (bytes.size() < 12 || bytes.substr(8, 4) != "RMID")
        return {};
    std::size_t pos = 12;
    while (bytes.size() - pos >= 8) {
        const std::string_view id = bytes.substr(pos, 4);
        const uint64_t length = le32(bytes, pos + 4);
        pos += 8;
        const std::size_t body = std::size_t(std::min<uint64_t>(length, bytes.size() - pos));
        if (id == "data")
            return bytes.substr(pos, body);
        if (length + (length & 1) >= bytes.size() - pos)
            break;
        pos += std::size_t(length + (length & 1));
    }
    return {};
}

SmfError ParseMidi(std::string_view bytes, SmfFile& out)
{
    out = SmfFile{};
    if (bytes.size() > kMaxMidiFileBytes)
        return SmfError::TooLarge;
    const std::string_view smf = UnwrapRmid(bytes);
    if (smf.size() < 8 || smf.substr(0, 4) != "MThd")
        return SmfError::NotMidi;
    const uint64_t headerLength = be32(smf, 4);
    if (headerLength < 6 || smf.size() - 8 < headerLength)
        return SmfError::BadHeader;
    out.format = be16(smf, 8);
    const uint16_t declaredTracks = be16(smf, 10);
    out.division = be16(smf, 12);
    if (out.format > 2)
        return SmfError::BadHeader;
    if (isSmpte(out.division) ? smpteFps(out.division) == 0 || (out.division & 0xFF) == 0 : out.division == 0)
        return SmfError::BadDivision;
    out.tempo.reset(out.division);

    std::string karaokeTitle, trackName, tracks;
    std::size_t pos = 8 + std::size_t(headerLength);
    while (smf.size() - pos >= 8 && out.trackCount < declaredTracks) {
        const std::string_view id = smf.substr(pos, 4);
        const uint64_t length = be32(smf, pos + 4);
        pos += 8;
        const std::size_t available = std::size_t(std::min<uint64_t>(length, smf.size() - pos));
        if (id == "MTrk") {
            std::string events;
            uint64_t endTick = 0;
            const SmfError error =
                TrackReader(smf.substr(pos, available), out, karaokeTitle, trackName).read(events, endTick);
            if (error != SmfError::None)
                return error;
            tracks += "MTrk";
            putBe32(tracks, uint32_t(events.size()));
            tracks += events;
            out.endTick = std::max(out.endTick, endTick);
            ++out.trackCount;
        }
        pos += available;
    }
    if (out.trackCount == 0)
        return SmfError::NoTracks;
    out.tempo.finish();
    const double ms = std::round(out.tempo.msAt(out.endTick));
    if (ms > INT32_MAX)
        return SmfError::TooLong;
    out.lengthMs = int32_t(ms);
    if (out.noteCount == 0 || out.lengthMs <= 0)
        return SmfError::Silent;
    out.title = !karaokeTitle.empty() ? karaokeTitle : trackName;

    // The synthesizer counts time in quarter notes only: an SMPTE division
    // becomes a quarter of fps x resolution ticks at the tempo that keeps every
    // tick's length.
    uint16_t division = out.division;
    std::string firstEvents;
    if (isSmpte(out.division)) {
        const int resolution = out.division & 0xFF;
        const int fpsCode = -static_cast<int8_t>(out.division >> 8);
        const int wholeFps = fpsCode == 29 ? 30 : fpsCode;
        division = uint16_t(wholeFps * resolution);
        const auto tempo = uint32_t(std::lround(1e6 * wholeFps / smpteFps(out.division)));
        firstEvents = std::string("\x00\xFF\x51\x03", 4) + char(tempo >> 16) + char(tempo >> 8) + char(tempo);
        // The first track's chunk grows by the tempo event.
        const uint32_t firstLength = be32(tracks, 4) + uint32_t(firstEvents.size());
        tracks = tracks.substr(0, 4) + std::string(4, '\0') + firstEvents + tracks.substr(8);
        for (int i = 0; i < 4; ++i)
            tracks[4 + i] = char(firstLength >> (24 - 8 * i));
    }
    out.synthBytes = "MThd";
    putBe32(out.synthBytes, 6);
    putBe16(out.synthBytes, out.trackCount == 1 ? 0 : 1);
    putBe16(out.synthBytes, uint16_t(out.trackCount));
    putBe16(out.synthBytes, division);
    out.synthBytes += tracks;
    return SmfError::None;
}

} // namespace midi
