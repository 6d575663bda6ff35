// The engine build without the Word library has no Word 97-2003 writer:
// output type 5 fails its items like a type without a writer.

#include "engine/layout/iwriter.h"
#include "engine/layout/writertable.h"

std::unique_ptr<IWriter> MakeWord97Writer(const std::wstring& /*tmpDir*/)
{
    return nullptr;
}
