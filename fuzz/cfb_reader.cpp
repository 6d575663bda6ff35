// Loads the input as a compound file and reads every stream of it.
#include "wordlib/cfbformat.h"
#include "wordlib/cfbparser.h"
#include "wordlib/tests/memfile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    scrivlet::MemFile file(std::string(reinterpret_cast<const char*>(data), size));
    scrivlet::CFBParser parser;
    parser.setFile(&file);
    if (!parser.load())
        return 0;
    parser.findEntry(u"WordDocument");
    for (std::size_t i = 0; i < parser.entries().size(); ++i) {
        if (parser.entries()[i].type != scrivlet::cfb::kTypeStream)
            continue;
        std::vector<std::uint8_t> bytes;
        parser.readStream(static_cast<int>(i), bytes);
        std::uint8_t piece[700];
        parser.readStream(static_cast<int>(i), piece, 1000, sizeof piece);
    }
    return 0;
}
