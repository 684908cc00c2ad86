/* A host of the engine written in C, the way an outside program would use it.
 * Usage: host_program MODE FILE
 *   free    play FILE, poll until it is no longer active, free the engine
 *   return  play FILE, return from main while it plays, without freeing
 *   sync    play FILE, call exit() from its end sync (on the engine's thread)
 *   thread  play FILE, call exit() from a thread of our own while it plays
 *   spectrum  play FILE (a 440-Hz tone) and take its spectrum: FFTW must be
 *           mapped by that first spectrum, not before */
#include "bass/bass.h"

#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static void SleepMs(long ms)
{
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

static int Mapped(const char* library)
{
    FILE* maps = fopen("/proc/self/maps", "r");
    char line[4096];
    int found = 0;
    if (!maps)
        return -1;
    while (!found && fgets(line, sizeof line, maps))
        found = strstr(line, library) != NULL;
    fclose(maps);
    return found;
}

/* 0 when the spectrum library came with the first spectrum, and the tone
 * peaks at its bin (440 x 512 / 44100 = 5.1). */
static int FirstSpectrum(HSTREAM stream)
{
    float bins[256];
    int peak = 0;
    if (Mapped("libfftw3f") != 0)
        return 8;
    SleepMs(200);
    if (BASS_ChannelGetData(stream, bins, BASS_DATA_FFT512) != sizeof bins)
        return 9;
    if (Mapped("libfftw3f") != 1)
        return 10;
    for (int k = 1; k < 256; ++k)
        if (bins[k] > bins[peak])
            peak = k;
    return peak == 5 ? 0 : 11;
}

static void ExitFromSync(HSYNC sync, DWORD channel, DWORD data, void* user)
{
    (void)sync;
    (void)channel;
    (void)data;
    (void)user;
    exit(0);
}

static void* ExitFromThread(void* arg)
{
    (void)arg;
    SleepMs(300);
    exit(0);
}

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    const char* mode = argv[1];
    if (!BASS_Init(-1, 44100, 0, NULL) || !BASS_Start())
        return 3;
    HSTREAM stream = BASS_StreamCreateFile(0, argv[2], 0, 0, 0);
    if (!stream)
        return 4;
    if (strcmp(mode, "sync") == 0 && !BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, ExitFromSync, NULL))
        return 5;
    if (!BASS_StreamPlay(stream, 0, 0))
        return 6;

    if (strcmp(mode, "free") == 0) {
        while (BASS_ChannelIsActive(stream) != BASS_ACTIVE_STOPPED)
            SleepMs(5);
        return BASS_Free() ? 0 : 7;
    }
    if (strcmp(mode, "return") == 0) {
        SleepMs(300);
        return 0;
    }
    if (strcmp(mode, "spectrum") == 0)
        return FirstSpectrum(stream);
    if (strcmp(mode, "thread") == 0) {
        pthread_t thread;
        pthread_create(&thread, NULL, ExitFromThread, NULL);
        for (;;) /* the API stays usable until the process is gone */
            BASS_ChannelIsActive(stream);
    }
    if (strcmp(mode, "sync") == 0) {
        for (;;)
            SleepMs(100);
    }
    return 2;
}
