#include "wordlib/writerstate.h"

#include "wordlib/builderobjects.h"

namespace scrivlet {

namespace {

std::string DefaultsMissing(const std::string& folder)
{
    return "the default Word data (default_stsh, default_sttbfassoc) cannot be read from " +
           (folder.empty() ? DataFolder() : folder);
}

} // namespace

bool WordWriterState::prepare(std::string& why)
{
    pages.clear();
    built = BuiltDocument{};
    if (!writer.prepare(dataFolder)) {
        why = DefaultsMissing(dataFolder);
        return false;
    }
    return true;
}

bool WordWriterState::build(std::string& why)
{
    if (!writer.prepare(dataFolder)) {
        why = DefaultsMissing(dataFolder);
        return false;
    }
    if (!BuildDocument(pages.sections(), built, why))
        return false;
    FillModel(built, writer);
    return true;
}

bool WordWriterState::writeTo(const std::string& path, std::string& why)
{
    if (!writer.save(path)) {
        why = "the Word document could not be written to " + path;
        return false;
    }
    return true;
}

void WordWriterState::reset()
{
    pages.clear();
    built = BuiltDocument{};
    writer.reset();
}

} // namespace scrivlet
