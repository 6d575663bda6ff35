// The work of the formats module behind the engine's Office encryption
// function (officecrypto.h) and zip functions (zippackage.h), which forward
// to it through the module's table; only the module defines and calls it.
#pragma once

#include "engine/writers/zip/zippackage.h"

#include <map>
#include <string>
#include <vector>

std::string ModuleEncryptOfficePackage(const std::string& package, const std::u16string& password);

// ZipCompress (a non-empty password encrypts) and, with `ready`,
// ZipCompressWith.
bool ModuleZipPack(const std::string& zipPath, const char* password, const std::vector<std::string>& patterns,
                   const std::map<std::string, ZipDeflater*>* ready);
bool ModuleZipWritePackage(const std::string& zipPath, const std::vector<ZipPackageEntry>& entries);
bool ModuleUnzipPackage(char* destDir, const char* zipPath);
