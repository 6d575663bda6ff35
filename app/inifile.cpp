#include "app/inifile.h"

#include <algorithm>

namespace ini {

namespace {

std::string_view Trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view Unquote(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool NamesEqual(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool NameBefore(std::string_view a, std::string_view b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
}

Document Document::Parse(std::string_view text)
{
    Document doc;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    Section* current = nullptr;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            const std::string_view name =
                Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
            doc.sections_.push_back(Section{std::string(name), {}});
            current = &doc.sections_.back();
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!current || eq == std::string_view::npos)
            continue;
        current->entries.push_back(
            Entry{std::string(Trim(line.substr(0, eq))), std::string(Unquote(Trim(line.substr(eq + 1))))});
    }
    return doc;
}

const Section* Document::FindSection(std::string_view section) const
{
    for (const Section& s : sections_)
        if (NamesEqual(s.name, section))
            return &s;
    return nullptr;
}

const std::string* Document::Find(std::string_view section, std::string_view key) const
{
    const Section* s = FindSection(section);
    if (!s)
        return nullptr;
    for (const Entry& e : s->entries)
        if (NamesEqual(e.key, key))
            return &e.value;
    return nullptr;
}

void Document::Set(std::string_view section, std::string_view key, std::string value)
{
    auto s = std::find_if(sections_.begin(), sections_.end(),
                          [&](const Section& x) { return NamesEqual(x.name, section); });
    if (s == sections_.end()) {
        sections_.push_back(Section{std::string(section), {}});
        s = sections_.end() - 1;
    }
    for (Entry& e : s->entries) {
        if (NamesEqual(e.key, key)) {
            e.value = std::move(value);
            return;
        }
    }
    s->entries.push_back(Entry{std::string(key), std::move(value)});
}

std::string Document::Serialize() const
{
    std::string out;
    for (const Section& s : sections_) {
        if (!out.empty())
            out += '\n';
        out += '[' + s.name + "]\n";
        for (const Entry& e : s.entries) {
            const std::string_view v = e.value;
            const bool quote = Trim(v) != v || Unquote(v) != v;
            out += e.key + '=' + (quote ? '"' + e.value + '"' : e.value) + '\n';
        }
    }
    return out;
}

} // namespace ini
