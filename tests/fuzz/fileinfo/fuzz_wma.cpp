// The ASF header walk.

#include "FuzzFile.h"
#include "fileinfo/WMAfile.h"

using fuzzfile::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = fuzzfile::Write(data, size);
    static fileinfo::TWMAfile reused;
    fileinfo::TWMAfile fresh;
    bool read = fresh.Read(path);
    Check(reused.Read(path) == read && reused.Title() == fresh.Title() && reused.Track() == fresh.Track());
    Check(fuzzfile::Same(reused.DurationSeconds(), fresh.DurationSeconds()));
    // 250 UTF-16 units at most, three UTF-8 bytes each.
    fuzzfile::CheckSizes(
        {&fresh.Title(), &fresh.Artist(), &fresh.Album(), &fresh.Year(), &fresh.Genre(), &fresh.Comment()}, 750);
    Check(read || !fresh.Recognised());
    Check(!fresh.Recognised() || (fresh.ChannelCount() >= 1 && fresh.ChannelCount() <= 2));
    // The play duration less the preroll when it is positive, else the size at a positive bit rate.
    Check(fresh.DurationSeconds() >= 0 && fresh.DurationSeconds() < 2e12);
    return 0;
}
