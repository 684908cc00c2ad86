#include "Settings.h"

#include "Renderer.h"

#include "platform/folders.h"
#include "platform/profile.h"

#include <unistd.h>

namespace midi {

std::string cfg_soundfont;

namespace {

constexpr const char* kSection = "IN_MIDI";
constexpr const char* kSoundFontKey = "cfg_soundfont";
constexpr int kMaxPath = 4096;

std::vector<std::string> overridden;

} // namespace

void read_settings(const std::string& iniPath)
{
    std::string text(kMaxPath, '\0');
    const DWORD n = GetPrivateProfileString(kSection, kSoundFontKey, "", text.data(), kMaxPath, iniPath.c_str());
    text.resize(n);
    cfg_soundfont = text;
}

bool write_settings(const std::string& iniPath)
{
    return WritePrivateProfileString(kSection, kSoundFontKey, cfg_soundfont.c_str(), iniPath.c_str());
}

std::string settings_file()
{
    const std::string program = platform::ProgramPath();
    const std::size_t slash = program.rfind('/');
    const std::size_t dot = program.rfind('.');
    const std::string name = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                                 ? program.substr(0, dot + 1) + "ini"
                                 : program + ".ini";
    const std::string folder = program.substr(0, slash + 1);
    if (!folder.empty() && ::access(folder.c_str(), W_OK) == 0)
        return name;
    return platform::DataFolder() + name.substr(slash + 1);
}

const std::vector<std::string>& packaged_soundfonts()
{
    static const std::vector<std::string> packaged = {
        "/usr/share/sounds/sf2/FluidR3_GM.sf2", // fluid-soundfont-gm
        "/usr/share/soundfonts/FluidR3_GM.sf2",
        "/usr/share/sounds/sf2/TimGM6mb.sf2", // timgm6mb-soundfont
        "/usr/share/soundfonts/TimGM6mb.sf2",
        "/usr/share/sounds/sf2/default-GM.sf2", // the alternatives link of any GM package
        "/usr/share/soundfonts/default.sf2",
    };
    return overridden.empty() ? packaged : overridden;
}

void override_packaged_soundfonts(const std::vector<std::string>& paths)
{
    overridden = paths;
}

std::string find_soundfont()
{
    if (!cfg_soundfont.empty() && IsSoundFontFile(cfg_soundfont))
        return cfg_soundfont;
    for (const std::string& path : packaged_soundfonts())
        if (IsSoundFontFile(path))
            return path;
    return "";
}

} // namespace midi
