// The system's default sound output through PortAudio. Its callback runs on the
// audio thread and only pulls from the ring (DeviceFeed::pull). PortAudio, and
// ALSA and JACK with it, is loaded when the mixing thread opens the device, so
// a program that plays silently does not map them.

#include "OutputDevice.h"
#include "bass.h"

#include <portaudio.h>

#include <dlfcn.h>

#include <type_traits>

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

// The PortAudio functions used here, bound by name from the library.
struct PortAudio {
    decltype(&Pa_Initialize) Initialize;
    decltype(&Pa_Terminate) Terminate;
    decltype(&Pa_GetDefaultOutputDevice) GetDefaultOutputDevice;
    decltype(&Pa_GetDeviceInfo) GetDeviceInfo;
    decltype(&Pa_OpenStream) OpenStream;
    decltype(&Pa_GetStreamInfo) GetStreamInfo;
    decltype(&Pa_StartStream) StartStream;
    decltype(&Pa_StopStream) StopStream;
    decltype(&Pa_IsStreamActive) IsStreamActive;
    decltype(&Pa_CloseStream) CloseStream;
};

// Null when the library or one of its names is missing. Never unloaded: its
// threads may outlive a device by a little.
const PortAudio* LoadPortAudio()
{
    static const PortAudio* loaded = []() -> const PortAudio* {
        void* library = dlopen("libportaudio.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return nullptr;
        static PortAudio pa;
        bool complete = true;
        auto bind = [&](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
            complete = complete && function;
        };
        bind(pa.Initialize, "Pa_Initialize");
        bind(pa.Terminate, "Pa_Terminate");
        bind(pa.GetDefaultOutputDevice, "Pa_GetDefaultOutputDevice");
        bind(pa.GetDeviceInfo, "Pa_GetDeviceInfo");
        bind(pa.OpenStream, "Pa_OpenStream");
        bind(pa.GetStreamInfo, "Pa_GetStreamInfo");
        bind(pa.StartStream, "Pa_StartStream");
        bind(pa.StopStream, "Pa_StopStream");
        bind(pa.IsStreamActive, "Pa_IsStreamActive");
        bind(pa.CloseStream, "Pa_CloseStream");
        return complete ? &pa : nullptr;
    }();
    return loaded;
}

class SoundDevice final : public OutputDevice {
  public:
    SoundDevice(const PortAudio& pa, PaStream* stream, unsigned latencyMs)
        : pa_(pa), stream_(stream), latencyMs_(latencyMs)
    {
    }
    ~SoundDevice() override
    {
        pa_.CloseStream(stream_);
        pa_.Terminate();
    }

    bool start() override
    {
        if (pa_.IsStreamActive(stream_) == 1)
            return true;
        return pa_.StartStream(stream_) == paNoError;
    }
    void stop() override
    {
        if (pa_.IsStreamActive(stream_) == 1)
            pa_.StopStream(stream_);
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
    const PortAudio& pa_;
    PaStream* stream_;
    unsigned latencyMs_;
};

} // namespace

std::unique_ptr<OutputDevice> OpenSoundDevice(unsigned rate, DeviceFeed& feed)
{
    const PortAudio* loaded = LoadPortAudio();
    if (!loaded)
        return nullptr;
    const PortAudio& pa = *loaded;
    SilenceSoundServers();
    if (pa.Initialize() != paNoError)
        return nullptr;
    PaStreamParameters out{};
    out.device = pa.GetDefaultOutputDevice();
    const PaDeviceInfo* info = out.device == paNoDevice ? nullptr : pa.GetDeviceInfo(out.device);
    if (!info || info->maxOutputChannels < 2) {
        pa.Terminate();
        return nullptr;
    }
    out.channelCount = 2;
    out.sampleFormat = paInt16;
    out.suggestedLatency = info->defaultLowOutputLatency;
    // Left to itself, PortAudio picks periods of a few milliseconds for a low
    // latency: hundreds of wake-ups a second of its thread and of the mixer.
    // A period of the silent device's length wakes them as rarely.
    const auto period = DevicePeriod(kDevicePeriod, rate, feed);
    const auto periodFrames = static_cast<unsigned long>(int64_t(rate) * period.count() / 1000000);
    PaStream* stream = nullptr;
    if (pa.OpenStream(&stream, nullptr, &out, rate, periodFrames, paNoFlag, &SoundDevice::callback, &feed) !=
        paNoError) {
        pa.Terminate();
        return nullptr;
    }
    const PaStreamInfo* streamInfo = pa.GetStreamInfo(stream);
    const unsigned latency = streamInfo ? unsigned(streamInfo->outputLatency * 1000 + 0.5) : 0;
    return std::make_unique<SoundDevice>(pa, stream, latency);
}

} // namespace bass
