#include "PreferenceValues.h"

#include "PreferencesWindow.h"

#include <algorithm>

PreferenceValues::PreferenceValues() : fileTypes(Tprefform::FileTypeNames().size(), false)
{
}

void PreferenceValues::setShuffleAndGo(bool on)
{
    if (shuffleAndGo == on)
        return;
    shuffleAndGo = on;
    setSmoothShuffle(!on);
}

void PreferenceValues::setSmoothShuffle(bool on)
{
    if (smoothShuffle == on)
        return;
    smoothShuffle = on;
    setShuffleAndGo(!on);
}

void PreferenceValues::setMorphRate(int value)
{
    morphRate = std::clamp(value, 0, 100);
}

void PreferenceValues::setTitleFormat(int index)
{
    titleFormat = index >= 0 && index < Tprefform::TitleFormatNames().size() ? index : -1;
}
