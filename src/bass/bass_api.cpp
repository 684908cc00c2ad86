// The C interface of libbass.so over the engine.

#include "Decoders.h"
#include "Engine.h"
#include "ReadAhead.h"
#include "addon.h"
#include "bass.h"

#include <cmath>
#include <vector>

using namespace bass;

namespace {

thread_local int t_error = BASS_OK;

// Record the outcome of a call; return its result.
template <class T> T Fail(int code, T result)
{
    t_error = code;
    return result;
}
template <class T> T Done(T result)
{
    t_error = BASS_OK;
    return result;
}
BOOL Outcome(int code)
{
    t_error = code;
    return code == BASS_OK ? TRUE : FALSE;
}

Engine& engine()
{
    return Engine::instance();
}

// A channel was started or resumed: the mixer leaves its rest for it.
BOOL Started(int code)
{
    if (code == BASS_OK)
        engine().wakeMixer();
    return Outcome(code);
}

// A user stream's source: its callback, with 8-bit samples widened.
class UserSource final : public Source {
  public:
    UserSource(STREAMPROC proc, void* user, bool eightBit, unsigned channels)
        : proc_(proc), user_(user), eightBit_(eightBit), channels_(channels)
    {
    }
    void setHandle(HSTREAM handle) { handle_ = handle; }

    std::size_t read(int16_t* out, std::size_t frames) override
    {
        const std::size_t frameBytes = channels_ * (eightBit_ ? 1 : 2);
        const DWORD asked = DWORD(frames * frameBytes);
        void* target = out;
        if (eightBit_) {
            bytes_.resize(asked);
            target = bytes_.data();
        }
        DWORD got = proc_(handle_, target, asked, user_);
        if (got > asked)
            got = asked; // a callback claiming more than it was given room for
        const std::size_t made = got / frameBytes;
        if (eightBit_)
            for (std::size_t i = 0; i < made * channels_; ++i)
                out[i] = int16_t((int(bytes_[i]) - 128) << 8);
        return made;
    }

    bool seek(uint64_t) override { return false; }

  private:
    STREAMPROC proc_;
    void* user_;
    bool eightBit_;
    unsigned channels_;
    HSTREAM handle_ = 0;
    std::vector<uint8_t> bytes_;
};

std::shared_ptr<Channel> Find(DWORD handle)
{
    int error = BASS_OK;
    std::shared_ptr<Channel> channel = engine().find(handle, error);
    t_error = error;
    return channel;
}

// A stream (music false) or a module (music true) by handle.
std::shared_ptr<Channel> FindKind(DWORD handle, bool music)
{
    std::shared_ptr<Channel> channel = Find(handle);
    if (channel && (channel->kind == Channel::Kind::Music) != music) {
        t_error = BASS_ERROR_HANDLE;
        return nullptr;
    }
    return channel;
}

DWORD AddChannel(std::shared_ptr<Channel> channel)
{
    const DWORD handle = channel->handle;
    const int error = engine().add(std::move(channel));
    return error == BASS_OK ? Done(handle) : Fail(error, DWORD(0));
}

// What every create-from-file call checks first. Null (with the error recorded)
// on failure; outputRate receives the engine's output rate.
std::unique_ptr<InputData> OpenInput(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags,
                                     DWORD allowedFlags, unsigned& outputRate)
{
    int error = BASS_OK;
    outputRate = engine().outputRate(error);
    if (!outputRate)
        return Fail(error, nullptr);
    if (flags & ~allowedFlags)
        return Fail(BASS_ERROR_ILLPARAM, nullptr);
    std::unique_ptr<InputData> data = InputData::Open(mem, file, offset, length, error);
    if (!data)
        return Fail(error, nullptr);
    return data;
}

HSTREAM CreateFileStream(const FileRules& rules, BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags)
{
    unsigned outputRate = 0;
    std::unique_ptr<InputData> data =
        OpenInput(mem, file, offset, length, flags, BASS_SAMPLE_8BITS | BASS_SAMPLE_MONO, outputRate);
    if (!data)
        return 0;
    int error = BASS_OK;
    StreamFormat format;
    std::unique_ptr<Source> source =
        OpenFileStream(std::move(data), rules, flags & BASS_SAMPLE_MONO, format, error, &Codecs, &Decoders);
    if (!source)
        return Fail(error, HSTREAM(0));
    if (format.channels == 1)
        flags |= BASS_SAMPLE_MONO;
    return AddChannel(std::make_shared<Channel>(engine().newHandle(), Channel::Kind::FileStream, flags, format,
                                                ReadAhead(std::move(source), format), outputRate));
}

} // namespace

BASS_API DWORD BASS_GetVersion(void)
{
    return Done(DWORD(BASS_VERSION));
}

BASS_API int BASS_ErrorGetCode(void)
{
    return t_error;
}

BASS_API BOOL BASS_Init(int device, DWORD freq, DWORD, HWND win)
{
    return Outcome(engine().init(device, freq, win));
}

BASS_API BOOL BASS_Start(void)
{
    return Outcome(engine().start());
}

BASS_API BOOL BASS_Stop(void)
{
    return Outcome(engine().stop());
}

BASS_API BOOL BASS_Free(void)
{
    return Outcome(engine().free());
}

BASS_API BOOL BASS_GetInfo(BASS_INFO* info)
{
    if (!info)
        return Outcome(BASS_ERROR_ILLPARAM);
    return Outcome(engine().info(*info));
}

BASS_API BOOL BASS_SetGlobalVolumes(int musvol, int samvol, int strvol)
{
    return Outcome(engine().setVolumes(musvol, samvol, strvol));
}

BASS_API BOOL BASS_GetGlobalVolumes(int* musvol, int* samvol, int* strvol)
{
    return Outcome(engine().getVolumes(musvol, samvol, strvol));
}

BASS_API HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags)
{
    return CreateFileStream(kCoreFileRules, mem, file, offset, length, flags);
}

BASS_API HSTREAM BASSADDON_StreamCreateFile(const char* demuxers, const char* const* codecs, BOOL mem, const void* file,
                                            DWORD offset, DWORD length, DWORD flags)
{
    if (!demuxers || !codecs)
        return Fail(BASS_ERROR_ILLPARAM, HSTREAM(0));
    return CreateFileStream(FileRules{demuxers, codecs}, mem, file, offset, length, flags);
}

BASS_API HSTREAM BASS_StreamCreate(DWORD freq, DWORD flags, STREAMPROC proc, void* user)
{
    int error = BASS_OK;
    const unsigned outputRate = engine().outputRate(error);
    if (!outputRate)
        return Fail(error, HSTREAM(0));
    if (!proc || (flags & ~DWORD(BASS_SAMPLE_8BITS | BASS_SAMPLE_MONO)))
        return Fail(BASS_ERROR_ILLPARAM, HSTREAM(0));
    if (freq < kMinUserRate || freq > kMaxUserRate)
        return Fail(BASS_ERROR_FORMAT, HSTREAM(0));
    StreamFormat format;
    format.rate = freq;
    format.channels = flags & BASS_SAMPLE_MONO ? 1 : 2;
    auto source = std::make_unique<UserSource>(proc, user, flags & BASS_SAMPLE_8BITS, format.channels);
    const HSTREAM handle = engine().newHandle();
    source->setHandle(handle);
    return AddChannel(
        std::make_shared<Channel>(handle, Channel::Kind::UserStream, flags, format, std::move(source), outputRate));
}

BASS_API BOOL BASS_StreamFree(HSTREAM handle)
{
    return Outcome(engine().remove(handle, false));
}

BASS_API int64_t BASS_StreamGetLength(HSTREAM handle)
{
    std::shared_ptr<Channel> channel = FindKind(handle, false);
    if (!channel)
        return -1;
    if (channel->lengthFrames < 0)
        return Fail(BASS_ERROR_NOTAVAIL, int64_t(-1));
    return Done(channel->lengthFrames * channel->bytesPerFrame());
}

BASS_API BOOL BASS_StreamPlay(HSTREAM handle, BOOL flush, DWORD)
{
    std::shared_ptr<Channel> channel = FindKind(handle, false);
    return channel ? Started(channel->play(flush)) : FALSE;
}

BASS_API HMUSIC BASS_MusicLoad(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags)
{
    unsigned outputRate = 0;
    std::unique_ptr<InputData> data =
        OpenInput(mem, file, offset, length, flags, BASS_MUSIC_MEASURELEN | BASS_SAMPLE_MONO, outputRate);
    if (!data)
        return 0;
    int error = BASS_OK;
    StreamFormat format;
    int64_t orders = 0;
    const DecoderTable* decoders = Decoders();
    if (!decoders)
        return Fail(BASS_ERROR_CODEC, HMUSIC(0));
    std::unique_ptr<Source> source =
        decoders->openMusic(std::move(data), 44100, flags & BASS_SAMPLE_MONO, format, orders, error);
    if (!source)
        return Fail(error, HMUSIC(0));
    auto channel = std::make_shared<Channel>(engine().newHandle(), Channel::Kind::Music, flags, format,
                                             ReadAhead(std::move(source), format), outputRate);
    channel->orders = orders;
    return AddChannel(std::move(channel));
}

BASS_API BOOL BASS_MusicFree(HMUSIC handle)
{
    return Outcome(engine().remove(handle, true));
}

BASS_API int64_t BASS_MusicGetLength(HMUSIC handle, BOOL playlen)
{
    std::shared_ptr<Channel> channel = FindKind(handle, true);
    if (!channel)
        return -1;
    return Done(playlen ? channel->lengthFrames * channel->bytesPerFrame() : channel->orders);
}

BASS_API BOOL BASS_MusicPlay(HMUSIC handle)
{
    std::shared_ptr<Channel> channel = FindKind(handle, true);
    return channel ? Started(channel->play(false)) : FALSE;
}

BASS_API BOOL BASS_ChannelPause(DWORD handle)
{
    std::shared_ptr<Channel> channel = Find(handle);
    return channel ? Outcome(channel->pause()) : FALSE;
}

BASS_API BOOL BASS_ChannelResume(DWORD handle)
{
    std::shared_ptr<Channel> channel = Find(handle);
    return channel ? Started(channel->resume()) : FALSE;
}

BASS_API BOOL BASS_ChannelStop(DWORD handle)
{
    std::shared_ptr<Channel> channel = Find(handle);
    if (!channel)
        return FALSE;
    channel->stop();
    return Done(TRUE);
}

BASS_API DWORD BASS_ChannelIsActive(DWORD handle)
{
    std::shared_ptr<Channel> channel = Find(handle);
    return channel ? Done(channel->activeState()) : DWORD(BASS_ACTIVE_STOPPED);
}

BASS_API DWORD BASS_ChannelGetFlags(DWORD handle)
{
    std::shared_ptr<Channel> channel = Find(handle);
    return channel ? Done(channel->flags) : DWORD(-1);
}

BASS_API int64_t BASS_ChannelGetPosition(DWORD handle)
{
    std::shared_ptr<Channel> channel = Find(handle);
    return channel ? Done(channel->position() * channel->bytesPerFrame()) : -1;
}

BASS_API BOOL BASS_ChannelSetPosition(DWORD handle, int64_t pos)
{
    std::shared_ptr<Channel> channel = Find(handle);
    if (!channel)
        return FALSE;
    if (pos < 0)
        return Outcome(BASS_ERROR_POSITION);
    return Outcome(channel->setPosition(pos / channel->bytesPerFrame()));
}

BASS_API float BASS_ChannelBytes2Seconds(DWORD handle, int64_t pos)
{
    std::shared_ptr<Channel> channel = Find(handle);
    if (!channel)
        return -1.0f;
    if (pos < 0)
        return Fail(BASS_ERROR_ILLPARAM, -1.0f);
    return Done(float(double(pos) / (double(channel->bytesPerFrame()) * channel->rate)));
}

BASS_API int64_t BASS_ChannelSeconds2Bytes(DWORD handle, float secs)
{
    std::shared_ptr<Channel> channel = Find(handle);
    if (!channel)
        return -1;
    if (!(secs >= 0.0f) || secs > 1e9f)
        return Fail(BASS_ERROR_ILLPARAM, int64_t(-1));
    // Whole frames; the small allowance keeps 0.1 s (not exact in float) at 4410 frames, not 4409.
    const int64_t frames = int64_t(std::floor(double(secs) * channel->rate + 1e-3));
    return Done(frames * channel->bytesPerFrame());
}

BASS_API BOOL BASS_ChannelSetAttributes(DWORD handle, int freq, int volume, int pan)
{
    std::shared_ptr<Channel> channel = Find(handle);
    return channel ? Outcome(channel->setAttributes(freq, volume, pan)) : FALSE;
}

BASS_API BOOL BASS_ChannelGetAttributes(DWORD handle, DWORD* freq, DWORD* volume, int* pan)
{
    std::shared_ptr<Channel> channel = Find(handle);
    if (!channel)
        return FALSE;
    channel->getAttributes(freq, volume, pan);
    return Done(TRUE);
}

BASS_API DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD flags)
{
    std::shared_ptr<Channel> channel = Find(handle);
    if (!channel)
        return DWORD(-1);
    if (flags != BASS_DATA_FFT512 || !buffer)
        return Fail(BASS_ERROR_ILLPARAM, DWORD(-1));
    if (!channel->isPlaying())
        return Fail(BASS_ERROR_NOPLAY, DWORD(-1));
    if (!engine().spectrum(*channel, static_cast<float*>(buffer)))
        return Fail(BASS_ERROR_UNKNOWN, DWORD(-1));
    return Done(DWORD(256 * sizeof(float)));
}

BASS_API HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, uint64_t param, SYNCPROC proc, void* user)
{
    std::shared_ptr<Channel> channel = Find(handle);
    if (!channel)
        return 0;
    if (type != BASS_SYNC_END)
        return Fail(BASS_ERROR_ILLTYPE, HSYNC(0));
    if (!proc || param != 0)
        return Fail(BASS_ERROR_ILLPARAM, HSYNC(0));
    return Done(channel->addSync(engine().newHandle(), proc, user));
}

BASS_API BOOL BASS_ChannelRemoveSync(DWORD handle, HSYNC sync)
{
    std::shared_ptr<Channel> channel = Find(handle);
    if (!channel)
        return FALSE;
    return Outcome(channel->removeSync(sync) ? BASS_OK : BASS_ERROR_HANDLE);
}

BASS_API HDSP BASS_ChannelSetDSP(DWORD handle, DSPPROC proc, void* user)
{
    std::shared_ptr<Channel> channel = Find(handle);
    if (!channel)
        return 0;
    if (!proc)
        return Fail(BASS_ERROR_ILLPARAM, HDSP(0));
    const HDSP dsp = engine().newHandle();
    channel->addDsp(dsp, proc, user);
    return Done(dsp);
}

BASS_API BOOL BASS_ChannelRemoveDSP(DWORD handle, HDSP dsp)
{
    std::shared_ptr<Channel> channel = Find(handle);
    if (!channel)
        return FALSE;
    return Outcome(channel->removeDsp(dsp) ? BASS_OK : BASS_ERROR_HANDLE);
}

BASS_API HFX BASS_ChannelSetFX(DWORD handle, DWORD type)
{
    std::shared_ptr<Channel> channel = Find(handle);
    if (!channel)
        return 0;
    const HFX fx = engine().newHandle();
    if (!channel->addEffect(fx, type))
        return Fail(BASS_ERROR_ILLTYPE, HFX(0));
    engine().setEffectOwner(fx, handle);
    return Done(fx);
}

BASS_API BOOL BASS_ChannelRemoveFX(DWORD handle, HFX fx)
{
    std::shared_ptr<Channel> channel = Find(handle);
    if (!channel)
        return FALSE;
    if (!channel->removeEffect(fx))
        return Outcome(BASS_ERROR_HANDLE);
    engine().forgetEffect(fx);
    return Done(TRUE);
}

namespace {

BOOL EffectParameters(HFX fx, void* get, const void* set)
{
    if (!get && !set)
        return Outcome(BASS_ERROR_ILLPARAM);
    int error = BASS_OK;
    std::shared_ptr<Channel> channel = engine().findEffectOwner(fx, error);
    if (!channel)
        return Outcome(error);
    bool valid = true;
    if (!channel->effectParameters(fx, get, set, &valid))
        return Outcome(BASS_ERROR_HANDLE);
    return Outcome(valid ? BASS_OK : BASS_ERROR_ILLPARAM);
}

} // namespace

BASS_API BOOL BASS_FXGetParameters(HFX fx, void* params)
{
    return EffectParameters(fx, params, nullptr);
}

BASS_API BOOL BASS_FXSetParameters(HFX fx, const void* params)
{
    return EffectParameters(fx, nullptr, params);
}
