/* The engine headers are usable from C: this file must compile as C. */
#include "bass/bass.h"
#include "bass/bass_wma.h"

static DWORD CALLBACK_CHECK(HSTREAM handle, void* buffer, DWORD length, void* user)
{
    (void)handle;
    (void)buffer;
    (void)user;
    return length;
}

int bass_c_header_check(void)
{
    BASS_INFO info;
    STREAMPROC proc = CALLBACK_CHECK;
    info.size = sizeof info;
    return (int)sizeof(BASS_FXECHO) + (proc != 0) + (BASS_GetInfo(&info) ? 1 : 0);
}
