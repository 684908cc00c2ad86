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
    fresh.IsDamaged();
    return 0;
}
