#include "TrackSummary.h"

#include "APEtag.h"
#include "MPEGaudio.h"
#include "Monkeyinf.h"
#include "OggVorbisinf.h"
#include "TwinVQ.h"
#include "WAVfileinf.h"
#include "WMAfile.h"

#include <array>

namespace fileinfo {
namespace {

// A reader that knows the format replaces what an earlier one knew.
template <class R> void know(TrackSummary& summary, Reader kind, const R& reader, int bitRate, bool damaged = false)
{
    summary.kind = kind;
    summary.damaged = damaged;
    summary.seconds = reader.DurationSeconds();
    summary.sampleRate = int(reader.SampleRate());
    summary.bitRate = bitRate;
    summary.channelMode = reader.ChannelModeText();
}

void name(TrackSummary& summary, const std::string& title, const std::string& artist)
{
    summary.title = title;
    summary.artist = artist;
    summary.recognised = true;
}

template <class Tag> bool nameByTag(TrackSummary& summary, const Tag& tag)
{
    if (tag.TagFound())
        name(summary, tag.Title(), tag.Artist());
    return tag.TagFound();
}

void readMpeg(ReaderFile& file, TrackSummary& summary)
{
    TMPEGaudio mpeg;
    mpeg.Read(file);
    if (!mpeg.IsPlausible())
        return;
    summary.mpegPlausible = true;
    know(summary, Reader::Mpeg, mpeg, mpeg.BitRateKbps());
    if (!nameByTag(summary, mpeg.Id3v2Tag()))
        nameByTag(summary, mpeg.Id3v1Tag());
}

void readWma(ReaderFile& file, TrackSummary& summary)
{
    TWMAfile wma;
    wma.Read(file);
    if (!wma.Recognised())
        return;
    know(summary, Reader::Wma, wma, wma.BitRateKbps());
    name(summary, wma.Title(), wma.Artist());
}

void readOggVorbis(ReaderFile& file, TrackSummary& summary)
{
    OggVorbisinf::TOggVorbis ogg;
    ogg.Read(file);
    if (!ogg.Recognised())
        return;
    know(summary, Reader::OggVorbis, ogg, ogg.BitRateKbps(), ogg.IsDamaged());
    if (!ogg.IsDamaged())
        name(summary, ogg.Title(), ogg.Artist());
}

void readMonkey(ReaderFile& file, TrackSummary& summary, bool byApeTag)
{
    TMonkey monkey;
    TAPEtag ape;
    if (byApeTag)
        ape.Read(file);
    monkey.Read(file);
    if (monkey.IsPlausible())
        know(summary, Reader::Monkey, monkey, monkey.BitsPerSample());
    if (byApeTag)
        nameByTag(summary, ape);
    else if (monkey.IsPlausible())
        nameByTag(summary, monkey.Id3v1Tag());
}

void readWav(ReaderFile& file, TrackSummary& summary)
{
    WAVfileinf::TWAVfile wav;
    wav.Read(file);
    if (!wav.Recognised())
        return;
    know(summary, Reader::Wav, wav, int(wav.BitRateKbps()));
    name(summary, {}, {});
    summary.namedByFile = true;
}

void readTwinVQ(ReaderFile& file, TrackSummary& summary)
{
    TTwinVQ twinvq;
    twinvq.Read(file);
    if (!twinvq.Recognised())
        return;
    know(summary, Reader::TwinVQ, twinvq, twinvq.BitRateKbps(), twinvq.IsDamaged());
    if (!twinvq.IsDamaged())
        name(summary, twinvq.Title(), twinvq.Author());
}

void readMonkeyById3v1(ReaderFile& file, TrackSummary& summary)
{
    readMonkey(file, summary, false);
}

void readMonkeyOrApeTag(ReaderFile& file, TrackSummary& summary)
{
    readMonkey(file, summary, true);
}

// In the order of Reader.
constexpr std::array<void (*)(ReaderFile&, TrackSummary&), 8> Steps = {
    nullptr, readMpeg, readWma, readOggVorbis, readMonkeyById3v1, readMonkeyOrApeTag, readWav, readTwinVQ};
static_assert(Steps.size() == std::size_t(Reader::TwinVQ) + 1);

} // namespace

TrackSummary ReadTrackSummary(ReaderFile& file, std::initializer_list<Reader> order)
{
    TrackSummary summary;
    for (Reader reader : order) {
        if (summary.recognised)
            break;
        if (const auto step = Steps[std::size_t(reader)])
            step(file, summary);
    }
    return summary;
}

} // namespace fileinfo
