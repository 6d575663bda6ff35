// Loading the formats module, and the engine's Office encryption and zip
// functions, which hand their work to it.
#include "engine/writers/formatsmodule.h"

#include "engine/layout/utf8.h"
#include "engine/writers/docx/officecrypto.h"
#include "engine/writers/zip/zippackage.h"

#include <dlfcn.h>

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

const FormatsModule* Formats()
{
    static const FormatsModule* module = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        // It stays loaded: documents and packages made by it may live until
        // the end of the process.
        void* handle = nullptr;
        Dl_info self{};
        if (::dladdr(reinterpret_cast<void*>(&Formats), &self) && self.dli_fname) {
            std::string dir = self.dli_fname;
            const std::size_t slash = dir.rfind('/');
            if (slash != std::string::npos)
                handle = ::dlopen((dir.substr(0, slash + 1) + kFormatsModuleFile).c_str(),
                                  RTLD_NOW | RTLD_GLOBAL);
        }
        if (!handle)
            handle = ::dlopen(kFormatsModuleFile, RTLD_NOW | RTLD_GLOBAL);
        if (!handle) {
            const char* why = ::dlerror();
            std::cerr << "XML output, zip packages and Office encryption are not available: " << (why ? why : kFormatsModuleFile)
                      << std::endl;
            return;
        }
        using Entry = const FormatsModule* (*)();
        auto entry = reinterpret_cast<Entry>(::dlsym(handle, "TrancelFormatsModule"));
        const FormatsModule* table = entry ? entry() : nullptr;
        if (!table || table->version != kFormatsModuleVersion) {
            std::cerr << "XML output, zip packages and Office encryption are not available: " << kFormatsModuleFile
                      << " does not match this program" << std::endl;
            return;
        }
        module = table;
    });
    return module;
}

std::string EncryptOfficePackage(const std::string& package, const std::u16string& password)
{
    const FormatsModule* module = Formats();
    return module ? module->encryptOfficePackage(package, password) : std::string();
}

std::u16string PasswordUtf16(const std::wstring& password)
{
    return utf8::WideToUtf16(password);
}

bool ZipCompress(const wchar_t* zipPath, const char* password, const wchar_t* pattern, ...)
{
    if (!zipPath)
        return false;
    std::vector<std::string> patterns;
    patterns.push_back(utf8::FromWide(pattern ? pattern : L""));
    va_list args;
    va_start(args, pattern);
    while (const wchar_t* next = va_arg(args, const wchar_t*)) {
        if (std::wcscmp(next, L"-1") == 0)
            break;
        patterns.push_back(utf8::FromWide(next));
    }
    va_end(args);
    const FormatsModule* module = Formats();
    return module && module->zipPack(utf8::FromWide(zipPath), password, patterns, nullptr);
}

bool ZipCompress(const char* zipPath, const char* password, const char* pattern, ...)
{
    if (!zipPath)
        return false;
    std::vector<std::string> patterns;
    patterns.push_back(pattern ? pattern : "");
    va_list args;
    va_start(args, pattern);
    while (const char* next = va_arg(args, const char*)) {
        if (std::strcmp(next, "-1") == 0)
            break;
        patterns.push_back(next);
    }
    va_end(args);
    const FormatsModule* module = Formats();
    return module && module->zipPack(zipPath, password, patterns, nullptr);
}

bool ZipCompressWith(const std::string& zipPath, const std::vector<std::string>& patterns,
                     const std::map<std::string, ZipDeflater*>& ready)
{
    const FormatsModule* module = Formats();
    return module && module->zipPack(zipPath, nullptr, patterns, &ready);
}

bool ZipWritePackage(const std::string& zipPath, const std::vector<ZipPackageEntry>& entries)
{
    const FormatsModule* module = Formats();
    return module && module->zipWritePackage(zipPath, entries);
}

bool unzipPackage(char* destDir, const char* zipPath)
{
    const FormatsModule* module = Formats();
    return module && module->unzipPackage(destDir, zipPath);
}
