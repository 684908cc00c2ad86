// The TwinVQ header and its chunk walk.

#include "FuzzFile.h"
#include "fileinfo/TwinVQ.h"

using fuzzfile::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = fuzzfile::Write(data, size);
    static fileinfo::TTwinVQ reused;
    fileinfo::TTwinVQ fresh;
    Check(reused.Read(path) == fresh.Read(path) && reused.Title() == fresh.Title());
    Check(reused.SourceFile() == fresh.SourceFile() &&
          fuzzfile::Same(reused.DurationSeconds(), fresh.DurationSeconds()));
    fuzzfile::CheckSizes({&fresh.Title(), &fresh.Comment(), &fresh.Author(), &fresh.Copyright(), &fresh.SourceFile()},
                         250);
    // Rates are whole: thousands of the rate code, or the three rates of the 11.025 kHz family.
    const uint32_t rate = fresh.SampleRate();
    Check(rate % 1000 == 0 || rate == 11025 || rate == 22050 || rate == 44100);
    fresh.IsDamaged();
    return 0;
}
