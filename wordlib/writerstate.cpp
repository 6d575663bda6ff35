#include "wordlib/writerstate.h"

namespace scrivlet {

bool WordWriterState::prepare(std::string& /*why*/)
{
    pages.clear();
    return true;
}

bool WordWriterState::build(std::string& why)
{
    why = "no document model";
    return false;
}

bool WordWriterState::writeTo(const std::string& /*path*/, std::string& why)
{
    why = "no document writer";
    return false;
}

void WordWriterState::reset()
{
    pages.clear();
}

} // namespace scrivlet
