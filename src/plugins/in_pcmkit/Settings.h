// The plug-in's settings: module-wide, read at Init from the host's ini file
// (section IN_PCMKIT), written back at Quit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pcmkit {

extern bool cfg_vocsil;       // VOC silence blocks played as silence
extern uint32_t cfg_priority; // index into the priority table, 0..6
extern uint32_t cfg_raw_sr;   // rate of headerless Dialogic VOX files
extern uint32_t cfg_ext_mask; // enabled rows of format_table
extern bool cfg_8216;         // widen 8-bit output to 16 bits
extern bool cfg_downcvt;      // narrow wider integer output to 16 bits
extern bool cfg_mono;         // downmix to one channel
extern bool cfg_dither;       // dither floating-point to integer conversion
extern uint32_t cfg_fdest;    // float output width: 0 = 16, 1 = 24, 2 = 32 bits
extern bool cfg_exploop;      // VOC repeat blocks played out
constexpr std::size_t kExtraExtsSize = 260;
extern char cfg_extra_exts[kExtraExtsSize];

struct format_row {
    const char* extension;
    const char* description;
    bool enabledByDefault;
};
constexpr int kFormatRows = 11;
extern const format_row format_table[kFormatRows];
constexpr int kRowAud = 9;
constexpr int kRowVox = 10;

constexpr int kPriorities = 7;
extern const char* const priority_labels[kPriorities];
int priority_value(uint32_t index); // the thread priority of a table index

// The list offered to the host through FileExtensions.
constexpr std::size_t kExtensionListSize = 1024;
extern char extension_list[kExtensionListSize];
// Builds the list into buffer; returns its length including the final NULs.
std::size_t build_extension_list(char* buffer, std::size_t size);

// Every setting at once, as the plug-in hands them to its dialog library.
struct settings_values {
    bool vocsil;
    uint32_t priority;
    uint32_t raw_sr;
    uint32_t ext_mask;
    bool c8216;
    bool downcvt;
    bool mono;
    bool dither;
    uint32_t fdest;
    bool exploop;
    char extra_exts[kExtraExtsSize];
};
settings_values capture_settings();
void apply_settings(const settings_values& values);

void reset_settings();
void read_settings(const std::string& iniPath);
bool write_settings(const std::string& iniPath);

// The settings file: the host program's path with its extension replaced by
// "ini" (".ini" appended when it has none); in the data folder instead when
// the program's folder is not writable.
std::string settings_file_for(const std::string& programPath, bool folderWritable, const std::string& dataFolder);
std::string settings_file();

// Leading decimal digits as an unsigned number (none gives 0), as the
// settings are read.
uint32_t parse_leading_digits(const std::string& text);

} // namespace pcmkit
