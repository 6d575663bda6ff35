// INI text as the desktop program keeps its language files and its settings
// file: "[section]" lines and "key=value" lines, in UTF-8.
//
// Reading follows the classic profile rules: names of sections and keys are
// matched without regard to ASCII case and the first of two equal names wins;
// spaces and tabs around names and values are dropped, and one pair of equal
// quotes (" or ') around a whole value is removed; lines starting with ";",
// lines without "=" outside a section header, and keys before the first
// section are ignored. Values come back exactly as written otherwise: no
// escape sequence is interpreted here, and nothing is split at commas.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ini {

struct Entry {
    std::string key;
    std::string value;
};

struct Section {
    std::string name;
    std::vector<Entry> entries;
};

class Document {
public:
    // Any bytes parse; a UTF-8 byte-order mark at the start is skipped and
    // lines may end with "\n" or "\r\n".
    static Document Parse(std::string_view text);

    // The value of the first `key` in the first `section` of that name, or
    // null when either is missing.
    const std::string* Find(std::string_view section, std::string_view key) const;
    const Section* FindSection(std::string_view section) const;

    // Replaces the value of the key found by Find, or appends the key (and
    // the section when it is missing). The value must not hold a line break.
    void Set(std::string_view section, std::string_view key, std::string value);

    // The document as INI text, sections and keys in their order, one
    // "key=value" line each, lines ending in "\n". A value that reading
    // would change (outer spaces, a quote at both ends) is written in quotes,
    // so that Parse gives back every value that Set stored.
    std::string Serialize() const;

    const std::vector<Section>& Sections() const { return sections_; }

private:
    std::vector<Section> sections_;
};

// ASCII case-insensitive equality and order, the rule for section and key
// names.
bool NamesEqual(std::string_view a, std::string_view b);
bool NameBefore(std::string_view a, std::string_view b);

} // namespace ini
