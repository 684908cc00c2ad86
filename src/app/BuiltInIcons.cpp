#include "BuiltInIcons.h"

#include <QApplication>
#include <QImage>
#include <QMetaEnum>
#include <QPixmap>
#include <QResource>
#include <QStyleFactory>

#include <algorithm>
#include <array>

namespace {

// Drawn by the build at 16 and 32 pixels; see src/app/CMakeLists.txt.
constexpr std::array DrawnStandardIcons{QStyle::SP_MediaSkipBackward, QStyle::SP_MediaPlay,
                                        QStyle::SP_MediaPause,        QStyle::SP_MediaStop,
                                        QStyle::SP_MediaSkipForward,  QStyle::SP_ToolBarHorizontalExtensionButton};

} // namespace

QIcon BuiltInIcon(const QString& name, std::initializer_list<int> sizes)
{
    QIcon icon;
    for (int size : sizes) {
        // Stored uncompressed (src/app/CMakeLists.txt): the pixels stay where
        // they lie in the program for as long as it runs.
        const QResource pixels(QStringLiteral(":/%1-%2.argb").arg(name).arg(size));
        if (pixels.compressionAlgorithm() == QResource::NoCompression && pixels.size() == qint64(size) * size * 4)
            icon.addPixmap(QPixmap::fromImage(QImage(pixels.data(), size, size, QImage::Format_ARGB32_Premultiplied)));
    }
    return icon;
}

BuiltInIconStyle::BuiltInIconStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("fusion")))
{
}

QIcon BuiltInIconStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const
{
    if (std::find(DrawnStandardIcons.begin(), DrawnStandardIcons.end(), icon) != DrawnStandardIcons.end())
        return BuiltInIcon(QString::fromLatin1(QMetaEnum::fromType<StandardPixmap>().valueToKey(icon)), {16, 32});
    return QProxyStyle::standardIcon(icon, option, widget);
}

void UseBuiltInIconStyle()
{
    // An icon theme other than the bare fallback may have its own media icons.
    const QString theme = QIcon::themeName();
    if (QApplication::style()->name().compare(QStringLiteral("fusion"), Qt::CaseInsensitive) == 0 &&
        (theme.isEmpty() || theme == QStringLiteral("hicolor")))
        QApplication::setStyle(new BuiltInIconStyle);
}
