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
    reset();
    if (!writer.prepare(dataFolder)) {
        why = DefaultsMissing(dataFolder);
        return false;
    }
    return true;
}

void WordWriterState::pageDone()
{
    std::vector<SectionEntry>& sections = pages.sections();
    if (sections.empty() || sections.back().pages.empty())
        return;
    if (!builder)
        builder = std::make_unique<DocumentBuilder>(built);
    if (sections.size() != sectionsSeen) {
        builder->beginSection(sections.back().width, sections.back().height);
        sectionsSeen = sections.size();
    }
    // The collector keeps the section (its size decides where the next
    // section begins), not the page.
    builder->addPage(std::move(sections.back().pages.back()));
    sections.back().pages.pop_back();
}

bool WordWriterState::build(std::string& why)
{
    if (!writer.prepare(dataFolder)) {
        why = DefaultsMissing(dataFolder);
        return false;
    }
    pageDone();
    if (!builder)
        builder = std::make_unique<DocumentBuilder>(built);
    const bool made = builder->finish(why);
    builder.reset();
    if (!made)
        return false;
    FillModel(built, writer);
    // What the model did not take over is no longer needed.
    built = BuiltDocument{};
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
    builder.reset();
    sectionsSeen = 0;
    pages.clear();
    built = BuiltDocument{};
    writer.reset();
}

} // namespace scrivlet
