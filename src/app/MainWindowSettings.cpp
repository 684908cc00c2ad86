#include "MainWindowSettings.h"

#include "MainWindow.h"

#include "controls/OuterGeometry.h"
#include "controls/Slider.h"
#include "equalizer/EqualizerWindow.h"
#include "player/PluginHost.h"
#include "playlist/PlaylistWindow.h"

#include <QCheckBox>

#include <algorithm>
#include <functional>
#include <vector>

using appconfig::Setting;

namespace {

struct Binding {
    Setting setting;
    std::function<int(TForm1&, int index)> read;              // empty: no control holds it
    std::function<void(TForm1&, int index, int value)> apply; // empty: no control takes it
};

using WindowOf = QWidget& (*)(TForm1&);

QWidget& mainWindow(TForm1& form)
{
    return form;
}
QWidget& playlistWindow(TForm1& form)
{
    return *form.playlistWindow();
}
QWidget& equalizerWindow(TForm1& form)
{
    return *form.equalizerWindow();
}

// One size or edge of a window's outer rectangle (frame included), the others kept.
Binding outer(Setting setting, WindowOf window, int (QRect::*get)() const, void (QRect::*set)(int))
{
    return {setting, [=](TForm1& f, int) { return (OuterGeometry(window(f)).*get)(); },
            [=](TForm1& f, int, int value) {
                QRect rect = OuterGeometry(window(f));
                (rect.*set)(value);
                SetOuterGeometry(window(f), rect);
            }};
}

// Saved as showing or not; restored only as "show", since the windows start hidden.
Binding visibility(Setting setting, WindowOf window)
{
    return {setting, [=](TForm1& f, int) { return window(f).isVisible() ? 1 : 0; },
            [=](TForm1& f, int, int) { window(f).show(); }};
}

Binding checkBox(Setting setting, QCheckBox* (*box)(TForm1&))
{
    return {setting, [=](TForm1& f, int) { return box(f)->isChecked() ? 1 : 0; },
            [=](TForm1& f, int, int value) { box(f)->setChecked(value); }};
}

Binding slider(Setting setting, TSlider* (*control)(TForm1&))
{
    return {setting, [=](TForm1& f, int) { return control(f)->Value(); },
            [=](TForm1& f, int, int value) { control(f)->setValue(value); }};
}

// An effect flag of the player, set straight from the stored switch.
Binding effect(Setting setting, player::TSoundEffects flag)
{
    return {setting, {}, [=](TForm1& f, int, int value) {
                player::TAudioPlayer& player = f.AudioPlayer1();
                player.SetSoundEffects(value ? player.SoundEffects() | flag : player.SoundEffects() & ~flag);
            }};
}

// One of the preferences, held by their window once it exists.
Binding preference(Setting setting, int (*get)(const PreferenceValues&), void (*set)(PreferenceValues&, int))
{
    return {setting, [=](TForm1& f, int) { return get(f.preferences()); },
            [=](TForm1& f, int, int value) { f.changePreferences([=](PreferenceValues& p) { set(p, value); }); }};
}

TEqualizerform& eq(TForm1& f)
{
    return *f.equalizerWindow();
}

const std::vector<Binding>& bindings()
{
    static const std::vector<Binding> table = {
        outer(Setting::MainWidth, mainWindow, &QRect::width, &QRect::setWidth),
        outer(Setting::MainHeight, mainWindow, &QRect::height, &QRect::setHeight),
        outer(Setting::MainLeft, mainWindow, &QRect::x, &QRect::moveLeft),
        outer(Setting::MainTop, mainWindow, &QRect::y, &QRect::moveTop),
        visibility(Setting::PlaylistVis, playlistWindow),
        outer(Setting::PlaylistWidth, playlistWindow, &QRect::width, &QRect::setWidth),
        outer(Setting::PlaylistHeight, playlistWindow, &QRect::height, &QRect::setHeight),
        outer(Setting::PlaylistLeft, playlistWindow, &QRect::x, &QRect::moveLeft),
        outer(Setting::PlaylistTop, playlistWindow, &QRect::y, &QRect::moveTop),
        visibility(Setting::EqualizerVis, equalizerWindow),
        outer(Setting::EqualizerWidth, equalizerWindow, &QRect::width, &QRect::setWidth),
        outer(Setting::EqualizerHeight, equalizerWindow, &QRect::height, &QRect::setHeight),
        outer(Setting::EqualizerLeft, equalizerWindow, &QRect::x, &QRect::moveLeft),
        outer(Setting::EqualizerTop, equalizerWindow, &QRect::y, &QRect::moveTop),
        {Setting::FileType,
         [](TForm1& f, int item) {
             const QList<bool> types = f.preferences().fileTypes;
             return item >= 0 && item < types.size() && types[item] ? 1 : 0;
         },
         [](TForm1& f, int item, int value) {
             f.changePreferences([=](PreferenceValues& p) {
                 if (item >= 0 && item < p.fileTypes.size())
                     p.fileTypes[item] = value != 0;
             });
         }},
        {Setting::Equalizer, [](TForm1& f, int band) { return eq(f).band(band)->Value(); },
         [](TForm1& f, int band, int value) { eq(f).band(band)->setValue(value); }},
        checkBox(Setting::UseEqualizer, [](TForm1& f) { return eq(f).eqcheck; }),
        checkBox(Setting::FlangerBox, [](TForm1& f) { return eq(f).flanger1; }),
        checkBox(Setting::EchoBox, [](TForm1& f) { return eq(f).cbecho; }),
        checkBox(Setting::ReverbBox, [](TForm1& f) { return eq(f).cbreverb; }),
        slider(Setting::ReverbLevel, [](TForm1& f) { return eq(f).ReverbSlider; }),
        slider(Setting::EchoLevel, [](TForm1& f) { return eq(f).EchoSlider; }),
        effect(Setting::FlangerEffect, player::seFlanger),
        effect(Setting::EchoEffect, player::seEcho),
        effect(Setting::ReverbEffect, player::seReverb),
        {Setting::PlayerReverbLevel, {}, [](TForm1& f, int, int value) { f.AudioPlayer1().SetReverbLevel(value); }},
        {Setting::PlayerEchoLevel, {}, [](TForm1& f, int, int value) { f.AudioPlayer1().SetEchoLevel(value); }},
        preference(
            Setting::ShuffleAndGo, [](const PreferenceValues& p) { return int(p.shuffleAndGo); },
            [](PreferenceValues& p, int value) { p.setShuffleAndGo(value); }),
        preference(
            Setting::SmoothShuffle, [](const PreferenceValues& p) { return int(p.smoothShuffle); },
            [](PreferenceValues& p, int value) { p.setSmoothShuffle(value); }),
        preference(
            Setting::MorphRate, [](const PreferenceValues& p) { return p.morphRate; },
            [](PreferenceValues& p, int value) { p.setMorphRate(value); }),
        slider(Setting::Volume, [](TForm1& f) { return f.volumeSlider(); }),
        preference(
            Setting::TitleFormat, [](const PreferenceValues& p) { return p.titleFormat; },
            [](PreferenceValues& p, int value) { p.setTitleFormat(value); }),
        preference(
            Setting::Numbering, [](const PreferenceValues& p) { return int(p.numbering); },
            [](PreferenceValues& p, int value) { p.numbering = value != 0; }),
        {Setting::Repeat, [](TForm1& f, int) { return f.repeat() ? 1 : 0; },
         [](TForm1& f, int, int value) { f.setRepeat(value); }},
        // Read at creation by appconfig itself; only saved from here.
        {Setting::PluginFirst, [](TForm1& f, int) { return f.AudioPlayer1().PluginFirst() ? 1 : 0; }, {}},
    };
    return table;
}

const Binding* bindingOf(Setting setting)
{
    const std::vector<Binding>& table = bindings();
    const auto found = std::find_if(table.begin(), table.end(), [&](const Binding& b) { return b.setting == setting; });
    return found == table.end() ? nullptr : &*found;
}

} // namespace

int MainWindowSettings::current(Setting setting, int index) const
{
    const Binding* binding = bindingOf(setting);
    return binding && binding->read ? binding->read(form_, index) : 0;
}

void MainWindowSettings::apply(Setting setting, int index, int value)
{
    if (const Binding* binding = bindingOf(setting); binding && binding->apply)
        binding->apply(form_, index, value);
}

std::string MainWindowSettings::pluginFileName(int slot) const
{
    return player::GetPluginInfo(slot).FileName;
}

bool MainWindowSettings::effectsReady() const
{
    return form_.AudioPlayer1().DX8EffectReady();
}

bool MainWindowSettings::pluginsReady() const
{
    return player::PluginHostReady();
}

void MainWindowSettings::disableEffectControls()
{
    form_.equalizerWindow()->DisableEffectControls();
}
