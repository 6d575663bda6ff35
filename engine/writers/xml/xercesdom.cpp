#include "engine/writers/xml/xercesdom.h"

#include "engine/layout/fileutil.h"

#include "engine/layout/utf8.h"

#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <algorithm>
#include <cstdio>
#include <iostream>

using namespace xercesc;

namespace {

// --- text conversion ---------------------------------------------------------

std::string FromX(const XMLCh* text)
{
    XMLStringTranslate translate("UTF-8");
    return translate.translate(text);
}

// Drops what XML 1.0 cannot hold: control characters, U+FFFE, U+FFFF and
// surrogates that are not part of a pair.
void DropNonXmlChars(std::u16string& text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                out.push_back(c);
                out.push_back(text[++i]);
            }
            continue;
        }
        if (c >= 0xDC00 && c <= 0xDFFF)
            continue;
        if (IsXmlChar(c))
            out.push_back(c);
    }
    text.swap(out);
}

// UTF-16 for Xerces: the text XMLStringTranslate gives (each malformed
// sequence one U+FFFD, what XML cannot hold left out), made directly,
// without a transcoder for every string written.
std::u16string ToX(std::wstring_view wide)
{
    return utf8::WideToUtf16(wide, IsXmlChar);
}

std::u16string ToX(const std::string& utf8Text)
{
    const bool ascii = std::all_of(utf8Text.begin(), utf8Text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii)
        return ToX(std::wstring_view(utf8::ToWide(utf8Text)));
    std::u16string out;
    out.reserve(utf8Text.size());
    for (char c : utf8Text) {
        if (IsXmlChar(static_cast<char32_t>(c)))
            out.push_back(static_cast<char16_t>(c));
    }
    return out;
}

std::u16string ToX(const std::wstring& wide)
{
    return ToX(std::wstring_view(wide));
}

bool HasSpecialChars(const std::string& text)
{
    return text.find_first_of("<>&'\"") != std::string::npos;
}

// A CDATA section cannot hold "]]>": it is split over two sections.
std::string CData(const std::string& text)
{
    std::string out = "<![CDATA[";
    std::size_t start = 0;
    for (std::size_t p = text.find("]]>"); p != std::string::npos; p = text.find("]]>", start)) {
        out.append(text, start, p + 2 - start);
        out += "]]><![CDATA[";
        start = p + 2;
    }
    out.append(text, start, std::string::npos);
    out += "]]>";
    return out;
}

// --- files -------------------------------------------------------------------

// Settings every parser of the layer shares: nothing outside the text being
// parsed is ever read (no external DTD or entity, no network), and entity
// expansion is bounded (our files use no entities beyond the predefined ones,
// which do not count).
void ConfigureSafeParsing(XercesDOMParser& parser, SecurityManager* security)
{
    security->setEntityExpansionLimit(10000);
    parser.setDisableDefaultEntityResolution(true);
    parser.setLoadExternalDTD(false);
    parser.setLoadSchema(false);
    parser.setSecurityManager(security);
}

} // namespace

// --- XMLStringTranslate ------------------------------------------------------

XMLStringTranslate::XMLStringTranslate(const char* encoding)
{
    // Encoding names are ASCII.
    for (const char* p = encoding; p && *p; ++p)
        m_encoding.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p)));
    m_formatter = new XMLFormatter(m_encoding.c_str(), this, XMLFormatter::NoEscapes,
                                   XMLFormatter::UnRep_CharRef);
}

XMLStringTranslate::~XMLStringTranslate()
{
    delete m_formatter;
}

std::string XMLStringTranslate::translate(const XMLCh* text)
{
    m_output.clear();
    if (!text || !*text)
        return std::string();
    try {
        m_formatter->formatBuf(text, XMLString::stringLen(text), XMLFormatter::NoEscapes,
                               XMLFormatter::UnRep_CharRef);
    } catch (...) {
        m_output.clear();
    }
    return m_output;
}

std::string XMLStringTranslate::translate(const wchar_t* text)
{
    if (!text || !*text)
        return std::string();
    const std::u16string x = translate(utf8::FromWide(text));
    return translate(x.c_str());
}

const XMLCh* XMLStringTranslate::translate(const char* text)
{
    return translate(std::string(text ? text : ""));
}

const XMLCh* XMLStringTranslate::translate(const std::string& text)
{
    clearbuffer();
    if (text.empty())
        return m_buffer.c_str();
    auto decode = [this](const std::string& bytes) {
        TranscodeFromStr decoded(reinterpret_cast<const XMLByte*>(bytes.data()), bytes.size(),
                                 m_formatter->getTranscoder());
        m_buffer.assign(decoded.str(), decoded.length());
    };
    try {
        decode(text);
    } catch (...) {
        // Malformed input: decode again with every bad sequence replaced by
        // U+FFFD, so that one bad byte does not cost the whole text.
        try {
            decode(utf8::FromWide(utf8::ToWide(text)));
        } catch (...) {
            m_buffer.clear();
        }
    }
    DropNonXmlChars(m_buffer);
    return m_buffer.c_str();
}

void XMLStringTranslate::clearbuffer()
{
    m_buffer.clear();
}

void XMLStringTranslate::writeChars(const XMLByte* const toWrite, const XMLSize_t count,
                                    XMLFormatter* const)
{
    m_output.append(reinterpret_cast<const char*>(toWrite), count);
}

// --- XercesErrorhandler ------------------------------------------------------

namespace {

void ReportParseError(const char* kind, const SAXParseException& e)
{
    std::cerr << kind << " at file \"" << FromX(e.getSystemId()) << "\", line "
              << e.getLineNumber() << ", column " << e.getColumnNumber()
              << "\n   Message: " << FromX(e.getMessage()) << std::endl;
}

} // namespace

void XercesErrorhandler::warning(const SAXParseException&)
{
}

void XercesErrorhandler::error(const SAXParseException& e)
{
    m_sawErrors = true;
    ReportParseError("Error", e);
}

void XercesErrorhandler::fatalError(const SAXParseException& e)
{
    m_sawErrors = true;
    ReportParseError("Fatal Error", e);
}

void XercesErrorhandler::resetErrors()
{
    m_sawErrors = false;
}

// --- XercesCore ----------------------------------------------------------------

namespace {

// The core of the engine's factory that is up; documents made without one
// fail to parse.
XercesCore* g_core = nullptr;

XercesDOMParser* CurrentParser()
{
    return g_core ? g_core->parser : nullptr;
}

} // namespace

XercesCore::XercesCore()
{
    g_core = this;
}

XercesCore::~XercesCore()
{
    if (g_core == this)
        g_core = nullptr;
    delete document;
    delete parser;
    delete errorHandler;
    delete security;
}

void XercesCore::initialize()
{
    if (parser)
        return;
    try {
        XMLPlatformUtils::Initialize(XMLUni::fgXercescDefaultLocale);
    } catch (const XMLException& e) {
        std::cerr << "Error during XML initialization\n   Message: " << FromX(e.getMessage())
                  << std::endl;
        return;
    }
    parser = new XercesDOMParser();
    parser->setValidationScheme(XercesDOMParser::Val_Auto);
    parser->setDoNamespaces(false);
    parser->setDoSchema(false);
    parser->setHandleMultipleImports(true);
    parser->setValidationSchemaFullChecking(false);
    parser->setCreateEntityReferenceNodes(false);
    security = new SecurityManager();
    ConfigureSafeParsing(*parser, security);
    errorHandler = new XercesErrorhandler();
    parser->setErrorHandler(errorHandler);
}

void XercesCore::release(XercesCore* core)
{
    const bool initialised = core->parser != nullptr;
    delete core;   // the document, the parser and its handler go with it
    if (initialised)
        XMLPlatformUtils::Terminate();
}

Tolvik::IXMLDocument* XercesCore::decode(const std::string& path)
{
    delete document;
    document = nullptr;
    document = new XercesXMLDocument(path);
    return document;
}

Tolvik::IXMLDocument* XercesCore::create(const std::string& rootName)
{
    delete document;
    document = nullptr;
    std::stringstream text;
    text << "<" << rootName << "></" << rootName << ">";
    document = new XercesXMLDocument(text);
    return document;
}

// --- XercesXMLDocument -------------------------------------------------------

XercesXMLDocument::XercesXMLDocument(const std::string& path)
{
    parseFile(path);
}

XercesXMLDocument::XercesXMLDocument(const std::wstring& path)
{
    parseFile(utf8::FromWide(path));
}

XercesXMLDocument::XercesXMLDocument(std::stringstream& text)
{
    // Xerces must be up: a document is only made between initialize and
    // release of the factory.
    if (!CurrentParser()) {
        std::cerr << "An error occurred during parsing\n   Message: the XML layer is not initialized"
                  << std::endl;
        return;
    }
    const std::string body = text.str();
    XercesErrorhandler handler;
    SecurityManager security;
    DOMDocument* doc = nullptr;
    bool failed = false;
    try {
        // A parser of its own in the default settings, made safe like the
        // shared one; the tree is adopted, so the parser can go at once.
        XercesDOMParser parser;
        ConfigureSafeParsing(parser, &security);
        parser.setErrorHandler(&handler);
        MemBufInputSource source(reinterpret_cast<const XMLByte*>(body.data()), body.size(),
                                 u"XMLdocument");
        parser.parse(source);
        doc = parser.adoptDocument();
    } catch (...) {
        std::cerr << "An error occurred during parsing\n " << std::endl;
        failed = true;
    }
    if (failed || handler.getSawErrors()) {
        if (doc)
            doc->release();
        return;
    }
    m_document = doc;
    if (m_document && m_document->getDocumentElement())
        m_root = new XercesXMLElement(m_document->getDocumentElement());
}

XercesXMLDocument::~XercesXMLDocument()
{
    delete m_root;
    if (m_document)
        m_document->release();
}

void XercesXMLDocument::parseFile(const std::string& path)
{
    XercesDOMParser* parser = CurrentParser();
    if (!parser) {
        std::cerr << "An error occurred during parsing\n   Message: the XML layer is not initialized"
                  << std::endl;
        return;
    }
    auto* handler = static_cast<XercesErrorhandler*>(parser->getErrorHandler());
    handler->resetErrors();

    // The file is read here rather than by Xerces, which would turn the path
    // into bytes through the locale.
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        std::cerr << "An error occurred during parsing\n   Message: Could not open file: " << path
                  << std::endl;
        return;
    }

    bool failed = false;
    try {
        const std::u16string systemId = ToX(path);
        MemBufInputSource source(reinterpret_cast<const XMLByte*>(bytes.data()), bytes.size(),
                                 systemId.c_str());
        parser->parse(source);
    } catch (const OutOfMemoryException&) {
        std::cerr << "OutOfMemoryException" << std::endl;
        failed = true;
    } catch (const XMLException& e) {
        std::cerr << "An error occurred during parsing\n   Message: " << FromX(e.getMessage())
                  << std::endl;
        failed = true;
    } catch (const DOMException& e) {
        std::cerr << "\nDOM Error during parsing: '" << path << "'\n"
                  << "DOMException code is:  " << e.code << std::endl;
        XMLCh message[2048];
        if (DOMImplementation::loadDOMExceptionMsg(e.code, message, 2047))
            std::cerr << "Message is: " << FromX(message) << std::endl;
        failed = true;
    } catch (...) {
        std::cerr << "An error occurred during parsing\n " << std::endl;
        failed = true;
    }

    DOMDocument* doc = parser->adoptDocument();
    if (failed || handler->getSawErrors()) {
        if (doc)
            doc->release();
        return;
    }
    m_document = doc;
    if (m_document && m_document->getDocumentElement())
        m_root = new XercesXMLElement(m_document->getDocumentElement());
}

Tolvik::IXMLElement* XercesXMLDocument::getRootElement()
{
    return m_root;
}

std::string XercesXMLDocument::enCode()
{
    return m_root ? m_root->enCode() : std::string();
}

int XercesXMLDocument::saveToFile(std::wstring path)
{
    return save(utf8::FromWide(path));
}

int XercesXMLDocument::saveToFile(std::string path)
{
    return save(path);
}

int XercesXMLDocument::save(const std::string& path)
{
    std::string text;
    if (!serialize(text))
        return 1;
    // Written by us: the bytes reach the file under its UTF-8 path, and a
    // short write is seen.
    return WriteFileReplacing(path, text.data(), text.size())
               ? 0
               : 1;
}

bool XercesXMLDocument::serialize(std::string& text)
{
    if (!m_document || !m_root)
        return false;
    DOMLSSerializer* serializer = nullptr;
    DOMLSOutput* output = nullptr;
    bool ok = false;
    try {
        DOMImplementation* impl = DOMImplementationRegistry::getDOMImplementation(u"Core");
        serializer = impl->createLSSerializer();
        output = impl->createLSOutput();
        output->setEncoding(u"UTF-8");
        DOMConfiguration* config = serializer->getDomConfig();
        for (const XMLCh* name : {XMLUni::fgDOMWRTWhitespaceInElementContent,
                                  XMLUni::fgDOMWRTFormatPrettyPrint}) {
            if (config->canSetParameter(name, true))
                config->setParameter(name, true);
        }
        MemBufFormatTarget target;
        output->setByteStream(&target);
        if (serializer->write(m_document, output)) {
            text.assign(reinterpret_cast<const char*>(target.getRawBuffer()), target.getLen());
            ok = true;
        }
    } catch (...) {
        ok = false;
    }
    if (output)
        output->release();
    if (serializer)
        serializer->release();
    return ok;
}

// --- XercesXMLAttribute ------------------------------------------------------

XercesXMLAttribute::XercesXMLAttribute(DOMAttr* attr)
    : m_attr(attr), m_name(FromX(attr->getName()))
{
}

int XercesXMLAttribute::setStrValue(const std::wstring& value)
{
    try {
        m_attr->setValue(ToX(value).c_str());
    } catch (...) {
        return 1;
    }
    return 0;
}

int XercesXMLAttribute::setStrValue(const std::string& value)
{
    try {
        m_attr->setValue(ToX(value).c_str());
    } catch (...) {
        return 1;
    }
    return 0;
}

std::string XercesXMLAttribute::getName()
{
    return m_name;
}

std::string XercesXMLAttribute::getStrValue()
{
    return FromX(m_attr->getValue());
}

// --- XercesXMLElement --------------------------------------------------------

XercesXMLElement::XercesXMLElement(DOMElement* element, Shallow)
    : m_element(element)
{
    if (m_element)
        m_name = FromX(m_element->getNodeName());
}

XercesXMLElement::XercesXMLElement(DOMElement* element)
    : XercesXMLElement(element, Shallow{})
{
    if (!m_element)
        return;
    // Wrapped with a work list rather than by recursion, so that a deeply
    // nested file cannot exhaust the stack.
    std::vector<XercesXMLElement*> pending{this};
    while (!pending.empty()) {
        XercesXMLElement* next = pending.back();
        pending.pop_back();
        next->wrapOwnNodes();
        for (Tolvik::IXMLElement* child : next->m_children)
            pending.push_back(static_cast<XercesXMLElement*>(child));
    }
}

void XercesXMLElement::wrapOwnNodes()
{
    DOMNamedNodeMap* attributes = m_element->getAttributes();
    for (XMLSize_t i = 0; attributes && i < attributes->getLength(); ++i)
        m_attributes.push_back(new XercesXMLAttribute(static_cast<DOMAttr*>(attributes->item(i))));
    XercesXMLElement* previous = nullptr;
    for (DOMNode* node = m_element->getFirstChild(); node; node = node->getNextSibling()) {
        if (node->getNodeType() != DOMNode::ELEMENT_NODE)
            continue;
        auto* child = new XercesXMLElement(static_cast<DOMElement*>(node), Shallow{});
        if (previous)
            previous->m_sibling = child;
        m_children.push_back(child);
        previous = child;
    }
}

XercesXMLElement::~XercesXMLElement()
{
    for (Tolvik::IXMLAttribute* attribute : m_attributes)
        delete attribute;
    // Children are taken apart with a work list, for the same reason the tree
    // is wrapped with one.
    std::vector<Tolvik::IXMLElement*> pending = std::move(m_children);
    while (!pending.empty()) {
        auto* child = static_cast<XercesXMLElement*>(pending.back());
        pending.pop_back();
        pending.insert(pending.end(), child->m_children.begin(), child->m_children.end());
        child->m_children.clear();
        delete child;
    }
}

int XercesXMLElement::setValue(const std::u16string& value, bool cdata)
{
    DOMDocument* doc = m_element->getOwnerDocument();
    try {
        DOMNode* first = m_element->getFirstChild();
        if (first && first->getNodeType() == DOMNode::TEXT_NODE && !first->getNextSibling()) {
            first->setNodeValue(value.c_str());
        } else if (cdata) {
            // "]]>" cannot stand inside one section: it is split over two.
            std::size_t start = 0;
            for (std::size_t p = value.find(u"]]>"); p != std::u16string::npos;
                 p = value.find(u"]]>", start)) {
                const std::u16string part = value.substr(start, p + 2 - start);
                m_element->appendChild(doc->createCDATASection(part.c_str()));
                start = p + 2;
            }
            const std::u16string rest = value.substr(start);
            m_element->appendChild(doc->createCDATASection(rest.c_str()));
        } else {
            m_element->appendChild(doc->createTextNode(value.c_str()));
        }
    } catch (...) {
        try {
            m_element->appendChild(doc->createTextNode(value.c_str()));
        } catch (...) {
        }
    }
    return 1;
}

int XercesXMLElement::setStrValue(const std::wstring& value, bool cdata)
{
    return setValue(ToX(value), cdata);
}

int XercesXMLElement::setStrValue(const std::string& value, bool cdata)
{
    return setValue(ToX(value), cdata);
}

Tolvik::IXMLAttribute* XercesXMLElement::addAttributeX(const std::u16string& name,
                                                       const std::u16string& value)
{
    try {
        DOMAttr* attr = m_element->getOwnerDocument()->createAttribute(name.c_str());
        attr->setValue(value.c_str());
        m_element->setAttributeNode(attr);
        auto* wrapper = new XercesXMLAttribute(attr);
        m_attributes.push_back(wrapper);
        return wrapper;
    } catch (...) {
        return nullptr;
    }
}

Tolvik::IXMLAttribute* XercesXMLElement::addAttribute(const std::wstring& name,
                                                      const std::wstring& value)
{
    return addAttributeX(ToX(name), ToX(value));
}

Tolvik::IXMLAttribute* XercesXMLElement::addAttribute(const std::string& name,
                                                      const std::string& value,
                                                      const std::string&)
{
    return addAttributeX(ToX(name), ToX(value));
}

Tolvik::IXMLElement* XercesXMLElement::appendChildElement(const std::string& name)
{
    try {
        DOMElement* element = m_element->getOwnerDocument()->createElement(ToX(name).c_str());
        m_element->appendChild(element);
        auto* wrapper = new XercesXMLElement(element, Shallow{});
        m_children.push_back(wrapper);
        return wrapper;
    } catch (...) {
        return nullptr;
    }
}

Tolvik::IXMLElement* XercesXMLElement::addChildElement(const std::string& name)
{
    // "a.b.c": a new a under this element, a new b under it, a new c under b.
    Tolvik::IXMLElement* current = this;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = name.find('.', start);
        const std::string part = name.substr(start, dot == std::string::npos ? std::string::npos
                                                                             : dot - start);
        current = current->appendChildElement(part);
        if (!current || dot == std::string::npos)
            return current;
        start = dot + 1;
    }
}

std::string XercesXMLElement::getName()
{
    return m_name;
}

std::string XercesXMLElement::getStrValue()
{
    DOMNode* first = m_element->getFirstChild();
    if (first && first->getNodeType() == DOMNode::TEXT_NODE && !first->getNextSibling())
        return FromX(first->getNodeValue());
    return std::string();
}

Tolvik::IXMLAttribute* XercesXMLElement::getAttribute(const std::string& name)
{
    for (Tolvik::IXMLAttribute* attribute : m_attributes) {
        if (attribute->getName() == name)
            return attribute;
    }
    return nullptr;
}

Tolvik::IXMLElement* XercesXMLElement::getFirstChild()
{
    return m_children.empty() ? nullptr : m_children.front();
}

Tolvik::IXMLElement* XercesXMLElement::getFirstSibling()
{
    return m_sibling;
}

std::vector<Tolvik::IXMLElement*> XercesXMLElement::getAllChildElements()
{
    return m_children;
}

std::vector<Tolvik::IXMLElement*> XercesXMLElement::getChildElementsByName(const std::string& name)
{
    std::vector<Tolvik::IXMLElement*> out;
    for (Tolvik::IXMLElement* child : m_children) {
        if (static_cast<XercesXMLElement*>(child)->m_name == name)
            out.push_back(child);
    }
    return out;
}

XercesXMLElement* XercesXMLElement::firstChildNamed(const std::string& name)
{
    for (Tolvik::IXMLElement* child : m_children) {
        auto* element = static_cast<XercesXMLElement*>(child);
        if (element->m_name == name)
            return element;
    }
    return nullptr;
}

Tolvik::IXMLElement* XercesXMLElement::getChildElement(const std::string& name)
{
    // "" is the element itself; "a.b" is the first b under the first a; a
    // trailing "." ends on the element reached before it.
    XercesXMLElement* current = this;
    std::size_t start = 0;
    while (true) {
        if (start == name.size())
            return current;
        const std::size_t dot = name.find('.', start);
        const std::string part = name.substr(start, dot == std::string::npos ? std::string::npos
                                                                             : dot - start);
        current = current->firstChildNamed(part);
        if (!current || dot == std::string::npos)
            return current;
        start = dot + 1;
    }
}

std::string XercesXMLElement::enCode()
{
    std::string out = "<" + m_name;
    // A wrapper whose attribute was replaced by one of the same name stays in
    // the list but is no longer part of the element: it is not written, so
    // the text never repeats an attribute.
    for (Tolvik::IXMLAttribute* attribute : m_attributes) {
        if (static_cast<XercesXMLAttribute*>(attribute)->isOn(m_element)) {
            out += ' ';
            out += attribute->enCode();
        }
    }
    out += ">";
    for (Tolvik::IXMLElement* child : m_children)
        out += child->enCode();
    for (DOMNode* node = m_element->getFirstChild(); node; node = node->getNextSibling()) {
        const auto type = node->getNodeType();
        if (type != DOMNode::TEXT_NODE && type != DOMNode::CDATA_SECTION_NODE)
            continue;
        const std::string value = FromX(node->getNodeValue());
        out += HasSpecialChars(value) ? CData(value) : value;
    }
    out += "</" + m_name + ">";
    return out;
}
