// pcmkit-convert [--plugin PATH] [--set KEY=VALUE]... INPUT OUTPUT.wav
//
// Loads the waveform plug-in as a host does, plays INPUT through it and writes
// the PCM it delivers to OUTPUT.wav as fast as it comes. --set writes a
// setting into the ini file the plug-in reads (section IN_PCMKIT) first.
// Prints the output format and exits 0 on success; prints the plug-in's
// messages and exits 1 when it cannot play the file, 2 on a usage error.

#include "WavOutput.h"

#include "Settings.h"

#include "platform/dynlib.h"
#include "platform/folders.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/winmsg.h"
#include "player/plugin_api.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Options {
    std::string plugin;
    std::vector<std::pair<std::string, std::string>> settings;
    std::string input;
    std::string output;
};

int usage()
{
    std::fprintf(stderr, "usage: pcmkit-convert [--plugin PATH] [--set KEY=VALUE]... INPUT OUTPUT.wav\n");
    return 2;
}

bool parseArguments(int argc, char** argv, Options& o)
{
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--set" || arg == "--plugin") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "--plugin") {
                o.plugin = value;
                continue;
            }
            const std::size_t eq = value.find('=');
            if (eq == std::string::npos || eq == 0)
                return false;
            o.settings.emplace_back(value.substr(0, eq), value.substr(eq + 1));
        } else if (arg.rfind("--", 0) == 0) {
            return false;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2)
        return false;
    o.input = files[0];
    o.output = files[1];
    if (o.plugin.empty())
        o.plugin = platform::ProgramFolder() + "../orvella/Plugins/in_pcmkit.so";
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseArguments(argc, argv, options))
        return usage();

    const std::string ini = pcmkit::settings_file();
    for (const auto& [key, value] : options.settings)
        if (!platform::ProfileFile(ini).writeString("IN_PCMKIT", key, value)) {
            std::fprintf(stderr, "pcmkit-convert: cannot write %s\n", ini.c_str());
            return 1;
        }

    // The plug-in's boxes become messages on standard error.
    int boxes = 0;
    platform::SetMessageBoxPresenter([&boxes](const platform::MessageBoxRequest& box) {
        ++boxes;
        std::fprintf(stderr, "%s%s%s\n", box.caption.c_str(), box.caption.empty() ? "" : ": ", box.text.c_str());
        return platform::DefaultMessageBoxAnswer(box.type);
    });

    platform::DynamicLibrary library;
    if (!library.open(options.plugin)) {
        std::fprintf(stderr, "pcmkit-convert: %s\n", library.error().c_str());
        return 1;
    }
    auto getModule = library.function<GetInModuleFunc>(PLUGIN_EXPORT_NAME);
    TInModule* in = getModule ? getModule() : nullptr;
    if (!in) {
        std::fprintf(stderr, "pcmkit-convert: %s is not an input plug-in\n", options.plugin.c_str());
        return 1;
    }

    // Every other message, the download request included, is answered 0.
    bool finished = false;
    HWND window = platform::CreateMessageWindow([&finished](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == PLUGIN_EOF)
            finished = true;
        return 0;
    });
    in->MainWindow = window;
    in->DLLInstance = library.handle();
    in->OutModule = pcmkit_convert::WavOutputModule(options.output);
    in->Init();
    // The host's entries the plug-in may call: nothing to visualise, no DSP.
    in->VisInit = [](int, int) {};
    in->VisDeInit = [] {};
    in->SpectrumAddPCM = [](void*, int, int, int) {};
    in->SpectrumGetMode = [] { return 0; };
    in->SpectrumAdd = [](void*, int) {};
    in->VisAddPCM = [](void*, int, int, int) {};
    in->VisGetMode = [] { return 0; };
    in->VisAdd = [](void*, int) {};
    in->VisSetInfo = [](int, int) {};
    in->DSPIsActive = [] { return 0; };
    in->DSPDoSamples = [](void*, int frames, int, int, int) { return frames; };
    in->SetInfo = [](int, int, int, int) {};

    int played = in->Play(options.input.c_str());
    while (played == 0 && !finished) {
        WaitMessage();
        PumpMessages();
    }
    in->Stop();
    in->Quit();
    DestroyWindow(window);

    pcmkit_convert::WavResult result = pcmkit_convert::FinishWavOutput();
    if (played != 0) {
        if (boxes == 0)
            std::fprintf(stderr, "pcmkit-convert: cannot %s %s\n", played < 0 ? "open" : "write",
                         played < 0 ? options.input.c_str() : options.output.c_str());
        return 1;
    }
    if (!result.ok) {
        std::fprintf(stderr, "pcmkit-convert: cannot write %s\n", options.output.c_str());
        return 1;
    }
    std::printf("PCM, %d Hz, %d channel(s), %d bits per sample, %lld frames\n", result.rate, result.channels,
                result.bits, static_cast<long long>(result.frames));
    return 0;
}
