// The XML layer's factory as the engine sees it. The documents themselves
// are made over Xerces-C in the formats module (formatsmodule.h), which the
// factory loads the first time it is used: a job that writes no XML (plain
// text) never maps Xerces, libcurl and ICU, which cost a process several
// megabytes of memory just by being loaded.
#pragma once

#include "engine/writers/xml/ixml.h"

#include <string>
#include <string_view>

// XML 1.0 holds tab, line feed, carriage return and everything from U+0020
// except U+FFFE and U+FFFF (surrogates only in pairs).
inline bool IsXmlChar(char32_t c)
{
    if (c < 0x20)
        return c == 0x09 || c == 0x0A || c == 0x0D;
    return c != 0xFFFE && c != 0xFFFF;
}

// Appends UTF-8 text as XML character data that is also fit for an attribute
// value between double quotes: "&", "<", ">" and '"' escaped, tab, line feed
// and carriage return as character references, and, as for text given to
// the DOM, each malformed sequence one U+FFFD and what XML cannot hold left
// out. For writers that produce large documents as text, without a DOM.
void AppendXmlEscaped(std::string& out, std::string_view utf8Text);

// The bytes that the document's saveToFile writes, into `text` (for a
// package that takes its parts from memory); false when the document has no
// tree or cannot be serialised.
bool SerializeXmlDocument(Tolvik::IXMLDocument* document, std::string& text);

class XercesXMLFactory : public Tolvik::IXMLFactory<XercesXMLFactory> {
public:
    XercesXMLFactory();
    ~XercesXMLFactory() override;
    XercesXMLFactory(const XercesXMLFactory&) = delete;
    XercesXMLFactory& operator=(const XercesXMLFactory&) = delete;

    void initialize() override;
    void release() override;
    Tolvik::IXMLDocument* DecodeDocumentFromFile(const std::wstring& path) override;
    Tolvik::IXMLDocument* DecodeDocumentFromFile(const std::string& path) override;
    Tolvik::IXMLDocument* CreateDocument(const std::string& rootName) override;

private:
    // The module's core; null until first used, and when the module could
    // not be loaded (documents then have no tree).
    void* core();

    void* m_core = nullptr;
    bool m_initialize = false;   // initialize was called: start Xerces with the core
    Tolvik::IXMLDocument* m_empty = nullptr;   // owned: the document without tree
};

// The factory's singleton pointer lives in the engine library only.
extern template class Tolvik::IXMLFactory<XercesXMLFactory>;
