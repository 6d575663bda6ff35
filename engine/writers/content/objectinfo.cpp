#include "engine/writers/content/objectinfo.h"

#include "engine/layout/strutil.h"
#include "engine/layout/utf8.h"
#include "engine/writers/xml/ixml.h"

#include <algorithm>

namespace {

const std::string kUtf8 = "UTF-8";

void AppendOwned(ObjectList& list, ObjectInfo* object)
{
    if (object)
        list.push_back(object);
}

void DeleteOwned(ObjectList& list)
{
    for (ObjectInfo* object : list)
        delete object;
    list.clear();
}

// Replaces `list` by `replacement`; objects that leave the list are deleted.
void ReplaceOwned(ObjectList& list, const ObjectList& replacement)
{
    for (ObjectInfo* object : list) {
        if (std::find(replacement.begin(), replacement.end(), object) == replacement.end())
            delete object;
    }
    list.clear();
    for (ObjectInfo* object : replacement) {
        if (object && std::find(list.begin(), list.end(), object) == list.end())
            list.push_back(object);
    }
}

void WriteAll(const ObjectList& list, Tolvik::IXMLElement* parent)
{
    if (!parent)
        return;
    for (ObjectInfo* object : list)
        object->writeXML(parent);
}

void WriteAllOPF(const ObjectList& list, Tolvik::IXMLElement* manifest, int& id)
{
    for (ObjectInfo* object : list)
        object->writeOPF(manifest, id);
}

// Whether the manifest already has an item with that href.
bool ManifestHasHref(Tolvik::IXMLElement* manifest, const std::string& href)
{
    for (Tolvik::IXMLElement* item : manifest->getChildElementsByName("item")) {
        Tolvik::IXMLAttribute* attr = item->getAttribute("href");
        if (attr && attr->getStrValue() == href)
            return true;
    }
    return false;
}

} // namespace

std::string ManifestId(int n)
{
    return "item" + int2str(n);
}

// --- WordStyle -------------------------------------------------------------

std::string WordsInfo::WordStyle::toStyle(double scale) const
{
    std::string css = "font-size:" + double2str(fontSize * scale) + ";";
    if (bold)
        css += "font-weight:bold;";
    if (italic)
        css += "font-style:italic;";
    if (underline)
        css += "text-decoration:underline;";
    if (!color.empty())
        css += "color:" + color;
    return css;
}

// --- LineInfo --------------------------------------------------------------

LineInfo::~LineInfo()
{
    DeleteOwned(contents);
}

void LineInfo::writeXML(Tolvik::IXMLElement* parent)
{
    if (!parent)
        return;
    WriteAll(contents, parent->appendChildElement("p"));
}

void LineInfo::writeOPF(Tolvik::IXMLElement* manifest, int& id)
{
    WriteAllOPF(contents, manifest, id);
}

void LineInfo::appendContent(ObjectInfo* object)
{
    AppendOwned(contents, object);
}

void LineInfo::setContents(const ObjectList& list)
{
    ReplaceOwned(contents, list);
}

// --- WordsInfo -------------------------------------------------------------

void WordsInfo::writeXML(Tolvik::IXMLElement* parent)
{
    if (!parent)
        return;
    if (Tolvik::IXMLElement* span = parent->appendChildElement("span"))
        span->setStrValue(content, false);
}

// --- TableInfo, TableRow, TableColumn ----------------------------------------

TableInfo::~TableInfo()
{
    DeleteOwned(rows);
}

void TableInfo::writeXML(Tolvik::IXMLElement* parent)
{
    if (!parent)
        return;
    Tolvik::IXMLElement* table = parent->appendChildElement("table");
    if (!table)
        return;
    table->addAttribute("cellpadding", "0", kUtf8);
    table->addAttribute("cellspacing", "0", kUtf8);
    table->addAttribute("border", "1", kUtf8);
    WriteAll(rows, table);
}

void TableInfo::writeOPF(Tolvik::IXMLElement* manifest, int& id)
{
    WriteAllOPF(rows, manifest, id);
}

void TableInfo::appendRow(TableRow* row)
{
    AppendOwned(rows, row);
}

TableRow::~TableRow()
{
    DeleteOwned(columns);
}

void TableRow::writeXML(Tolvik::IXMLElement* parent)
{
    if (!parent)
        return;
    WriteAll(columns, parent->appendChildElement("tr"));
}

void TableRow::writeOPF(Tolvik::IXMLElement* manifest, int& id)
{
    WriteAllOPF(columns, manifest, id);
}

void TableRow::appendColumn(TableColumn* column)
{
    AppendOwned(columns, column);
}

TableColumn::~TableColumn()
{
    DeleteOwned(contents);
}

void TableColumn::writeXML(Tolvik::IXMLElement* parent)
{
    if (!parent)
        return;
    Tolvik::IXMLElement* cell = parent->appendChildElement("td");
    if (!cell)
        return;
    if (rowSpan != 0)
        cell->addAttribute("rowspan", int2str(rowSpan), kUtf8);
    if (colSpan > 1)
        cell->addAttribute("colspan", int2str(colSpan), kUtf8);
    WriteAll(contents, cell);
}

void TableColumn::writeOPF(Tolvik::IXMLElement* manifest, int& id)
{
    WriteAllOPF(contents, manifest, id);
}

void TableColumn::appendContent(ObjectInfo* object)
{
    AppendOwned(contents, object);
}

// --- ImageInfo, PicInfo ------------------------------------------------------

void ImageInfo::writeXML(Tolvik::IXMLElement* parent)
{
    if (!parent)
        return;
    Tolvik::IXMLElement* div = parent->appendChildElement("div");
    if (!div)
        return;
    if (Tolvik::IXMLElement* img = div->appendChildElement("img")) {
        img->addAttribute(L"src", path);
        img->addAttribute("alt", "", kUtf8);
    }
}

void ImageInfo::writeOPF(Tolvik::IXMLElement* manifest, int& id)
{
    if (!manifest || ManifestHasHref(manifest, utf8::FromWide(path)))
        return;
    Tolvik::IXMLElement* item = manifest->appendChildElement("item");
    if (!item)
        return;
    item->addAttribute("id", ManifestId(id), kUtf8);
    item->addAttribute(L"href", path);
    item->addAttribute("media-type", "image/jpeg", kUtf8);
    ++id;
}

void PicInfo::writeXML(Tolvik::IXMLElement* parent)
{
    if (!parent)
        return;
    if (Tolvik::IXMLElement* div = parent->appendChildElement("div")) {
        if (Tolvik::IXMLElement* img = div->appendChildElement("img"))
            img->addAttribute("alt", "", kUtf8);
    }
}

// --- Section -----------------------------------------------------------------

Section::~Section()
{
    DeleteOwned(objects);
}

void Section::writeXML(Tolvik::IXMLElement* parent)
{
    WriteAll(objects, parent);
}

void Section::writeOPF(Tolvik::IXMLElement* manifest, int& id)
{
    WriteAllOPF(objects, manifest, id);
}

void Section::appendObject(ObjectInfo* object)
{
    AppendOwned(objects, object);
}

void Section::setContent(const ObjectList& list)
{
    ReplaceOwned(objects, list);
}
