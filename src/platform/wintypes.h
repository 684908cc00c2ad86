/* Basic types shared by the program, its libraries and its plug-ins.
 * Usable from C and C++. Handles and message parameters are pointer-sized. */
#ifndef ORVELLA_PLATFORM_WINTYPES_H
#define ORVELLA_PLATFORM_WINTYPES_H

#include <stdint.h>

#ifdef __cplusplus
#define PLATFORM_API extern "C" __attribute__((visibility("default")))
#else
#define PLATFORM_API extern __attribute__((visibility("default")))
#endif

typedef int BOOL;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;

/* An opaque window handle: a number that names a message window. It is never
 * dereferenced, so a stale handle is harmless. */
typedef struct OrvellaWindow* HWND;
/* A loaded shared library. */
typedef void* HMODULE;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define WM_QUERYENDSESSION 0x0011u
#define WM_USER 0x0400u

#endif
