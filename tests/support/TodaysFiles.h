// Audio files as today's tools write them, made by ffmpeg and sox into a
// folder: long files at low rates, high sample rates, sizes a pipe left
// unfilled, big comments and four-byte UTF-8. Each comes with what a reader
// and the program must show for it.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct TodaysFile {
    std::string name; // in the folder
    double seconds;   // its true length
    double tolerance; // how far a reader may be from it, in seconds
    unsigned rate;    // sample rate, Hz
    unsigned kbps;    // the bit rate a reader gives; 0: the file's average, its size x 8 / seconds
    unsigned kbpsTolerance;
    std::string title;  // UTF-8; empty for none
    std::string artist; // UTF-8; empty for none
    std::string shown;  // its time in the playlist
};

// What MakeTodaysFiles makes:
//   cbr_32k_10min.mp3   ffmpeg CBR, 22.05 kHz mono, an "Info" frame coded at a higher rate
//   vbr_no_xing.mp3     ffmpeg VBR without a frame-count header: quiet and loud stretches
//   layer2_24k.mp3      MPEG 2 Layer II at 24 kHz
//   hour.mp3            1:02:05 of silence at 8 kbit/s
//   hires_96k.wav       sox, 24-bit stereo at 96 kHz with a "fact" chunk
//   hires_96k.ogg       ffmpeg Vorbis at 96 kHz
//   piped.wav           ffmpeg writing to a pipe: sizes 0xFFFFFFFF
//   cover.ogg           a 48 KB METADATA_BLOCK_PICTURE before an emoji title and the artist
//   big_cover.ogg       a 96 KB one, which carries the comment header over onto a second page
//   emoji_ape.mp3       an MP3 without ID3 tags and an APEv2 tag (from ffmpeg's WavPack writer)
//   wma_320k.wma        ffmpeg WMA v2 at 320 kbit/s
//   long.wav            4:10:00 of 8 kHz 16-bit mono, a sparse file
const std::vector<TodaysFile>& TodaysFiles();

// Makes every file of TodaysFiles() in the folder (with its trailing "/");
// false, with what failed on standard error, when a tool failed.
bool MakeTodaysFiles(const std::string& folder);

} // namespace testsupport
