#include "PlayerHarness.h"

#include "player/PluginHost.h"

#include "platform/folders.h"
#include "platform/winmsg.h"

#include <dlfcn.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

namespace playertest {

long Frames(double seconds)
{
    return std::lround(seconds * 44100.0);
}

Samples Silence(unsigned channels, double seconds, unsigned rate)
{
    return Samples(std::size_t(std::lround(rate * seconds)) * channels, 0);
}

Samples Noise(double seconds, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(-20000, 20000);
    Samples out(std::size_t(Frames(seconds)) * 2);
    for (auto& s : out)
        s = int16_t(value(random) | 1);
    return out;
}

::testing::AssertionResult SoundsExactly(const Samples& capture, const Samples& input)
{
    const long first = FirstSoundFrame(capture);
    if (first < 0 || capture.size() < std::size_t(first) * 2 + input.size())
        return ::testing::AssertionFailure() << "too little sound";
    if (!std::equal(input.begin(), input.end(), capture.begin() + first * 2))
        return ::testing::AssertionFailure() << "the samples differ";
    if (LastSoundFrame(capture) - first != long(input.size() / 2))
        return ::testing::AssertionFailure() << "sound after the input";
    return ::testing::AssertionSuccess();
}

void Append(Samples& to, const Samples& more)
{
    to.insert(to.end(), more.begin(), more.end());
}

ProgramFolder::ProgramFolder(bool withEngine, bool withWma)
{
    namespace fs = std::filesystem;
    if (withEngine)
        fs::create_symlink(ORVELLA_PROGRAM_DIR "libbass.so", dir_.file("libbass.so"));
    if (withWma)
        fs::create_symlink(ORVELLA_PROGRAM_DIR "libbasswma.so", dir_.file("libbasswma.so"));
    fs::create_directory(dir_.file("Plugins"));
    platform::SetProgramFolder(dir_.path());
}

ProgramFolder::~ProgramFolder()
{
    platform::SetProgramFolder(ORVELLA_PROGRAM_DIR);
}

void ProgramFolder::addPlugin(const std::string& built, const std::string& name)
{
    // A copy, not a link: each name is then a library of its own with its own state.
    std::filesystem::copy_file(ORVELLA_TEST_PLUGIN_DIR + built, dir_.file("Plugins/" + name));
}

void ProgramFolder::addPluginFile(const std::string& name, const std::string& bytes)
{
    testsupport::WriteFile(dir_.file("Plugins/" + name), bytes);
}

Capture::Capture()
{
    setenv("ORVELLA_AUDIO", ("wav:" + dir_.file("capture.wav")).c_str(), 1);
}

Capture::~Capture()
{
    setenv("ORVELLA_AUDIO", "null", 1);
}

Samples Capture::read() const
{
    const std::string bytes = testsupport::ReadFile(dir_.file("capture.wav"));
    Samples out;
    if (bytes.size() < 44) {
        ADD_FAILURE() << "no capture written";
        return out;
    }
    out.resize((bytes.size() - 44) / 2);
    std::memcpy(out.data(), bytes.data() + 44, out.size() * 2);
    return out;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    constexpr int kStepMs = 5;
    return platform::PumpWait(timeoutMs / kStepMs, kStepMs, done);
}

void EventLog::attach(player::TAudioPlayer& p)
{
    p.OnPlayEnd = [this](player::TAudioPlayer&) { ++playEnds; };
    p.OnPluginStartPlay = [this](player::TAudioPlayer&, uint16_t channels, uint32_t rate) {
        pluginStarts.emplace_back(channels, rate);
    };
    p.OnNewFFTData = [this](player::TAudioPlayer&, const player::TBandOut& b) { bands.push_back(b); };
    p.OnModeChange = [this](player::TAudioPlayer& player) { modes.push_back(player.Mode()); };
}

TestToneProbe* Probe(int slot)
{
    const player::TPluginInfo info = player::GetPluginInfo(slot);
    auto probe = reinterpret_cast<TestToneProbe* (*)()>(dlsym(info.Library, "testtoneProbe"));
    return probe ? probe() : nullptr;
}

long SoundSpan(const Samples& stereo)
{
    constexpr long kGap = 8;
    const long first = FirstSoundFrame(stereo), last = LastSoundFrame(stereo);
    long span = last - first, run = 0;
    for (long i = first; i < last; ++i) {
        const bool silent = stereo[std::size_t(i) * 2] == 0 && stereo[std::size_t(i) * 2 + 1] == 0;
        run = silent ? run + 1 : 0;
        if (run == kGap + 1)
            span -= kGap + 1;
        else if (run > kGap + 1)
            --span;
    }
    return first < 0 ? 0 : span;
}

void ShippedPluginTest::SetUp()
{
    p = std::make_unique<player::TAudioPlayer>();
    ASSERT_EQ(player::LoadPlugin(library_), player::plLoaded);
    log.attach(*p);
}

void ShippedPluginTest::playToEnd(int timeoutMs)
{
    p->Play();
    ASSERT_TRUE(WaitUntil([&] { return log.playEnds > 0; }, timeoutMs));
    EXPECT_EQ(p->Mode(), player::psStopped);
}

} // namespace playertest
