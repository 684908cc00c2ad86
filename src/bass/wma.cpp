// libbasswma.so: ASF/WMA files as streams of libbass.so.

#include "addon.h"
#include "bass_wma.h"

namespace {

constexpr const char* kWmaCodecs[] = {"wmav1", "wmav2", "wmapro", "wmalossless", nullptr};

} // namespace

BASS_API HSTREAM BASS_WMA_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags)
{
    return BASSADDON_StreamCreateFile("asf", kWmaCodecs, mem, file, offset, length, flags);
}

BASS_API HSYNC BASS_WMA_ChannelSetSync(HSTREAM handle, DWORD type, uint64_t param, SYNCPROC proc, void* user)
{
    return BASS_ChannelSetSync(handle, type, param, proc, user);
}
