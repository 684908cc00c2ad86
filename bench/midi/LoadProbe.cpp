// Runs in a fresh process that already holds what a host holds (Qt and
// libplatform) and prints microseconds:
//   midi_load_probe PLUGIN.so   dlopen, the export and Init
//   midi_load_probe --synth     FluidSynth and the SoundFont, as for a first song

#include "Renderer.h"
#include "Settings.h"

#include "player/plugin_api.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>

namespace {

using Clock = std::chrono::steady_clock;

long microsecondsSince(Clock::time_point start)
{
    return long(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const auto start = Clock::now();
    if (std::strcmp(argv[1], "--synth") == 0) {
        std::string why;
        if (!midi::Synth::Create(midi::find_soundfont(), &why))
            return 1;
    } else {
        void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
        auto get = library ? reinterpret_cast<GetInModuleFunc>(dlsym(library, PLUGIN_EXPORT_NAME)) : nullptr;
        TInModule* module = get ? get() : nullptr;
        if (!module)
            return 1;
        module->Init();
    }
    std::printf("%ld\n", microsecondsSince(start));
    return 0;
}
