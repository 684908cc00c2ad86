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

// What a UTF-8 lead byte promises: the sequence length (0 for a byte that leads nothing), the bits
// it carries, and the range of the second byte that rules out overlong forms, surrogates and
// code points above U+10FFFF.
struct Utf8Lead {
    std::size_t length;
    unsigned char mask, secondLow, secondHigh;
};

Utf8Lead Utf8LeadOf(unsigned char lead)
{
    if (lead >= 0xC2 && lead <= 0xDF)
        return {2, 0x1F, 0x80, 0xBF};
    if (lead == 0xE0)
        return {3, 0x0F, 0xA0, 0xBF};
    if (lead == 0xED)
        return {3, 0x0F, 0x80, 0x9F};
    if (lead >= 0xE1 && lead <= 0xEF)
        return {3, 0x0F, 0x80, 0xBF};
    if (lead == 0xF0)
        return {4, 0x07, 0x90, 0xBF};
    if (lead >= 0xF1 && lead <= 0xF3)
        return {4, 0x07, 0x80, 0xBF};
    if (lead == 0xF4)
        return {4, 0x07, 0x80, 0x8F};
    return {0, 0, 0, 0};
}

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
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        const Utf8Lead form = Utf8LeadOf(lead);
        // Each maximal broken part becomes one U+FFFD and decoding goes on at the byte that broke it.
        std::size_t k = 1;
        char32_t code = lead & form.mask;
        for (; k < form.length && i + k < bytes.size(); ++k) {
            auto next = static_cast<unsigned char>(bytes[i + k]);
            unsigned char low = k == 1 ? form.secondLow : 0x80, high = k == 1 ? form.secondHigh : 0xBF;
            if (next < low || next > high)
                break;
            code = (code << 6) | (next & 0x3F);
        }
        AppendUtf8(out, form.length != 0 && k == form.length ? code : kReplacement);
        i += k;
    }
    return out;
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
