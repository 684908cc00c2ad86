// The slider's built-in pictures, drawn by code, and the transparent-colour rule
// shared by every slider image.
#pragma once

#include <QColor>
#include <QImage>

namespace sliderimages {

// Pixels of this colour are never painted.
inline constexpr QRgb TransparentColour = 0xFF808000; // RGB(128, 128, 0)

// The built-in images by name: "W95_HTB", "W95_HRL", "W95_VTB", "W95_VRL";
// a null image for any other name. Thumbs hold a normal and a pressed frame
// side by side.
QImage BuiltIn(const char* name);

// A 32-bit copy with alpha in which the transparent colour is fully clear.
QImage WithTransparency(const QImage& image);

} // namespace sliderimages
