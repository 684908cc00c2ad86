// Playing one file: the decoder as the source of the plug-in's shared decode
// thread, and what the record asks about the open stream.

#include "Playback.h"

#include "Containers.h"
#include "Module.h"
#include "Settings.h"

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

plugin::OpenStream<StreamFacts> openStream;

} // namespace

plugin::StreamPlayback& playback()
{
    static plugin::StreamPlayback instance(plugin_module());
    return instance;
}

const plugin::OpenStream<StreamFacts>& open_stream()
{
    return openStream;
}

int Play(const char* file)
{
    // Another stream still open is stopped first; its decoder goes with it.
    Stop();
    playback().clearPause();
    auto source = std::make_unique<DecoderSource>();
    if (const open_result result = source->open(file); !source->dec())
        return result == OPEN_NO_SOURCE ? -1 : 1;
    openStream.opened(file);

    decoder* dec = source->dec();
    const pcm_format f = dec->format;
    StreamFacts facts;
    dec->ops->info(dec, &facts.info);
    facts.lengthMs = frames_to_ms(dec->ops->length(dec), f.rate);
    if (playback().start(
            std::move(source),
            {.rate = f.rate, .channels = f.channels, .bits = f.bits, .bitrateKbps = int(facts.info.bitrate)},
            priority_value(cfg_priority)) != 0)
        return 1;
    openStream.started(facts);
    return 0;
}

void Stop()
{
    playback().stop();
    openStream.stopped();
}

int GetLength()
{
    const StreamFacts* playing = openStream.current();
    return playing ? playing->lengthMs : -1;
}

} // namespace pcmkit
