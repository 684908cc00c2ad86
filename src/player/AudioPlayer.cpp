#include "AudioPlayer.h"

#include "BassBinding.h"
#include "OutputEmulator.h"
#include "PluginHost.h"

#include "fileinfo/MPEGaudio.h"
#include "fileinfo/OggVorbis.h"
#include "fileinfo/Rounding.h"
#include "fileinfo/WAVfile.h"
#include "fileinfo/WMAfile.h"
#include "platform/folders.h"
#include "platform/msgbox.h"
#include "platform/winmsg.h"

#include <QTimer>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>

namespace player {
namespace {

constexpr int kSpectrumIntervalMs = 33;
constexpr int kStartPasses = 60; // Play waits up to 60 x 50 ms for 200 ms of plug-in output
constexpr int kStartSleepMs = 50;
constexpr int kStartOutputMs = 200;
constexpr int kSeekPasses = 51; // SetPosition waits up to 51 x 40 ms for the output to restart
constexpr int kSeekSleepMs = 40;
constexpr int kDrainSleepMs = 50;

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// ".WAV" for "/music/a.wav"; empty when the name has no dot.
std::string upperExtension(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    return upper(path.substr(dot));
}

uint32_t roundedMs(double seconds)
{
    return static_cast<uint32_t>(std::max<int64_t>(fileinfo::RoundHalfEven(seconds * 1000.0), 0));
}

template <typename Reader> void copyStream(TStreamInfo& info, const Reader& reader, unsigned channels, int bitRateKbps)
{
    info.FileSize = static_cast<uint32_t>(reader.FileSize());
    info.SampleRate = static_cast<int32_t>(reader.SampleRate());
    info.BitRate = bitRateKbps;
    info.Duration = roundedMs(reader.DurationSeconds());
    info.Channels = static_cast<uint16_t>(channels);
}

template <typename Tag>
void copyTags(TStreamInfo& info, const Tag& tag, const std::string& year, const std::string& genre)
{
    info.Title = tag.Title();
    info.Artist = tag.Artist();
    info.Album = tag.Album();
    info.Year = year;
    info.Genre = genre;
    info.Track = static_cast<uint8_t>(tag.Track());
    info.Comment = tag.Comment();
}

uint32_t fileSizeOf(const std::string& fileName)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(fileName, error);
    return error ? 0 : static_cast<uint32_t>(std::min<std::uintmax_t>(size, UINT32_MAX));
}

// Tracker modules have no file reader: the engine loads the module to measure
// it. Rendered in stereo at 44.1 kHz; no title of their own through the engine.
bool ReadModuleInfo(const std::string& fileName, TStreamInfo& info)
{
    const BassFunctions& bass = Bass();
    const HMUSIC module = bass.BASS_MusicLoad(FALSE, fileName.c_str(), 0, 0, BASS_MUSIC_MEASURELEN);
    if (module == 0)
        return false;
    const int64_t bytes = bass.BASS_MusicGetLength(module, TRUE);
    const float seconds = bytes < 0 ? -1.0f : bass.BASS_ChannelBytes2Seconds(module, bytes);
    bass.BASS_MusicFree(module);
    if (seconds < 0)
        return false;
    info.FileSize = fileSizeOf(fileName);
    info.SampleRate = 44100;
    info.Channels = 2;
    info.Duration = roundedMs(seconds);
    return true;
}

// The readers know fewer forms of the engine's stream types than the engine
// decodes: more than two channels, the RF64 header of long recordings, a file
// named as another of these types. Such a file is measured by the engine.
// It tells no channel count, bit rate or tags this way.
bool ReadStreamInfoFromEngine(const std::string& fileName, TStreamInfo& info)
{
    const BassFunctions& bass = Bass();
    const HSTREAM stream = bass.BASS_StreamCreateFile(FALSE, fileName.c_str(), 0, 0, 0);
    if (stream == 0)
        return false;
    DWORD rate = 0;
    bass.BASS_ChannelGetAttributes(stream, &rate, nullptr, nullptr);
    const int64_t bytes = bass.BASS_StreamGetLength(stream);
    const float seconds = bass.BASS_ChannelBytes2Seconds(stream, std::max<int64_t>(bytes, 0));
    bass.BASS_StreamFree(stream);
    info.FileSize = fileSizeOf(fileName);
    info.SampleRate = static_cast<int32_t>(rate);
    info.Duration = roundedMs(seconds);
    return true;
}

// .mpga and .oga: the names the desktop's audio/mpeg and audio/ogg types give as well.
bool IsMpegExtension(const std::string& extension)
{
    return extension == ".MP3" || extension == ".MP2" || extension == ".MP1" || extension == ".MPGA";
}

bool IsOggExtension(const std::string& extension)
{
    return extension == ".OGG" || extension == ".OGA";
}

bool IsEngineStreamExtension(const std::string& extension)
{
    return extension == ".WAV" || IsMpegExtension(extension) || IsOggExtension(extension);
}

bool IsModuleExtension(const std::string& extension)
{
    static constexpr std::array<const char*, 5> kModules{".MOD", ".S3M", ".XM", ".IT", ".MTM"};
    return std::find(kModules.begin(), kModules.end(), extension) != kModules.end();
}

// A plug-in claims a file when the first three letters of its extension occur
// in its extension list and it reports a length. slot is the last plug-in
// asked, even when none claimed the file.
struct PluginClaim {
    int slot = -1;
    std::string title;
    int length = 0;
};

PluginClaim claimByPlugin(const std::string& fileName)
{
    const std::string extension = upperExtension(fileName);
    const std::string claim = extension.substr(std::min<std::size_t>(extension.size(), 1), 3);
    PluginClaim result;
    std::array<char, 256> title{};
    for (int i = 0; i < kPluginSlots && !claim.empty() && result.length <= 0; ++i) {
        if (!PluginPlayable(i) || upper(GetPluginInfo(i).FileExtensions).find(claim) == std::string::npos)
            continue;
        result.slot = i;
        title.fill(0);
        GetPluginModule(i)->GetFileInfo(fileName.c_str(), title.data(), &result.length);
        title.back() = '\0';
    }
    if (result.length > 0)
        result.title = title.data();
    return result;
}

// The engine's end sync: on the mixing thread, so it only posts.
void EndSync(HSYNC, DWORD channel, DWORD, void* user)
{
    PostMessage(static_cast<HWND>(user), STREAM_END, channel, 0);
}

} // namespace

TAudioPlayer::TAudioPlayer(HWND applicationWindow)
    : applicationWindow_(applicationWindow), spectrumTimer_(std::make_unique<QTimer>()),
      mpegReader_(std::make_unique<fileinfo::TMPEGaudio>()),
      oggReader_(std::make_unique<fileinfo::OggVorbis::TOggVorbis>()),
      wmaReader_(std::make_unique<fileinfo::TWMAfile>()), wavReader_(std::make_unique<fileinfo::WAVfile::TWAVfile>())
{
    messageWindow_ = platform::CreateMessageWindow(
        [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) { return handleMessage(message, wParam, lParam); });
    SetOutputWindows(messageWindow_, applicationWindow_);
    spectrumTimer_->setInterval(kSpectrumIntervalMs);
    QObject::connect(spectrumTimer_.get(), &QTimer::timeout, [this] { UpdateSpectrum(); });
    startEngine();
}

void TAudioPlayer::startEngine()
{
    if (!LoadBass(platform::ProgramFolder()))
        return;
    const BassFunctions& bass = Bass();
    const DWORD version = bass.BASS_GetVersion();
    const DWORD major = version & 0xFFFF;
    const DWORD minor = version >> 16;
    if (major < BASS_VERSION_MAJOR || (major == BASS_VERSION_MAJOR && minor < BASS_VERSION_MINOR)) {
        ShowError("BASS version is not 1.8 or higher");
        return;
    }
    if (!bass.BASS_Init(-1, 44100, 0, applicationWindow_)) {
        ShowError("Can't initialize device");
        return;
    }
    if (!bass.BASS_Start())
        return;
    playerReady_ = true;

    BASS_INFO info{};
    info.size = sizeof(BASS_INFO);
    dx8EffectReady_ = bass.BASS_GetInfo(&info) && info.dsver >= 8;
    if (!dx8EffectReady_)
        MessageBox(applicationWindow_, "DirectX Ver 8 are not installed.\r\nSound effects except flanger are disabled.",
                   "Warning", MB_OK | MB_ICONWARNING);

    bass.BASS_GetGlobalVolumes(nullptr, nullptr, &volume_);
    bassVersion_ = std::to_string(major) + "." + std::to_string(minor);

    wmaReady_ = LoadBassWma(platform::ProgramFolder());
    StartPluginHost();
}

TAudioPlayer::~TAudioPlayer()
{
    OnModeChange = nullptr; // the owner may be half gone
    spectrumTimer_->stop();
    if (kind_ == ckPlugin)
        stopPlugin();
    else
        Stop();
    // Plug-ins go before the engine: their Quit may still reach the output module.
    ShutdownPluginHost();
    UnloadBassWma();
    UnloadBass();
    SetOutputWindows(nullptr, nullptr);
    DestroyWindow(messageWindow_);
}

void TAudioPlayer::ShowError(const std::string& message)
{
    const std::string text = message + "\r\n" + "(error code: " + std::to_string(Bass().BASS_ErrorGetCode()) + ")";
    MessageBox(applicationWindow_, text.c_str(), "Error", MB_OK | MB_ICONERROR);
}

// --- file information ----------------------------------------------------------

void TAudioPlayer::readNativeInfo(const std::string& fileName, const std::string& extension, TStreamInfo& info,
                                  bool& accepted, bool& engineCanPlay)
{
    accepted = false;
    engineCanPlay = playerReady_;
    if (extension == ".WAV") {
        fileinfo::WAVfile::TWAVfile& wav = *wavReader_;
        wav.Read(fileName);
        if (!wav.Recognised())
            return;
        copyStream(info, wav, wav.ChannelCount(), 0); // no bit rate, no tags
    } else if (IsMpegExtension(extension)) {
        fileinfo::TMPEGaudio& mpeg = *mpegReader_;
        mpeg.Read(fileName);
        if (!mpeg.IsPlausible())
            return;
        copyStream(info, mpeg, mpeg.ChannelModeText() == "Mono" ? 1 : 2, mpeg.BitRateKbps());
        if (const fileinfo::TID3v1& v1 = mpeg.Id3v1Tag(); v1.TagFound()) {
            copyTags(info, v1, v1.Year(), v1.GenreName());
            info.GenreID = v1.GenreIndex();
        } else if (const fileinfo::TID3v2& v2 = mpeg.Id3v2Tag(); v2.TagFound()) {
            copyTags(info, v2, v2.Year(), v2.Genre());
        }
    } else if (IsOggExtension(extension)) {
        fileinfo::OggVorbis::TOggVorbis& ogg = *oggReader_;
        ogg.Read(fileName);
        if (!ogg.IsPlausible())
            return;
        copyStream(info, ogg, ogg.ChannelCount(), ogg.BitRateKbps());
        copyTags(info, ogg, ogg.Date(), ogg.Genre());
    } else if (extension == ".WMA") {
        fileinfo::TWMAfile& wma = *wmaReader_;
        wma.Read(fileName);
        if (!wma.Recognised())
            return;
        engineCanPlay = wmaReady_;
        copyStream(info, wma, wma.ChannelCount(), wma.BitRateKbps());
        copyTags(info, wma, wma.Year(), wma.Genre());
    } else if (IsModuleExtension(extension)) {
        if (!playerReady_ || !ReadModuleInfo(fileName, info))
            return;
    } else {
        return;
    }
    accepted = true;
}

bool TAudioPlayer::GetStreamInfo(const std::string& fileName, TStreamInfo& info, TSourceSupport& support, int& slot)
{
    info = TStreamInfo{};
    info.FileName = fileName;
    support = ssNone;
    slot = -1;
    const std::string extension = upperExtension(fileName);
    bool result = false;
    bool engineCanPlay = false;
    readNativeInfo(fileName, extension, info, result, engineCanPlay);
    if (result && engineCanPlay)
        support = ssNative;

    const PluginClaim claim = claimByPlugin(fileName);
    slot = claim.slot;
    if (claim.length <= 0) {
        // Refused by its reader and claimed by no plug-in: the engine decides.
        if (!result && playerReady_ && IsEngineStreamExtension(extension) && ReadStreamInfoFromEngine(fileName, info)) {
            support = ssNative;
            return true;
        }
        return result;
    }
    if (support == ssNative) {
        support = ssBoth;
    } else {
        if (playerReady_)
            support = ssPlugin;
        info.Title = claim.title;
        info.Duration = static_cast<uint32_t>(claim.length);
    }
    return true;
}

bool TAudioPlayer::GetPluginFileInfo(const std::string& fileName, std::string& title, int& lengthMs) const
{
    PluginClaim claim = claimByPlugin(fileName);
    title = std::move(claim.title);
    lengthMs = std::max(claim.length, 0);
    return claim.length > 0;
}

std::string TAudioPlayer::GetNativeFileExts() const
{
    if (!playerReady_)
        return "";
    const std::string modules = "*.mod;*.s3m;*.xm;*.it;*.mtm;";
    return std::string("*.wav;*.mp1;*.mp2;*.mp3;*.mpga;*.ogg;*.oga;") + (wmaReady_ ? "*.wma;" : "") + modules;
}

std::string TAudioPlayer::GetPluginFileExts() const
{
    return player::GetPluginFileExts();
}

// --- opening -------------------------------------------------------------------

void TAudioPlayer::releaseChannel()
{
    const BassFunctions& bass = Bass();
    switch (kind_) {
    case ckStream:
    case ckWMAStream:
        bass.BASS_StreamFree(channel_);
        break;
    case ckMusic:
        bass.BASS_MusicFree(channel_);
        break;
    case ckPlugin:
        stopPlugin();
        break;
    case ckNone:
        break;
    }
    channel_ = 0;
}

void TAudioPlayer::choosePlugin(int slot)
{
    kind_ = ckPlugin;
    pluginModule_ = GetPluginModule(slot);
    pluginSlot_ = slot;
    SelectPlugin(slot);
}

bool TAudioPlayer::createNativeChannel(const std::string& fileName)
{
    const BassFunctions& bass = Bass();
    if ((channel_ = bass.BASS_StreamCreateFile(FALSE, fileName.c_str(), 0, 0, 0)) != 0)
        kind_ = ckStream;
    else if (wmaReady_ && (channel_ = BassWma().BASS_WMA_StreamCreateFile(FALSE, fileName.c_str(), 0, 0, 0)) != 0)
        kind_ = ckWMAStream;
    else if ((channel_ = bass.BASS_MusicLoad(FALSE, fileName.c_str(), 0, 0, BASS_MUSIC_MEASURELEN)) != 0)
        kind_ = ckMusic;
    else
        kind_ = ckNone;
    return kind_ != ckNone;
}

bool TAudioPlayer::Open(const std::string& fileName)
{
    if (!playerReady_) {
        MessageBox(applicationWindow_, "Player is not ready !", "Confirm", MB_OK);
        return false;
    }
    TStreamInfo info;
    TSourceSupport support;
    int slot;
    if (!GetStreamInfo(fileName, info, support, slot)) {
        ShowError("Invalid stream file(" + fileName + ") !");
        return false;
    }
    releaseChannel();
    ++openCount_;
    outputStarted_ = false;

    if (support == ssPlugin || (support == ssBoth && pluginFirst_)) {
        choosePlugin(slot);
    } else if (!createNativeChannel(fileName)) {
        // The engine decodes fewer WAV codecs (no ADPCM, no GSM) than the
        // plug-in that claimed the file as well: then the plug-in plays it,
        // described as a file only it plays.
        const PluginClaim claim = support == ssBoth ? claimByPlugin(fileName) : PluginClaim{};
        if (claim.length <= 0) {
            ShowError("Can't play the file");
            return false;
        }
        info.Title = claim.title;
        info.Duration = static_cast<uint32_t>(claim.length);
        choosePlugin(claim.slot);
    } else if (Bass().BASS_ChannelGetFlags(channel_) & BASS_SAMPLE_8BITS) {
        Bass().BASS_MusicFree(channel_);
        Bass().BASS_StreamFree(channel_);
        kind_ = ckNone;
        channel_ = 0;
        ShowError("Sound card does not support 16-bit sources.");
        return false;
    }

    ClearEffectHandles();
    if (kind_ != ckPlugin)
        SetSoundEffects(soundEffects_); // a plug-in's stream gets them when its output starts
    streamFileName_ = fileName;
    streamInfo_ = info;
    support_ = support;
    setMode(psReady);
    return true;
}

// --- transport -----------------------------------------------------------------

bool TAudioPlayer::startChannel()
{
    switch (kind_) {
    case ckStream:
    case ckWMAStream:
        return Bass().BASS_StreamPlay(channel_, FALSE, 0) != 0;
    case ckMusic:
        return Bass().BASS_MusicPlay(channel_) != 0;
    case ckPlugin:
        return startPlugin();
    case ckNone:
        break;
    }
    return false;
}

bool TAudioPlayer::startPlugin()
{
    // Unloaded while stopped (the player did not hold it then): nothing to call.
    if (GetPluginModule(pluginSlot_) != pluginModule_)
        return false;
    SetPluginInUse(pluginSlot_);
    busy_ = true;
    outputStarted_ = false;
    endedWhileStarting_ = false;
    startWaiting_ = true;
    channel_ = 1; // until the output reports its stream
    const uint64_t opened = openCount_;
    TInModule* module = pluginModule_;
    module->Play(streamFileName_.c_str());
    SetVolume(volume_); // over whatever the plug-in set while it opened its output
    // Condition: 200 ms have sounded, or a stream shorter than that has already
    // ended, or another file was opened meanwhile.
    platform::PumpWait(kStartPasses, kStartSleepMs, [&] {
        return openCount_ != opened || endedWhileStarting_ || module->GetOutputTime() > kStartOutputMs;
    });
    const bool started = openCount_ == opened && (endedWhileStarting_ || module->GetOutputTime() > kStartOutputMs);
    startWaiting_ = false;
    busy_ = false;
    return started;
}

void TAudioPlayer::setMode(TPlayState mode)
{
    if (mode == mode_)
        return;
    mode_ = mode;
    if (OnModeChange)
        OnModeChange(*this);
}

// After a channel has started: the mode, the spectrum, and an end that arrived meanwhile.
void TAudioPlayer::startedPlaying()
{
    setMode(psPlaying);
    if (kind_ != ckPlugin)
        enableSpectrum();
    if (endedWhileStarting_) {
        endedWhileStarting_ = false;
        pluginStreamEnded();
    }
}

void TAudioPlayer::Play()
{
    if (busy_ || kind_ == ckNone || mode_ == psPlaying)
        return;
    if (mode_ == psPaused) {
        Pause(false);
        return;
    }
    if (mode_ == psStopped) {
        if (kind_ != ckPlugin)
            SetPosition(0);
        Restart();
        return;
    }
    if (!startChannel())
        return;
    if (kind_ == ckWMAStream)
        BassWma().BASS_WMA_ChannelSetSync(channel_, BASS_SYNC_END, 0, EndSync, messageWindow_);
    else if (kind_ != ckPlugin)
        Bass().BASS_ChannelSetSync(channel_, BASS_SYNC_END, 0, EndSync, messageWindow_);
    startedPlaying();
}

void TAudioPlayer::Restart()
{
    if (mode_ != psStopped || busy_)
        return;
    if (startChannel())
        startedPlaying();
}

void TAudioPlayer::Pause(bool pause)
{
    if (pause) {
        if (mode_ != psPlaying)
            return;
        if (kind_ == ckPlugin)
            pluginModule_->Pause();
        else
            Bass().BASS_ChannelPause(channel_);
        setMode(psPaused);
        return;
    }
    if (mode_ != psPaused)
        return;
    if (kind_ == ckPlugin)
        pluginModule_->UnPause();
    else
        Bass().BASS_ChannelResume(channel_);
    setMode(psPlaying);
    if (streamSounds())
        enableSpectrum();
}

void TAudioPlayer::Stop()
{
    if (mode_ != psPlaying)
        return;
    if (kind_ == ckPlugin)
        stopPlugin();
    else
        Bass().BASS_ChannelStop(channel_);
    setMode(psStopped);
}

void TAudioPlayer::stopPlugin()
{
    if (channel_ == 0)
        return;
    pluginModule_->Stop();
    SetPluginInUse(-1);
    channel_ = 0;
    ClearEffectHandles();
}

uint32_t TAudioPlayer::bytesToMs(int64_t bytes) const
{
    return roundedMs(Bass().BASS_ChannelBytes2Seconds(channel_, std::max<int64_t>(bytes, 0)));
}

uint32_t TAudioPlayer::PlayLength() const
{
    switch (kind_) {
    case ckStream:
    case ckWMAStream:
        return bytesToMs(Bass().BASS_StreamGetLength(channel_));
    case ckMusic:
        return bytesToMs(Bass().BASS_MusicGetLength(channel_, TRUE));
    case ckPlugin:
        return streamInfo_.Duration;
    case ckNone:
        break;
    }
    return 0;
}

uint32_t TAudioPlayer::Position() const
{
    switch (kind_) {
    case ckStream:
    case ckWMAStream:
    case ckMusic:
        return bytesToMs(Bass().BASS_ChannelGetPosition(channel_));
    case ckPlugin:
        if (mode_ == psReady)
            return 0;
        return static_cast<uint32_t>(
            std::max(outputStarted_ || channel_ == 0 ? OutputTime() : pluginModule_->GetOutputTime(), 0));
    case ckNone:
        break;
    }
    return 0;
}

void TAudioPlayer::SetPosition(uint32_t ms)
{
    // The engine's length of the open channel, not the reader's estimate, which can be short.
    if (kind_ == ckNone || ms > PlayLength() || busy_)
        return;
    if (kind_ == ckStream || kind_ == ckWMAStream || kind_ == ckMusic) {
        const int64_t offset = Bass().BASS_ChannelSeconds2Bytes(channel_, static_cast<float>(ms) / 1000.0f);
        Bass().BASS_ChannelSetPosition(channel_, offset);
    } else if (kind_ == ckPlugin) {
        seekPlugin(ms);
    }
}

void TAudioPlayer::seekPlugin(uint32_t ms)
{
    if (channel_ == 0)
        return; // stopped: the next Play starts over anyway
    // Only a sounding output is flushed and restarted; otherwise nothing is awaited.
    const bool awaitOutput = mode_ == psPlaying && outputStarted_;
    busy_ = awaitOutput;
    seekSettled_ = false;
    const uint64_t opened = openCount_;
    SetOutputSeekPending();
    pluginModule_->SetOutputTime(static_cast<int>(ms));
    // Condition: the output restarted after its flush (PLUGIN_OUTPUT_STARTED) or
    // the stream ended; given up when playback stops or another file is opened.
    platform::PumpWait(kSeekPasses, kSeekSleepMs, [&] {
        if (mode_ != psPlaying || openCount_ != opened)
            return true;
        if (awaitOutput && !seekSettled_)
            return false;
        enableSpectrum();
        return true;
    });
    busy_ = false;
}

void TAudioPlayer::SetVolume(int volume)
{
    if (!playerReady_)
        return;
    if (volume == -1)
        return;
    volume_ = std::clamp(volume, 0, 100);
    // Every kind plays at the one volume, so a switch of kind never changes it.
    Bass().BASS_SetGlobalVolumes(volume_, volume_, volume_);
    if (kind_ == ckPlugin && channel_ != 0)
        pluginModule_->SetVolume(static_cast<int>(fileinfo::RoundHalfEven(volume_ * 255.0 / 100.0)));
}

void TAudioPlayer::ShowPluginConfig()
{
    if (!playerReady_) {
        MessageBox(applicationWindow_, "Player is not ready !", "Confirm", MB_OK);
        return;
    }
    if (configWindow_)
        configWindow_(PluginConfigRequest{pluginFirst_, messageWindow_, applicationWindow_});
}

// --- spectrum ------------------------------------------------------------------

void TAudioPlayer::enableSpectrum()
{
    if (OnNewFFTData && spectrumSeen_)
        spectrumTimer_->start();
}

void TAudioPlayer::SetSpectrumSeen(bool seen)
{
    if (seen == spectrumSeen_)
        return;
    spectrumSeen_ = seen;
    if (!seen)
        spectrumTimer_->stop();
    else if (mode_ == psPlaying && streamSounds())
        enableSpectrum();
}

void TAudioPlayer::UpdateSpectrum()
{
    const BassFunctions& bass = Bass();
    if (!playerReady_ || bass.BASS_ChannelIsActive(channel_) != BASS_ACTIVE_PLAYING) {
        spectrumTimer_->stop();
        return;
    }
    if (bass.BASS_ChannelGetData(channel_, fft_.data(), BASS_DATA_FFT512) == DWORD(-1)) {
        bands_.fill(0);
        return;
    }
    UpdateBands(bands_, fft_.data());
    PostMessage(messageWindow_, FFT_DATA_READY, 0, 0);
}

// --- messages ------------------------------------------------------------------

void TAudioPlayer::pluginStreamEnded()
{
    // An end from a plug-in that was stopped or replaced meanwhile is old news.
    if (kind_ != ckPlugin || channel_ == 0)
        return;
    if (startWaiting_) {
        endedWhileStarting_ = true;
        return;
    }
    busy_ = false;
    if (outputStarted_) {
        // The plug-in reports its end once the output has gone quiet, so this is
        // normally over at once; the bound covers a plug-in that reports early.
        const uint64_t opened = openCount_;
        const int passes = (OutputRingMs() + 1000) / kDrainSleepMs + 1;
        // Condition: the output stream no longer plays, or another file was opened.
        platform::PumpWait(passes, kDrainSleepMs, [&] {
            return openCount_ != opened || Bass().BASS_ChannelIsActive(channel_) != BASS_ACTIVE_PLAYING;
        });
        if (openCount_ != opened)
            return;
    }
    // The end stops playback even while paused: nothing is left to resume.
    if (mode_ == psPlaying || mode_ == psPaused) {
        stopPlugin();
        setMode(psStopped);
    }
    if (OnPlayEnd)
        OnPlayEnd(*this);
}

void TAudioPlayer::pluginOutputStarted(const OutputFormat* format)
{
    if (kind_ != ckPlugin || channel_ == 0 || !format)
        return;
    seekSettled_ = true;
    outputStarted_ = true;
    streamInfo_.Channels = format->Channels;
    streamInfo_.SampleRate = static_cast<int32_t>(format->SampleRate);
    if (OnPluginStartPlay)
        OnPluginStartPlay(*this, format->Channels, format->SampleRate);
    enableSpectrum();
    SetSoundEffects(soundEffects_);
    // The plug-in may have set a volume of its own while it opened its output.
    Bass().BASS_SetGlobalVolumes(volume_, volume_, volume_);
}

LRESULT TAudioPlayer::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_QUERYENDSESSION:
        return 1;
    case PLUGIN_EOF:
        pluginStreamEnded();
        return 0;
    case PLUGIN_OUTPUT_STARTED:
        pluginOutputStarted(reinterpret_cast<const OutputFormat*>(lParam));
        return 0;
    case PLUGIN_CHANNEL:
        if (kind_ == ckPlugin && channel_ != 0 && channel_ != static_cast<DWORD>(wParam)) {
            // A new output stream (a plug-in may open twice): the effects went with the
            // old one and are set again when the new one starts.
            channel_ = static_cast<DWORD>(wParam);
            ClearEffectHandles();
        }
        return 0;
    case STREAM_END:
        // The sync names its channel: the end of a channel already replaced is dropped.
        if (kind_ != ckPlugin && wParam == channel_) {
            setMode(psStopped);
            if (OnPlayEnd)
                OnPlayEnd(*this);
        }
        return 0;
    case FFT_DATA_READY:
        if (OnNewFFTData)
            OnNewFFTData(*this, bands_);
        return 0;
    case SET_PLUGIN_FIRST:
        pluginFirst_ = lParam != 0;
        return 0;
    default:
        return 0;
    }
}

} // namespace player
