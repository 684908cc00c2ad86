// Playing one file: the decoder as the source of the plug-in's shared decode
// thread, and what the record asks about the open stream.

#include "Playback.h"

#include "Containers.h"
#include "Module.h"
#include "Settings.h"

#include <optional>
#include <string>
#include <strings.h>

namespace pcmkit {
namespace {

// The stream's stop flag is the abort flag of its open and of every read and
// seek after it.
class DecoderSource final : public plugin::PcmSource {
  public:
    ~DecoderSource() override { decoder_destroy(dec_); }

    open_result open(const char* file)
    {
        open_result result;
        dec_ = open_file(file, false, &stopping(), &result);
        return result;
    }
    decoder* dec() const { return dec_; }

    int read(void* out, int bytes) override { return dec_->ops->read(dec_, out, bytes, &stopping()); }
    bool canSeek() override { return dec_->ops->can_seek(dec_) != 0; }
    int32_t seek(int32_t ms) override
    {
        // One the decoder refuses (beyond the end) is dropped.
        return dec_->ops->seek(dec_, MulDiv64(ms, dec_->format.rate, 1000), nullptr, &stopping()) == 0 ? ms : -1;
    }

  private:
    decoder* dec_ = nullptr;
};

// Taken at open, so the host's thread never calls into the decoder.
struct OpenStream {
    int32_t lengthMs = -1;
    decoder_info info{};
};

std::optional<OpenStream> playing;
std::string lastPlayedPath;

} // namespace

plugin::StreamPlayback& playback()
{
    static plugin::StreamPlayback instance(plugin_module());
    return instance;
}

int Play(const char* file)
{
    // Another stream still open is stopped first; its decoder goes with it.
    Stop();
    playback().clearPause();
    auto source = std::make_unique<DecoderSource>();
    if (const open_result result = source->open(file); !source->dec())
        return result == OPEN_NO_SOURCE ? -1 : 1;
    lastPlayedPath = file;

    decoder* dec = source->dec();
    const pcm_format f = dec->format;
    OpenStream stream;
    dec->ops->info(dec, &stream.info);
    stream.lengthMs = frames_to_ms(dec->ops->length(dec), f.rate);
    if (playback().start(std::move(source), {f.rate, f.channels, f.bits, int(stream.info.bitrate)},
                         priority_value(cfg_priority)) != 0)
        return 1;
    playing = stream;
    return 0;
}

void Stop()
{
    playback().stop();
    playing.reset();
}

int GetLength()
{
    return playing ? playing->lengthMs : -1;
}

bool current_stream(const char* file, int32_t* lengthMs, decoder_info* info)
{
    if (!playing)
        return false;
    if (file && *file && strcasecmp(file, lastPlayedPath.c_str()) != 0)
        return false;
    if (lengthMs)
        *lengthMs = playing->lengthMs;
    if (info)
        *info = playing->info;
    return true;
}

const std::string& last_played_path()
{
    return lastPlayedPath;
}

} // namespace pcmkit
