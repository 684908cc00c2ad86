// Both Ogg Vorbis readers.

#include "FuzzFile.h"
#include "fileinfo/OggVorbis.h"
#include "fileinfo/OggVorbisinf.h"

using fuzzfile::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = fuzzfile::Write(data, size);

    static fileinfo::OggVorbis::TOggVorbis reusedPlayer;
    fileinfo::OggVorbis::TOggVorbis player;
    Check(reusedPlayer.Read(path) == player.Read(path) && reusedPlayer.Title() == player.Title());
    Check(fuzzfile::Same(reusedPlayer.DurationSeconds(), player.DurationSeconds()));
    Check(player.OpenError() == 0);
    // 250 bytes of a value, each byte of a broken sequence becoming the three of U+FFFD.
    fuzzfile::CheckSizes(
        {&player.Title(), &player.Artist(), &player.Album(), &player.Date(), &player.Genre(), &player.Comment()}, 750);
    Check(player.Vendor().size() <= 250);
    Check(player.Id3v2Size() >= 0 && player.Id3v2Size() <= static_cast<int64_t>(size));
    player.IsPlausible();

    static fileinfo::OggVorbisinf::TOggVorbis reusedDisplay;
    fileinfo::OggVorbisinf::TOggVorbis display;
    Check(reusedDisplay.Read(path) == display.Read(path) && reusedDisplay.Artist() == display.Artist());
    Check(fuzzfile::Same(reusedDisplay.DurationSeconds(), display.DurationSeconds()));
    fuzzfile::CheckSizes({&display.Title(), &display.Artist(), &display.Album(), &display.Date(), &display.Genre(),
                          &display.Comment(), &display.Vendor()},
                         750);
    Check(display.Recognised() || display.ChannelCount() == 0);
    display.IsDamaged();
    return 0;
}
