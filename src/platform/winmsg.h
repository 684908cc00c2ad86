/* Message windows: named mailboxes on the user-interface thread.
 *
 * A message window is created on the user-interface thread with a procedure.
 * PostMessage may be called from any thread: the procedure runs later on the
 * user-interface thread, messages in the order they were posted. SendMessage
 * calls the procedure directly on the user-interface thread, and from another
 * thread hands the message over and blocks until it has been handled.
 * Messages reach their procedures whenever the Qt event loop runs (in a process
 * that links libplatform.so), and when the user-interface thread calls
 * PumpMessages. A program without Qt waits for them with WaitMessage. */
#ifndef ORVELLA_PLATFORM_WINMSG_H
#define ORVELLA_PLATFORM_WINMSG_H

#include "wintypes.h"

typedef LRESULT (*MessageProc)(void* user, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

/* User-interface thread only. Returns null when procedure is null. */
PLATFORM_API HWND CreateMessageWindow(MessageProc procedure, void* user);
/* User-interface thread only. Messages still queued for the window are dropped
 * and threads blocked in SendMessage to it get 0. */
PLATFORM_API BOOL DestroyWindow(HWND window);
PLATFORM_API BOOL IsWindow(HWND window);

/* Any thread. FALSE (and nothing queued) for a destroyed or unknown window. */
PLATFORM_API BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/* Any thread. 0 for a destroyed or unknown window. */
PLATFORM_API LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

/* Runs what is queued for the windows (and, with a Qt application, the other
 * pending events). Does nothing on other threads. */
PLATFORM_API void PumpMessages(void);
/* User-interface thread only (FALSE elsewhere): blocks until a message is
 * queued for one of the windows; returns at once when one is queued already. */
PLATFORM_API BOOL WaitMessage(void);

PLATFORM_API void Sleep(DWORD milliseconds);
/* Milliseconds of a monotonic clock. */
PLATFORM_API DWORD GetTickCount(void);

#ifdef __cplusplus
#include <functional>

class QObject;
class QWidget;

namespace platform {

using MessageHandler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

HWND CreateMessageWindow(MessageHandler handler);

// A real window can stand behind a handle: message boxes and plug-in dialogs
// given that handle as their owner open over it. These are Qt's side, in
// libplatform.so; the widget forms are in platform_widgets, so that what needs
// no window never loads Qt Widgets.
void SetWindowObject(HWND window, QObject* object);
QObject* WindowObject(HWND window);
void SetWindowWidget(HWND window, QWidget* widget);
QWidget* WindowWidget(HWND window);

bool IsUiThread();

// The bounded waits of the player: up to maxPasses times, stop as soon as
// done() holds, otherwise pump messages and sleep sleepMs. Returns done().
bool PumpWait(int maxPasses, int sleepMs, const std::function<bool()>& done);

} // namespace platform
#endif

#endif
