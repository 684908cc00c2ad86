// Monkey's Audio descriptor and the APE tag, which live in the same files.

#include "FuzzFile.h"
#include "fileinfo/APEtag.h"
#include "fileinfo/Monkeyinf.h"

using fuzzfile::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = fuzzfile::Write(data, size);
    static fileinfo::TMonkey reusedMonkey;
    fileinfo::TMonkey monkey;
    Check(reusedMonkey.Read(path) == monkey.Read(path) && reusedMonkey.TotalFrames() == monkey.TotalFrames());
    Check(fuzzfile::Same(reusedMonkey.DurationSeconds(), monkey.DurationSeconds()));
    monkey.BitsPerSample();
    monkey.ChannelModeText();

    static fileinfo::TAPEtag reusedApe;
    fileinfo::TAPEtag ape;
    Check(reusedApe.Read(path) == ape.Read(path) && reusedApe.Title() == ape.Title());
    Check(reusedApe.Track() == ape.Track() && reusedApe.Comment() == ape.Comment());
    // 250 bytes of a value; UTF-8 values may triple where broken sequences become U+FFFD.
    fuzzfile::CheckSizes(
        {&ape.Title(), &ape.Artist(), &ape.Album(), &ape.Year(), &ape.Genre(), &ape.Comment(), &ape.Copyright()},
        ape.TagVersion() <= 1000 ? 250 : 750);
    return 0;
}
