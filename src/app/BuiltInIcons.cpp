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
        const QByteArray pixels = QResource(QStringLiteral(":/%1-%2.argb").arg(name).arg(size)).uncompressedData();
        if (pixels.size() == size * size * 4)
            icon.addPixmap(QPixmap::fromImage(QImage(reinterpret_cast<const uchar*>(pixels.constData()), size, size,
                                                     QImage::Format_ARGB32_Premultiplied)
                                                  .copy()));
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
