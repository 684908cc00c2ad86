// The program from its command channel to the end of its event loop: what
// main() runs, and what the start-up benchmark times.
#pragma once

#include <functional>

class QApplication;

// shown: called once the main window is shown and the event loop runs.
int RunProgram(QApplication& app, const std::function<void()>& shown = {});
