#include "text.h"

#include <algorithm>
#include <cstdio>

namespace platform {

bool IsValidUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t extra;
        char32_t code;
        if (c < 0x80) {
            ++i;
            continue;
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
            return false;
        }
        if (n - i <= extra)
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            auto cc = static_cast<unsigned char>(bytes[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
        static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (code < kMinimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
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
