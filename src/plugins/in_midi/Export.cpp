// The plug-in's one export.

#include "Module.h"

extern "C" __attribute__((visibility("default"))) TInModule* tovarroGetInModule2()
{
    return &midi::plugin_module();
}
