#include "ProfileDocument.h"

namespace platform {

std::string FoldCase(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

std::string_view TrimBlanks(std::string_view text)
{
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

ProfileDocument::Line ProfileDocument::classify(std::string text)
{
    Line line;
    std::string_view t = TrimBlanks(text);
    if (!t.empty() && t.front() == '[') {
        t.remove_prefix(1);
        std::size_t close = t.find(']');
        line.kind = LineKind::Section;
        line.name = std::string(TrimBlanks(t.substr(0, close)));
    } else if (!t.empty() && t.front() != ';') {
        std::size_t eq = t.find('=');
        if (eq != std::string_view::npos) {
            line.kind = LineKind::Key;
            line.name = std::string(TrimBlanks(t.substr(0, eq)));
        }
    }
    line.text = std::move(text);
    return line;
}

ProfileDocument ProfileDocument::parse(std::string_view text)
{
    ProfileDocument doc;
    if (text.starts_with("\xEF\xBB\xBF")) {
        doc.bom_ = true;
        text.remove_prefix(3);
    }
    std::size_t firstLf = text.find('\n');
    doc.crlf_ = firstLf != std::string_view::npos && firstLf > 0 && text[firstLf - 1] == '\r';
    doc.finalEol_ = text.empty() || text.back() == '\n';

    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        std::string_view raw = text.substr(pos, end - pos);
        while (!raw.empty() && raw.back() == '\r') // stray carriage returns too
            raw.remove_suffix(1);
        doc.lines_.push_back(classify(std::string(raw)));
        pos = end + 1;
    }
    doc.rebuildIndex();
    return doc;
}

std::string ProfileDocument::serialize() const
{
    std::string out;
    if (bom_)
        out += "\xEF\xBB\xBF";
    const std::string lineEnd = eol();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        out += lines_[i].text;
        if (i + 1 < lines_.size() || finalEol_)
            out += lineEnd;
    }
    return out;
}

void ProfileDocument::rebuildIndex()
{
    sections_.clear();
    sectionByName_.clear();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == LineKind::Section) {
            if (!sections_.empty())
                sections_.back().end = i;
            sections_.push_back({line.name, i, i + 1, {}});
            sectionByName_.try_emplace(FoldCase(line.name), sections_.size() - 1);
        } else if (line.kind == LineKind::Key && !sections_.empty() && !line.name.empty()) {
            sections_.back().keys.try_emplace(FoldCase(line.name), i);
        }
    }
    if (!sections_.empty())
        sections_.back().end = lines_.size();
}

const ProfileDocument::SectionIndex* ProfileDocument::findSection(std::string_view section) const
{
    auto it = sectionByName_.find(FoldCase(TrimBlanks(section)));
    return it == sectionByName_.end() ? nullptr : &sections_[it->second];
}

bool ProfileDocument::hasSection(std::string_view section) const
{
    return findSection(section) != nullptr;
}

std::optional<std::string> ProfileDocument::value(std::string_view section, std::string_view key) const
{
    const SectionIndex* s = findSection(section);
    if (!s)
        return std::nullopt;
    auto it = s->keys.find(FoldCase(TrimBlanks(key)));
    if (it == s->keys.end())
        return std::nullopt;
    const std::string& text = lines_[it->second].text;
    std::string_view v = TrimBlanks(std::string_view(text).substr(text.find('=') + 1));
    // A value enclosed in matching quotes is read without them.
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

std::vector<std::string> ProfileDocument::sectionNames() const
{
    std::vector<std::string> names;
    for (const SectionIndex& s : sections_)
        names.push_back(s.name);
    return names;
}

std::vector<std::string> ProfileDocument::keyNames(std::string_view section) const
{
    std::vector<std::string> names;
    const SectionIndex* s = findSection(section);
    if (!s)
        return names;
    for (std::size_t i = s->header + 1; i < s->end; ++i)
        if (lines_[i].kind == LineKind::Key && !lines_[i].name.empty())
            names.push_back(lines_[i].name);
    return names;
}

// New keys go after the last line of the section that is not blank.
std::size_t ProfileDocument::insertionPoint(const SectionIndex& s) const
{
    std::size_t at = s.end;
    while (at > s.header + 1 && TrimBlanks(lines_[at - 1].text).empty())
        --at;
    return at;
}

ProfileDocument::Edit ProfileDocument::append(std::vector<std::string> newLines)
{
    Edit edit{EditKind::Appended, {}};
    const std::string lineEnd = eol();
    if (!finalEol_ && !lines_.empty())
        edit.appendedText += lineEnd;
    finalEol_ = true;
    for (std::string& text : newLines) {
        edit.appendedText += text;
        edit.appendedText += lineEnd;
        Line line = classify(std::move(text));
        lines_.push_back(std::move(line));
        const Line& added = lines_.back();
        if (added.kind == LineKind::Section) {
            sections_.push_back({added.name, lines_.size() - 1, lines_.size(), {}});
            sectionByName_.try_emplace(FoldCase(added.name), sections_.size() - 1);
        } else if (added.kind == LineKind::Key && !sections_.empty()) {
            sections_.back().end = lines_.size();
            sections_.back().keys.try_emplace(FoldCase(added.name), lines_.size() - 1);
        }
    }
    return edit;
}

ProfileDocument::Edit ProfileDocument::setValue(std::string_view section, std::string_view key,
                                                std::string_view value)
{
    std::string sectionName(TrimBlanks(section));
    std::string keyName(TrimBlanks(key));
    std::string newLine = keyName + "=" + std::string(value);
    const SectionIndex* s = findSection(sectionName);
    if (!s)
        return append({"[" + sectionName + "]", newLine});

    auto it = s->keys.find(FoldCase(keyName));
    if (it != s->keys.end()) {
        Line& line = lines_[it->second];
        if (line.text == newLine)
            return {};
        line = classify(newLine);
        return {EditKind::Rewritten, {}};
    }
    std::size_t at = insertionPoint(*s);
    if (at == lines_.size())
        return append({newLine});
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), classify(newLine));
    rebuildIndex();
    return {EditKind::Rewritten, {}};
}

ProfileDocument::Edit ProfileDocument::deleteKey(std::string_view section, std::string_view key)
{
    const SectionIndex* s = findSection(section);
    if (!s)
        return {};
    auto it = s->keys.find(FoldCase(TrimBlanks(key)));
    if (it == s->keys.end())
        return {};
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(it->second));
    rebuildIndex();
    return {EditKind::Rewritten, {}};
}

ProfileDocument::Edit ProfileDocument::eraseSection(std::string_view section)
{
    const SectionIndex* s = findSection(section);
    if (!s)
        return {};
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(s->header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(s->end));
    rebuildIndex();
    return {EditKind::Rewritten, {}};
}

} // namespace platform
