// The formats module: the code of the engine that needs Xerces-C (XML
// documents), libzip (zip packages) or OpenSSL (the encryption of Office
// packages), built as a library of its own that the engine loads the first
// time a job needs one of them. Loading Xerces and what it needs (libcurl,
// GnuTLS, ICU) costs a process about ten megabytes of memory before it does
// anything, and libzip brings OpenSSL's libcrypto, another megabyte and a
// half; plain-text output needs none of it.
//
// The module's functions are reached through one table; the engine's own
// functions (officecrypto.h, zippackage.h, the XML factory) forward to it,
// so their callers do not know where the work is done. The module uses the
// engine library that loaded it for everything else.
#pragma once

#include "engine/writers/xml/ixml.h"
#include "engine/writers/zip/zippackage.h"

#include <map>
#include <string>
#include <vector>

constexpr int kFormatsModuleVersion = 2;
constexpr char kFormatsModuleFile[] = "libtrancel_formats.so";

struct FormatsModule {
    int version;

    // XML: a factory core (uninitialised), Xerces started for it, the core
    // deleted (Xerces shut down when it was started), and its one document
    // decoded from a UTF-8 path or made with an empty root.
    void* (*xmlNew)();
    void (*xmlInitialize)(void* core);
    void (*xmlRelease)(void* core);
    Tolvik::IXMLDocument* (*xmlDecode)(void* core, const std::string& path);
    Tolvik::IXMLDocument* (*xmlCreate)(void* core, const std::string& rootName);
    bool (*xmlSerialize)(Tolvik::IXMLDocument* document, std::string& text);

    // officecrypto.h's EncryptOfficePackage.
    std::string (*encryptOfficePackage)(const std::string& package, const std::u16string& password);

    // Zip packages (zippackage.h): packing patterns (with the streams of
    // `ready` deflaters when not null), writing entries, unpacking.
    bool (*zipPack)(const std::string& zipPath, const char* password, const std::vector<std::string>& patterns,
                    const std::map<std::string, ZipDeflater*>* ready);
    bool (*zipWritePackage)(const std::string& zipPath, const std::vector<ZipPackageEntry>& entries);
    bool (*unzipPackage)(char* destDir, const char* zipPath);
};

// The module, loaded once for the process from the engine library's folder
// (else by name through the loader's search path); null when it cannot be
// loaded or does not match this engine, after the reason went to the
// standard error stream once.
const FormatsModule* Formats();
