// The job-list file "data.xml" in the current folder, written from the
// template "exampledata.xml", and the pair that brackets use of the XML
// layer.
#include "engine/layout/jobrecords.h"

#include "engine/layout/strutil.h"
#include "engine/writers/xml/xercesxml.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace {

// A 1-based page number as 0-based, kept inside the int range.
int PageIndex(const std::string& number)
{
    const long long index = static_cast<long long>(str2int(number.c_str())) - 1;
    return static_cast<int>(std::max<long long>(index, INT_MIN));
}

void AppendPage(std::vector<int>& pages, const std::string& number)
{
    pages.push_back(PageIndex(number));
}

// The "range" text of a book: "all" selects every page; "a-b" a range;
// "a,b,..." a list. A list may also hold ranges ("1,3-5" lists 0, 2, 3, 4).
void ReadRange(Basedata& item, const std::string& text)
{
    const bool comma = text.find(',') != std::string::npos;
    const bool hyphen = text.find('-') != std::string::npos;
    if (text == "all") {
        item.first = 0;
        item.last = 0;
    } else if (hyphen && !comma) {
        const std::vector<std::string> ends = split(text, "-", "<null>");
        item.first = PageIndex(ends[0]);
        item.last = PageIndex(ends[1]);
    } else if (comma) {
        for (const std::string& piece : split(text, ",", "<null>")) {
            if (piece.find('-') == std::string::npos) {
                AppendPage(item.pages, piece);   // "<null>" reads as 0: the entry -1
                continue;
            }
            const std::vector<std::string> ends = split(piece, "-", "<null>");
            const long long a = PageIndex(ends[0]);
            const long long b = PageIndex(ends[1]);
            // No document has millions of pages; a huge range must not
            // exhaust memory.
            for (long long p = a; p <= b && p < a + (1 << 22); ++p)
                item.pages.push_back(static_cast<int>(p));
        }
    } else {
        AppendPage(item.pages, text);
    }
}

} // namespace

bool ImportData(std::vector<Basedata>* items)
{
    if (!items)
        return false;
    Tolvik::IXMLDocument* doc = XercesXMLFactory::getSingleton().DecodeDocumentFromFile(std::string("data.xml"));
    Tolvik::IXMLElement* root = doc ? doc->getRootElement() : nullptr;
    if (!root)
        return false;
    std::vector<Basedata> read;
    for (Tolvik::IXMLElement* book : root->getAllChildElements()) {
        Basedata item;
        for (Tolvik::IXMLElement* field : book->getAllChildElements()) {
            const std::string name = field->getName();
            const std::string value = field->getStrValue();
            if (name == "source")
                item.source = value;
            else if (name == "dest")
                item.dest = value;
            else if (name == "type")
                item.type = str2int(value.c_str());
            else if (name == "range")
                ReadRange(item, value);
        }
        read.push_back(std::move(item));
    }
    items->insert(items->end(), read.begin(), read.end());
    return true;
}

bool ExportData(const std::vector<exportdata>& items)
{
    Tolvik::IXMLDocument* doc =
        XercesXMLFactory::getSingleton().DecodeDocumentFromFile(std::string("exampledata.xml"));
    Tolvik::IXMLElement* root = doc ? doc->getRootElement() : nullptr;
    if (!root)
        return false;
    for (const exportdata& item : items) {
        Tolvik::IXMLElement* book = root->appendChildElement("book");
        if (!book)
            return false;
        book->appendChildElement("source", item.source, false);
        book->appendChildElement("dest", item.dest, false);
        book->appendChildElement("type", item.type, false);
        book->appendChildElement("range", item.range.empty() ? std::string("all") : item.range, false);
    }
    return doc->saveToFile(std::string("data.xml")) == 0;
}

void RezovirorInitialize()
{
    XercesXMLFactory::getSingleton().initialize();
}

void RezovirorRelease()
{
    XercesXMLFactory::getSingleton().release();
}
