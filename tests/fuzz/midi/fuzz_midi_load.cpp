// The MIDI loader over any bytes: what it accepts is a song with a length, a
// rewrite that parses to the same song, and something the synthesizer plays
// (a few blocks from the start and after a seek) without harm.

#include "Renderer.h"
#include "Settings.h"
#include "SmfFile.h"
#include "fuzz/FuzzCheck.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

using namespace midi;

namespace {

std::shared_ptr<Synth> sharedSynth()
{
    static std::shared_ptr<Synth> synth = [] {
        std::string why;
        const std::string soundFont = find_soundfont();
        return soundFont.empty() ? nullptr : Synth::Create(soundFont, &why);
    }();
    return synth;
}

void play(const SmfFile& song)
{
    std::shared_ptr<Synth> synth = sharedSynth();
    if (!synth)
        return;
    SongPlayer player(synth, song);
    check(player.start());
    static int16_t block[576 * 2];
    for (int i = 0; i < 4; ++i)
        check(player.render(block, 576) >= 0);
    check(player.seek(song.lengthMs / 2));
    for (int i = 0; i < 4; ++i)
        check(player.render(block, 576) >= 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string_view inner = UnwrapRmid(bytes);
    check(inner.empty() || (inner.data() >= bytes.data() && inner.data() + inner.size() <= bytes.data() + size));

    SmfFile song;
    if (ParseMidi(bytes, song) != SmfError::None)
        return 0;
    check(song.lengthMs > 0 && song.trackCount > 0 && song.noteCount > 0);
    check(song.endTick <= uint64_t(INT32_MAX));
    check(std::lround(song.tempo.msAt(song.endTick)) == song.lengthMs);
    check(song.tempo.tickAt(0) == 0 && song.tempo.tickAt(song.lengthMs / 2) <= song.tempo.tickAt(song.lengthMs));
    for (char c : song.title)
        check(static_cast<unsigned char>(c) >= ' ' && c != 0x7F);

    SmfFile again;
    check(ParseMidi(song.synthBytes, again) == SmfError::None);
    check(again.endTick == song.endTick && again.noteCount == song.noteCount && again.trackCount == song.trackCount);
    check(again.lengthMs == song.lengthMs || song.division & 0x8000); // SMPTE time is rounded into quarters
    check(again.synthBytes == song.synthBytes);
    play(again);
    return 0;
}
