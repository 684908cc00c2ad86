// The whole program, from its application object and command channel to the
// end of its event loop: what main() runs, and what the start-up benchmark times.
#pragma once

#include <functional>

// shown: called once the main window is shown and the event loop runs.
int RunProgram(int argc, char* argv[], const std::function<void()>& shown = {});
