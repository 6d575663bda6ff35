// The XML layer's documents over Xerces-C. They live in the formats module
// (formatsmodule.h), which the engine loads on first use, so that a process
// that writes no XML never maps Xerces and the libraries behind it; the
// engine reaches them through the factory of xercesxml.h.
//
// Text crosses into Xerces as UTF-16 (XMLCh) and comes back as UTF-8 through
// Xerces' own UTF-8 transcoder, never through the locale. Files are read and
// written by our own code on UTF-8 paths, so the locale plays no part there
// either. Parsing never loads an external DTD or entity and never touches the
// network: a document that needs one fails to parse.
#pragma once

#include "engine/writers/xml/xercesxml.h"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/XMLFormatter.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/util/SecurityManager.hpp>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

class XercesXMLDocument;
class XercesErrorhandler;

// What the engine's factory holds in the module: Xerces while it is up, its
// shared parser, and the one document the factory keeps (deleted by the
// next decode or create, or with the core).
struct XercesCore {
    XercesCore();
    ~XercesCore();
    XercesCore(const XercesCore&) = delete;
    XercesCore& operator=(const XercesCore&) = delete;

    // Starts Xerces and makes the shared parser; again after a release.
    void initialize();
    // Deletes the core and shuts Xerces down when it was started.
    static void release(XercesCore* core);
    Tolvik::IXMLDocument* decode(const std::string& path);
    Tolvik::IXMLDocument* create(const std::string& rootName);

    Tolvik::IXMLDocument* document = nullptr;
    xercesc::XercesDOMParser* parser = nullptr;
    XercesErrorhandler* errorHandler = nullptr;
    xercesc::SecurityManager* security = nullptr;
};

class XercesXMLAttribute : public Tolvik::IXMLAttribute {
public:
    explicit XercesXMLAttribute(xercesc::DOMAttr* attr);

    int setStrValue(const std::wstring& value) override;
    int setStrValue(const std::string& value) override;
    std::string getName() override;
    std::string getStrValue() override;

    // False once another attribute of the same name replaced this one.
    bool isOn(const xercesc::DOMElement* element) const { return m_attr->getOwnerElement() == element; }

private:
    xercesc::DOMAttr* m_attr;   // belongs to the document
    std::string m_name;         // node name, UTF-8
};

class XercesXMLElement : public Tolvik::IXMLElement {
public:
    // Wraps the element and, recursively, its attributes and element
    // children; each child's sibling link points at the next child's wrapper.
    explicit XercesXMLElement(xercesc::DOMElement* element);
    ~XercesXMLElement() override;
    XercesXMLElement(const XercesXMLElement&) = delete;
    XercesXMLElement& operator=(const XercesXMLElement&) = delete;

    using Tolvik::IXMLElement::addChildElement;
    using Tolvik::IXMLElement::appendChildElement;

    int setStrValue(const std::wstring& value, bool cdata) override;
    int setStrValue(const std::string& value, bool cdata) override;
    Tolvik::IXMLAttribute* addAttribute(const std::wstring& name, const std::wstring& value) override;
    Tolvik::IXMLAttribute* addAttribute(const std::string& name, const std::string& value,
                                        const std::string& encoding) override;
    Tolvik::IXMLElement* appendChildElement(const std::string& name) override;
    Tolvik::IXMLElement* addChildElement(const std::string& name) override;
    std::string getName() override;
    std::string getStrValue() override;
    Tolvik::IXMLAttribute* getAttribute(const std::string& name) override;
    Tolvik::IXMLElement* getFirstChild() override;
    Tolvik::IXMLElement* getFirstSibling() override;
    std::vector<Tolvik::IXMLElement*> getAllChildElements() override;
    std::vector<Tolvik::IXMLElement*> getChildElementsByName(const std::string& name) override;
    Tolvik::IXMLElement* getChildElement(const std::string& name) override;
    std::string enCode() override;

private:
    struct Shallow {};
    XercesXMLElement(xercesc::DOMElement* element, Shallow);
    void wrapOwnNodes();
    XercesXMLElement* firstChildNamed(const std::string& name);
    int setValue(const std::u16string& value, bool cdata);
    Tolvik::IXMLAttribute* addAttributeX(const std::u16string& name, const std::u16string& value);

    xercesc::DOMElement* m_element;                       // belongs to the document
    std::string m_name;                                   // node name, UTF-8
    std::vector<Tolvik::IXMLAttribute*> m_attributes;     // owned
    std::vector<Tolvik::IXMLElement*> m_children;         // owned, document order
    XercesXMLElement* m_sibling = nullptr;                // owned by the parent's list
};

class XercesXMLDocument : public Tolvik::IXMLDocument {
public:
    // Parse a file with the factory's shared parser.
    explicit XercesXMLDocument(const std::string& path);
    explicit XercesXMLDocument(const std::wstring& path);
    // Parse the stream's text with a parser of the document's own.
    explicit XercesXMLDocument(std::stringstream& text);
    ~XercesXMLDocument() override;
    XercesXMLDocument(const XercesXMLDocument&) = delete;
    XercesXMLDocument& operator=(const XercesXMLDocument&) = delete;

    Tolvik::IXMLElement* getRootElement() override;
    std::string enCode() override;
    int saveToFile(std::wstring path) override;
    int saveToFile(std::string path) override;
    // The bytes that saveToFile writes, into `text` (for a package that takes
    // its parts from memory); false when the document has no tree or cannot
    // be serialised.
    bool serialize(std::string& text);

private:
    void parseFile(const std::string& path);
    int save(const std::string& path);

    XercesXMLElement* m_root = nullptr;           // owned
    // Owned: the tree is adopted from the parser that built it, so it lives
    // exactly as long as this document and no longer piles up in the parser.
    xercesc::DOMDocument* m_document = nullptr;
};

// Error handler of the parsers: prints errors and fatal errors to the
// standard error stream and remembers that one was seen.
class XercesErrorhandler : public xercesc::ErrorHandler {
public:
    XercesErrorhandler() = default;
    ~XercesErrorhandler() override = default;

    void warning(const xercesc::SAXParseException& e) override;
    void error(const xercesc::SAXParseException& e) override;
    void fatalError(const xercesc::SAXParseException& e) override;
    void resetErrors() override;

    bool getSawErrors() const { return m_sawErrors; }

private:
    bool m_sawErrors = false;
};

// Converts between text in a named encoding (the layer always uses "UTF-8")
// and Xerces' UTF-16 text, with Xerces' transcoder for that encoding.
// Characters that XML 1.0 cannot hold are dropped on the way into Xerces.
class XMLStringTranslate : public xercesc::XMLFormatTarget {
public:
    explicit XMLStringTranslate(const char* encoding);
    ~XMLStringTranslate() override;
    XMLStringTranslate(const XMLStringTranslate&) = delete;
    XMLStringTranslate& operator=(const XMLStringTranslate&) = delete;

    // UTF-16 to the encoding; "" for null or empty text, or text that the
    // encoding cannot take.
    std::string translate(const XMLCh* text);
    // Wide (UTF-32) text to the encoding.
    std::string translate(const wchar_t* text);
    // The encoding to UTF-16. The result stays the translator's until its
    // next call; bytes that cannot be decoded give an empty text.
    const XMLCh* translate(const char* text);
    const XMLCh* translate(const std::string& text);
    void clearbuffer();

    void writeChars(const XMLByte* const toWrite, const XMLSize_t count,
                    xercesc::XMLFormatter* const formatter) override;

private:
    std::u16string m_encoding;
    xercesc::XMLFormatter* m_formatter = nullptr;   // owned
    std::u16string m_buffer;                         // last decoded text
    std::string m_output;                            // last encoded text
};
