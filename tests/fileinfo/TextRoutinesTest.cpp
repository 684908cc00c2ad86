#include "fileinfo/TextRoutines.h"
#include "Fixtures.h"
#include "fileinfo/ReaderFile.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace fileinfo;
using namespace std::string_literals;

TEST(TextRoutines, TrimmingRemovesControlBytesAndBlanksOnlyAtTheEnds)
{
    EXPECT_EQ(Trim("\x01 a\0b \0\0"s), "a\0b"s);
    EXPECT_EQ(TrimRight(" a \t\0"s), " a");
    EXPECT_EQ(Trim("\xA0x\xFF"s), "\xA0x\xFF"); // bytes above 0x7F are text
    EXPECT_EQ(Trim(u"\u0001 w \0"s), u"w");
}

TEST(TextRoutines, TrackNumberIsTheIntegerBeforeTheFirstSlash)
{
    EXPECT_EQ(TrackFromText(" 3/12 "), 3);
    EXPECT_EQ(TrackFromText("07"), 7);
    EXPECT_EQ(TrackFromText("-2"), -2);
    for (const char* bad : {"", "/5", "three", "3 /12", "4a", "+-1", "99999999999"})
        EXPECT_EQ(TrackFromText(bad), 0) << bad;
    EXPECT_EQ(IntegerFromText("3/12"), 0);
}

TEST(TextRoutines, Utf8IsDecodedLenientlyAndStopsAtABrokenSequence)
{
    EXPECT_EQ(Utf8ToAnsi("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(Utf8ToAnsi("ab\xC3(cd"), "ab");              // bad following byte
    EXPECT_EQ(Utf8ToAnsi("ab\xE2\x82"), "ab");             // cut short
    EXPECT_EQ(Utf8ToAnsi("\xC0\x80z"s), "\0z"s);           // overlong forms are taken as they come
    EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), "\xEF\xBF\xBD"); // a lone surrogate cannot be shown
    // A four-byte lead is taken for a three-byte one, so the character is lost but nothing crashes.
    EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80"), "\xDF\x98");
}

TEST(ReaderFile, ReadsAcrossItsWindowsExactlyAsStored)
{
    testsupport::TempDir dir;
    std::string bytes;
    for (int i = 0; i < 20000; ++i)
        bytes += static_cast<char>(i * 7 + i / 256);
    ReaderFile file(fixtures::Put(dir, bytes));
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Size(), 20000);
    for (int64_t at : {0, 4090, 8190, 100, 4096, 12000, 19990, 3000}) {
        char got[20] = {};
        ASSERT_TRUE(file.Seek(at));
        std::size_t n = file.Read(got, sizeof got);
        EXPECT_EQ(std::string(got, n), bytes.substr(static_cast<std::size_t>(at), 20)) << at;
    }
    std::string big(9000, '\0');
    ASSERT_TRUE(file.ReadAt(5000, big.data(), big.size()));
    EXPECT_EQ(big, bytes.substr(5000, 9000));
    EXPECT_FALSE(file.Seek(-1));
    EXPECT_TRUE(file.Seek(30000));
    EXPECT_EQ(file.Read(big.data(), 1), 0u);
}

TEST(ReaderFile, OpensOnlyRegularFiles)
{
    testsupport::TempDir dir;
    EXPECT_EQ(ReaderFile(dir.path()).OpenError(), EISDIR);
    EXPECT_EQ(ReaderFile(dir.file("missing")).OpenError(), ENOENT);
    EXPECT_EQ(ReaderFile("/dev/null").OpenError(), EINVAL);
}

TEST(ReaderFile, BoundedValueKeeps250BytesAndSkipsTheRest)
{
    testsupport::TempDir dir;
    ReaderFile file(fixtures::Put(dir, std::string(300, 'v') + "next"));
    std::string value;
    ASSERT_TRUE(ReadBoundedValue(file, 300, value));
    EXPECT_EQ(value, std::string(250, 'v'));
    EXPECT_EQ(file.Position(), 300);
    EXPECT_FALSE(ReadBoundedValue(file, -5, value));
    EXPECT_EQ(file.Position(), 300);
}
