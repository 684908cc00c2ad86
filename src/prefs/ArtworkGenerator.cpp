// Draws the about box's and the "File Types" page's pictures and saves them as
// JPEG files into the folder given on the command line. Run by the build.
#include "Artwork.h"

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>

namespace {

const QColor Night(18, 24, 48);
const QColor Deep(38, 62, 130);
const QColor Glow(255, 178, 54);
const QColor Mist(214, 226, 255);

QFont face(int pixels, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void fillBackdrop(QPainter& p, const QRect& r)
{
    QLinearGradient sky(r.topLeft(), r.bottomRight());
    sky.setColorAt(0, Deep);
    sky.setColorAt(1, Night);
    p.fillRect(r, sky);
}

// An eighth note with its stem to the right of the head.
void drawNote(QPainter& p, QPointF head, qreal size, const QColor& colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.save();
    p.translate(head);
    p.rotate(-20);
    p.drawEllipse(QPointF(0, 0), size * 0.55, size * 0.38);
    p.restore();
    const QPointF stemFoot = head + QPointF(size * 0.48, -size * 0.1);
    const QPointF stemTop = stemFoot - QPointF(0, size * 1.9);
    p.setPen(QPen(colour, std::max<qreal>(1.5, size * 0.16), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(stemFoot, stemTop);
    QPainterPath flag(stemTop);
    flag.cubicTo(stemTop + QPointF(size * 0.2, size * 0.5), stemTop + QPointF(size * 0.9, size * 0.6),
                 stemTop + QPointF(size * 0.6, size * 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawPath(flag);
}

QImage disc(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    fillBackdrop(p, image.rect());
    const QPointF centre(size.width() * 0.42, size.height() / 2.0);
    const qreal radius = size.height() * 0.44;
    QRadialGradient shine(centre, radius, centre + QPointF(-radius / 3, -radius / 3));
    shine.setColorAt(0, QColor(250, 250, 255));
    shine.setColorAt(0.5, QColor(150, 170, 230));
    shine.setColorAt(1, QColor(90, 70, 170));
    p.setPen(QPen(Mist, 1));
    p.setBrush(shine);
    p.drawEllipse(centre, radius, radius);
    for (qreal ring = radius * 0.55; ring < radius; ring += radius * 0.12) {
        p.setPen(QPen(QColor(255, 255, 255, 50), 1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre, ring, ring);
    }
    p.setPen(QPen(Night, 1));
    p.setBrush(Deep);
    p.drawEllipse(centre, radius * 0.22, radius * 0.22);
    p.setBrush(Night);
    p.drawEllipse(centre, radius * 0.08, radius * 0.08);
    drawNote(p, QPointF(size.width() * 0.82, size.height() * 0.72), size.height() * 0.16, Glow);
    return image;
}

QImage title(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    fillBackdrop(p, image.rect());
    QLinearGradient letters(0, 0, 0, size.height());
    letters.setColorAt(0, QColor(255, 230, 160));
    letters.setColorAt(1, Glow);
    QPainterPath word;
    word.addText(0, 0, face(size.height() * 2 / 3, true), QStringLiteral("Orvella"));
    const QRectF bounds = word.boundingRect();
    word.translate((size.width() - bounds.width()) / 2 - bounds.left(),
                   (size.height() - bounds.height()) / 2 - bounds.top());
    p.setPen(QPen(Night, 2));
    p.setBrush(letters);
    p.drawPath(word);
    return image;
}

QImage wave(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    fillBackdrop(p, image.rect());
    // A spectrum of bars with a waveform running across them.
    const int bars = 17;
    const qreal slot = qreal(size.width()) / bars;
    for (int k = 0; k < bars; ++k) {
        const qreal level = 0.25 + 0.7 * std::fabs(std::sin(k * 0.7) * std::cos(k * 0.23));
        const QRectF bar(k * slot + 1, size.height() * (1 - level), slot - 2, size.height() * level);
        QLinearGradient g(bar.topLeft(), bar.bottomLeft());
        g.setColorAt(0, Glow);
        g.setColorAt(1, QColor(200, 60, 80));
        p.fillRect(bar, g);
    }
    QPainterPath line;
    for (int x = 0; x <= size.width(); ++x) {
        const qreal y = size.height() / 2.0 + std::sin(x * 0.16) * std::sin(x * 0.031) * size.height() * 0.35;
        if (x == 0)
            line.moveTo(x, y);
        else
            line.lineTo(x, y);
    }
    p.setPen(QPen(Mist, 2));
    p.drawPath(line);
    return image;
}

QImage badge(QSize size, const QString& label, const QString& note, int hue)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, size.width(), 0);
    g.setColorAt(0, QColor::fromHsv(hue, 170, 200));
    g.setColorAt(1, QColor::fromHsv(hue, 200, 90));
    p.fillRect(image.rect(), g);
    drawNote(p, QPointF(size.height() * 0.35, size.height() * 0.74), size.height() * 0.22, QColor(255, 255, 255, 220));
    p.setPen(Qt::white);
    p.setFont(face(size.height() / 2, true));
    p.drawText(QRect(size.height() * 3 / 4, 2, size.width(), size.height() * 2 / 3), Qt::AlignVCenter, label);
    p.setPen(Mist);
    p.setFont(face(size.height() / 5, false));
    p.drawText(QRect(size.height() * 3 / 4, size.height() * 2 / 3 - 2, size.width(), size.height() / 3), Qt::AlignTop,
               note);
    return image;
}

bool save(const QImage& image, const QString& folder, const artwork::Picture& picture)
{
    const QString path = folder + QLatin1Char('/') + QString::fromLatin1(picture.fileName);
    if (image.save(path, "JPEG", 92))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    using artwork::AboutPicture;
    using artwork::FileTypePicture;
    bool ok = save(disc(AboutPicture(0).size), folder, AboutPicture(0));
    ok &= save(title(AboutPicture(1).size), folder, AboutPicture(1));
    ok &= save(wave(AboutPicture(2).size), folder, AboutPicture(2));
    const char* labels[artwork::FileTypePictureCount][2] = {{"MP3", "MPEG audio"},
                                                            {"OGG", "Ogg Vorbis"},
                                                            {"WMA", "ASF audio"},
                                                            {"WAV", "waveform audio"},
                                                            {"+ more", "through plug-ins"}};
    for (int k = 0; k < artwork::FileTypePictureCount; ++k)
        ok &= save(badge(FileTypePicture(k).size, QString::fromLatin1(labels[k][0]), QString::fromLatin1(labels[k][1]),
                         20 + k * 50),
                   folder, FileTypePicture(k));
    return ok ? 0 : 1;
}
