// The Qt form of the displayed text (see text.h).

#include "text.h"

#include <QDir>
#include <QString>
#include <QUrl>

#include <filesystem>
#include <system_error>

namespace platform {

QString DisplayString(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

namespace {

constexpr char16_t kFirstKeptByte = 0xDC80; // stands for the byte 0x80
constexpr char16_t kLastKeptByte = 0xDCFF;  // and this one for 0xFF

} // namespace

QString PathString(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QString path;
    path.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        if (const std::size_t length = Utf8SequenceAt(bytes, i); length != 0) {
            path += QString::fromUtf8(bytes.data() + i, static_cast<qsizetype>(length));
            i += length;
        } else {
            // Not valid UTF-8, so at least 0x80.
            path += QChar(char16_t(kFirstKeptByte + (static_cast<unsigned char>(bytes[i]) - 0x80)));
            ++i;
        }
    }
    return path;
}

std::string PathBytes(const QString& path)
{
    std::string bytes;
    bytes.reserve(static_cast<size_t>(path.size()));
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        bytes += QStringView(path).sliced(runStart, end - runStart).toUtf8().toStdString();
    };
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path[i].unicode();
        const bool pairedLow = i > 0 && path[i - 1].isHighSurrogate();
        if (unit >= kFirstKeptByte && unit <= kLastKeptByte && !pairedLow) {
            flushRun(i);
            bytes += static_cast<char>(0x80 + (unit - kFirstKeptByte));
            runStart = i + 1;
        }
    }
    flushRun(path.size());
    return bytes;
}

QString AbsolutePath(const QString& path)
{
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    // QDir::currentPath() would lose a folder name that is not UTF-8.
    std::error_code error;
    return QDir::cleanPath(PathString(std::filesystem::current_path(error).string()) + u'/' + path);
}

QString LocalFileOfUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    if (!url.host().isEmpty()) // a share, "//host/path"
        return url.toLocalFile();
    return PathString(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString());
}

QUrl UrlOfLocalFile(const QString& path)
{
    const QByteArray bytes = QByteArray::fromStdString(PathBytes(path));
    return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"));
}

} // namespace platform
