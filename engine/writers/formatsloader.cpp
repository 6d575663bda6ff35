// Loading the formats module, and the engine's Office encryption function,
// which hands its work to it.
#include "engine/writers/formatsmodule.h"

#include "engine/layout/utf8.h"
#include "engine/writers/docx/officecrypto.h"

#include <dlfcn.h>

#include <cstdint>
#include <iostream>
#include <mutex>
#include <string>

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
            std::cerr << "XML output and Office encryption are not available: " << (why ? why : kFormatsModuleFile)
                      << std::endl;
            return;
        }
        using Entry = const FormatsModule* (*)();
        auto entry = reinterpret_cast<Entry>(::dlsym(handle, "TrancelFormatsModule"));
        const FormatsModule* table = entry ? entry() : nullptr;
        if (!table || table->version != kFormatsModuleVersion) {
            std::cerr << "XML output and Office encryption are not available: " << kFormatsModuleFile
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
