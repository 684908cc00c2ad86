#include "fileinfo/TextRoutines.h"
#include "Fixtures.h"
#include "fileinfo/ReaderFile.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace fileinfo;
using namespace std::string_literals;

TEST(TextRoutines, TrackNumberIsTheIntegerBeforeTheFirstSlash)
{
    EXPECT_EQ(TrackFromText(" 3/12 "), 3);
    EXPECT_EQ(TrackFromText("-2"), -2);
    for (const char* bad : {"", "/5", "three", "3 /12", "4a", "+-1", "99999999999"})
        EXPECT_EQ(TrackFromText(bad), 0) << bad;
    EXPECT_EQ(IntegerFromText("3/12"), 0);
    EXPECT_EQ(Trim("\x01 a\0b \0\0"s), "a\0b"s); // only the ends, and bytes above 0x7F are text
    EXPECT_EQ(Trim("\xA0x\xFF"s), "\xA0x\xFF");
}

TEST(TextRoutines, Utf8IsDecodedWholeWithBrokenSequencesReplaced)
{
    const std::string kBad = "\xEF\xBF\xBD"; // U+FFFD
    EXPECT_EQ(Utf8ToAnsi("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xC3\xA9 \xE2\x82\xAC");
    // Four-byte sequences: an emoji and a rare CJK character.
    EXPECT_EQ(Utf8ToAnsi("Happy \xF0\x9F\x98\x80 Birthday To You"), "Happy \xF0\x9F\x98\x80 Birthday To You");
    EXPECT_EQ(Utf8ToAnsi("\xF0\xA0\x80\x8B"), "\xF0\xA0\x80\x8B");
    // A broken sequence is one replacement, and what follows it is still decoded.
    EXPECT_EQ(Utf8ToAnsi("ab\xC3(cd"), "ab" + kBad + "(cd");   // bad following byte
    EXPECT_EQ(Utf8ToAnsi("ab\xE2\x82"), "ab" + kBad);          // cut short
    EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98z"), kBad + "z");        // four bytes cut short
    EXPECT_EQ(Utf8ToAnsi("\x80\xBFx"), kBad + kBad + "x");     // stray following bytes
    EXPECT_EQ(Utf8ToAnsi("\xC0\x80z"s), kBad + kBad + "z");    // an overlong NUL is no NUL
    EXPECT_EQ(Utf8ToAnsi("\xE0\x80\xAF"), kBad + kBad + kBad); // overlong "/"
    EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), kBad + kBad + kBad); // a surrogate cannot be shown
    EXPECT_EQ(Utf8ToAnsi("\xF4\x90\x80\x80|\xFF"), kBad + kBad + kBad + kBad + "|" + kBad); // past U+10FFFF
    EXPECT_EQ(Utf8ToAnsi("a\0b"s), "a\0b"s);
}

TEST(ReaderFile, ReadsAcrossItsWindowsExactlyAsStored)
{
    testsupport::TempDir dir;
    std::string bytes;
    for (int i = 0; i < 30000; ++i)
        bytes += static_cast<char>(i * 7 + i / 256);
    ReaderFile file(fixtures::Put(dir, bytes));
    ASSERT_EQ(file.Size(), 30000);
    // Head, tail and middle reads in the order a probe makes them, crossing window edges.
    for (int64_t at : {29872, 0, 8190, 15000, 29990, 100, 21800, 8192, 12000, 3000}) {
        char got[20] = {};
        ASSERT_TRUE(file.Seek(at));
        EXPECT_EQ(std::string(got, file.Read(got, sizeof got)), bytes.substr(static_cast<std::size_t>(at), 20)) << at;
    }
    std::string big(9000, '\0');
    ASSERT_TRUE(file.ReadAt(5000, big.data(), big.size()));
    EXPECT_EQ(big, bytes.substr(5000, 9000));
    EXPECT_FALSE(file.Seek(-1));
    EXPECT_TRUE(file.Seek(40000));
    EXPECT_EQ(file.Read(big.data(), 1), 0u);
}

TEST(ReaderFile, OpensOnlyRegularFiles)
{
    testsupport::TempDir dir;
    EXPECT_EQ(ReaderFile(dir.path()).OpenError(), EISDIR);
    EXPECT_EQ(ReaderFile(dir.file("missing")).OpenError(), ENOENT);
    EXPECT_EQ(ReaderFile("/dev/null").OpenError(), EINVAL);
}
