// orvella-probe READER FILE...: what the file-information readers find in each
// file, one JSON line per file and reader.

#include "fileinfo/APEtag.h"
#include "fileinfo/MPEGaudio.h"
#include "fileinfo/Monkeyinf.h"
#include "fileinfo/OggVorbis.h"
#include "fileinfo/OggVorbisinf.h"
#include "fileinfo/TwinVQ.h"
#include "fileinfo/WAVfile.h"
#include "fileinfo/WAVfileinf.h"
#include "fileinfo/WMAfile.h"
#include "platform/text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

using namespace fileinfo;

namespace {

// One JSON object, written as it is filled.
class JsonObject {
  public:
    JsonObject& add(std::string_view name, const std::string& text) { return raw(name, platform::JsonString(text)); }
    JsonObject& add(std::string_view name, const char* text) { return add(name, std::string(text)); }
    JsonObject& add(std::string_view name, bool value) { return raw(name, value ? "true" : "false"); }
    template <typename Int, typename = std::enable_if_t<std::is_integral_v<Int> && !std::is_same_v<Int, bool>>>
    JsonObject& add(std::string_view name, Int value)
    {
        return raw(name, std::to_string(+value));
    }
    // Shortest text that reads back as the same double; JSON has no infinities.
    JsonObject& add(std::string_view name, double value)
    {
        if (!std::isfinite(value))
            return raw(name, "null");
        char text[32];
        auto result = std::to_chars(text, text + sizeof text, value);
        return raw(name, std::string(text, result.ptr));
    }
    JsonObject& add(std::string_view name, const JsonObject& object) { return raw(name, object.str()); }
    JsonObject& raw(std::string_view name, const std::string& json)
    {
        body_ += body_.empty() ? "" : ", ";
        body_ += platform::JsonString(name) + ": " + json;
        return *this;
    }
    std::string str() const { return "{" + body_ + "}"; }

  private:
    std::string body_;
};

JsonObject Fields(const TID3v1& r)
{
    JsonObject o;
    o.add("TagFound", r.TagFound()).add("TagVersion", r.TagVersion()).add("Title", r.Title());
    o.add("Artist", r.Artist()).add("Album", r.Album()).add("Year", r.Year()).add("Comment", r.Comment());
    o.add("Track", r.Track()).add("GenreIndex", r.GenreIndex()).add("GenreName", r.GenreName());
    return o;
}

JsonObject Fields(const TID3v2& r)
{
    JsonObject o;
    o.add("TagFound", r.TagFound()).add("TagVersion", r.TagVersion()).add("TagSize", r.TagSize());
    o.add("Title", r.Title()).add("Artist", r.Artist()).add("Album", r.Album()).add("Track", r.Track());
    o.add("Year", r.Year()).add("Genre", r.Genre()).add("Comment", r.Comment()).add("Composer", r.Composer());
    o.add("Encoder", r.Encoder()).add("Copyright", r.Copyright()).add("Language", r.Language());
    o.add("Link", r.Link());
    return o;
}

JsonObject Fields(const FrameInfo& f)
{
    JsonObject o;
    std::string raw = "[";
    for (std::size_t i = 0; i < f.RawHeader.size(); ++i)
        raw += (i ? ", " : "") + std::to_string(f.RawHeader[i]);
    o.add("Located", f.Located).add("FrameOffset", f.FrameOffset).add("FrameLength", f.FrameLength);
    o.add("ZeroAfterHeader", f.ZeroAfterHeader).raw("RawHeader", raw + "]");
    o.add("VersionCode", f.VersionCode).add("LayerCode", f.LayerCode).add("HasCrc", f.HasCrc);
    o.add("BitRateCode", f.BitRateCode).add("SampleRateCode", f.SampleRateCode).add("HasPadding", f.HasPadding);
    o.add("PrivateFlag", f.PrivateFlag).add("ModeCode", f.ModeCode).add("ModeExtensionCode", f.ModeExtensionCode);
    o.add("CopyrightFlag", f.CopyrightFlag).add("OriginalFlag", f.OriginalFlag).add("EmphasisCode", f.EmphasisCode);
    return o;
}

JsonObject Fields(const VBRData& v)
{
    JsonObject o;
    o.add("Present", v.Present).add("Id", v.Id).add("FrameCount", v.FrameCount).add("ByteCount", v.ByteCount);
    o.add("Quality", v.Quality).add("VendorText", v.VendorText);
    return o;
}

JsonObject Fields(const FrameSample& s)
{
    JsonObject o;
    o.add("AudioBytes", s.AudioBytes).add("Frames", s.Frames).add("Bytes", s.Bytes).add("Varies", s.Varies);
    return o;
}

JsonObject Fields(const TMPEGaudio& r)
{
    JsonObject o;
    o.add("FileSize", r.FileSize()).add("EncoderText", r.EncoderText()).add("VBR", Fields(r.VBR()));
    o.add("Sample", Fields(r.Sample()));
    o.add("Frame", Fields(r.Frame())).add("Id3v1Tag", Fields(r.Id3v1Tag())).add("Id3v2Tag", Fields(r.Id3v2Tag()));
    o.add("BitRateKbps", r.BitRateKbps()).add("SampleRate", r.SampleRate());
    o.add("ChannelModeText", r.ChannelModeText()).add("DurationSeconds", r.DurationSeconds());
    o.add("EncoderId", r.EncoderId()).add("EncoderName", r.EncoderName()).add("IsPlausible", r.IsPlausible());
    return o;
}

JsonObject Fields(const OggVorbis::TOggVorbis& r)
{
    JsonObject o;
    o.add("FileSize", r.FileSize()).add("ChannelCount", r.ChannelCount()).add("SampleRate", r.SampleRate());
    o.add("NominalBitRateKbps", r.NominalBitRateKbps()).add("SampleCount", r.SampleCount());
    o.add("Id3v2Size", r.Id3v2Size()).add("Title", r.Title()).add("Artist", r.Artist()).add("Album", r.Album());
    o.add("Date", r.Date()).add("Genre", r.Genre()).add("Comment", r.Comment()).add("Track", r.Track());
    o.add("Vendor", r.Vendor()).add("DurationSeconds", r.DurationSeconds()).add("BitRateKbps", r.BitRateKbps());
    o.add("IsPlausible", r.IsPlausible()).add("OpenError", r.OpenError());
    return o;
}

JsonObject Fields(const OggVorbisinf::TOggVorbis& r)
{
    JsonObject o;
    o.add("Recognised", r.Recognised()).add("FileSize", r.FileSize()).add("ChannelCount", r.ChannelCount());
    o.add("SampleRate", r.SampleRate()).add("NominalBitRateKbps", r.NominalBitRateKbps());
    o.add("SampleCount", r.SampleCount()).add("Title", r.Title()).add("Artist", r.Artist()).add("Album", r.Album());
    o.add("Date", r.Date()).add("Genre", r.Genre()).add("Comment", r.Comment()).add("Track", r.Track());
    o.add("Vendor", r.Vendor()).add("DurationSeconds", r.DurationSeconds()).add("BitRateKbps", r.BitRateKbps());
    o.add("IsDamaged", r.IsDamaged()).add("ChannelModeText", r.ChannelModeText());
    return o;
}

JsonObject Fields(const TWMAfile& r)
{
    JsonObject o;
    o.add("Recognised", r.Recognised()).add("FileSize", r.FileSize()).add("ChannelCount", r.ChannelCount());
    o.add("SampleRate", r.SampleRate()).add("DurationSeconds", r.DurationSeconds());
    o.add("BitRateKbps", r.BitRateKbps()).add("Title", r.Title()).add("Artist", r.Artist()).add("Album", r.Album());
    o.add("Year", r.Year()).add("Genre", r.Genre()).add("Comment", r.Comment()).add("Track", r.Track());
    o.add("ChannelModeText", r.ChannelModeText());
    return o;
}

JsonObject Fields(const WAVfile::TWAVfile& r)
{
    JsonObject o;
    o.add("Recognised", r.Recognised()).add("ChannelCount", r.ChannelCount()).add("SampleRate", r.SampleRate());
    o.add("BitsPerSample", r.BitsPerSample()).add("FileSize", r.FileSize());
    o.add("DurationSeconds", r.DurationSeconds());
    return o;
}

JsonObject Fields(const WAVfileinf::TWAVfile& r)
{
    JsonObject o;
    o.add("Recognised", r.Recognised()).add("FormatTag", r.FormatTag()).add("ChannelCount", r.ChannelCount());
    o.add("SampleRate", r.SampleRate()).add("ByteRate", r.ByteRate()).add("BlockAlign", r.BlockAlign());
    o.add("BitsPerSample", r.BitsPerSample()).add("SampleCount", r.SampleCount());
    o.add("HeaderSize", r.HeaderSize()).add("FileSize", r.FileSize()).add("DurationSeconds", r.DurationSeconds());
    o.add("ChannelModeText", r.ChannelModeText()).add("BitRateKbps", r.BitRateKbps());
    return o;
}

JsonObject Fields(const TMonkey& r)
{
    JsonObject o;
    o.add("FileSize", r.FileSize()).add("Magic", r.Magic()).add("FormatVersion", r.FormatVersion());
    o.add("CompressionLevel", r.CompressionLevel()).add("FormatFlags", r.FormatFlags());
    o.add("ChannelCount", r.ChannelCount()).add("SampleRate", r.SampleRate()).add("HeaderBytes", r.HeaderBytes());
    o.add("TerminatingBytes", r.TerminatingBytes()).add("TotalFrames", r.TotalFrames());
    o.add("FinalFrameSamples", r.FinalFrameSamples()).add("PeakLevel", r.PeakLevel());
    o.add("SeekElements", r.SeekElements()).add("Id3v1Tag", Fields(r.Id3v1Tag()));
    o.add("IsPlausible", r.IsPlausible()).add("BitsPerSample", r.BitsPerSample());
    o.add("ChannelModeText", r.ChannelModeText()).add("SamplesPerFrame", r.SamplesPerFrame());
    o.add("TotalSamples", r.TotalSamples()).add("DurationSeconds", r.DurationSeconds());
    return o;
}

JsonObject Fields(const TAPEtag& r)
{
    JsonObject o;
    o.add("TagFound", r.TagFound()).add("TagVersion", r.TagVersion()).add("TagSize", r.TagSize());
    o.add("Title", r.Title()).add("Artist", r.Artist()).add("Album", r.Album()).add("Track", r.Track());
    o.add("Year", r.Year()).add("Genre", r.Genre()).add("Comment", r.Comment()).add("Copyright", r.Copyright());
    return o;
}

JsonObject Fields(const TTwinVQ& r)
{
    JsonObject o;
    o.add("Recognised", r.Recognised()).add("ChannelCount", r.ChannelCount()).add("BitRateKbps", r.BitRateKbps());
    o.add("SampleRate", r.SampleRate()).add("FileSize", r.FileSize()).add("DurationSeconds", r.DurationSeconds());
    o.add("Title", r.Title()).add("Comment", r.Comment()).add("Author", r.Author()).add("Copyright", r.Copyright());
    o.add("SourceFile", r.SourceFile()).add("ChannelModeText", r.ChannelModeText()).add("IsDamaged", r.IsDamaged());
    return o;
}

// Reads the file with a fresh reader of type Reader and prints its line.
template <typename Reader> void Probe(const std::string& file, std::string_view name)
{
    Reader reader;
    bool read = reader.Read(file);
    JsonObject line;
    line.add("file", file).add("reader", std::string(name)).add("read", read).add("fields", Fields(reader));
    std::printf("%s\n", line.str().c_str());
}

struct ReaderEntry {
    std::string_view name;
    void (*probe)(const std::string&, std::string_view);
};

const std::vector<ReaderEntry> kReaders = {
    {"id3v1", Probe<TID3v1>},
    {"id3v2", Probe<TID3v2>},
    {"mpeg", Probe<TMPEGaudio>},
    {"ogg", Probe<OggVorbis::TOggVorbis>},
    {"ogginf", Probe<OggVorbisinf::TOggVorbis>},
    {"wma", Probe<TWMAfile>},
    {"wav", Probe<WAVfile::TWAVfile>},
    {"wavinf", Probe<WAVfileinf::TWAVfile>},
    {"monkey", Probe<TMonkey>},
    {"apetag", Probe<TAPEtag>},
    {"twinvq", Probe<TTwinVQ>},
};

int Usage()
{
    std::fprintf(stderr, "usage: orvella-probe READER FILE...\nREADER: ");
    for (const ReaderEntry& r : kReaders)
        std::fprintf(stderr, "%.*s ", static_cast<int>(r.name.size()), r.name.data());
    std::fprintf(stderr, "all\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    std::string_view wanted = argv[1];
    std::vector<const ReaderEntry*> readers;
    for (const ReaderEntry& r : kReaders)
        if (wanted == "all" || wanted == r.name)
            readers.push_back(&r);
    if (readers.empty())
        return Usage();

    int status = 0;
    for (int i = 2; i < argc; ++i) {
        std::string file = argv[i];
        std::error_code error;
        if (!std::filesystem::exists(file, error)) {
            std::fprintf(stderr, "orvella-probe: %s: no such file\n", file.c_str());
            status = 1;
            continue;
        }
        for (const ReaderEntry* r : readers)
            r->probe(file, r->name);
    }
    return status;
}
