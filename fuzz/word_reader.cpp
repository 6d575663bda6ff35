// Reads the input as a Word 97-2003 document and walks its content,
// touching every byte that each event hands over.
#include "engine/topdf/contentevents.h"
#include "wordlib/tests/memfile.h"
#include "wordlib/wordreader.h"

#include <cstddef>
#include <cstdint>

namespace {

volatile std::uint32_t g_sum;

void TouchStyle(std::uintptr_t arg)
{
    const auto* style = reinterpret_cast<const RunStyle*>(arg);
    if (!style)
        return;
    std::uint32_t sum = style->colour + static_cast<std::uint32_t>(style->fontSize) + style->backColour +
                        style->bold + style->italic + style->strikeOut + style->underline;
    if (const unsigned char* shading = style->cellShading) {
        for (std::size_t i = 0; i < 1 + 10 * std::size_t{shading[0]}; ++i)
            sum += shading[i];
    }
    g_sum = g_sum + sum;
}

void Receive(void*, const void* data, int len, unsigned code, std::uintptr_t arg)
{
    std::uint32_t sum = 0;
    switch (code) {
    case CE_TEXT_UTF16:
        for (const auto* p = static_cast<const char16_t*>(data); *p; ++p)
            sum += *p;
        TouchStyle(arg);
        break;
    case CE_NEXT_CELL:
    case CE_ROW_END:
        TouchStyle(arg);
        break;
    case CE_PICTURE:
        for (int i = 0; i < len; ++i)
            sum += static_cast<const std::uint8_t*>(data)[i];
        break;
    default:
        break;
    }
    g_sum = g_sum + sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    scrivlet::MemFile file(std::string(reinterpret_cast<const char*>(data), size));
    scrivlet::WordBinaryFileParser parser;
    parser.setFile(&file);
    parser.open("");
    parser.setCallback(&Receive, nullptr);
    parser.emitWordContent();
    return 0;
}
