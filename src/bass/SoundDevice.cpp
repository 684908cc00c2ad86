// The system's default sound output through PortAudio. Its callback runs on the
// audio thread and only pulls from the ring (DeviceFeed::pull).

#include "OutputDevice.h"
#include "bass.h"

#include <portaudio.h>

#include <dlfcn.h>

namespace bass {
namespace {

// Probing the sound servers makes ALSA and JACK print to stderr. Their message
// hooks are set to nothing, through the copies PortAudio already loaded.
void SilentAlsa(const char*, int, const char*, int, const char*, ...)
{
}
void SilentJack(const char*)
{
}

void SilenceSoundServers()
{
    if (void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_NOLOAD)) {
        using SetHandler = int (*)(void (*)(const char*, int, const char*, int, const char*, ...));
        if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
            set(SilentAlsa);
        dlclose(alsa);
    }
    if (void* jack = dlopen("libjack.so.0", RTLD_NOW | RTLD_NOLOAD)) {
        using SetFunction = void (*)(void (*)(const char*));
        for (const char* name : {"jack_set_error_function", "jack_set_info_function"})
            if (auto set = reinterpret_cast<SetFunction>(dlsym(jack, name)))
                set(SilentJack);
        dlclose(jack);
    }
}

class SoundDevice final : public OutputDevice {
  public:
    SoundDevice(PaStream* stream, unsigned latencyMs) : stream_(stream), latencyMs_(latencyMs) {}
    ~SoundDevice() override
    {
        Pa_CloseStream(stream_);
        Pa_Terminate();
    }

    bool start() override
    {
        if (Pa_IsStreamActive(stream_) == 1)
            return true;
        return Pa_StartStream(stream_) == paNoError;
    }
    void stop() override
    {
        if (Pa_IsStreamActive(stream_) == 1)
            Pa_StopStream(stream_);
    }
    unsigned kind() const override { return BASS_DEVICE_SOUND; }
    unsigned latencyMs() const override { return latencyMs_; }

    static int callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* user)
    {
        static_cast<DeviceFeed*>(user)->pull(static_cast<int16_t*>(output), frames);
        return paContinue;
    }

  private:
    PaStream* stream_;
    unsigned latencyMs_;
};

} // namespace

std::unique_ptr<OutputDevice> OpenSoundDevice(unsigned rate, DeviceFeed& feed)
{
    SilenceSoundServers();
    if (Pa_Initialize() != paNoError)
        return nullptr;
    PaStreamParameters out{};
    out.device = Pa_GetDefaultOutputDevice();
    const PaDeviceInfo* info = out.device == paNoDevice ? nullptr : Pa_GetDeviceInfo(out.device);
    if (!info || info->maxOutputChannels < 2) {
        Pa_Terminate();
        return nullptr;
    }
    out.channelCount = 2;
    out.sampleFormat = paInt16;
    out.suggestedLatency = info->defaultLowOutputLatency;
    PaStream* stream = nullptr;
    if (Pa_OpenStream(&stream, nullptr, &out, rate, paFramesPerBufferUnspecified, paNoFlag, &SoundDevice::callback,
                      &feed) != paNoError) {
        Pa_Terminate();
        return nullptr;
    }
    const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream);
    const unsigned latency = streamInfo ? unsigned(streamInfo->outputLatency * 1000 + 0.5) : 0;
    return std::make_unique<SoundDevice>(stream, latency);
}

} // namespace bass
