/* The input plug-in interface: the contract between the player (the host) and
 * input plug-ins such as in_pcmkit. Plain C, shared by both sides.
 *
 * A plug-in is a shared library Plugins/in_NAME.so that exports one function,
 * PLUGIN_EXPORT_NAME, returning its input-module record. The plug-in owns that
 * record for as long as it is loaded; the host owns the one output-module record
 * behind it. PCM crosses from the plug-in's decode thread into the host by copy
 * (TOutModule.Write); nothing allocated on one side is freed on the other.
 *
 * Fields keep their documented order. Integers are 32-bit int; texts are
 * NUL-terminated 8-bit (UTF-8) strings; handles and function pointers have their
 * native width; every function uses the default C calling convention.
 *
 * Threads: unless a comment says otherwise, the host calls TInModule functions
 * on its user-interface thread, and the plug-in calls TOutModule functions from
 * the user-interface thread (Open, Close, Pause, SetVolume, SetPan) or its decode
 * thread (Write, CanWrite, IsPlaying, Flush, GetOutputTime, GetWrittenTime). */
#ifndef ORVELLA_PLAYER_PLUGIN_API_H
#define ORVELLA_PLAYER_PLUGIN_API_H

#include "platform/wintypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define PLUGIN_EXPORT_NAME "tovarroGetInModule2"
#define IN_MODULE_VERSION 0x100
#define OUT_MODULE_VERSION 16
#define OUT_MODULE_ID 65537

/* Messages to TInModule.MainWindow (the host's plug-in message window) and
 * between the host's own windows. */
#define PLUGIN_EOF (WM_USER + 2)                /* 1026: plug-in: last sample played (0, 0) */
#define PLUGIN_OUTPUT_STARTED (WM_USER + 101)   /* 1125: lParam = const OutputFormat* */
#define CLEAR_CURRENT_PLUGIN (WM_USER + 103)    /* 1127: the host has no current plug-in */
#define PLUGIN_CHANNEL (WM_USER + 105)          /* 1129: wParam = the output's audio channel */
#define STREAM_END (WM_USER + 107)              /* 1131: an engine channel ended */
#define FFT_DATA_READY (WM_USER + 108)          /* 1132: new spectrum band values */
#define SET_PLUGIN_FIRST (WM_USER + 109)        /* 1133: lParam 0 or 1 */
/* A plug-in asks for a download function with SendMessage(MainWindow, WM_USER,
 * 0, PLUGIN_GET_DOWNLOAD_FUNCTION); this host answers 0: none available. */
#define PLUGIN_GET_DOWNLOAD_FUNCTION 240

/* Filled by the output before it posts PLUGIN_OUTPUT_STARTED. */
typedef struct OutputFormat {
    uint16_t BitsPerSample;
    uint32_t SampleRate;
    uint16_t Channels;
} OutputFormat;

typedef struct TOutModule TOutModule;

/* The input-module record. P: filled by the plug-in before it returns the
 * record. H: written by the host after loading. */
typedef struct TInModule {
    int Version;            /* P: interface version (IN_MODULE_VERSION); stored only */
    char* Description;      /* P: shown in the plug-in list */
    HWND MainWindow;        /* H: the host's plug-in message window: owner of the plug-in's
                               message boxes and target of its messages */
    HMODULE DLLInstance;    /* H: the library's own handle */
    /* P: pairs of NUL-terminated texts ended by an empty text: an upper-case
       extension list ("WAV", "AU;SND"), then its description. The host joins
       every extension list into one ("WAV;AU;SND"). */
    char* FileExtensions;
    int IsSeekable;         /* P: 1 when the plug-in can seek; stored only */
    int UsesOutputModule;   /* P: 1 when it plays through OutModule; not read */

    void (*Config)(HWND parent);   /* P: show the settings dialog (modal) */
    void (*About)(HWND parent);    /* P: show the about box */
    /* P: once after load, after MainWindow, DLLInstance and OutModule are set and
       before the host's entries below are; must not call them. */
    void (*Init)(void);
    void (*Quit)(void);            /* P: once before unload */
    /* P: title (at most 255 bytes plus NUL into the host's 256-byte buffer) and
       length in ms; a length of 0 or less means the plug-in cannot play the file. */
    void (*GetFileInfo)(const char* file, char* title, int* lengthMs);
    int (*InfoBox)(const char* file, HWND parent); /* P: not called by this host */
    int (*IsOurFile)(const char* file);            /* P: not called by this host */
    /* P: start decoding on the plug-in's own thread; the result is not examined. */
    int (*Play)(const char* file);
    void (*Pause)(void);
    void (*UnPause)(void);
    int (*IsPaused)(void);         /* P: not called by this host */
    void (*Stop)(void);            /* P: stop decoding and close the output */
    int (*GetLength)(void);        /* P: not called by this host */
    int (*GetOutputTime)(void);    /* P: ms played so far */
    void (*SetOutputTime)(int ms); /* P: seek request */
    void (*SetVolume)(int volume); /* P: 0..255 */
    void (*SetPan)(int pan);       /* P: -128..127; not called by this host */

    /* H: visualisation, DSP and information entries; this host does nothing in
       them. The plug-in may call them from its decode thread. */
    void (*VisInit)(int maxLatencyMs, int sampleRate);
    void (*VisDeInit)(void);
    void (*SpectrumAddPCM)(void* buffer, int channels, int bits, int timeMs);
    int (*SpectrumGetMode)(void);                    /* host: 0 */
    void (*SpectrumAdd)(void* data, int timeMs);
    void (*VisAddPCM)(void* buffer, int channels, int bits, int timeMs);
    int (*VisGetMode)(void);                         /* host: 0 */
    void (*VisAdd)(void* data, int timeMs);
    void (*VisSetInfo)(int sampleRate, int channels);
    int (*DSPIsActive)(void);                        /* host: 0, no DSP */
    /* host: returns frameCount and leaves the samples as they are */
    int (*DSPDoSamples)(void* samples, int frameCount, int bits, int channels, int sampleRate);
    void (*EQSet)(int on, char bands[10], int preamp); /* P: not called by this host */
    void (*SetInfo)(int bitrateKbps, int sampleRateKhz, int channels, int synchronised);
    TOutModule* OutModule;  /* H: the host's output module */
} TInModule;

/* The output-module record, owned by the host, one for all plug-ins. */
struct TOutModule {
    int Version;            /* OUT_MODULE_VERSION */
    char* Description;
    int ID;                 /* OUT_MODULE_ID */
    HWND MainWindow;        /* the application window */
    HMODULE DLLInstance;    /* null */

    void (*Config)(HWND parent);
    void (*About)(HWND parent);
    void (*Init)(void);     /* creates the host's plug-in message window */
    void (*Quit)(void);     /* destroys it */
    /* 0 on success, -1 on failure; the two last arguments are ignored. */
    int (*Open)(int sampleRate, int channels, int bitsPerSample, int bufferMs, int prebufferMs);
    void (*Close)(void);
    /* Copies bytes into the output: 0 written, 1 no room (nothing copied). A
       length of 0 marks the end of the data. Ask CanWrite first. */
    int (*Write)(const char* buffer, int length);
    int (*CanWrite)(void);   /* bytes that a Write accepts now */
    int (*IsPlaying)(void);  /* 1 while written audio is still sounding */
    int (*Pause)(int pause); /* 1 pause / 0 continue; returns 1 when it was paused before */
    void (*SetVolume)(int volume); /* 0..255; negative selects 99 % */
    void (*SetPan)(int pan);       /* -128..127 */
    void (*Flush)(int timeMs);     /* drop buffered data; output time restarts at timeMs */
    int (*GetOutputTime)(void);    /* ms that have sounded, plus the last flush time */
    int (*GetWrittenTime)(void);   /* ms written, plus the last flush time */
};

/* The plug-in's only export. Null marks a library that is not a usable plug-in. */
typedef TInModule* (*GetInModuleFunc)(void);

#ifdef __cplusplus
}
#endif

#endif
