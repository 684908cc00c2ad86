#include "EncodedTones.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace testsupport {
namespace {

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool run(const std::string& command)
{
    const int status = std::system(command.c_str());
    if (status != 0)
        ADD_FAILURE() << "failed: " << command;
    return status == 0;
}

} // namespace

ToneFile Flac()
{
    return {"flac", "flac", 44100, 2, {"-sample_fmt", "s16"}};
}

ToneFile Opus()
{
    return {"opus", "libopus", 48000, 2, {"-b:a", "96k"}};
}

ToneFile AacM4a()
{
    return {"m4a", "aac", 44100, 2, {"-b:a", "128k"}};
}

ToneFile AlacM4a()
{
    return {"m4a", "alac", 44100, 2, {}};
}

ToneFile WavPack()
{
    return {"wv", "wavpack", 44100, 2, {}};
}

ToneFile TrueAudio()
{
    return {"tta", "tta", 44100, 2, {}};
}

ToneFile WmaAsf()
{
    return {"asf", "wmav2", 44100, 2, {"-b:a", "128k"}};
}

void PrintTo(const ToneFile& type, std::ostream* out)
{
    *out << type.codec << " in ." << type.extension << ", " << type.rate << " Hz, " << type.channels << " channel(s)";
}

std::string MakeTone(const std::string& folder, const std::string& name, const ToneFile& type, double hz,
                     double seconds, const Tags& tags, double hz2, double seconds2)
{
    const std::string path = folder + name + "." + type.extension;
    std::ostringstream source;
    // One expression for both tones, so the file has no gap between them.
    source << "aevalsrc=0.5*sin(2*PI*t*if(lt(t\\," << seconds << ")\\," << hz << "\\," << (hz2 > 0 ? hz2 : hz)
           << ")):d=" << seconds + (hz2 > 0 ? seconds2 : 0) << ":s=" << type.rate;
    std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i " + quoted(source.str()) + " -ac " +
                          std::to_string(type.channels) + " -c:a " + type.codec;
    for (const std::string& option : type.extra)
        command += " " + quoted(option);
    if (!tags.artist.empty())
        command += " -metadata artist=" + quoted(tags.artist);
    if (!tags.title.empty())
        command += " -metadata title=" + quoted(tags.title);
    command += " " + quoted(path);
    return run(command) ? path : "";
}

std::string MakeZip(const std::string& path, const std::string& entryName, const std::string& bytes, bool deflate)
{
    // The file names travel as arguments, so the script needs no quoting of its own.
    const std::string content = path + ".content", script = path + ".py";
    WriteFile(content, bytes);
    WriteFile(script, std::string("import sys, zipfile\n"
                                  "zipfile.ZipFile(sys.argv[1], 'w', zipfile.") +
                          (deflate ? "ZIP_DEFLATED" : "ZIP_STORED") + ").write(sys.argv[2], sys.argv[3])\n");
    const bool made =
        run("python3 " + quoted(script) + " " + quoted(path) + " " + quoted(content) + " " + quoted(entryName));
    std::remove(content.c_str());
    std::remove(script.c_str());
    return made ? path : "";
}

} // namespace testsupport
