// File dialog filters. The program states them in "name|patterns|name|..."
// form (patterns separated by ";"); Qt's dialogs take one "name (patterns)"
// string per filter.
#pragma once

#include <QString>
#include <QStringList>

namespace playlist {

// The open-files dialog's filter from the player's native extensions and the
// plug-ins' extensions, both as "*.ext;" lists. Filter 4 (counted from 1) is
// the playlists filter.
QString BuildOpenFilesFilter(const QString& nativeExts, const QString& pluginExts);
inline constexpr int PlaylistsFilterIndex = 4;

// One Qt name filter per "name|patterns" pair, in order. A name that already
// ends with its patterns in Qt's form is kept as it is; otherwise the patterns
// are added in parentheses.
QStringList ToQtNameFilters(const QString& filter);

} // namespace playlist
