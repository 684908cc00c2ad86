// The widget forms of the handle's real window (see winmsg.h).

#include "winmsg.h"

#include <QWidget>

namespace platform {

void SetWindowWidget(HWND window, QWidget* widget)
{
    SetWindowObject(window, widget);
}

QWidget* WindowWidget(HWND window)
{
    return qobject_cast<QWidget*>(WindowObject(window));
}

} // namespace platform
