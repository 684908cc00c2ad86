#include "fileinfo/WMAfile.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using fileinfo::TWMAfile;
using fixtures::Fixture;
using fixtures::Put;
using testsupport::ByteBuilder;

namespace {

const std::string kHeader("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const std::string kFileProperties("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65", 16);
const std::string kStreamProperties("\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65", 16);
const std::string kContent("\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const std::string kExtended("\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50", 16);

// ASCII text as UTF-16LE with its terminating zero.
std::string Wide(const std::string& text)
{
    ByteBuilder b;
    for (char c : text)
        b.u16le(static_cast<unsigned char>(c));
    return b.u16le(0).str();
}

std::string Object(const std::string& guid, const std::string& body)
{
    return ByteBuilder().text(guid).u64le(24 + body.size()).text(body).str();
}

// File properties (play duration at 64, preroll at 80, flags at 88, maximum bit rate at 100) and
// stream properties (channels at 80).
std::string Properties(uint32_t maxBitRate = 128000, unsigned channels = 2, uint32_t rate = 44100,
                       uint32_t byteRate = 16000, uint64_t play100ns = 0, uint64_t prerollMs = 0, uint32_t flags = 2)
{
    std::string stream = ByteBuilder().zeros(54).u16le(1).u16le(channels).u32le(rate).u32le(byteRate).str();
    std::string file = ByteBuilder()
                           .zeros(40)
                           .u64le(play100ns)
                           .u64le(0)
                           .u64le(prerollMs)
                           .u32le(flags)
                           .zeros(8)
                           .u32le(maxBitRate)
                           .str();
    return Object(kFileProperties, file) + Object(kStreamProperties, stream);
}

std::string Content(const std::string& title, const std::string& author, const std::string& description)
{
    std::string strings[5] = {Wide(title), Wide(author), Wide("(c)"), Wide(description), ""};
    ByteBuilder b;
    for (const std::string& s : strings)
        b.u16le(static_cast<unsigned>(s.size()));
    for (const std::string& s : strings)
        b.text(s);
    return Object(kContent, b.str());
}

// Name, value and type of each descriptor; strings (type 0) are written as UTF-16.
std::string Extended(const std::vector<std::tuple<std::string, std::string, unsigned>>& descriptors)
{
    ByteBuilder b;
    b.u16le(static_cast<unsigned>(descriptors.size()));
    for (const auto& [name, text, type] : descriptors) {
        std::string value = type == 0 ? Wide(text) : text;
        b.u16le(static_cast<unsigned>(Wide(name).size())).text(Wide(name)).u16le(type);
        b.u16le(static_cast<unsigned>(value.size())).text(value);
    }
    return Object(kExtended, b.str());
}

// The header object around the objects (counted, unless a count is given), then some data.
std::string Asf(const std::vector<std::string>& objects, uint32_t count = 0)
{
    std::string body;
    for (const std::string& o : objects)
        body += o;
    const bool given = count != 0;
    for (std::size_t at = 0, size = 1; !given && at < body.size() && size > 0; at += size, ++count)
        size = static_cast<unsigned char>(body[at + 16]) | static_cast<unsigned char>(body[at + 17]) << 8;
    ByteBuilder b;
    b.text(kHeader).u64le(30 + body.size()).u32le(count).u8(1).u8(2);
    return b.text(body).fill(3000, 'a').str();
}

} // namespace

TEST(WMAfile, ReadsFfmpegFiles)
{
    TWMAfile wma;
    ASSERT_TRUE(wma.Read(Fixture("wmav2_tagged.wma")));
    EXPECT_TRUE(wma.Recognised());
    EXPECT_EQ(wma.BitRateKbps(), 48);
    // The play duration less the preroll: the 2 s of the source and the codec's last frame.
    EXPECT_NEAR(wma.DurationSeconds(), 2.042, 1e-9);
    EXPECT_EQ(wma.Title(), "Wma Title");
    EXPECT_EQ(wma.Year(), "2005");
    EXPECT_EQ(wma.Comment(), "Wma comment"); // descriptor " wm/description "
    EXPECT_EQ(wma.Track(), 7);               // WM/Track; the DWORD WM/TrackNumber is no text
    ASSERT_TRUE(wma.Read(Fixture("wmav2_mono.wma")));
    EXPECT_EQ(wma.Title(), "\xC3\x9Cn\xC3\xAF"
                           "code \xE2\x99\xAB title");
    EXPECT_EQ(wma.Year(), "");
    EXPECT_EQ(wma.ChannelModeText(), "Mono");
}

TEST(WMAfile, DescriptionObjects)
{
    testsupport::TempDir dir;
    TWMAfile wma;
    ASSERT_TRUE(wma.Read(Put(dir, Asf({Properties(), Content("T", "A", "C")}))));
    EXPECT_EQ(wma.Comment(), "C");
    // Whichever description comes later decides.
    std::string extended = Extended({{"WM/TITLE", "Ext", 0}, {"WM/AUTHOR", "ExtA", 0}});
    ASSERT_TRUE(wma.Read(Put(dir, Asf({Properties(), extended, Content("T", "A", "")}))));
    EXPECT_EQ(wma.Title(), "T");
    ASSERT_TRUE(wma.Read(Put(dir, Asf({Properties(), Content("T", "A", ""), extended}))));
    EXPECT_EQ(wma.Title(), "Ext");
    EXPECT_EQ(wma.Artist(), "ExtA");
    // Names in any case with blanks around match, longer names do not; a DWORD value is passed over;
    // a 1202-byte string keeps 250 characters.
    ASSERT_TRUE(wma.Read(Put(dir, Asf({Properties(), Extended({{"  wm/AlbumTitle ", "Album", 0},
                                                               {"WM/GENREX", "Longer", 0},
                                                               {"WM/TRACK", std::string("\7\0\0\0", 4), 3},
                                                               {"WM/Genre", std::string(600, 'g'), 0},
                                                               {"WM/Year", "1999", 0}})}))));
    EXPECT_EQ(wma.Album(), "Album");
    EXPECT_EQ(wma.Track(), 0);
    EXPECT_EQ(wma.Genre(), std::string(250, 'g'));
    EXPECT_EQ(wma.Year(), "1999");
}

TEST(WMAfile, PlausibilityLimits)
{
    testsupport::TempDir dir;
    TWMAfile wma;
    // Rates above those of uncompressed 24-bit stereo at 96 kHz are no audio.
    for (const std::string& properties : {Properties(4608001), Properties(128000, 2, 48000, 576001),
                                          Properties(128000, 6), Properties(128000, 2, 7999)}) {
        ASSERT_TRUE(wma.Read(Put(dir, Asf({properties, Content("T", "", "")}))));
        EXPECT_FALSE(wma.Recognised());
        EXPECT_EQ(wma.Title(), "");
    }
    ASSERT_TRUE(wma.Read(Put(dir, Asf({Properties(319999, 1, 96000, 39999)}))));
    EXPECT_TRUE(wma.Recognised());
    EXPECT_EQ(wma.BitRateKbps(), 319);
    ASSERT_TRUE(wma.Read(Put(dir, Asf({Properties(4608000, 2, 96000, 576000)}))));
    EXPECT_TRUE(wma.Recognised());
    EXPECT_EQ(wma.BitRateKbps(), 4608);
}

TEST(WMAfile, DurationFromTheFileProperties)
{
    testsupport::TempDir dir;
    TWMAfile wma;
    // 3:25.5 played after a 3.1 s preroll.
    ASSERT_TRUE(wma.Read(Put(dir, Asf({Properties(128000, 2, 44100, 16000, 2086000000, 3100)}))));
    EXPECT_DOUBLE_EQ(wma.DurationSeconds(), 205.5);
    // A broadcast file has no durations, nor has a file that leaves them 0, nor one whose preroll
    // is all there is: the file size at the maximum bit rate then.
    for (const std::string& properties :
         {Properties(128000, 2, 44100, 16000, 2086000000, 3100, 1), Properties(128000, 2, 44100, 16000, 0, 3100),
          Properties(128000, 2, 44100, 16000, 31000000, 3100)}) {
        std::string file = Asf({properties});
        ASSERT_TRUE(wma.Read(Put(dir, file)));
        EXPECT_DOUBLE_EQ(wma.DurationSeconds(), file.size() * 8.0 / 128000);
    }
}

TEST(WMAfile, HostileHeaders)
{
    testsupport::TempDir dir;
    TWMAfile wma;
    // A zero object size ends the walk at once, however many objects are claimed.
    std::string empty = ByteBuilder().text(kContent).u64le(0).str();
    ASSERT_TRUE(wma.Read(Put(dir, Asf({Properties(), empty, Content("Lost", "", "")}, 0xFFFFFFFF))));
    EXPECT_TRUE(wma.Recognised());
    EXPECT_EQ(wma.Title(), "");
    // A header cut short fails the read and leaves everything cleared.
    EXPECT_FALSE(wma.Read(Put(dir, Asf({Properties(), Content("Title", "", "")}).substr(0, 30 + 194 + 40))));
    EXPECT_FALSE(wma.Recognised());
    EXPECT_EQ(wma.FileSize(), 0);
    EXPECT_FALSE(wma.Read(Put(dir, "short")));
}
