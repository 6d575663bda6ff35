// The formats module: the code of the engine that needs Xerces-C (XML
// documents) or the encryption of Office packages, built as a library of
// its own that the engine loads the first time a job needs one of them.
// Loading Xerces and what it needs (libcurl, GnuTLS, ICU) costs a process
// about ten megabytes of memory before it does anything; plain-text output
// needs none of it.
//
// The module's functions are reached through one table; the engine's own
// functions (officecrypto.h, the XML factory) forward to it, so their
// callers do not know where the work is done. The module uses the engine
// library that loaded it for everything else.
#pragma once

#include "engine/writers/xml/ixml.h"

#include <string>

constexpr int kFormatsModuleVersion = 1;
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
};

// The module, loaded once for the process from the engine library's folder
// (else by name through the loader's search path); null when it cannot be
// loaded or does not match this engine, after the reason went to the
// standard error stream once.
const FormatsModule* Formats();
