// Fuzz target: the SWF reader over arbitrary bytes, and the rewriter over
// whatever it accepts (embedding a document and resizing the stage).
#include "app/filetools/swffile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SWFFile swf = SWFFile::FromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!swf.ok())
        return 0;
    std::string out;
    swf.ReplaceBinaryData("document");
    swf.Header().SetFrameSize(640, 480);
    if (swf.Serialize(out) && !SWFFile::FromBytes(out).ok())
        __builtin_trap(); // what we write we must read back
    return 0;
}
