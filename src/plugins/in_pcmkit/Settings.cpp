#include "Settings.h"

#include "platform/folders.h"
#include "platform/profile.h"

#include <cstring>
#include <unistd.h>
#include <utility>
#include <vector>

namespace pcmkit {

bool cfg_vocsil;
uint32_t cfg_priority;
uint32_t cfg_raw_sr;
uint32_t cfg_ext_mask;
bool cfg_8216;
bool cfg_downcvt;
bool cfg_mono;
bool cfg_dither;
uint32_t cfg_fdest;
bool cfg_exploop;
char cfg_extra_exts[kExtraExtsSize];

char extension_list[kExtensionListSize];

const format_row format_table[kFormatRows] = {
    {"WAV", "Windows waveform", true},
    {"VOC", "Creative VOC", true},
    {"AU", "Next/Sun", true},
    {"SND", "Next/Sun", true},
    {"AIF", "Apple AIFF", true},
    {"AIFF", "Apple AIFF", true},
    {"AIFC", "Apple AIFF", false},
    {"IFF", "Amiga 8SVX", false},
    {"SVX", "Amiga 8SVX", false},
    {"AUD", "Westwood AUD format", false},
    {"VOX", "Dialogic ADPCM (VOX)", false},
};

const char* const priority_labels[kPriorities] = {"idle",         "lowest",  "below normal", "normal",
                                                  "above normal", "highest", "time critical"};

int priority_value(uint32_t index)
{
    static constexpr int values[kPriorities] = {
        THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
        THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL};
    return values[index < kPriorities ? index : kPriorities - 1];
}

namespace {

constexpr const char* kSection = "IN_PCMKIT";
constexpr uint32_t kDefaultExtMask = 63;

// Appends text and a NUL when it fits.
bool append(char* buffer, std::size_t size, std::size_t& used, const std::string& text)
{
    if (used + text.size() + 1 > size)
        return false;
    std::memcpy(buffer + used, text.data(), text.size());
    used += text.size();
    buffer[used++] = '\0';
    return true;
}

std::string joined(const std::vector<const char*>& items, char separator)
{
    std::string text;
    for (const char* item : items) {
        if (!text.empty())
            text += separator;
        text += item;
    }
    return text;
}

} // namespace

std::size_t build_extension_list(char* buffer, std::size_t size)
{
    std::size_t used = 0;
    if (size < 2)
        return 0;
    const char* description = nullptr;
    std::vector<const char*> run;
    auto closeRun = [&] {
        if (!run.empty())
            append(buffer, size - 1, used, joined(run, ';')) &&
                append(buffer, size - 1, used, std::string(description) + " (" + joined(run, ',') + ")");
        run.clear();
    };
    for (int row = 0; row < kFormatRows; ++row) {
        const format_row& r = format_table[row];
        // A row of another description ends the run, enabled or not.
        if (description && std::strcmp(description, r.description) != 0)
            closeRun();
        description = r.description;
        if (cfg_ext_mask & (1u << row))
            run.push_back(r.extension);
    }
    closeRun();
    if (cfg_extra_exts[0]) {
        std::string typed = cfg_extra_exts;
        std::string listed = typed;
        for (char& c : listed)
            if (c == ';')
                c = ',';
        std::size_t before = used;
        if (!append(buffer, size - 1, used, typed) ||
            !append(buffer, size - 1, used, "Other WAV types (" + listed + ")"))
            used = before;
    }
    if (used == 0)
        buffer[used++] = '\0';
    buffer[used++] = '\0';
    return used;
}

void reset_settings()
{
    cfg_vocsil = false;
    cfg_priority = 4;
    cfg_raw_sr = 6000;
    cfg_ext_mask = kDefaultExtMask;
    cfg_8216 = false;
    cfg_downcvt = false;
    cfg_mono = false;
    cfg_dither = false;
    cfg_fdest = 0;
    cfg_exploop = true;
    cfg_extra_exts[0] = '\0';
}

settings_values capture_settings()
{
    settings_values v{cfg_vocsil, cfg_priority, cfg_raw_sr, cfg_ext_mask, cfg_8216, cfg_downcvt,
                      cfg_mono,   cfg_dither,   cfg_fdest,  cfg_exploop,  {}};
    std::memcpy(v.extra_exts, cfg_extra_exts, kExtraExtsSize);
    return v;
}

void apply_settings(const settings_values& v)
{
    cfg_vocsil = v.vocsil;
    cfg_priority = v.priority;
    cfg_raw_sr = v.raw_sr;
    cfg_ext_mask = v.ext_mask;
    cfg_8216 = v.c8216;
    cfg_downcvt = v.downcvt;
    cfg_mono = v.mono;
    cfg_dither = v.dither;
    cfg_fdest = v.fdest;
    cfg_exploop = v.exploop;
    std::memcpy(cfg_extra_exts, v.extra_exts, kExtraExtsSize);
    cfg_extra_exts[kExtraExtsSize - 1] = '\0';
}

uint32_t parse_leading_digits(const std::string& text)
{
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > UINT32_MAX)
            return UINT32_MAX; // too many digits: the largest value
    }
    return static_cast<uint32_t>(value);
}

namespace {

// The keys in their stored order; the text setting comes last.
struct setting_key {
    const char* key;
    uint32_t* number;
    bool* flag;
};

const setting_key kKeys[] = {
    {"cfg_vocsil", nullptr, &cfg_vocsil}, {"cfg_priority", &cfg_priority, nullptr},
    {"cfg_raw_sr", &cfg_raw_sr, nullptr}, {"cfg_ext_mask", &cfg_ext_mask, nullptr},
    {"cfg_8216", nullptr, &cfg_8216},     {"cfg_downcvt", nullptr, &cfg_downcvt},
    {"cfg_mono", nullptr, &cfg_mono},     {"cfg_dither", nullptr, &cfg_dither},
    {"cfg_fdest", &cfg_fdest, nullptr},   {"cfg_exploop", nullptr, &cfg_exploop},
};
constexpr const char* kExtraExtsKey = "cfg_extra_exts";

} // namespace

void read_settings(const std::string& iniPath)
{
    reset_settings();
    for (const setting_key& k : kKeys) {
        uint32_t current = k.number ? *k.number : (*k.flag ? 1 : 0);
        char text[64];
        GetPrivateProfileString(kSection, k.key, std::to_string(current).c_str(), text, sizeof text, iniPath.c_str());
        uint32_t value = parse_leading_digits(text);
        if (k.number)
            *k.number = value;
        else
            *k.flag = value != 0;
    }
    // Only the table's priorities exist; anything larger is the highest one.
    if (cfg_priority >= kPriorities)
        cfg_priority = kPriorities - 1;
    GetPrivateProfileString(kSection, kExtraExtsKey, "", cfg_extra_exts, kExtraExtsSize, iniPath.c_str());
}

bool write_settings(const std::string& iniPath)
{
    std::vector<std::pair<std::string, std::string>> values;
    for (const setting_key& k : kKeys)
        values.emplace_back(k.key, std::to_string(k.number ? *k.number : (*k.flag ? 1 : 0)));
    values.emplace_back(kExtraExtsKey, cfg_extra_exts);
    return platform::ProfileFile(iniPath).writeStrings(kSection, values);
}

std::string settings_file_for(const std::string& programPath, bool folderWritable, const std::string& dataFolder)
{
    std::size_t slash = programPath.rfind('/');
    std::size_t dot = programPath.rfind('.');
    std::string path = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                           ? programPath.substr(0, dot + 1) + "ini"
                           : programPath + ".ini";
    if (folderWritable)
        return path;
    return dataFolder + path.substr(slash == std::string::npos ? 0 : slash + 1);
}

std::string settings_file()
{
    std::string program = platform::ProgramPath();
    std::string folder = program.substr(0, program.rfind('/') + 1);
    bool writable = !folder.empty() && ::access(folder.c_str(), W_OK) == 0;
    return settings_file_for(program, writable, writable ? std::string() : platform::DataFolder());
}

} // namespace pcmkit
