/* An engine library that lacks most of its functions: the player must refuse it. */
#include "bass/bass.h"

BASS_API DWORD BASS_GetVersion(void)
{
    return BASS_VERSION;
}

BASS_API BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win)
{
    (void)device;
    (void)freq;
    (void)flags;
    (void)win;
    return TRUE;
}
