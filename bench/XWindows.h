// The top-level windows of the benchmarks' virtual display, told apart by the
// process that owns them (the _NET_WM_PID both Qt and GTK set before mapping).
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace bench {

// The process id a window names as its owner, or -1 when it names none.
inline long WindowPid(Display* display, Window window)
{
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", True);
    if (pidAtom == None)
        return -1;
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* value = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                           &value) == Success &&
        value && format == 32 && items == 1)
        pid = long(*reinterpret_cast<unsigned long*>(value));
    if (value)
        XFree(value);
    return pid;
}

} // namespace bench
