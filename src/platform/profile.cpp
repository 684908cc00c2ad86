// Profile files: the parsed text of recently used files is kept and checked
// against the file's identity and time stamp on every call, so reading many
// keys costs one stat each, and adding keys at the end of a file appends.

#include "profile.h"

#include "ProfileDocument.h"
#include "atomicfile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <list>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr off_t kMaxProfileBytes = 256 * 1024 * 1024; // larger files read as empty
constexpr std::size_t kCachedFiles = 8;

struct FileStamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};

    bool operator==(const FileStamp& o) const
    {
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
               mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

FileStamp stampOf(const std::string& path)
{
    FileStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        stamp.exists = true;
        stamp.dev = st.st_dev;
        stamp.ino = st.st_ino;
        stamp.size = st.st_size;
        stamp.mtime = st.st_mtim;
    }
    return stamp;
}

bool readWholeFile(const std::string& path, std::string& out)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    out.clear();
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        out.append(chunk, static_cast<std::size_t>(n));
        if (out.size() > static_cast<std::size_t>(kMaxProfileBytes)) {
            out.clear();
            break;
        }
    }
    ::close(fd);
    return true;
}

// Replaces the file whole; falls back to writing in place when the folder
// does not allow new files but the file itself is writable.
bool replaceFile(const std::string& path, const std::string& data)
{
    if (WriteFileAtomically(path, data, 0644))
        return true;
    if (errno != EACCES && errno != EPERM)
        return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, data);
    return (::close(fd) == 0) && ok;
}

bool appendToFile(const std::string& path, const std::string& data)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, data);
    return (::close(fd) == 0) && ok;
}

std::string oneLine(std::string_view text)
{
    std::string s(text);
    std::replace(s.begin(), s.end(), '\r', ' ');
    std::replace(s.begin(), s.end(), '\n', ' ');
    return s;
}

struct CachedFile {
    std::string path;
    FileStamp stamp;
    ProfileDocument doc;
};

// Guards `cache` and serialises every read-modify-write of a file.
std::mutex cacheMutex;
std::list<CachedFile> cache; // most recently used first

// Caller holds cacheMutex.
CachedFile& load(const std::string& path)
{
    FileStamp stamp = stampOf(path);
    for (auto it = cache.begin(); it != cache.end(); ++it) {
        if (it->path == path) {
            if (!(it->stamp == stamp)) {
                std::string text;
                it->doc = (stamp.exists && readWholeFile(path, text)) ? ProfileDocument::parse(text)
                                                                       : ProfileDocument{};
                it->stamp = stamp;
            }
            cache.splice(cache.begin(), cache, it);
            return cache.front();
        }
    }
    std::string text;
    ProfileDocument doc = (stamp.exists && readWholeFile(path, text)) ? ProfileDocument::parse(text)
                                                                     : ProfileDocument{};
    cache.push_front({path, stamp, std::move(doc)});
    if (cache.size() > kCachedFiles)
        cache.pop_back();
    return cache.front();
}

void forget(const std::string& path)
{
    cache.remove_if([&](const CachedFile& f) { return f.path == path; });
}

template <typename Apply>
bool modify(const std::string& path, Apply apply)
{
    std::lock_guard lock(cacheMutex);
    CachedFile& file = load(path);
    const bool existed = file.stamp.exists;
    ProfileDocument::Edit edit = apply(file.doc);
    if (edit.kind == ProfileDocument::EditKind::None)
        return true;
    bool ok = (edit.kind == ProfileDocument::EditKind::Appended && existed)
                  ? appendToFile(path, edit.appendedText)
                  : replaceFile(path, file.doc.serialize());
    if (!ok) {
        forget(path);
        return false;
    }
    file.stamp = stampOf(path);
    return true;
}

template <typename Read>
auto inspect(const std::string& path, Read read)
{
    std::lock_guard lock(cacheMutex);
    return read(load(path).doc);
}

// Copies a NUL-separated list ending in an extra NUL, as far as it fits.
DWORD copyList(const std::vector<std::string>& items, char* buffer, DWORD size)
{
    if (!buffer || size == 0)
        return 0;
    if (size == 1) {
        buffer[0] = '\0';
        return 0;
    }
    DWORD used = 0;
    for (const std::string& item : items) {
        if (used + item.size() + 1 > size - 1) {
            // Truncated: what fits, then the closing NULs; the count is size - 2.
            std::size_t room = size - 2 - used;
            std::memcpy(buffer + used, item.data(), std::min(room, item.size()));
            buffer[size - 2] = '\0';
            buffer[size - 1] = '\0';
            return size - 2;
        }
        std::memcpy(buffer + used, item.data(), item.size());
        used += static_cast<DWORD>(item.size());
        buffer[used++] = '\0';
    }
    buffer[used] = '\0';
    return used;
}

DWORD copyText(const std::string& text, char* buffer, DWORD size)
{
    if (!buffer || size == 0)
        return 0;
    DWORD n = static_cast<DWORD>(std::min<std::size_t>(std::strlen(text.c_str()), size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n;
}

} // namespace

std::optional<int> ParseProfileInt(const std::string& text)
{
    std::string_view t = TrimBlanks(text);
    bool negative = false;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    int base = 10;
    if (t.starts_with("0x") || t.starts_with("0X")) {
        base = 16;
        t.remove_prefix(2);
    } else if (t.starts_with("$")) {
        base = 16;
        t.remove_prefix(1);
    }
    if (t.empty())
        return std::nullopt;
    unsigned long long magnitude = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), magnitude, base);
    if (ec != std::errc() || end != t.data() + t.size())
        return std::nullopt;
    if (base == 16 && !negative && magnitude <= 0xFFFFFFFFull)
        return static_cast<int>(static_cast<uint32_t>(magnitude)); // $FFFFFFFF is -1
    long long value = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (magnitude > 0x80000000ull || value > INT32_MAX || value < INT32_MIN)
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<std::string> ProfileFile::find(const std::string& section, const std::string& key) const
{
    return inspect(path_, [&](const ProfileDocument& doc) { return doc.value(section, key); });
}

std::string ProfileFile::readString(const std::string& section, const std::string& key, const std::string& def) const
{
    return find(section, key).value_or(def);
}

int ProfileFile::readInt(const std::string& section, const std::string& key, int def) const
{
    std::optional<std::string> text = find(section, key);
    if (!text)
        return def;
    return ParseProfileInt(*text).value_or(def);
}

bool ProfileFile::readBool(const std::string& section, const std::string& key, bool def) const
{
    return readInt(section, key, def ? 1 : 0) != 0;
}

bool ProfileFile::writeString(const std::string& section, const std::string& key, const std::string& value) const
{
    return modify(path_, [&](ProfileDocument& doc) { return doc.setValue(oneLine(section), oneLine(key), oneLine(value)); });
}

bool ProfileFile::writeInt(const std::string& section, const std::string& key, int value) const
{
    return writeString(section, key, std::to_string(value));
}

bool ProfileFile::writeBool(const std::string& section, const std::string& key, bool value) const
{
    return writeString(section, key, value ? "1" : "0");
}

bool ProfileFile::deleteKey(const std::string& section, const std::string& key) const
{
    return modify(path_, [&](ProfileDocument& doc) { return doc.deleteKey(section, key); });
}

bool ProfileFile::eraseSection(const std::string& section) const
{
    return modify(path_, [&](ProfileDocument& doc) { return doc.eraseSection(section); });
}

bool ProfileFile::writeStrings(const std::string& section,
                               const std::vector<std::pair<std::string, std::string>>& keyValues) const
{
    return modify(path_, [&](ProfileDocument& doc) {
        ProfileDocument::Edit total;
        for (const auto& [key, value] : keyValues) {
            ProfileDocument::Edit edit = doc.setValue(oneLine(section), oneLine(key), oneLine(value));
            if (edit.kind == ProfileDocument::EditKind::Rewritten || total.kind == ProfileDocument::EditKind::Rewritten) {
                total.kind = ProfileDocument::EditKind::Rewritten;
                total.appendedText.clear();
            } else if (edit.kind == ProfileDocument::EditKind::Appended) {
                total.kind = ProfileDocument::EditKind::Appended;
                total.appendedText += edit.appendedText;
            }
        }
        return total;
    });
}

std::vector<std::string> ProfileFile::sections() const
{
    return inspect(path_, [](const ProfileDocument& doc) { return doc.sectionNames(); });
}

std::vector<std::string> ProfileFile::keys(const std::string& section) const
{
    return inspect(path_, [&](const ProfileDocument& doc) { return doc.keyNames(section); });
}

bool ProfileFile::sectionExists(const std::string& section) const
{
    return inspect(path_, [&](const ProfileDocument& doc) { return doc.hasSection(section); });
}

} // namespace platform

using platform::ProfileFile;

DWORD GetPrivateProfileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                              DWORD size, const char* fileName)
{
    if (!fileName)
        return platform::copyText("", buffer, size);
    ProfileFile file(fileName);
    if (!section)
        return platform::copyList(file.sections(), buffer, size);
    if (!key)
        return platform::copyList(file.keys(section), buffer, size);
    std::string def(platform::TrimBlanks(defaultValue ? defaultValue : ""));
    return platform::copyText(file.readString(section, key, def), buffer, size);
}

int GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* fileName)
{
    if (!section || !key || !fileName)
        return defaultValue;
    return ProfileFile(fileName).readInt(section, key, defaultValue);
}

BOOL WritePrivateProfileString(const char* section, const char* key, const char* value, const char* fileName)
{
    if (!section || !fileName)
        return FALSE;
    ProfileFile file(fileName);
    if (!key)
        return file.eraseSection(section) ? TRUE : FALSE;
    if (!value)
        return file.deleteKey(section, key) ? TRUE : FALSE;
    return file.writeString(section, key, value) ? TRUE : FALSE;
}
