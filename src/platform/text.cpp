#include "text.h"

#include <algorithm>
#include <cstdio>

namespace platform {

std::size_t Utf8SequenceAt(std::string_view bytes, std::size_t at)
{
    const auto c = static_cast<unsigned char>(bytes[at]);
    std::size_t extra;
    char32_t code;
    if (c < 0x80) {
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        extra = 1;
        code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        code = c & 0x07;
    } else {
        return 0;
    }
    if (bytes.size() - at <= extra)
        return 0;
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto cc = static_cast<unsigned char>(bytes[at + k]);
        if ((cc & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (code < kMinimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return extra + 1;
}

bool IsValidUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8SequenceAt(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string DisplayUtf8(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string JsonString(std::string_view bytes)
{
    std::string text = DisplayUtf8(bytes);
    std::string out = "\"";
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", c);
                out += esc;
            } else {
                out += ch;
            }
        }
    }
    out += '"';
    return out;
}

std::string BackslashEscaped(std::string_view text, std::initializer_list<BackslashEscape> escapes)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto escape =
            std::find_if(escapes.begin(), escapes.end(), [c](const BackslashEscape& e) { return e.plain == c; });
        if (escape == escapes.end()) {
            out += c;
        } else {
            out += '\\';
            out += escape->letter;
        }
    }
    return out;
}

} // namespace platform
