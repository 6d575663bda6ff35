#include "engine/writers/content/chapter.h"

#include "engine/layout/strutil.h"
#include "engine/writers/xml/ixml.h"

std::uint16_t Chapter::totalid = 0;
std::uint16_t Chapter::ncxtotalid = 0;

namespace {
const std::string kUtf8 = "UTF-8";
}

Chapter::Chapter(const std::string& chapterName) : name(chapterName)
{
    id = ++totalid;
    ncxId = ++ncxtotalid;
}

Chapter::~Chapter()
{
    for (Section* section : contents)
        delete section;
}

void Chapter::DropContents()
{
    for (Section* section : contents)
        delete section;
    contents.clear();
}

Chapter* Chapter::getUltraParent() const
{
    Chapter* top = parent;
    while (top && top->parent)
        top = top->parent;
    return top;
}

void Chapter::AddContent(Section* section)
{
    if (section)
        contents.push_back(section);
}

bool Chapter::appendPicture(const std::string&) { return true; }
bool Chapter::appendPicture(PicInfo*) { return true; }
bool Chapter::appendString(const std::string&) { return true; }
bool Chapter::appendString(WordsInfo*) { return true; }
bool Chapter::appendTable() { return true; }
bool Chapter::writeCSS() { return true; }

bool Chapter::writeXml(Tolvik::IXMLDocument* doc)
{
    Tolvik::IXMLElement* root = doc ? doc->getRootElement() : nullptr;
    if (!root)
        return false;
    Tolvik::IXMLElement* body = nullptr;
    std::vector<Tolvik::IXMLElement*> heads;
    for (Tolvik::IXMLElement* child = root->getFirstChild(); child;
         child = child->getFirstSibling()) {
        const std::string childName = child->getName();
        if (childName == "body" || childName == "BODY") {
            body = child;
            break;
        }
        if (childName == "head")
            heads.push_back(child);
    }
    if (!body)
        return false;
    // The title is set only once the body is known to exist, so a template
    // that cannot take the chapter is left untouched.
    for (Tolvik::IXMLElement* head : heads) {
        if (Tolvik::IXMLElement* title = head->getFirstChild())
            title->setStrValue(name, false);
    }
    return writexml(body);
}

bool Chapter::writexml(Tolvik::IXMLElement* body)
{
    for (Section* section : contents)
        section->writeXML(body);
    if (firstChild)
        firstChild->writexml(body);
    return true;
}

bool Chapter::writeOPF(Tolvik::IXMLElement* manifest, int& runningId)
{
    if (!manifest)
        return false;
    Tolvik::IXMLElement* spine = manifest->getFirstSibling();
    while (spine && spine->getName() != "spine")
        spine = spine->getFirstSibling();
    if (!spine)
        return false;

    const std::string itemId = ManifestId(runningId);
    if (Tolvik::IXMLElement* item = manifest->appendChildElement("item")) {
        item->addAttribute("id", itemId, kUtf8);
        item->addAttribute("href", int2str(id) + ".html", kUtf8);
        item->addAttribute("media-type", "application/xhtml+xml", kUtf8);
    }
    if (Tolvik::IXMLElement* ref = spine->appendChildElement("itemref")) {
        ref->addAttribute("idref", itemId, kUtf8);
        ref->addAttribute("linear", "yes", kUtf8);
    }
    ++runningId;
    for (Section* section : contents)
        section->writeOPF(manifest, runningId);
    return true;
}
