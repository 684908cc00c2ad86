#include "FolderFiles.h"

#include <QDir>
#include <QDirIterator>

#include <algorithm>

namespace playlist {
namespace {

// "2 two" before "10 ten": runs of digits by their value, the rest letter
// case aside; the same in every locale.
bool naturalLess(const QString& a, const QString& b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype startA = i, startB = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            // By value: leading zeros aside, the longer run is the larger.
            QStringView runA = QStringView(a).sliced(startA, i - startA);
            QStringView runB = QStringView(b).sliced(startB, j - startB);
            while (runA.size() > 1 && runA.front() == u'0')
                runA = runA.sliced(1);
            while (runB.size() > 1 && runB.front() == u'0')
                runB = runB.sliced(1);
            if (runA.size() != runB.size())
                return runA.size() < runB.size();
            if (const int order = runA.compare(runB); order != 0)
                return order < 0;
            continue;
        }
        const QChar x = a[i].toCaseFolded(), y = b[j].toCaseFolded();
        if (x != y)
            return x < y;
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return a.size() - i < b.size() - j;
    return a < b; // only letter case or leading zeros differ
}

} // namespace

QStringList PlayableFilesIn(const QString& folder, const QStringList& patterns)
{
    QStringList nameFilters;
    for (const QString& list : patterns)
        for (const QString& pattern : list.split(u';', Qt::SkipEmptyParts))
            if (const QString trimmed = pattern.trimmed(); !trimmed.isEmpty())
                nameFilters << trimmed;
    if (nameFilters.isEmpty())
        return {};

    const QDir top(folder);
    QStringList below; // paths below the folder, for the order
    QDirIterator files(top.absolutePath(), nameFilters, QDir::Files | QDir::Readable, QDirIterator::Subdirectories);
    while (files.hasNext())
        below << top.relativeFilePath(files.next());

    std::sort(below.begin(), below.end(), naturalLess);
    QStringList paths;
    paths.reserve(below.size());
    for (const QString& path : std::as_const(below))
        paths << top.absoluteFilePath(path);
    return paths;
}

} // namespace playlist
