// The plug-in's one export.

#include "Module.h"

extern "C" __attribute__((visibility("default"))) TInModule* tovarroGetInModule2()
{
    return &media::plugin_module();
}
