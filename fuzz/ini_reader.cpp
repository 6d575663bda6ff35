// Parses the input as the desktop program's INI text (language files, the
// settings file), looks every name up, and checks that writing the document
// and reading it again gives the same sections, keys and values.
#include "app/inifile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ini::Document doc = ini::Document::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    // Every key of the first section of each name is found.
    for (const ini::Section& s : doc.Sections())
        if (doc.FindSection(s.name) == &s)
            for (const ini::Entry& e : s.entries)
                if (!doc.Find(s.name, e.key))
                    std::abort();

    const ini::Document back = ini::Document::Parse(doc.Serialize());
    if (back.Sections().size() != doc.Sections().size())
        std::abort();
    for (std::size_t i = 0; i < doc.Sections().size(); ++i) {
        const ini::Section& a = doc.Sections()[i];
        const ini::Section& b = back.Sections()[i];
        if (a.name != b.name || a.entries.size() != b.entries.size())
            std::abort();
        for (std::size_t k = 0; k < a.entries.size(); ++k)
            if (a.entries[k].key != b.entries[k].key || a.entries[k].value != b.entries[k].value)
                std::abort();
    }
    return 0;
}
