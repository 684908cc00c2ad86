#include "MidiBuilder.h"

#include "ByteBuilder.h"

namespace testsupport {

namespace {

std::string varLen(uint32_t value)
{
    std::string out(1, char(value & 0x7F));
    while (value >>= 7)
        out.insert(out.begin(), char((value & 0x7F) | 0x80));
    return out;
}

constexpr unsigned kSquareLead = 80; // quick attack, steady pitch

} // namespace

MidiTrack& MidiTrack::delta(uint32_t ticks)
{
    events_ += varLen(ticks);
    return *this;
}

MidiTrack& MidiTrack::raw(const std::string& bytes)
{
    events_ += bytes;
    return *this;
}

MidiTrack& MidiTrack::noteOn(uint32_t d, unsigned channel, unsigned key, unsigned velocity)
{
    return delta(d).raw(ByteBuilder().u8(0x90 | channel).u8(key).u8(velocity).str());
}

MidiTrack& MidiTrack::noteOff(uint32_t d, unsigned channel, unsigned key)
{
    return delta(d).raw(ByteBuilder().u8(0x80 | channel).u8(key).u8(64).str());
}

MidiTrack& MidiTrack::program(uint32_t d, unsigned channel, unsigned program)
{
    return delta(d).raw(ByteBuilder().u8(0xC0 | channel).u8(program).str());
}

MidiTrack& MidiTrack::tempo(uint32_t d, uint32_t usPerQuarter)
{
    return delta(d).raw(ByteBuilder().u8(0xFF).u8(0x51).u8(3).u24be(usPerQuarter).str());
}

MidiTrack& MidiTrack::meta(uint32_t d, unsigned type, const std::string& data)
{
    return delta(d).raw(ByteBuilder().u8(0xFF).u8(type).str() + varLen(uint32_t(data.size())) + data);
}

MidiTrack& MidiTrack::endOfTrack(uint32_t d)
{
    return meta(d, 0x2F, "");
}

std::string MidiTrack::chunk() const
{
    return ByteBuilder().text("MTrk").u32be(uint32_t(events_.size())).text(events_).str();
}

std::string SmfBytes(unsigned format, unsigned division, const std::vector<MidiTrack>& tracks, int ntrks)
{
    ByteBuilder b;
    b.text("MThd").u32be(6).u16be(format).u16be(ntrks < 0 ? unsigned(tracks.size()) : unsigned(ntrks)).u16be(division);
    for (const MidiTrack& t : tracks)
        b.text(t.chunk());
    return b.str();
}

std::string RmidBytes(const std::string& smf)
{
    const std::string info = ByteBuilder().text("INFO").text("INAM").u32le(4).fixed("Rmi", 4).str();
    ByteBuilder body;
    body.text("RMID").text("LIST").u32le(uint32_t(info.size())).text(info);
    body.text("data").u32le(uint32_t(smf.size())).text(smf);
    if (smf.size() % 2)
        body.u8(0);
    return ByteBuilder().text("RIFF").u32le(uint32_t(body.size())).text(body.str()).str();
}

namespace {

MidiTrack conductor(const std::string& title)
{
    MidiTrack t;
    if (!title.empty())
        t.trackName(0, title);
    return t.tempo(0, 500000).tempo(960, 250000);
}

MidiTrack melody(int key)
{
    MidiTrack t;
    return t.program(0, 0, kSquareLead).noteOn(0, 0, unsigned(key), 110).noteOff(1920, 0, unsigned(key));
}

} // namespace

std::string KnownSongBytes(const std::string& title, int key)
{
    return SmfBytes(1, 480, {conductor(title).endOfTrack(960), melody(key).endOfTrack(0)});
}

std::string SteppedSongBytes(int key)
{
    MidiTrack t;
    t.program(0, 0, kSquareLead);
    for (int i = 0; i < 8; ++i) {
        const unsigned k = unsigned(i < 4 ? key : key + 7);
        t.noteOn(i == 0 ? 0 : 20, 0, k, 110).noteOff(220, 0, k);
    }
    return SmfBytes(1, 480, {conductor("Steps").endOfTrack(960), t.endOfTrack(20)});
}

std::string KnownKaraokeBytes(const std::string& title)
{
    MidiTrack words;
    words.text(0, "@KMIDI KARAOKE FILE").text(0, "@T" + title).text(0, "@TSomebody").text(0, "\\Hel").text(480, "lo");
    return SmfBytes(1, 480,
                    {conductor("Words").endOfTrack(960), melody(KnownSong::kKey).endOfTrack(0), words.endOfTrack(0)});
}

} // namespace testsupport
