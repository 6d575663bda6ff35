#include "engine/writers/html/htmlcontent.h"

#include "engine/layout/strutil.h"
#include "engine/layout/utf8.h"
#include "engine/writers/xml/ixml.h"

#include <initializer_list>
#include <string_view>
#include <typeinfo>
#include <utility>

namespace {

const std::string kUtf8 = "UTF-8";

// The style of a positioned box; the font size 0 hides the white space
// between the elements inside it.
std::string PositionStyle(double top, double left)
{
    return "position:absolute;top:" + double2str(top) + ";left:" + double2str(left) +
           ";font-size:0px";
}

// The length of the UTF-8 sequence at `p` (of `left` bytes) when it is well
// formed and holds a character the pretty printer writes unchanged (not
// U+FFFE or U+FFFF, which it leaves out); 0 otherwise.
std::size_t PlainSequence(const unsigned char* p, std::size_t left)
{
    std::size_t n = 0;
    char32_t c = 0;
    if (p[0] >= 0xC2 && p[0] <= 0xDF) {
        n = 2;
        c = p[0] & 0x1F;
    } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
        n = 3;
        c = p[0] & 0x0F;
    } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
        n = 4;
        c = p[0] & 0x07;
    } else {
        return 0;
    }
    if (left < n)
        return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (p[i] & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE ||
        c == 0xFFFF)
        return 0;
    return n;
}

} // namespace

bool AppendEscaped(std::string& out, std::string_view text, bool attribute)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        std::size_t start = i;
        while (i < size && p[i] >= 0x20 && p[i] < 0x80 && p[i] != '&' && p[i] != '<' &&
               p[i] != '>' && p[i] != '"')
            ++i;
        out.append(text.data() + start, i - start);
        if (i == size)
            return true;
        const unsigned char c = p[i];
        if (c >= 0x80) {
            const std::size_t n = PlainSequence(p + i, size - i);
            if (n == 0)
                return false;
            out.append(text.data() + i, n);
            i += n;
            continue;
        }
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += attribute ? ">" : "&gt;"; break;
        case '"': out += attribute ? "&quot;" : "\""; break;
        case '\t': out += attribute ? "&#x9;" : "\t"; break;
        default: return false;   // line breaks and the other controls
        }
        ++i;
    }
    return true;
}

namespace {

// Builds the markup of one page: elements opened and closed on lines of
// their own, as the pretty printer lays them out.
class Markup {
public:
    explicit Markup(std::string& text) : out(text) {}

    void indent(int level)
    {
        out += '\n';
        out.append(static_cast<std::size_t>(2 * level), ' ');
    }

    // "<name" and the attributes, given in the order of their names.
    bool open(const char* name, std::initializer_list<std::pair<const char*, std::string_view>> attrs)
    {
        out += '<';
        out += name;
        for (const auto& [attr, value] : attrs) {
            out += ' ';
            out += attr;
            out += "=\"";
            if (!AppendEscaped(out, value, true))
                return false;
            out += '"';
        }
        return true;
    }

    std::string& out;
};

bool IsLean(const ObjectInfo* object, const std::type_info& kind)
{
    return object && typeid(*object) == kind;
}

} // namespace

bool HtmlSection::appendMarkup(std::string& out, int level) const
{
    const std::size_t before = out.size();
    auto fail = [&] {
        out.resize(before);
        return false;
    };
    Markup m(out);
    if (!m.open("table", {{"border", "0"},
                          {"height", double2str(height * scale)},
                          {"width", double2str(width * scale)}}))
        return fail();
    out += '>';
    m.indent(level + 1);
    out += "<tr>";
    m.indent(level + 2);
    if (objects.empty()) {
        out += "<td/>";
    } else {
        out += "<td>";
        for (const ObjectInfo* object : objects) {
            m.indent(level + 3);
            if (IsLean(object, typeid(HtmlLineInfo))) {
                const auto* line = static_cast<const HtmlLineInfo*>(object);
                if (!line->appendMarkup(m.out, level + 3))
                    return fail();
            } else if (IsLean(object, typeid(HtmlImageInfo))) {
                const auto* image = static_cast<const HtmlImageInfo*>(object);
                if (!image->appendMarkup(m.out, level + 3))
                    return fail();
            } else {
                return fail();
            }
        }
        m.indent(level + 2);
        out += "</td>";
    }
    m.indent(level + 1);
    out += "</tr>";
    m.indent(level);
    out += "</table>";
    return true;
}

HtmlSection::HtmlSection(double s) : scale(s)
{
}

void HtmlSection::writeXML(Tolvik::IXMLElement* parent)
{
    if (!parent)
        return;
    Tolvik::IXMLElement* table = parent->appendChildElement("table");
    if (!table)
        return;
    table->addAttribute("border", "0", kUtf8);
    table->addAttribute("height", double2str(height * scale), kUtf8);
    table->addAttribute("width", double2str(width * scale), kUtf8);
    Tolvik::IXMLElement* row = table->appendChildElement("tr");
    Tolvik::IXMLElement* cell = row ? row->appendChildElement("td") : nullptr;
    if (!cell)
        return;
    for (ObjectInfo* object : objects)
        object->writeXML(cell);
}

HtmlLineInfo::HtmlLineInfo(double s) : scale(s)
{
}

void HtmlLineInfo::writeXML(Tolvik::IXMLElement* parent)
{
    if (!parent)
        return;
    Tolvik::IXMLElement* div = parent->appendChildElement("div");
    if (!div)
        return;
    div->addAttribute("style", PositionStyle(y * scale, x * scale), kUtf8);
    for (ObjectInfo* object : contents)
        object->writeXML(div);
}

bool HtmlLineInfo::appendMarkup(std::string& out, int level) const
{
    Markup m(out);
    if (!m.open("div", {{"style", PositionStyle(y * scale, x * scale)}}))
        return false;
    if (contents.empty()) {
        out += "/>";
        return true;
    }
    out += '>';
    for (const ObjectInfo* object : contents) {
        if (!IsLean(object, typeid(HtmlWordsInfo)))
            return false;
        m.indent(level + 1);
        if (!static_cast<const HtmlWordsInfo*>(object)->appendMarkup(out))
            return false;
    }
    m.indent(level);
    out += "</div>";
    return true;
}

HtmlWordsInfo::HtmlWordsInfo(double s) : scale(s)
{
}

void HtmlWordsInfo::writeXML(Tolvik::IXMLElement* parent)
{
    if (!parent)
        return;
    Tolvik::IXMLElement* span = parent->appendChildElement("span");
    if (!span)
        return;
    span->addAttribute("style", style.toStyle(scale), kUtf8);
    span->setStrValue(content, false);
}

bool HtmlWordsInfo::appendMarkup(std::string& out) const
{
    Markup m(out);
    if (!m.open("span", {{"style", style.toStyle(scale)}}))
        return false;
    out += '>';
    if (!AppendEscaped(out, content, false))
        return false;
    out += "</span>";
    return true;
}

HtmlImageInfo::HtmlImageInfo(double s) : scale(s)
{
}

void HtmlImageInfo::SetPosition(double nx, double ny)
{
    x = nx;
    y = ny < 0 ? 0 : ny;
}

void HtmlImageInfo::writeXML(Tolvik::IXMLElement* parent)
{
    if (!parent)
        return;
    Tolvik::IXMLElement* div = parent->appendChildElement("div");
    if (!div)
        return;
    div->addAttribute("style", PositionStyle(y * scale, x * scale), kUtf8);
    Tolvik::IXMLElement* img = div->appendChildElement("img");
    if (!img)
        return;
    img->addAttribute(L"src", path);
    img->addAttribute("width", double2str(width * scale), kUtf8);
    img->addAttribute("height", double2str(height * scale), kUtf8);
}

bool HtmlImageInfo::appendMarkup(std::string& out, int level) const
{
    // Code points the narrow text cannot carry as they are: left to the
    // XML layer, which replaces them.
    for (wchar_t c : path) {
        const auto u = static_cast<char32_t>(c);
        if (u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF))
            return false;
    }
    Markup m(out);
    if (!m.open("div", {{"style", PositionStyle(y * scale, x * scale)}}))
        return false;
    out += '>';
    m.indent(level + 1);
    if (!m.open("img", {{"height", double2str(height * scale)},
                        {"src", utf8::FromWide(path)},
                        {"width", double2str(width * scale)}}))
        return false;
    out += "/>";
    m.indent(level);
    out += "</div>";
    return true;
}
