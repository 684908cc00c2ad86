// The parsed text of one profile file, kept line by line so that a rewrite
// changes only the lines it must.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

class ProfileDocument {
public:
    // How an edit reached the text: not at all, by new lines at the end only
    // (which can be appended to the file), or anywhere else.
    enum class EditKind { None, Appended, Rewritten };
    struct Edit {
        EditKind kind = EditKind::None;
        std::string appendedText; // the bytes to append when kind is Appended
    };

    static ProfileDocument parse(std::string_view text);
    std::string serialize() const;

    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    std::vector<std::string> sectionNames() const;
    std::vector<std::string> keyNames(std::string_view section) const;
    bool hasSection(std::string_view section) const;

    Edit setValue(std::string_view section, std::string_view key, std::string_view value);
    Edit deleteKey(std::string_view section, std::string_view key);
    Edit eraseSection(std::string_view section);

private:
    enum class LineKind { Other, Section, Key };
    struct Line {
        std::string text;
        LineKind kind = LineKind::Other;
        std::string name; // section or key name, trimmed, as written
    };
    struct SectionIndex {
        std::string name;
        std::size_t header = 0;   // line of "[name]"
        std::size_t end = 0;      // one past its last line
        std::unordered_map<std::string, std::size_t> keys; // folded key -> first line
    };

    static Line classify(std::string text);
    void rebuildIndex();
    const SectionIndex* findSection(std::string_view section) const;
    std::size_t insertionPoint(const SectionIndex& s) const;
    std::string eol() const { return crlf_ ? "\r\n" : "\n"; }
    Edit append(std::vector<std::string> newLines);

    std::vector<Line> lines_;
    std::vector<SectionIndex> sections_;
    std::unordered_map<std::string, std::size_t> sectionByName_; // folded name -> first section
    bool crlf_ = false;
    bool finalEol_ = true;
    bool bom_ = false;
};

std::string FoldCase(std::string_view text);
std::string_view TrimBlanks(std::string_view text);

} // namespace platform
