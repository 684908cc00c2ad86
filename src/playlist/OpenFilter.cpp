#include "OpenFilter.h"

#include <QRegularExpression>

namespace playlist {

QString BuildOpenFilesFilter(const QString& nativeExts, const QString& pluginExts)
{
    QString filter = "All Playable Media|" + nativeExts + pluginExts + "|" + //
                     "Orvella Supported|" + nativeExts + "|" +               //
                     "Plug-in Supported|" + pluginExts + "|" +               //
                     "Playlists (*.Pls,*.M3u)|*.Pls;*.M3u|" +                //
                     "MPEG Audio (*.Mp1,*.Mp2,*.Mp3)|*.mp1;*.mp2;*.mp3|" +   //
                     "Windows Media Audio (*.Wma)|*.wma|" +                  //
                     "Ogg Vorbis (*.Ogg)|*.ogg|";
    // One filter per plug-in pattern, named after its extension: "VOC Audio (*.VOC)".
    const QStringList pieces = (pluginExts.endsWith(u';') ? pluginExts : pluginExts + u';').split(u';');
    for (int k = 0; k < 99 && k < pieces.size(); ++k) {
        const QString& pattern = pieces[k];
        if (pattern.isEmpty())
            continue;
        filter += pattern.mid(2, 4) + " Audio (" + pattern + ")|" + pattern + "|";
    }
    return filter;
}

QStringList ToQtNameFilters(const QString& filter)
{
    // The rule Qt's dialogs use to find the patterns at the end of a filter.
    static const QRegularExpression trailingPatterns(
        QStringLiteral(R"(^(.*)\(([a-zA-Z0-9_.*? +;#\-\[\]@\{\}/!<>\$%&=^~:\|]*)\)$)"));
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& name = parts[i];
        const QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        const auto match = trailingPatterns.match(name);
        if (match.hasMatch() && match.captured(2).split(u' ', Qt::SkipEmptyParts) == patterns)
            out << name;
        else
            out << name + " (" + patterns.join(u' ') + ")";
    }
    return out;
}

} // namespace playlist
