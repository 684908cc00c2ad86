// The program itself, started as orvella starts, writing one line to standard
// output once its main window is shown, then idling until terminated. The
// start-up benchmark times it against FloorProbe.
#include "Program.h"

#include "platform/folders.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    // The engine and the plug-ins lie in the program folder of the build.
    platform::SetProgramFolder(ORVELLA_PROGRAM_DIR);
    return RunProgram(argc, argv, [] {
        std::puts("shown");
        std::fflush(stdout);
    });
}
