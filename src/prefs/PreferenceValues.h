// The settings the preferences window holds, as plain values: kept by the
// main window while the preferences window has not been made (it is made at
// its first showing), and passed to the window when it is.
#pragma once

#include <QList>

struct PreferenceValues {
    PreferenceValues();

    QList<bool> fileTypes; // associated, in Tprefform::FileTypeNames() order
    bool shuffleAndGo = false;
    bool smoothShuffle = false;
    int morphRate = 0;   // "Shuffle Randomity", 0 to 100
    int titleFormat = 0; // in Tprefform::TitleFormatNames(); -1 for none
    bool numbering = true;

    // As the window's controls take them: switching "Shuffle And Go" or
    // "Smooth Shuffle" switches the other to the opposite, the randomity is
    // kept in its range and a title format beyond the list selects none.
    void setShuffleAndGo(bool on);
    void setSmoothShuffle(bool on);
    void setMorphRate(int value);
    void setTitleFormat(int index);
};
