// The formats module's table (formatsmodule.h): the XML layer's cores over
// Xerces-C, Office encryption over OpenSSL, zip packages over libzip.
#include "engine/writers/formatsmodule.h"

#include "engine/writers/formatsparts.h"
#include "engine/writers/xml/xercesdom.h"

namespace {

void* XmlNew()
{
    return new XercesCore;
}

void XmlInitialize(void* core)
{
    static_cast<XercesCore*>(core)->initialize();
}

void XmlRelease(void* core)
{
    XercesCore::release(static_cast<XercesCore*>(core));
}

Tolvik::IXMLDocument* XmlDecode(void* core, const std::string& path)
{
    return static_cast<XercesCore*>(core)->decode(path);
}

Tolvik::IXMLDocument* XmlCreate(void* core, const std::string& rootName)
{
    return static_cast<XercesCore*>(core)->create(rootName);
}

bool XmlSerialize(Tolvik::IXMLDocument* document, std::string& text)
{
    auto* xerces = dynamic_cast<XercesXMLDocument*>(document);
    return xerces && xerces->serialize(text);
}

const FormatsModule kModule{
    kFormatsModuleVersion,
    &XmlNew,
    &XmlInitialize,
    &XmlRelease,
    &XmlDecode,
    &XmlCreate,
    &XmlSerialize,
    &ModuleEncryptOfficePackage,
    &ModuleZipPack,
    &ModuleZipWritePackage,
    &ModuleUnzipPackage,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const FormatsModule* TrancelFormatsModule()
{
    return &kModule;
}
