// Playing one file: the decoder as the source of the plug-in's shared decode
// thread, and what the record asks about the open stream.

#include "Playback.h"

#include "MediaLibrary.h"
#include "Module.h"

#include "platform/msgbox.h"

namespace media {
namespace {

class DecoderSource final : public plugin::PcmSource {
  public:
    DecoderSource(std::unique_ptr<Decoder> decoder, int channels)
        : decoder_(std::move(decoder)), frameBytes_(channels * int(sizeof(int16_t)))
    {
    }
    int read(void* out, int bytes) override
    {
        return decoder_->read(static_cast<int16_t*>(out), bytes / frameBytes_) * frameBytes_;
    }
    int32_t seek(int32_t ms) override { return decoder_->seek(ms) ? ms : -1; }

  private:
    std::unique_ptr<Decoder> decoder_;
    int frameBytes_;
};

plugin::OpenStream<Description> openStream;

// The refusal of a file, in the plug-in's own box.
void refuse(const char* file, const std::string& why)
{
    const std::string text = std::string("Cannot play \"") + file + "\".\n" + why;
    MessageBox(host_window(), text.c_str(), kDescription, MB_OK | MB_ICONERROR);
}

} // namespace

plugin::StreamPlayback& playback()
{
    static plugin::StreamPlayback instance(plugin_module());
    return instance;
}

const plugin::OpenStream<Description>& open_stream()
{
    return openStream;
}

int Play(const char* file)
{
    // Another stream still open is stopped first; its decoder goes with it.
    Stop();
    playback().clearPause();
    if (!file || !*file)
        return -1;
    std::string why;
    std::unique_ptr<Decoder> decoder = OpenFile(file, why);
    if (!decoder) {
        refuse(file, why);
        return 1;
    }
    openStream.opened(file);
    const Description description = decoder->description();
    const StreamProperties& p = description.properties;
    if (playback().start(std::make_unique<DecoderSource>(std::move(decoder), p.outputChannels),
                         {.rate = p.sampleRate, .channels = p.outputChannels, .bitrateKbps = p.bitrateKbps}) != 0)
        return 1;
    openStream.started(description);
    return 0;
}

void Stop()
{
    playback().stop();
    openStream.stopped();
}

int GetLength()
{
    const Description* playing = openStream.current();
    return playing ? int(playing->properties.lengthMs) : -1;
}

} // namespace media
