/* The platform headers are usable from C: this file must compile as C. */
#include "platform/dynlib.h"
#include "platform/folders.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/winmsg.h"

int platform_c_headers_check(const char* ini)
{
    char buffer[64];
    GetPrivateProfileString("s", "k", "d", buffer, sizeof buffer, ini);
    return GetPrivateProfileInt("s", "k", 7, ini) + (IsWindow((HWND)0) ? 1 : 0);
}
