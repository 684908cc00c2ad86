#include "SliderImages.h"

#include <QPainter>

#include <cstring>

namespace sliderimages {
namespace {

constexpr QRgb Face = 0xFFC0C0C0;
constexpr QRgb PressedFace = 0xFFA8A8A8;
constexpr QRgb Light = 0xFFFFFFFF;
constexpr QRgb Shadow = 0xFF808080;
constexpr QRgb DarkShadow = 0xFF000000;
constexpr QRgb Groove = 0xFFE0E0E0;

// One thumb frame of w x h: a raised (or, pressed, sunken) block whose two
// bottom corners are cut off with the transparent colour.
void drawThumbFrame(QImage& image, int left, int w, int h, bool pressed)
{
    const QRgb topLeft = pressed ? DarkShadow : Light;
    const QRgb bottomRight = pressed ? Light : DarkShadow;
    const QRgb inner = pressed ? Light : Shadow;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            QRgb c = pressed ? PressedFace : Face;
            if (x == 0 || y == 0)
                c = topLeft;
            else if (x == w - 1 || y == h - 1)
                c = bottomRight;
            else if (x == w - 2 || y == h - 2)
                c = inner;
            image.setPixel(left + x, y, c);
        }
    }
    image.setPixel(left, h - 1, TransparentColour);
    image.setPixel(left + w - 1, h - 1, TransparentColour);
}

// A sunken groove along x, 6 pixels thick, len long.
QImage horizontalRuler(int len)
{
    static constexpr QRgb rows[6] = {TransparentColour, Shadow, DarkShadow, Groove, Light, TransparentColour};
    QImage image(len, 6, QImage::Format_RGB32);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < len; ++x)
            image.setPixel(x, y, rows[y]);
    // The ends are closed, so they must stay out of the repeated middle.
    for (int y = 1; y < 5; ++y) {
        image.setPixel(0, y, Shadow);
        image.setPixel(len - 1, y, Light);
    }
    return image;
}

QImage horizontalThumb()
{
    constexpr int w = 9, h = 11;
    QImage image(2 * w, h, QImage::Format_RGB32);
    drawThumbFrame(image, 0, w, h, false);
    drawThumbFrame(image, w, w, h, true);
    return image;
}

// The vertical pictures are the horizontal ones turned on their side; the
// thumb's two frames stay side by side.
QImage turned(const QImage& image)
{
    return image.transformed(QTransform().rotate(90));
}

QImage verticalThumb()
{
    const QImage h = horizontalThumb();
    const int fw = h.width() / 2;
    const QImage normal = turned(h.copy(0, 0, fw, h.height()));
    const QImage pressed = turned(h.copy(fw, 0, fw, h.height()));
    QImage image(normal.width() * 2, normal.height(), QImage::Format_RGB32);
    QPainter p(&image);
    p.drawImage(0, 0, normal);
    p.drawImage(normal.width(), 0, pressed);
    return image;
}

} // namespace

QImage BuiltIn(const char* name)
{
    if (std::strcmp(name, "W95_HTB") == 0)
        return horizontalThumb();
    if (std::strcmp(name, "W95_HRL") == 0)
        return horizontalRuler(20);
    if (std::strcmp(name, "W95_VTB") == 0)
        return verticalThumb();
    if (std::strcmp(name, "W95_VRL") == 0)
        return turned(horizontalRuler(20));
    return {};
}

QImage WithTransparency(const QImage& image)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] | 0xFF000000u) == TransparentColour)
                line[x] = 0;
    }
    return out;
}

} // namespace sliderimages
