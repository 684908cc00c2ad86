// A stand-in for the optional network reader library: it claims names that
// begin with "fake:" and serves one second of 8 kHz 8-bit silence as a WAV.

#include "pcmkit.h"

#include "platform/wintypes.h"

#include <string>

namespace {

struct FakeSource : pcmkit::byte_source {
    std::string data;
    int64_t position = 0;
};

int tagAtOpen = -1;

int Nothing(pcmkit::byte_source*)
{
    return 0;
}

int Open(pcmkit::byte_source* self, const char*, const pcmkit::abort_flag*)
{
    tagAtOpen = self->tag;
    return 0;
}

int Read(pcmkit::byte_source* self, void* buffer, int count, const pcmkit::abort_flag*)
{
    auto* s = static_cast<FakeSource*>(self);
    if (s->position >= static_cast<int64_t>(s->data.size()))
        return 0;
    int n = static_cast<int>(std::min<int64_t>(count, static_cast<int64_t>(s->data.size()) - s->position));
    std::memcpy(buffer, s->data.data() + s->position, static_cast<size_t>(n));
    s->position += n;
    return n;
}

int64_t Length(pcmkit::byte_source* self)
{
    return static_cast<int64_t>(static_cast<FakeSource*>(self)->data.size());
}

int CanSeek(pcmkit::byte_source*)
{
    return 1;
}

int Seek(pcmkit::byte_source* self, int64_t position, const pcmkit::abort_flag*)
{
    static_cast<FakeSource*>(self)->position = position;
    return 0;
}

void Destroy(pcmkit::byte_source* self)
{
    delete static_cast<FakeSource*>(self);
}

const pcmkit::byte_source_ops kOps = {Nothing, Open, Read, Length, CanSeek, Seek, Nothing, Destroy};

pcmkit::byte_source* Create()
{
    auto* s = new FakeSource;
    s->ops = &kOps;
    s->tag = 0x5A5A; // the plug-in clears it when it takes the source
    // RIFF, fmt: PCM, mono, 8000 Hz, 8000 bytes/s, 1-byte frames, 8 bits; data: 8000 bytes.
    s->data = std::string("RIFF\x64\x1F\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x40\x1F\x00\x00"
                          "\x40\x1F\x00\x00\x01\x00\x08\x00"
                          "data\x40\x1F\x00\x00",
                          44) +
              std::string(8000, '\x80');
    return s;
}

int IsMine(const char* name)
{
    return std::strncmp(name, "fake:", 5) == 0;
}

struct Interface {
    void* reserved0;
    void* reserved1;
    pcmkit::byte_source* (*create)();
    int (*is_mine)(const char* name);
} api = {nullptr, nullptr, Create, IsMine};

} // namespace

extern "C" __attribute__((visibility("default"))) void readerSource(HMODULE, Interface** out)
{
    *out = &api;
}

extern "C" __attribute__((visibility("default"))) int netfetchTagAtOpen()
{
    return tagAtOpen;
}
