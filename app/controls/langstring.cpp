#include "app/controls/langstring.h"

#include <utility>

namespace {

LangStringLookup& Lookup()
{
    static LangStringLookup lookup;
    return lookup;
}

} // namespace

void SetLangStringLookup(LangStringLookup lookup)
{
    Lookup() = std::move(lookup);
}

QString GetLangString(int id)
{
    const LangStringLookup& lookup = Lookup();
    return lookup ? lookup(id) : QString();
}
