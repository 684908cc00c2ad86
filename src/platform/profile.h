/* Private-profile (ini) files: sections of "key=value" lines.
 *
 * Section and key names match without regard to case; blanks around names and
 * values are ignored on reading; a missing file or key gives the default. Every
 * write goes to the file at once: an existing key is updated in place, a new key
 * is added at the end of its section, a new section at the end of the file, and
 * the file is created by the first write. CR LF and LF line ends both read; a
 * rewritten file keeps the line ends it had.
 *
 * All calls are safe from any thread. */
#ifndef ORVELLA_PLATFORM_PROFILE_H
#define ORVELLA_PLATFORM_PROFILE_H

#include "wintypes.h"

/* Copies the value (or the default, or "" for a null default) into buffer,
 * truncated to size - 1 bytes and NUL-terminated; returns the bytes copied.
 * A null key lists the keys of the section, a null section the section names,
 * each NUL-terminated, the list ended by an extra NUL. */
PLATFORM_API DWORD GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                           char* buffer, DWORD size, const char* fileName);

/* The value as a decimal (or 0x / $ hexadecimal) integer; the default when the
 * key is missing or its value is not a valid integer. */
PLATFORM_API int GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* fileName);

/* Writes key=value. A null value deletes the key; a null key erases the whole
 * section. Returns FALSE when the file cannot be written. */
PLATFORM_API BOOL WritePrivateProfileString(const char* section, const char* key, const char* value,
                                            const char* fileName);

#ifdef __cplusplus
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// The program's own view of one profile file, over the same code as the C calls.
class ProfileFile {
public:
    explicit ProfileFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    std::optional<std::string> find(const std::string& section, const std::string& key) const;
    std::string readString(const std::string& section, const std::string& key, const std::string& def) const;
    int readInt(const std::string& section, const std::string& key, int def) const;
    // Any non-zero integer is true; a value that is not an integer gives the default.
    bool readBool(const std::string& section, const std::string& key, bool def) const;

    bool writeString(const std::string& section, const std::string& key, const std::string& value) const;
    bool writeInt(const std::string& section, const std::string& key, int value) const;
    bool writeBool(const std::string& section, const std::string& key, bool value) const; // "1" / "0"
    bool deleteKey(const std::string& section, const std::string& key) const;
    bool eraseSection(const std::string& section) const;

    // Writes several keys of one section with one file write; the result is the
    // same as writing them one by one in order.
    bool writeStrings(const std::string& section,
                      const std::vector<std::pair<std::string, std::string>>& keyValues) const;

    std::vector<std::string> sections() const;
    std::vector<std::string> keys(const std::string& section) const;
    bool sectionExists(const std::string& section) const;

private:
    std::string path_;
};

// Parses an integer the way profile values are read: optional blanks and sign,
// decimal digits or 0x / $ hexadecimal, and nothing else; fits in 32 bits.
std::optional<int> ParseProfileInt(const std::string& text);

} // namespace platform
#endif

#endif
