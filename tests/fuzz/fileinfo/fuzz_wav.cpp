// Both WAV readers.

#include "FuzzFile.h"
#include "fileinfo/WAVfile.h"
#include "fileinfo/WAVfileinf.h"

using fuzzfile::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = fuzzfile::Write(data, size);
    static fileinfo::WAVfile::TWAVfile reusedPlayer;
    fileinfo::WAVfile::TWAVfile player;
    Check(reusedPlayer.Read(path) == player.Read(path) && reusedPlayer.Recognised() == player.Recognised());
    Check(fuzzfile::Same(reusedPlayer.DurationSeconds(), player.DurationSeconds()));

    static fileinfo::WAVfileinf::TWAVfile reusedDisplay;
    fileinfo::WAVfileinf::TWAVfile display;
    Check(reusedDisplay.Read(path) == display.Read(path) && reusedDisplay.SampleCount() == display.SampleCount());
    Check(fuzzfile::Same(reusedDisplay.DurationSeconds(), display.DurationSeconds()));
    Check(player.Recognised() == display.Recognised() || size < 44);
    return 0;
}
