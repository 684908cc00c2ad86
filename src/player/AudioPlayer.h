// TAudioPlayer: the one component through which the program makes sound. It
// plays files the engine decodes itself (file streams, WMA streams, music
// modules) on an engine channel, and files only an input plug-in can decode
// through the plug-in host and its output emulator. It owns the sound effects,
// computes the spectrum bands, and reports the end of playback, the start of a
// plug-in's output and new spectrum values.
//
// Everything runs on the user-interface thread. The engine's mixing thread and
// a plug-in's decode thread reach the player only by messages posted to its
// hidden message window.
#pragma once

#include "FFTBands.h"

#include "platform/wintypes.h"
#include "player/plugin_api.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QTimer;

namespace fileinfo {
class TMPEGaudio;
class TWMAfile;
namespace OggVorbis {
class TOggVorbis;
}
namespace WAVfile {
class TWAVfile;
}
} // namespace fileinfo

namespace player {

enum TPlayState : uint8_t { psStandby = 0, psReady = 1, psStopped = 2, psPlaying = 3, psPaused = 4 };

enum TChannelKind : uint8_t { ckNone = 0, ckStream = 1, ckWMAStream = 2, ckMusic = 3, ckPlugin = 4 };

// Which decoder can play a file.
enum TSourceSupport : uint8_t { ssBoth = 0, ssNative = 1, ssPlugin = 2, ssNone = 3 };

struct TStreamInfo {
    std::string FileName;
    uint32_t FileSize = 0;
    int32_t SampleRate = 0;
    int32_t BitRate = 0;   // kbit/s
    uint32_t Duration = 0; // ms
    uint16_t Channels = 0;
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Year;
    std::string Genre;
    uint8_t GenreID = 0; // ID3v1 only
    uint8_t Track = 0;
    std::string Comment;
};

// Effect bits.
using TSoundEffects = uint8_t;
constexpr TSoundEffects seFlanger = 1;
constexpr TSoundEffects seEqualizer = 2;
constexpr TSoundEffects seEcho = 4;
constexpr TSoundEffects seReverb = 8;

constexpr int kEQBandCount = 10;
using EQGains = std::array<float, kEQBandCount>; // dB, band 1 first

// What the plug-in configuration window needs from the player when it opens.
struct PluginConfigRequest {
    bool PluginFirst;  // the window's check box starts from this
    HWND PlayerWindow; // it posts SET_PLUGIN_FIRST here
    HWND Owner;        // the application window
};
// Shows the window modally; the main window's side attaches it.
using PluginConfigWindow = std::function<void(const PluginConfigRequest&)>;

class TAudioPlayer {
  public:
    // Loads and starts the engine, its WMA add-on and the plug-in host.
    // applicationWindow owns the player's message boxes.
    explicit TAudioPlayer(HWND applicationWindow = nullptr);
    // Stops playback, shuts the plug-in host down, frees the engine.
    ~TAudioPlayer();
    TAudioPlayer(const TAudioPlayer&) = delete;
    TAudioPlayer& operator=(const TAudioPlayer&) = delete;

    bool Open(const std::string& fileName);
    void Play();
    void Pause(bool pause); // true: pause, false: resume
    void Stop();
    void Restart();
    uint32_t PlayLength() const; // ms
    uint32_t Position() const;   // ms
    void SetPosition(uint32_t ms);
    void SetVolume(int volume); // 0..100; -1 leaves the engine's volume as it is
    bool GetStreamInfo(const std::string& fileName, TStreamInfo& info, TSourceSupport& support, int& slot);
    // The title and length (ms) that the loaded plug-in claiming the file gives
    // for it; false, with an empty title and 0, when no plug-in claims it.
    bool GetPluginFileInfo(const std::string& fileName, std::string& title, int& lengthMs) const;
    std::string GetNativeFileExts() const;
    std::string GetPluginFileExts() const;
    void ShowPluginConfig();
    void SetPluginConfigWindow(PluginConfigWindow window) { configWindow_ = std::move(window); }

    // Sound effects.
    void SetSoundEffects(TSoundEffects effects);
    void SetEQGains(const EQGains& gains);
    void SetEchoLevel(int level);   // 0..32; other values are ignored
    void SetReverbLevel(int level); // 0..32; other values are ignored

    // Properties.
    std::string Version() const { return "1.2"; }
    const std::string& BASSDLLVer() const { return bassVersion_; } // empty when the engine did not start
    bool DX8EffectReady() const { return dx8EffectReady_; }
    bool PluginFirst() const { return pluginFirst_; }
    void SetPluginFirst(bool value) { pluginFirst_ = value; }
    TPlayState Mode() const { return mode_; }
    bool PlayerReady() const { return playerReady_; }
    bool BASSWMAReady() const { return wmaReady_; }
    TSoundEffects SoundEffects() const { return soundEffects_; }
    const EQGains& EQBandGains() const { return gains_; }
    int EchoLevel() const { return echoLevel_; }
    int ReverbLevel() const { return reverbLevel_; }
    const std::string& StreamFileName() const { return streamFileName_; }
    const TStreamInfo& StreamInfo() const { return streamInfo_; }
    TSourceSupport SourceSupport() const { return support_; }
    TChannelKind ChannelKind() const { return kind_; }
    DWORD Channel() const { return channel_; }
    HWND MessageWindow() const { return messageWindow_; }
    const TBandOut& BandOut() const { return bands_; }

    // Events, raised on the user-interface thread.
    std::function<void(TAudioPlayer&)> OnPlayEnd;
    std::function<void(TAudioPlayer&, const TBandOut&)> OnNewFFTData;
    std::function<void(TAudioPlayer&, uint16_t channels, uint32_t sampleRate)> OnPluginStartPlay;
    // Whenever Mode changes, from inside the operation that changed it; not
    // while the player is being destroyed. The window's timers follow it.
    std::function<void(TAudioPlayer&)> OnModeChange;

    // One spectrum tick (the 33-ms timer's handler).
    void UpdateSpectrum();
    // Whether anyone can see the spectrum (its window is on screen). While no
    // one can, the ticks stop; they start again at once when someone can.
    void SetSpectrumSeen(bool seen);
    bool SpectrumSeen() const { return spectrumSeen_; }

  private:
    void startEngine();
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ShowError(const std::string& message);
    void readNativeInfo(const std::string& fileName, const std::string& extension, TStreamInfo& info, bool& accepted,
                        bool& engineCanPlay);
    void releaseChannel();
    bool createNativeChannel(const std::string& fileName);
    // The plug-in in slot plays the opened file.
    void choosePlugin(int slot);
    bool startChannel();
    bool startPlugin();
    void stopPlugin(); // the plug-in's Stop, once, and the effects with its stream
    void startedPlaying();
    void setMode(TPlayState mode);
    void seekPlugin(uint32_t ms);
    void enableSpectrum();
    // The channel's sound has begun: at once for the engine's own, once its
    // output started for a plug-in's.
    bool streamSounds() const { return kind_ != ckPlugin || outputStarted_; }
    uint32_t bytesToMs(int64_t bytes) const;
    void pluginStreamEnded();
    void pluginOutputStarted(const OutputFormat* format);
    void ClearEffectHandles();
    void applyBand(int band, float gain);
    void applyEcho();
    void applyReverb();
    void removeEffect(DWORD& handle);

    HWND applicationWindow_;
    HWND messageWindow_ = nullptr;
    std::unique_ptr<QTimer> spectrumTimer_;
    PluginConfigWindow configWindow_;

    TPlayState mode_ = psStandby;
    TChannelKind kind_ = ckNone;
    DWORD channel_ = 0;
    TInModule* pluginModule_ = nullptr;
    int pluginSlot_ = -1;

    // The bounded waits for a plug-in's output. busy_ refuses Play, Restart and
    // SetPosition while one is in progress.
    bool busy_ = false;
    bool outputStarted_ = false;      // the plug-in's output stream has begun to play
    bool startWaiting_ = false;       // Play or Restart waits for the first 200 ms of output
    bool endedWhileStarting_ = false; // PLUGIN_EOF came during that wait: handled after it
    bool seekSettled_ = false;        // the output restarted (or ended) after a seek
    uint64_t openCount_ = 0;          // a wait whose file was replaced meanwhile gives up

    bool playerReady_ = false;
    bool wmaReady_ = false;
    bool dx8EffectReady_ = false;
    bool pluginFirst_ = false;
    bool spectrumSeen_ = true;
    std::string bassVersion_;

    std::string streamFileName_;
    TStreamInfo streamInfo_;
    TSourceSupport support_ = ssNone;

    int volume_ = 100; // one volume for native streams, modules and plug-in output alike

    // Effect state: survives channels; the handles belong to the current channel (0: not set).
    TSoundEffects soundEffects_ = 0;
    EQGains gains_{};
    int echoLevel_ = 16;
    int reverbLevel_ = 16;
    DWORD dspHandle_ = 0;
    std::array<DWORD, kEQBandCount> eqHandles_{};
    DWORD echoHandle_ = 0;
    DWORD reverbHandle_ = 0;

    TBandOut bands_{};
    std::array<float, 256> fft_{};

    std::unique_ptr<fileinfo::TMPEGaudio> mpegReader_;
    std::unique_ptr<fileinfo::OggVorbis::TOggVorbis> oggReader_;
    std::unique_ptr<fileinfo::TWMAfile> wmaReader_;
    std::unique_ptr<fileinfo::WAVfile::TWAVfile> wavReader_;
};

} // namespace player
