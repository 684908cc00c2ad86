/* The plug-in header compiles as C, and its records keep their documented
 * order and the 64-bit layout that follows from it (ints 4 bytes, pointers 8). */
#include "player/plugin_api.h"

#include <stddef.h>

_Static_assert(offsetof(TInModule, Version) == 0, "Version");
_Static_assert(offsetof(TInModule, Description) == 8, "Description");
_Static_assert(offsetof(TInModule, MainWindow) == 16, "MainWindow");
_Static_assert(offsetof(TInModule, DLLInstance) == 24, "DLLInstance");
_Static_assert(offsetof(TInModule, FileExtensions) == 32, "FileExtensions");
_Static_assert(offsetof(TInModule, IsSeekable) == 40, "IsSeekable");
_Static_assert(offsetof(TInModule, UsesOutputModule) == 44, "UsesOutputModule");
_Static_assert(offsetof(TInModule, Config) == 48, "Config");
_Static_assert(offsetof(TInModule, GetFileInfo) == 80, "GetFileInfo");
_Static_assert(offsetof(TInModule, Play) == 104, "Play");
_Static_assert(offsetof(TInModule, GetOutputTime) == 152, "GetOutputTime");
_Static_assert(offsetof(TInModule, SetPan) == 176, "SetPan");
_Static_assert(offsetof(TInModule, VisInit) == 184, "VisInit");
_Static_assert(offsetof(TInModule, DSPDoSamples) == 264, "DSPDoSamples");
_Static_assert(offsetof(TInModule, EQSet) == 272, "EQSet");
_Static_assert(offsetof(TInModule, SetInfo) == 280, "SetInfo");
_Static_assert(offsetof(TInModule, OutModule) == 288, "OutModule");
_Static_assert(sizeof(TInModule) == 296, "TInModule: 38 entries");

_Static_assert(offsetof(TOutModule, ID) == 16, "ID");
_Static_assert(offsetof(TOutModule, DLLInstance) == 32, "DLLInstance");
_Static_assert(offsetof(TOutModule, Open) == 72, "Open");
_Static_assert(offsetof(TOutModule, Write) == 88, "Write");
_Static_assert(offsetof(TOutModule, Flush) == 136, "Flush");
_Static_assert(offsetof(TOutModule, GetWrittenTime) == 152, "GetWrittenTime");
_Static_assert(sizeof(TOutModule) == 160, "TOutModule: 20 entries");

_Static_assert(offsetof(OutputFormat, SampleRate) == 4 && offsetof(OutputFormat, Channels) == 8, "OutputFormat");

_Static_assert(PLUGIN_EOF == 1026 && PLUGIN_OUTPUT_STARTED == 1125 && CLEAR_CURRENT_PLUGIN == 1127 &&
                   PLUGIN_CHANNEL == 1129 && STREAM_END == 1131 && FFT_DATA_READY == 1132 && SET_PLUGIN_FIRST == 1133,
               "message numbers");
