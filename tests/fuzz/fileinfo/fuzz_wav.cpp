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
    bool displayRead = display.Read(path);
    Check(reusedDisplay.Read(path) == displayRead && reusedDisplay.SampleCount() == display.SampleCount());
    Check(fuzzfile::Same(reusedDisplay.DurationSeconds(), display.DurationSeconds()));
    // Both apply the same header test; the display side fails when a fact chunk it looks for is cut off.
    Check(player.Recognised() == display.Recognised() || size < 44 || !displayRead);
    // A size field that is no size gives way to the real one, so neither claims more than the file.
    Check(player.FileSize() >= 0 && player.FileSize() <= static_cast<int64_t>(size));
    Check(display.FileSize() >= 0 && display.FileSize() <= static_cast<int64_t>(size));
    return 0;
}
