// Renders the program's SVG icon into files of premultiplied 32-bit ARGB pixels,
// one per size given, named PREFIX-SIZE.argb. Run by the build, so that the
// windows show the icon without reading an image file at start (reading even
// a PNG makes Qt load every image plug-in to ask it).
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s SVG PREFIX SIZE...\n", argv[0]);
        return 2;
    }
    const QString svg = QString::fromLocal8Bit(argv[1]);
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    for (int k = 3; k < argc; ++k) {
        const int size = std::atoi(argv[k]);
        QImageReader reader(svg);
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QString path = prefix + QLatin1Char('-') + QString::number(size) + QStringLiteral(".argb");
        QFile file(path);
        if (size <= 0 || image.size() != QSize(size, size) || !file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()) != image.sizeInBytes()) {
            std::fprintf(stderr, "cannot render %s at %s into %s: %s\n", argv[1], argv[k], qPrintable(path),
                         qPrintable(reader.errorString()));
            return 1;
        }
    }
    return 0;
}
