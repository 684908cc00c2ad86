#include "FolderFiles.h"

#include "platform/text.h"

#include <algorithm>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The kind of an entry as a listing gives it (DT_DIR, DT_REG, DT_LNK), for a
// file system whose listing does not.
unsigned char kindOf(int folder, const char* name)
{
    struct stat status;
    if (::fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return DT_UNKNOWN;
    if (S_ISDIR(status.st_mode))
        return DT_DIR;
    if (S_ISREG(status.st_mode))
        return DT_REG;
    return S_ISLNK(status.st_mode) ? DT_LNK : DT_UNKNOWN;
}

struct FolderWalk {
    std::vector<QByteArray> patterns;
    std::vector<std::string> below; // paths below the top folder, as bytes

    bool matches(const char* name) const
    {
        return std::any_of(patterns.begin(), patterns.end(), [name](const QByteArray& pattern) {
            return ::fnmatch(pattern.constData(), name, FNM_CASEFOLD) == 0;
        });
    }

    // Names go to the file system as bytes: Qt's directory classes would lose
    // the ones that are not UTF-8. Entries are looked at beside their folder,
    // and the kind the listing gives is taken where it gives one.
    void walk(const std::string& top, const std::string& relative)
    {
        DIR* entries = ::opendir((top + relative).c_str()); // top ends in "/", relative too unless empty
        if (entries == nullptr)
            return;
        const int folder = ::dirfd(entries);
        while (const dirent* entry = ::readdir(entries)) {
            if (entry->d_name[0] == '.') // hidden, and the folder itself and its parent
                continue;
            const unsigned char kind = entry->d_type != DT_UNKNOWN ? entry->d_type : kindOf(folder, entry->d_name);
            if (kind == DT_DIR) {
                walk(top, relative + entry->d_name + '/'); // a linked folder is a link, not a folder, here
                continue;
            }
            if (!matches(entry->d_name))
                continue;
            struct stat target;
            const bool regular =
                kind == DT_REG ||
                (kind == DT_LNK && ::fstatat(folder, entry->d_name, &target, 0) == 0 && S_ISREG(target.st_mode));
            if (regular && ::faccessat(folder, entry->d_name, R_OK, 0) == 0)
                below.push_back(relative + entry->d_name);
        }
        ::closedir(entries);
    }
};

} // namespace

std::vector<std::string> PlayableFilesIn(const std::string& folder, const QStringList& patterns)
{
    FolderWalk walk;
    for (const QString& list : patterns)
        for (const QString& pattern : list.split(u';', Qt::SkipEmptyParts))
            if (const QString trimmed = pattern.trimmed(); !trimmed.isEmpty())
                walk.patterns.push_back(trimmed.toUtf8());
    if (walk.patterns.empty())
        return {};

    const std::string top = folder.ends_with('/') ? folder : folder + '/';
    walk.walk(top, {});

    // Ordered by the names as they read.
    std::vector<std::pair<QString, std::string>> named;
    named.reserve(walk.below.size());
    for (std::string& path : walk.below)
        named.emplace_back(platform::PathString(path), std::move(path));
    std::sort(named.begin(), named.end(), [](const auto& a, const auto& b) { return naturalLess(a.first, b.first); });
    std::vector<std::string> paths;
    paths.reserve(named.size());
    for (const auto& [shown, path] : named)
        paths.push_back(top + path);
    return paths;
}

} // namespace playlist
