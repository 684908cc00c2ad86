// Icons built into the program as raw pixels drawn at build time: nothing to
// decode at start, so no image plug-in loads (reading even a PNG, or asking
// the style for one of its icons, makes Qt load every image plug-in to ask it).
#pragma once

#include <QIcon>
#include <QProxyStyle>

#include <initializer_list>

// The icon `name` (orvella, SP_MediaPlay, ...) at each of `sizes` it was drawn at.
QIcon BuiltInIcon(const QString& name, std::initializer_list<int> sizes);

// The Fusion style, its standard icons that the main window shows at start
// (the transport buttons' and the menu bar's) answered from pixels the build
// drew with the same style.
class BuiltInIconStyle : public QProxyStyle {
  public:
    BuiltInIconStyle();
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const override;
};

// Makes BuiltInIconStyle the program's style when it would draw the same as the
// style in use: Fusion, with no icon theme that has icons of its own for them.
void UseBuiltInIconStyle();
