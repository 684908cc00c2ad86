// Settings: defaults, how stored values are read, what Quit writes, the
// extension list offered to the host, and where the settings file lives.

#include "PcmkitTest.h"

#include "Module.h"

#include "support/TempDir.h"

#include "platform/folders.h"

#include <gtest/gtest.h>

using namespace pcmkit;
using namespace pcmkit_test;

namespace {

// A literal with its embedded NULs (all but the one the compiler adds).
template <std::size_t N> std::string Nul(const char (&text)[N])
{
    return std::string(text, N - 1);
}

std::string List()
{
    char buffer[kExtensionListSize];
    std::size_t n = build_extension_list(buffer, sizeof buffer);
    return std::string(buffer, n);
}

} // namespace

TEST(ExtensionList, GroupsEnabledRowsByDescription)
{
    SettingsScope settings;
    reset_settings();
    EXPECT_EQ(List(), Nul("WAV\0Windows waveform (WAV)\0VOC\0Creative VOC (VOC)\0AU;SND\0Next/Sun (AU,SND)\0"
                          "AIF;AIFF\0Apple AIFF (AIF,AIFF)\0\0"));
    cfg_ext_mask = 0;
    EXPECT_EQ(List(), Nul("\0\0"));
    cfg_ext_mask = 0x48;
    EXPECT_EQ(List(), Nul("SND\0Next/Sun (SND)\0AIFC\0Apple AIFF (AIFC)\0\0"));
    // A disabled row of the same description does not split a run; bits past the table count for nothing.
    cfg_ext_mask = 0x50 | 0x600 | 0x800;
    EXPECT_EQ(List(), Nul("AIF;AIFC\0Apple AIFF (AIF,AIFC)\0AUD\0Westwood AUD format (AUD)\0"
                          "VOX\0Dialogic ADPCM (VOX) (VOX)\0\0"));
    cfg_ext_mask = 1;
    std::strcpy(cfg_extra_exts, "MYW;XWV");
    EXPECT_EQ(List(), Nul("WAV\0Windows waveform (WAV)\0MYW;XWV\0Other WAV types (MYW,XWV)\0\0"));
}

TEST(Settings, StoredValuesAreReadByTheirLeadingDigits)
{
    SettingsScope scope;
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("host.ini"), "[in_pcmkit]\ncfg_raw_sr=12abc\ncfg_ext_mask=-5\ncfg_priority=9\n"
                                                 "cfg_mono=2\ncfg_exploop=0\ncfg_fdest=x\ncfg_extra_exts=MYW;XWV\n");
    read_settings(dir.file("host.ini"));
    EXPECT_EQ(cfg_raw_sr, 12u);
    EXPECT_EQ(cfg_ext_mask, 0u);
    EXPECT_EQ(cfg_priority, 6u); // clamped to the table
    EXPECT_TRUE(cfg_mono);
    EXPECT_FALSE(cfg_exploop);
    EXPECT_EQ(cfg_fdest, 0u);
    EXPECT_STREQ(cfg_extra_exts, "MYW;XWV");
    // Missing keys keep their defaults.
    EXPECT_FALSE(cfg_vocsil);
    EXPECT_FALSE(cfg_8216);

    read_settings(dir.file("missing.ini"));
    EXPECT_EQ(cfg_priority, 4u);
    EXPECT_EQ(cfg_raw_sr, 6000u);
    EXPECT_EQ(cfg_ext_mask, 63u);
    EXPECT_TRUE(cfg_exploop);
}

TEST(Settings, QuitWritesEveryKeyInOrder)
{
    SettingsScope scope;
    testsupport::TempDir dir;
    override_settings_file(dir.file("host.ini"));
    plugin_module().Init();
    EXPECT_EQ(cfg_ext_mask, 63u);
    cfg_mono = true;
    cfg_raw_sr = 8000;
    plugin_module().Quit();
    override_settings_file("");
    EXPECT_EQ(testsupport::ReadFile(dir.file("host.ini")),
              "[IN_PCMKIT]\ncfg_vocsil=0\ncfg_priority=4\ncfg_raw_sr=8000\ncfg_ext_mask=63\ncfg_8216=0\n"
              "cfg_downcvt=0\ncfg_mono=1\ncfg_dither=0\ncfg_fdest=0\ncfg_exploop=1\ncfg_extra_exts=\n");
}

TEST(Settings, TheFileIsTheHostsPathWithIniAsExtension)
{
    EXPECT_EQ(settings_file_for("/opt/orvella/orvella", true, "/data/"), "/opt/orvella/orvella.ini");
    EXPECT_EQ(settings_file_for("/opt/orvella/orvella.bin", true, "/data/"), "/opt/orvella/orvella.ini");
    EXPECT_EQ(settings_file_for("/opt/a.b/orvella", true, "/data/"), "/opt/a.b/orvella.ini");
    EXPECT_EQ(settings_file_for("/usr/bin/orvella.x", false, "/home/u/.config/orvella/"),
              "/home/u/.config/orvella/orvella.ini");
    // This test program has no extension: ".ini" is appended, beside it.
    EXPECT_EQ(settings_file(), platform::ProgramPath() + ".ini");
}
