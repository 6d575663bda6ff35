// The localised text of a string id, as every control fetches it. The
// controls do not read language files themselves: the program installs the
// lookup once at start-up (language file first, then its built-in string
// table), and tests install a table of their own.
#pragma once

#include <QString>

#include <functional>

using LangStringLookup = std::function<QString(int id)>;

// Replaces the lookup that GetLangString answers from; an empty function
// makes every id answer an empty text. Called on the user-interface thread.
void SetLangStringLookup(LangStringLookup lookup);

// The text of string id `id` through the installed lookup; empty when no
// lookup is installed or the id has no text.
QString GetLangString(int id);
