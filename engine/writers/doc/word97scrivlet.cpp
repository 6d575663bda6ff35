// The engine build that carries the Word library writes output type 5
// through its IScrivlet.

#include "engine/layout/writertable.h"
#include "wordlib/iscrivlet.h"

std::unique_ptr<IWriter> MakeWord97Writer(const std::wstring& tmpDir)
{
    auto writer = std::make_unique<IScrivlet>();
    writer->SetTempPath(tmpDir);
    return writer;
}
