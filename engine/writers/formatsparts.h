// The work of the formats module behind the engine's Office encryption
// function (officecrypto.h), which forwards to it through the module's
// table; only the module defines and calls it.
#pragma once

#include <string>

std::string ModuleEncryptOfficePackage(const std::string& package, const std::u16string& password);
