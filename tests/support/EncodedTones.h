// Real audio files made by ffmpeg's encoders, for the tests of the plug-ins
// that decode them: a sine of a known frequency and length, with tags.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace testsupport {

struct ToneFile {
    std::string extension; // without the dot, e.g. "flac"
    std::string codec;     // ffmpeg encoder, e.g. "libopus"
    int rate = 44100;
    int channels = 2;
    std::vector<std::string> extra; // more ffmpeg output options
};

void PrintTo(const ToneFile& type, std::ostream* out); // for test names and failures

// The file types in_media plays that ffmpeg can write.
ToneFile Flac(); // 16-bit
ToneFile Opus();
ToneFile AacM4a();
ToneFile AlacM4a();
ToneFile WavPack();
ToneFile TrueAudio();
ToneFile WmaAsf(); // WMA version 2 in a file named .asf

struct Tags {
    std::string artist;
    std::string title;
};

// Writes folder/name.extension: hz for seconds (a second tone of hz2 for
// seconds2 follows when seconds2 > 0), at amplitude 0.5. Returns the path, or
// "" (with a test failure) when ffmpeg failed. ffmpeg runs through the shell,
// not QProcess: Qt starts a child by a clone that shares this process's memory
// until the tool runs, and after that ThreadSanitizer no longer sees the locks
// the calling thread takes.
std::string MakeTone(const std::string& folder, const std::string& name, const ToneFile& type, double hz,
                     double seconds, const Tags& tags = {}, double hz2 = 0, double seconds2 = 0);

// A zip archive holding one file, stored or deflated (made by python3's zipfile).
std::string MakeZip(const std::string& path, const std::string& entryName, const std::string& bytes, bool deflate);

} // namespace testsupport
