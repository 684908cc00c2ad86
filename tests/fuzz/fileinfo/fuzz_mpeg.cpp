// MPEG audio with its ID3v1 and ID3v2 tags. A reader that read another input
// before must find exactly what a fresh one finds.

#include "FuzzFile.h"
#include "fileinfo/MPEGaudio.h"

using fileinfo::TMPEGaudio;
using fuzzfile::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = fuzzfile::Write(data, size);
    static TMPEGaudio reused;
    TMPEGaudio fresh;
    bool a = reused.Read(path), b = fresh.Read(path);
    Check(a == b && reused.Frame().Located == fresh.Frame().Located);
    Check(reused.Id3v2Tag().Title() == fresh.Id3v2Tag().Title() && reused.EncoderText() == fresh.EncoderText());
    Check(fuzzfile::Same(reused.DurationSeconds(), fresh.DurationSeconds()));

    // 250 stored bytes give at most 125 UTF-16 units, each at most 3 bytes of UTF-8.
    const auto& v2 = fresh.Id3v2Tag();
    const std::initializer_list<const std::string*> v2Texts = {
        &v2.Title(),    &v2.Artist(),  &v2.Album(),     &v2.Year(),     &v2.Genre(), &v2.Comment(),
        &v2.Composer(), &v2.Encoder(), &v2.Copyright(), &v2.Language(), &v2.Link()};
    fuzzfile::CheckSizes(v2Texts, 250 / 2 * 3);
    // Versions 2.2 and 2.4 end every text at its terminator (2.3 keeps raw bytes).
    if (v2.TagVersion() != 3)
        for (const std::string* text : v2Texts)
            Check(text->find('\0') == std::string::npos);
    Check(v2.TagVersion() != 4 || v2.Year().size() <= 4);
    const auto& v1 = fresh.Id3v1Tag();
    Check(v1.Title().size() <= 30 && v1.Comment().size() <= 30 && v1.Year().size() <= 4);
    Check(v2.TagSize() >= 0 && v2.TagSize() <= static_cast<int64_t>(size));
    Check(!fresh.IsPlausible() || fresh.Frame().Located);
    Check(fresh.Frame().Located || fresh.FileSize() == 0);
    fresh.EncoderName();
    fresh.ChannelModeText();
    // Frames of a file without a frame count are followed over at most 16 spans of 8 KB and a
    // frame, however large the file.
    const fileinfo::FrameSample& sample = fresh.Sample();
    Check(sample.AudioBytes <= static_cast<int64_t>(size) && sample.Frames * 4 <= sample.Bytes);
    Check(sample.Bytes <= 16 * (8192 + 2881));
    Check(fresh.DurationSeconds() >= 0 || !fresh.Frame().Located);
    return 0;
}
