#include "platform/profile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>

using platform::ProfileFile;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::string readString(const char* section, const char* key, const char* def, const std::string& file)
{
    char buffer[256];
    GetPrivateProfileString(section, key, def, buffer, sizeof buffer, file.c_str());
    return buffer;
}

// A NUL-separated list as returned for a null key or section.
std::vector<std::string> splitList(const char* buffer)
{
    std::vector<std::string> items;
    for (const char* p = buffer; *p; p += std::strlen(p) + 1)
        items.emplace_back(p);
    return items;
}

} // namespace

TEST(Profile, MissingFileGivesDefaultsAndIsNotCreatedByReads)
{
    TempDir dir;
    std::string ini = dir.file("none.ini");
    EXPECT_EQ(readString("General", "volume", "100", ini), "100");
    EXPECT_EQ(readString("General", "volume", nullptr, ini), "");
    EXPECT_EQ(GetPrivateProfileInt("General", "volume", 55, ini.c_str()), 55);
    EXPECT_TRUE(WritePrivateProfileString("General", "gone", nullptr, ini.c_str()));
    EXPECT_FALSE(testsupport::FileExists(ini));
}

TEST(Profile, NamesMatchWithoutCaseAndBlanksAreIgnored)
{
    TempDir dir;
    std::string ini = dir.file("a.ini");
    WriteFile(ini, "; comment\r\n[ Form State ]\r\n  MainWidth =  330  \r\nname= \"quoted value\" \r\n[Other]\r\nmainwidth=1\r\n");
    EXPECT_EQ(readString("form state", "MAINWIDTH", "", ini), "330");
    EXPECT_EQ(GetPrivateProfileInt("FORM STATE", "mainwidth", 0, ini.c_str()), 330);
    EXPECT_EQ(readString("Form State", "name", "", ini), "quoted value");
    EXPECT_EQ(readString("other", "MainWidth", "", ini), "1");
    EXPECT_EQ(readString("Form State", "missing", "  dflt  ", ini), "dflt");

    WriteFile(ini, "[s]\nk=5\r\r\n"); // a stray carriage return is not part of the value
    EXPECT_EQ(GetPrivateProfileInt("s", "k", 0, ini.c_str()), 5);
}

TEST(Profile, IntegersThatAreNotValidReadAsTheDefault)
{
    TempDir dir;
    std::string ini = dir.file("n.ini");
    WriteFile(ini, "[n]\nplain=42\nspaced= -7 \nletters=12abc\nempty=\nhex=0x1F\ndollar=$10\nhuge=99999999999\nword=yes\n");
    auto read = [&](const char* key) { return GetPrivateProfileInt("n", key, -1, ini.c_str()); };
    EXPECT_EQ(read("plain"), 42);
    EXPECT_EQ(read("spaced"), -7);
    EXPECT_EQ(read("letters"), -1);
    EXPECT_EQ(read("empty"), -1);
    EXPECT_EQ(read("hex"), 31);
    EXPECT_EQ(read("dollar"), 16);
    EXPECT_EQ(read("huge"), -1);
    EXPECT_EQ(read("word"), -1);

    ProfileFile file(ini);
    EXPECT_TRUE(file.readBool("n", "plain", false));
    EXPECT_FALSE(file.readBool("n", "word", false)); // not a number: the default
    EXPECT_TRUE(file.readBool("n", "missing", true));
}

TEST(Profile, WritesCreateUpdateInPlaceAndAppendToTheirSection)
{
    TempDir dir;
    std::string ini = dir.file("w.ini");
    ASSERT_TRUE(WritePrivateProfileString("General", "volume", "100", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("Sound Box", "echo", "0", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("general", "Numplay", "1", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("GENERAL", "VOLUME", "80", ini.c_str()));
    EXPECT_EQ(ReadFile(ini), "[General]\nVOLUME=80\nNumplay=1\n[Sound Box]\necho=0\n");

    ProfileFile file(ini);
    EXPECT_TRUE(file.writeBool("Sound Box", "reverb", true));
    EXPECT_TRUE(file.writeInt("Sound Box", "echolevel", -3));
    EXPECT_EQ(file.readInt("sound box", "ECHOLEVEL", 0), -3);
    EXPECT_EQ(file.keys("Sound Box"), (std::vector<std::string>{"echo", "reverb", "echolevel"}));
}

TEST(Profile, NewKeysGoAfterTheLastNonBlankLineOfTheirSection)
{
    TempDir dir;
    std::string ini = dir.file("blank.ini");
    WriteFile(ini, "[a]\nx=1\n\n[b]\ny=2\n");
    ASSERT_TRUE(WritePrivateProfileString("a", "z", "3", ini.c_str()));
    EXPECT_EQ(ReadFile(ini), "[a]\nx=1\nz=3\n\n[b]\ny=2\n");
}

TEST(Profile, RewritingFewerPlaylistEntriesKeepsTheSurplusKeys)
{
    TempDir dir;
    std::string pls = dir.file("list.pls");
    auto writeList = [&](const std::vector<std::string>& paths) {
        for (std::size_t k = 0; k < paths.size(); ++k)
            ASSERT_TRUE(WritePrivateProfileString("playlist", ("File" + std::to_string(k + 1)).c_str(),
                                                  paths[k].c_str(), pls.c_str()));
        ASSERT_TRUE(WritePrivateProfileString("playlist", "NumberOfEntries", std::to_string(paths.size()).c_str(),
                                              pls.c_str()));
    };
    writeList({"/m/1.mp3", "/m/2.mp3", "/m/3.mp3", "/m/4.mp3", "/m/5.mp3"});
    writeList({"/n/a.ogg", "/n/b.ogg", "/n/c.ogg"});
    EXPECT_EQ(ReadFile(pls), "[playlist]\nFile1=/n/a.ogg\nFile2=/n/b.ogg\nFile3=/n/c.ogg\nFile4=/m/4.mp3\n"
                             "File5=/m/5.mp3\nNumberOfEntries=3\n");
    EXPECT_EQ(GetPrivateProfileInt("playlist", "NumberOfEntries", 0, pls.c_str()), 3);
}

TEST(Profile, NullValueDeletesAKeyAndNullKeyErasesTheSection)
{
    TempDir dir;
    std::string ini = dir.file("d.ini");
    WriteFile(ini, "[Loaded Plugins]\r\nPlugin0=in_pcmkit.so\r\nPlugin1=\r\n[Keep]\r\nk=v\r\n");
    ASSERT_TRUE(WritePrivateProfileString("loaded plugins", "plugin0", nullptr, ini.c_str()));
    EXPECT_EQ(ReadFile(ini), "[Loaded Plugins]\r\nPlugin1=\r\n[Keep]\r\nk=v\r\n"); // line ends kept
    ASSERT_TRUE(WritePrivateProfileString("LOADED PLUGINS", nullptr, nullptr, ini.c_str()));
    EXPECT_EQ(ReadFile(ini), "[Keep]\r\nk=v\r\n");
    EXPECT_FALSE(ProfileFile(ini).sectionExists("Loaded Plugins"));
    EXPECT_FALSE(WritePrivateProfileString(nullptr, "k", "v", ini.c_str()));
}

TEST(Profile, NullKeyAndNullSectionListNamesWithinTheBuffer)
{
    TempDir dir;
    std::string ini = dir.file("l.ini");
    WriteFile(ini, "[One]\na=1\nbb=2\n[Two]\n");
    char buffer[64];
    DWORD n = GetPrivateProfileString("one", nullptr, "", buffer, sizeof buffer, ini.c_str());
    EXPECT_EQ(n, 5u); // "a\0bb\0"
    EXPECT_EQ(splitList(buffer), (std::vector<std::string>{"a", "bb"}));
    GetPrivateProfileString(nullptr, nullptr, "", buffer, sizeof buffer, ini.c_str());
    EXPECT_EQ(splitList(buffer), (std::vector<std::string>{"One", "Two"}));

    char small[4];
    EXPECT_EQ(GetPrivateProfileString("one", "bb", "", small, 2, ini.c_str()), 1u);
    EXPECT_STREQ(small, "2");
    WriteFile(ini, "[s]\nk=abcdef\n");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "", small, sizeof small, ini.c_str()), 3u);
    EXPECT_STREQ(small, "abc");
}

TEST(Profile, ChangesMadeByOthersAreSeenAndLfFilesStayLf)
{
    TempDir dir;
    std::string ini = dir.file("ext.ini");
    ASSERT_TRUE(WritePrivateProfileString("s", "k", "first", ini.c_str()));
    EXPECT_EQ(readString("s", "k", "", ini), "first");
    WriteFile(ini, "[s]\nk=second, a longer value\n");
    EXPECT_EQ(readString("s", "k", "", ini), "second, a longer value");
    ASSERT_TRUE(WritePrivateProfileString("s", "k2", "v", ini.c_str()));
    EXPECT_EQ(ReadFile(ini), "[s]\nk=second, a longer value\nk2=v\n");
}

TEST(Profile, BatchWritesEqualWritesOneByOne)
{
    TempDir dir;
    std::string single = dir.file("single.ini"), batch = dir.file("batch.ini");
    WriteFile(single, "[playlist]\nFile2=old\nOther=x\n[z]\n");
    WriteFile(batch, ReadFile(single));
    std::vector<std::pair<std::string, std::string>> values = {{"File1", "a"}, {"File2", "b"}, {"File3", "c"}};
    for (auto& [k, v] : values)
        ProfileFile(single).writeString("playlist", k, v);
    ASSERT_TRUE(ProfileFile(batch).writeStrings("playlist", values));
    EXPECT_EQ(ReadFile(batch), ReadFile(single));
}

TEST(Profile, ValuesCannotBreakTheLineStructure)
{
    TempDir dir;
    std::string ini = dir.file("nl.ini");
    ASSERT_TRUE(WritePrivateProfileString("s", "k", "line1\n[evil]\nx=1", ini.c_str()));
    EXPECT_EQ(readString("s", "k", "", ini), "line1 [evil] x=1");
    EXPECT_FALSE(ProfileFile(ini).sectionExists("evil"));
}

TEST(Profile, AnUnwritableFolderMakesWritesFail)
{
    TempDir dir;
    std::string ini = dir.file("missing-folder/x.ini");
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", ini.c_str()));
    EXPECT_EQ(readString("s", "k", "d", ini), "d");
}
