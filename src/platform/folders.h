/* Where the program and its files live.
 *
 * The program folder is the folder of the running executable. Its own files
 * (confstate.ini, Playlist/, Equalizer/) live in the data folder: the program
 * folder when it is writable, otherwise $XDG_CONFIG_HOME/orvella/ (created on
 * first use). ORVELLA_DATA_DIR, when set, names the data folder instead. */
#ifndef ORVELLA_PLATFORM_FOLDERS_H
#define ORVELLA_PLATFORM_FOLDERS_H

#include "wintypes.h"

/* Full path of the running executable; returns its length, copies at most
 * size - 1 bytes and a NUL. */
PLATFORM_API DWORD GetProgramPath(char* buffer, DWORD size);
/* The data folder with its trailing "/"; same convention. */
PLATFORM_API DWORD GetDataFolder(char* buffer, DWORD size);

/* Thread priorities of the plug-in interface, applied as nice values (or the
 * idle scheduling class); raising a priority is best effort. */
#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
PLATFORM_API BOOL SetCurrentThreadPriority(int priority);

#ifdef __cplusplus
#include <string>

namespace platform {

std::string ProgramPath();
std::string ProgramFolder();                // with a trailing "/"
std::string DataFolder();                   // with a trailing "/"; created when missing
bool EnsureFolder(const std::string& path); // creates it and its parents
// Whether path (bytes, links followed) names a regular file, or a folder.
bool IsFile(const std::string& path);
bool IsFolder(const std::string& path);
// A base folder of the user's files: $variable when it holds an absolute path,
// else fallbackBelowHome in the home folder (/tmp without one); with a "/".
std::string XdgFolder(const char* variable, const char* fallbackBelowHome);
// This program's folder in the user's configuration ($XDG_CONFIG_HOME/orvella/);
// not created here.
std::string ProgramConfigFolder();
// Holds the data folder for this process until it ends, so that two programs
// never both write its files. False when another process holds it.
bool LockDataFolder();

// Tests run from their own folder but load the program's libraries.
void SetProgramFolder(const std::string& folder);

} // namespace platform
#endif

#endif
