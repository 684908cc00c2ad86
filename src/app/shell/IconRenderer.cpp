// Renders icons into files of premultiplied 32-bit ARGB pixels, one per size
// given, named PREFIX-SIZE.argb. Run by the build, so that the windows show
// their icons without reading an image file at start (reading even a PNG, or
// asking the style for an icon, makes Qt load every image plug-in).
//
// SOURCE is an SVG file, or style:NAME for the Fusion style's standard icon of
// that name (style:SP_MediaPlay).
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QMetaEnum>
#include <QPainter>
#include <QStyle>

#include <cstdio>
#include <cstdlib>

namespace {

QImage render(const QString& source, int size, QString& error)
{
    if (source.startsWith(QStringLiteral("style:"))) {
        bool known = false;
        const int pixmap =
            QMetaEnum::fromType<QStyle::StandardPixmap>().keyToValue(source.mid(6).toLatin1().constData(), &known);
        if (!known) {
            error = QStringLiteral("no such standard icon");
            return {};
        }
        QApplication::setStyle(QStringLiteral("fusion"));
        const QImage drawn =
            QApplication::style()->standardIcon(QStyle::StandardPixmap(pixmap)).pixmap(QSize(size, size)).toImage();
        // A narrower icon (the tool bar's extension arrow) lies centred, as a button draws it.
        QImage square(size, size, QImage::Format_ARGB32_Premultiplied);
        square.fill(Qt::transparent);
        QPainter(&square).drawImage((size - drawn.width()) / 2, (size - drawn.height()) / 2, drawn);
        return square;
    }
    QImageReader reader(source);
    reader.setScaledSize(QSize(size, size));
    QImage image = reader.read();
    error = reader.errorString();
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s SOURCE PREFIX SIZE...\n", argv[0]);
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    for (int k = 3; k < argc; ++k) {
        const int size = std::atoi(argv[k]);
        QString error;
        const QImage image =
            size > 0 ? render(source, size, error).convertToFormat(QImage::Format_ARGB32_Premultiplied) : QImage();
        const QString path = prefix + QLatin1Char('-') + QString::number(size) + QStringLiteral(".argb");
        QFile file(path);
        if (size <= 0 || image.size() != QSize(size, size) || !file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()) != image.sizeInBytes()) {
            std::fprintf(stderr, "cannot render %s at %s into %s: %s\n", argv[1], argv[k], qPrintable(path),
                         qPrintable(error));
            return 1;
        }
    }
    return 0;
}
