// Profile text from anywhere must parse, and edits must read back and survive
// a write and a fresh parse.

#include "fuzz/FuzzCheck.h"
#include "platform/ProfileDocument.h"

#include <cstdint>
#include <string>

using platform::ProfileDocument;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    ProfileDocument doc = ProfileDocument::parse(text);

    for (const std::string& section : doc.sectionNames())
        for (const std::string& key : doc.keyNames(section))
            check(doc.value(section, key).has_value());

    // Take a section and key name from the input itself so edits hit real lines.
    std::string section = size > 2 ? text.substr(0, size / 3) : "s";
    std::string key = size > 2 ? text.substr(size / 3, size / 3) : "k";
    for (std::string* name : {&section, &key})
        for (char& c : *name)
            if (c == '\n' || c == '\r' || c == '=' || c == '[' || c == ']' || c == ';' || c == '\0')
                c = '_';
    if (platform::TrimBlanks(section).empty() || platform::TrimBlanks(key).empty())
        return 0;
    if (std::string(platform::TrimBlanks(key)).front() == '\'' || std::string(platform::TrimBlanks(key)).front() == '"')
        return 0;

    doc.setValue(section, key, "value");
    check(doc.value(section, key) == std::string("value"));
    ProfileDocument reparsed = ProfileDocument::parse(doc.serialize());
    check(reparsed.value(section, key) == std::string("value"));
    check(reparsed.serialize() == doc.serialize());

    doc.deleteKey(section, key);
    check(!doc.value(section, key).has_value() || reparsed.keyNames(section).size() > 1);
    doc.eraseSection(section);
    return 0;
}
