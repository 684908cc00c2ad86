#include "TextRoutines.h"

#include "ReaderFile.h"

#include <algorithm>
#include <charconv>

namespace fileinfo {

namespace {

template <typename Char> bool IsTrimmable(Char c)
{
    return static_cast<std::make_unsigned_t<Char>>(c) <= 0x20;
}

void AppendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

} // namespace

std::string Trim(std::string_view text)
{
    std::size_t first = 0, last = text.size();
    while (first < last && IsTrimmable(text[first]))
        ++first;
    while (last > first && IsTrimmable(text[last - 1]))
        --last;
    return std::string(text.substr(first, last - first));
}

std::string TrimRight(std::string_view text)
{
    std::size_t last = text.size();
    while (last > 0 && IsTrimmable(text[last - 1]))
        --last;
    return std::string(text.substr(0, last));
}

std::u16string Trim(std::u16string_view text)
{
    std::size_t first = 0, last = text.size();
    while (first < last && IsTrimmable(text[first]))
        ++first;
    while (last > first && IsTrimmable(text[last - 1]))
        --last;
    return std::u16string(text.substr(first, last - first));
}

std::string UpperAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

int32_t IntegerFromText(std::string_view text)
{
    bool plus = !text.empty() && text.front() == '+';
    if (plus)
        text.remove_prefix(1);
    if (text.empty() || (plus && text.front() == '-'))
        return 0;
    int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return 0;
    return value;
}

int32_t TrackFromText(std::string_view text)
{
    std::string trimmed = Trim(text);
    std::string_view part = trimmed;
    if (std::size_t slash = part.find('/'); slash != std::string_view::npos)
        part = part.substr(0, slash);
    return IntegerFromText(part);
}

std::string Utf8ToAnsi(std::string_view bytes)
{
    std::u16string chars;
    std::size_t i = 0;
    while (i < bytes.size()) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            chars += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        std::size_t length = (lead & 0x20) ? 3 : 2;
        if (bytes.size() - i < length)
            break;
        unsigned code = (length == 3) ? (lead & 0x0F) : (lead & 0x1F);
        bool good = true;
        for (std::size_t k = 1; k < length && good; ++k) {
            auto next = static_cast<unsigned char>(bytes[i + k]);
            good = next >= 0x80 && next <= 0xBF;
            code = (code << 6) | (next & 0x3F);
        }
        if (!good)
            break;
        chars += static_cast<char16_t>(code);
        i += length;
    }
    return Utf16ToUtf8(chars);
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

bool ReadBoundedValue(ReaderFile& file, int64_t size, std::string& buffer)
{
    buffer.clear();
    if (size < 0)
        return false;
    int64_t start = file.Position();
    buffer.resize(static_cast<std::size_t>(std::min<int64_t>(size, kValueCap)));
    buffer.resize(file.Read(buffer.data(), buffer.size()));
    return file.Seek(start + size);
}

} // namespace fileinfo
