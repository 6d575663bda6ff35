// Fuzz target: the light page counter over arbitrary file bytes. Every input
// must end with a count or -1, without reading outside the buffer.
#include "app/filetools/pagecounter.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    PdfPageCounter::CountPages(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
