// The output module the host gives every input plug-in: the plug-in's decode
// thread writes PCM into the ring, and one engine user stream, whose reader
// runs on the mixing thread, plays it. One per process.
//
// The emulator's own message window is the plug-in's MainWindow: it relays the
// plug-in's messages to the player's window on the user-interface thread.
#pragma once

#include "player/plugin_api.h"

#include "bass/bass.h"

namespace player {

// The module record handed to plug-ins (its Init creates the message window).
TOutModule* OutputModule();

// Host start and shut-down (user-interface thread).
bool AllocateOutputRing();
void FreeOutputRing();
// Where the relayed messages go, and the owner of the emulator's boxes.
void SetOutputWindows(HWND playerWindow, HWND applicationWindow);
HWND OutputMessageWindow(); // null before Init and after Quit

// For the player: ms that have sounded plus the last flush time.
int OutputTime();
// The player is about to ask the plug-in to seek: the flush that follows
// happens even while paused.
void SetOutputSeekPending();
// How long the whole ring takes to play in the open format (0 when none is open).
int OutputRingMs();

// The stream's reader; exposed for measurements and tests.
DWORD OutputReader(HSTREAM handle, void* buffer, DWORD length, void* user);
// A reader is waiting for data (tests release it on purpose).
bool OutputReaderWaiting();

} // namespace player
