// What in_testtone records for the tests, read through its export testtoneProbe().
#pragma once

struct TestToneProbe {
    int initCalls;
    int quitCalls;
    int initSawHostFields;    // MainWindow, DLLInstance and OutModule were set before Init
    int initSawNoHostEntries; // the host's own entries were not yet written at Init
    int playCalls;
    int lastVolume;
    int refuseFiles; // set by a test: GetFileInfo reports length 0 for everything
};
