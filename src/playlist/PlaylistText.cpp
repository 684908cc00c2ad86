#include "PlaylistText.h"

#include "platform/text.h"

#include <algorithm>
#include <cmath>

namespace playlist {

namespace {

constexpr qsizetype CaptionLimit = 100;

bool isAsciiLower(QChar c)
{
    return c >= u'a' && c <= u'z';
}

} // namespace

QString CapitalizeWords(const QString& text)
{
    QString out = text.left(text.indexOf(QChar(0)) < 0 ? text.size() : text.indexOf(QChar(0)));
    if (out.size() > CaptionLimit) {
        // Never leave half of a surrogate pair at the end.
        qsizetype cut = CaptionLimit;
        if (out[cut - 1].isHighSurrogate())
            --cut;
        out.truncate(cut);
    }
    for (qsizetype i = 0; i < out.size(); ++i)
        if ((i == 0 || out[i - 1] == u' ') && isAsciiLower(out[i]))
            out[i] = QChar(out[i].unicode() - 32);
    return out;
}

QString AsciiLower(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    return out;
}

bool IsSingleCase(const QString& text)
{
    bool upper = false, lower = false;
    for (const QChar c : text) {
        upper = upper || c.isUpper();
        lower = lower || c.isLower();
    }
    return !(upper && lower);
}

QString PlaylistCaption(const QString& rawTitle, const QString& rawArtist, const QString& baseName, int titleFormat)
{
    // A tag that mixes cases already has its own capitals ("Paul McCartney").
    auto caption = [](const QString& raw) { return CapitalizeWords(IsSingleCase(raw) ? AsciiLower(raw) : raw); };
    const QString title = caption(rawTitle);
    const QString artist = caption(rawArtist);
    if (title.isEmpty() && artist.isEmpty())
        return baseName;
    const bool both = !title.isEmpty() && !artist.isEmpty();
    const QString quoted = u'"' + title + u'"';
    switch (titleFormat) {
    case 0:
        return both ? artist + " - " + title : title.isEmpty() ? artist : title;
    case 1:
        return both ? title + " - " + artist : title.isEmpty() ? artist : title;
    case 2:
        return both ? artist + " \\ " + title : title.isEmpty() ? artist : title;
    case 3:
        return both ? title + " \\ " + artist : title.isEmpty() ? artist : title;
    case 4:
        return both ? quoted + " By " + artist : title.isEmpty() ? artist : quoted;
    default:
        return both ? artist + ' ' + title : title.isEmpty() ? artist + ' ' : ' ' + title;
    }
}

qsizetype NumberPrefixLength(const QString& caption)
{
    qsizetype p = 0;
    while (p < caption.size() && caption[p] >= u'0' && caption[p] <= u'9')
        ++p;
    if (p == 0 || p + 1 >= caption.size() || caption[p] != u'.' || caption[p + 1] != u' ')
        return 0;
    return p + 2;
}

QString RenumberCaption(const QString& caption, int index, bool numbering)
{
    // Only the prefix numbering writes counts, so "Track01.wav", "01.wav" and
    // "Vol 2. Intro" keep their text.
    qsizetype p = NumberPrefixLength(caption);
    while (p < caption.size() && caption[p] == u' ')
        ++p;
    if (!numbering)
        return caption.mid(p);
    return QString::number(index + 1) + ". " + caption.mid(p);
}

QString TimeText(int64_t seconds)
{
    const int64_t s = std::max<int64_t>(seconds, 0);
    const QString minutesSeconds =
        QStringLiteral("%1:%2").arg(s / 60 % 60, 2, 10, QChar(u'0')).arg(s % 60, 2, 10, QChar(u'0'));
    return s < 3600 ? minutesSeconds : QString::number(s / 3600) + u':' + minutesSeconds;
}

QString PlaylistTimeText(double seconds)
{
    constexpr double kLongestDuration = 4294967.295; // 2^32 - 1 ms
    if (!(seconds >= 0) || !(seconds <= kLongestDuration))
        return TimeText(0);
    return TimeText(std::llround(seconds));
}

namespace {

std::string_view fileNamePart(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

QString FileNameOf(std::string_view path)
{
    return platform::DisplayString(fileNamePart(path));
}

QString BaseNameOf(std::string_view path)
{
    std::string_view name = fileNamePart(path);
    const auto dot = name.rfind('.');
    if (dot != std::string_view::npos)
        name = name.substr(0, dot);
    return platform::DisplayString(name);
}

std::string UpperExtension(std::string_view path)
{
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    std::string ext(path.substr(dot));
    for (char& c : ext)
        if (c >= 'a' && c <= 'z')
            c = char(c - 32);
    return ext;
}

} // namespace playlist
