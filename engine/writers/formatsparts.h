// The work of the formats module behind the engine's zip and Office
// encryption functions (zippackage.h, officecrypto.h), which forward to it
// through the module's table; only the module defines and calls these.
#pragma once

#include "engine/writers/zip/zippackage.h"

#include <string>
#include <vector>

// ZipCompress with UTF-8 paths and the patterns as a list.
bool ModuleZipCompress(const std::string& zipPath, const char* password,
                       const std::vector<std::string>& patterns);
bool ModuleZipWritePackage(const std::string& zipPath, const std::vector<ZipPackageEntry>& entries);
bool ModuleUnzipPackage(char* destDir, const char* zipPath);
std::string ModuleEncryptOfficePackage(const std::string& package, const std::u16string& password);
