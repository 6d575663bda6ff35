#include "engine/writers/xml/xercesxml.h"

#include "engine/layout/utf8.h"
#include "engine/writers/formatsmodule.h"

template class Tolvik::IXMLFactory<XercesXMLFactory>;

namespace {

// One character of the text, escaped where XML needs it.
void AppendEscapedChar(std::string& out, char32_t c)
{
    switch (c) {
    case '&': out += "&amp;"; return;
    case '<': out += "&lt;"; return;
    case '>': out += "&gt;"; return;
    case '"': out += "&quot;"; return;
    case 0x09: out += "&#9;"; return;
    case 0x0A: out += "&#10;"; return;
    case 0x0D: out += "&#13;"; return;
    default: break;
    }
    if (!IsXmlChar(c))
        return;
    if (c < 0x80)
        out.push_back(static_cast<char>(c));
    else
        out += utf8::FromWide(std::wstring(1, static_cast<wchar_t>(c)));
}

// What the factory gives when the formats module is missing: a document
// without tree, as for a file that cannot be parsed.
class NoTreeDocument : public Tolvik::IXMLDocument {
public:
    Tolvik::IXMLElement* getRootElement() override { return nullptr; }
    std::string enCode() override { return std::string(); }
    int saveToFile(std::wstring) override { return 1; }
    int saveToFile(std::string) override { return 1; }
};

} // namespace

void AppendXmlEscaped(std::string& out, std::string_view utf8Text)
{
    // Plain ASCII goes over in stretches; the rest one character at a time.
    auto plain = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x80 && c != '&' && c != '<' && c != '>' && c != '"';
    };
    std::size_t i = 0;
    while (i < utf8Text.size()) {
        std::size_t end = i;
        while (end < utf8Text.size() && plain(utf8Text[end]))
            ++end;
        out.append(utf8Text.data() + i, end - i);
        i = end;
        if (i == utf8Text.size())
            return;
        if (static_cast<unsigned char>(utf8Text[i]) >= 0x80)
            break;
        AppendEscapedChar(out, static_cast<char32_t>(utf8Text[i]));
        ++i;
    }
    for (wchar_t wc : utf8::ToWide(utf8Text.substr(i))) {
        auto c = static_cast<char32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        AppendEscapedChar(out, c);
    }
}

bool SerializeXmlDocument(Tolvik::IXMLDocument* document, std::string& text)
{
    const FormatsModule* module = Formats();
    return document && module && module->xmlSerialize(document, text);
}

XercesXMLFactory::XercesXMLFactory() = default;

XercesXMLFactory::~XercesXMLFactory()
{
    // The core (its parser and document) goes with the factory.
    delete m_empty;
    if (m_core)
        Formats()->xmlRelease(m_core);
}

void* XercesXMLFactory::core()
{
    if (!m_core) {
        if (const FormatsModule* module = Formats()) {
            m_core = module->xmlNew();
            if (m_initialize)
                module->xmlInitialize(m_core);
        }
    }
    return m_core;
}

void XercesXMLFactory::initialize()
{
    // A job brackets its items with initialize and release whatever its
    // output type; Xerces is started when the first document is made, so
    // that a job that makes none does not load it.
    m_initialize = true;
    if (m_core)
        Formats()->xmlInitialize(m_core);
}

void XercesXMLFactory::release()
{
    void* c = m_core;
    m_core = nullptr;
    delete this;
    if (c)
        Formats()->xmlRelease(c);
}

Tolvik::IXMLDocument* XercesXMLFactory::DecodeDocumentFromFile(const std::wstring& path)
{
    return DecodeDocumentFromFile(utf8::FromWide(path));
}

Tolvik::IXMLDocument* XercesXMLFactory::DecodeDocumentFromFile(const std::string& path)
{
    if (void* c = core())
        return Formats()->xmlDecode(c, path);
    if (!m_empty)
        m_empty = new NoTreeDocument;
    return m_empty;
}

Tolvik::IXMLDocument* XercesXMLFactory::CreateDocument(const std::string& rootName)
{
    if (void* c = core())
        return Formats()->xmlCreate(c, rootName);
    if (!m_empty)
        m_empty = new NoTreeDocument;
    return m_empty;
}
