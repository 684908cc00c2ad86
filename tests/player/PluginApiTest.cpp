// The plug-in header from C++: every field in its documented order.

#include "player/plugin_api.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace {

bool Increasing(const std::vector<std::size_t>& offsets)
{
    for (std::size_t i = 1; i < offsets.size(); ++i)
        if (offsets[i] <= offsets[i - 1])
            return false;
    return true;
}

} // namespace

#define AT(record, field) offsetof(record, field)

TEST(PluginApi, InputModuleFieldsKeepTheirOrder)
{
    EXPECT_TRUE(Increasing({AT(TInModule, Version),
                            AT(TInModule, Description),
                            AT(TInModule, MainWindow),
                            AT(TInModule, DLLInstance),
                            AT(TInModule, FileExtensions),
                            AT(TInModule, IsSeekable),
                            AT(TInModule, UsesOutputModule),
                            AT(TInModule, Config),
                            AT(TInModule, About),
                            AT(TInModule, Init),
                            AT(TInModule, Quit),
                            AT(TInModule, GetFileInfo),
                            AT(TInModule, InfoBox),
                            AT(TInModule, IsOurFile),
                            AT(TInModule, Play),
                            AT(TInModule, Pause),
                            AT(TInModule, UnPause),
                            AT(TInModule, IsPaused),
                            AT(TInModule, Stop),
                            AT(TInModule, GetLength),
                            AT(TInModule, GetOutputTime),
                            AT(TInModule, SetOutputTime),
                            AT(TInModule, SetVolume),
                            AT(TInModule, SetPan),
                            AT(TInModule, VisInit),
                            AT(TInModule, VisDeInit),
                            AT(TInModule, SpectrumAddPCM),
                            AT(TInModule, SpectrumGetMode),
                            AT(TInModule, SpectrumAdd),
                            AT(TInModule, VisAddPCM),
                            AT(TInModule, VisGetMode),
                            AT(TInModule, VisAdd),
                            AT(TInModule, VisSetInfo),
                            AT(TInModule, DSPIsActive),
                            AT(TInModule, DSPDoSamples),
                            AT(TInModule, EQSet),
                            AT(TInModule, SetInfo),
                            AT(TInModule, OutModule)}));
}

TEST(PluginApi, OutputModuleFieldsKeepTheirOrder)
{
    EXPECT_TRUE(Increasing({AT(TOutModule, Version),       AT(TOutModule, Description),   AT(TOutModule, ID),
                            AT(TOutModule, MainWindow),    AT(TOutModule, DLLInstance),   AT(TOutModule, Config),
                            AT(TOutModule, About),         AT(TOutModule, Init),          AT(TOutModule, Quit),
                            AT(TOutModule, Open),          AT(TOutModule, Close),         AT(TOutModule, Write),
                            AT(TOutModule, CanWrite),      AT(TOutModule, IsPlaying),     AT(TOutModule, Pause),
                            AT(TOutModule, SetVolume),     AT(TOutModule, SetPan),        AT(TOutModule, Flush),
                            AT(TOutModule, GetOutputTime), AT(TOutModule, GetWrittenTime)}));
    EXPECT_STREQ(PLUGIN_EXPORT_NAME, "tovarroGetInModule2");
}
