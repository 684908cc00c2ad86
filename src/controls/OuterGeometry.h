// The geometry the settings keep for a window is its outer rectangle, frame
// included. Qt places and sizes the client; the frame a window manager adds
// is known only once it has framed the window. So a window is placed at once
// with the frame last seen, and again when its frame is known, and what is
// read back is the client with the frame seen around it: what is stored is
// what the next start applies, with or without a window manager.
#pragma once

#include <QList>
#include <QRect>
#include <QSize>

class QWidget;

// The outer rectangle of a top-level window.
QRect OuterGeometry(QWidget& window);

// Gives `window` the outer rectangle `outer`, kept reachable on the screens.
void SetOuterGeometry(QWidget& window, const QRect& outer);

// The smallest outer size the user may give the window.
void SetOuterMinimumSize(QWidget& window, const QSize& outer);

// `outer` itself when its title bar (its top `titleHeight` rows) can be grabbed
// on one of `screens`; otherwise moved onto the nearest screen, within it as
// far as it fits.
QRect KeepTitleBarOnScreen(const QRect& outer, const QList<QRect>& screens, int titleHeight);
