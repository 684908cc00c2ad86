#include "PlaylistFiles.h"

#include "PlaylistText.h"

#include "platform/atomicfile.h"
#include "platform/profile.h"
#include "platform/text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace playlist {
namespace {

constexpr const char* PlsSection = "playlist";

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(b)) == a;
           });
}

// The k of every "File<k>" key present with 1 <= k <= count, each once and
// in increasing order: the numbers a lookup of "File" + k can find. Walking
// these rather than 1 to count, a hostile NumberOfEntries or one far-off key
// ("File2000000000") cannot make the reader look up billions of missing keys.
std::vector<long> presentEntryNumbers(const platform::ProfileFile& file, long count)
{
    std::vector<long> numbers;
    for (const std::string& key : file.keys(PlsSection)) {
        if (key.size() < 5 || key.size() > 14 || !startsWithIgnoringCase(key, "file"))
            continue;
        const std::string_view digits = std::string_view(key).substr(4);
        // "File01" is not what a lookup of "File1" finds.
        if (digits.front() == '0' ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        if (const long k = std::stol(std::string(digits)); k <= count)
            numbers.push_back(k);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "%20" and the like become their bytes; a "%" without two hex digits stays.
std::string percentDecoded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? hexDigit(text[i + 1]) : -1;
        const int low = high >= 0 ? hexDigit(text[i + 2]) : -1;
        if (low >= 0) {
            out += char(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The folder a playlist file's relative entries resolve against.
std::string folderOf(const std::string& fileName)
{
    std::error_code error;
    return std::filesystem::absolute(std::filesystem::path(fileName), error).parent_path().string();
}

// "http://..." and the like: a scheme (a letter, then letters, digits, "+",
// "-" or ".") and "://".
bool isNetworkAddress(std::string_view entry)
{
    const std::size_t colon = entry.find("://");
    if (colon == std::string_view::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(entry[0])))
        return false;
    return std::all_of(entry.begin(), entry.begin() + colon, [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
    });
}

bool isM3u8(const std::string& fileName)
{
    return UpperExtension(fileName) == ".M3U8";
}

} // namespace

std::string ExpandEntryPath(std::string_view text, const std::string& folder)
{
    std::string entry(trimmed(text));
    if (startsWithIgnoringCase(entry, "file://")) {
        std::string_view rest = std::string_view(entry).substr(7);
        if (startsWithIgnoringCase(rest, "localhost/"))
            rest.remove_prefix(9);
        // A file on another host is nothing this program can open.
        if (!rest.starts_with('/'))
            return {};
        entry = percentDecoded(rest);
    }
    // No file name or address holds a NUL byte.
    if (entry.empty() || entry.find('\0') != std::string::npos)
        return {};
    // A radio station's address is no path: it stays as written.
    if (isNetworkAddress(entry))
        return entry;
    std::error_code error;
    const std::filesystem::path beside =
        folder.empty() ? std::filesystem::current_path(error) : std::filesystem::path(folder);
    const auto resolved = [&beside](const std::string& name) {
        const std::filesystem::path path{name};
        return (path.is_absolute() ? path : beside / path).lexically_normal();
    };
    const std::filesystem::path asWritten = resolved(entry);
    // Lists written on Windows part folders by backslashes. Where no file has
    // the name as written, the one these folders lead to is taken if it exists.
    if (entry.find('\\') != std::string::npos && !std::filesystem::exists(asWritten, error)) {
        std::string slashed = entry;
        std::replace(slashed.begin(), slashed.end(), '\\', '/');
        if (const std::filesystem::path inFolders = resolved(slashed); std::filesystem::exists(inFolders, error))
            return inFolders.string();
    }
    return asWritten.string();
}

std::vector<std::string> ReadPls(const std::string& fileName)
{
    const platform::ProfileFile file(fileName);
    const std::string folder = folderOf(fileName);
    const long count = file.readInt(PlsSection, "NumberOfEntries", 0);
    std::vector<std::string> paths;
    // A missing key reads as empty, and an empty value can never be played:
    // only the keys present can make entries.
    for (long k : presentEntryNumbers(file, count)) {
        std::string path = ExpandEntryPath(file.readString(PlsSection, "File" + std::to_string(k), ""), folder);
        if (!path.empty())
            paths.push_back(std::move(path));
    }
    return paths;
}

std::vector<std::string> ReadM3u(const std::string& fileName)
{
    const std::string bytes = ReadWholeFile(fileName);
    // Old lists were written in the Windows code page, and names here are
    // UTF-8: an entry is read as Latin-1, unless a file has the name as written
    // (a list saved here of files whose names are not UTF-8).
    const bool oldCodePage = !isM3u8(fileName) && !platform::IsValidUtf8(bytes);
    std::string_view text = bytes;
    if (text.starts_with("\xEF\xBB\xBF")) // a UTF-8 mark would otherwise hide "#EXTM3U"
        text.remove_prefix(3);
    const std::string folder = folderOf(fileName);
    std::vector<std::string> paths;
    std::error_code error;
    for (std::string_view line : SplitLines(text)) {
        const std::string_view entry = trimmed(line);
        if (entry.empty() || entry.front() == '#')
            continue;
        std::string path = ExpandEntryPath(entry, folder);
        if (oldCodePage && !platform::IsValidUtf8(entry) && !std::filesystem::exists(path, error))
            path = ExpandEntryPath(platform::DisplayUtf8(entry), folder);
        if (!path.empty())
            paths.push_back(std::move(path));
    }
    return paths;
}

bool IsPlaylistFileName(std::string_view fileName)
{
    const std::string ext = UpperExtension(fileName);
    return ext == ".PLS" || ext == ".M3U" || ext == ".M3U8";
}

std::vector<std::string> ReadPlaylistFile(const std::string& fileName)
{
    if (!IsPlaylistFileName(fileName))
        return {};
    if (UpperExtension(fileName) != ".PLS")
        return ReadM3u(fileName);
    // The profile reader takes a missing file for an empty one; a list that
    // was named but cannot be read is an error here.
    ReadWholeFile(fileName);
    return ReadPls(fileName);
}

void WritePls(const std::string& fileName, const std::vector<std::string>& paths)
{
    std::string text = "[playlist]\n";
    for (size_t k = 0; k < paths.size(); ++k)
        text += "File" + std::to_string(k + 1) + "=" + paths[k] + "\n";
    text += "NumberOfEntries=" + std::to_string(paths.size()) + "\n";
    ReplaceFile(fileName, text);
}

std::string PlaylistSaveName(const std::string& name, const std::string& extension)
{
    return IsPlaylistFileName(name) ? name : name + extension;
}

void WriteM3u(const std::string& fileName, const std::vector<std::string>& paths)
{
    std::string text = "#EXTM3U\r\n";
    for (const std::string& path : paths)
        text += path + "\r\n";
    ReplaceFile(fileName, text);
}

void ReplaceFile(const std::string& fileName, std::string_view bytes)
{
    if (!platform::WriteFileAtomically(fileName, bytes))
        throw std::runtime_error("Cannot write " + fileName + ": " + std::strerror(errno));
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::string ReadWholeFile(const std::string& fileName)
{
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("Cannot open " + fileName + ": " + std::strerror(errno));
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            throw std::runtime_error("Cannot read " + fileName + ": " + std::strerror(error));
        }
        if (n == 0)
            break;
        bytes.append(buffer, size_t(n));
    }
    ::close(fd);
    return bytes;
}

} // namespace playlist
