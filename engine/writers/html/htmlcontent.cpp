#include "engine/writers/html/htmlcontent.h"

#include "engine/layout/strutil.h"
#include "engine/writers/xml/ixml.h"

namespace {

const std::string kUtf8 = "UTF-8";

// The style of a positioned box; the font size 0 hides the white space
// between the elements inside it.
std::string PositionStyle(double top, double left)
{
    return "position:absolute;top:" + double2str(top) + ";left:" + double2str(left) +
           ";font-size:0px";
}

} // namespace

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
