#include "engine/writers/epub/epub.h"

#include "engine/layout/fileutil.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/strutil.h"
#include "engine/layout/utf8.h"
#include "engine/writers/content/chapter.h"
#include "engine/writers/xml/xercesxml.h"
#include "engine/writers/zip/zippackage.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <sys/stat.h>

namespace {

const std::string kUtf8 = "UTF-8";
const char kMimetype[] = "application/epub+zip";

// "urn:uuid:" and a random (version 4) UUID.
std::string NewUuidUrn()
{
    std::random_device device;
    std::mt19937_64 gen((static_cast<std::uint64_t>(device()) << 32) ^ device());
    unsigned char b[16];
    for (int i = 0; i < 16; i += 8) {
        const std::uint64_t v = gen();
        for (int k = 0; k < 8; ++k)
            b[i + k] = static_cast<unsigned char>(v >> (8 * k));
    }
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
    static const char hex[] = "0123456789abcdef";
    std::string s = "urn:uuid:";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            s += '-';
        s += hex[b[i] >> 4];
        s += hex[b[i] & 0x0F];
    }
    return s;
}

XercesXMLFactory& Factory()
{
    return XercesXMLFactory::getSingleton();
}

// The first element among `from` and its following siblings with that name.
Tolvik::IXMLElement* SiblingNamed(Tolvik::IXMLElement* from, const std::string& name)
{
    while (from && from->getName() != name)
        from = from->getFirstSibling();
    return from;
}

// The document's bytes as saveToFile would write them.
bool Serialize(Tolvik::IXMLDocument* doc, std::string& bytes)
{
    return SerializeXmlDocument(doc, bytes);
}

// The chapter file names come from chapter names; only plain names are
// accepted, so that every file lands inside OEBPS.
bool IsPlainFileName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool IsRegularFile(const std::wstring& path)
{
    struct stat st {};
    return ::stat(utf8::FromWide(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// An element whose text must not stay empty in a valid book.
void SetIfEmpty(std::string& field, const std::string& value)
{
    if (field.empty())
        field = value;
}

// The container document, pointing at "OEBPS/content.opf"; null when it
// could not be made. It stays the factory's current document.
Tolvik::IXMLDocument* MakeContainer()
{
    Tolvik::IXMLDocument* doc = Factory().CreateDocument("container");
    Tolvik::IXMLElement* root = doc ? doc->getRootElement() : nullptr;
    if (!root)
        return nullptr;
    root->addAttribute("version", "1.0", kUtf8);
    root->addAttribute("xmlns", "urn:oasis:names:tc:opendocument:xmlns:container", kUtf8);
    Tolvik::IXMLElement* rootfiles = root->appendChildElement("rootfiles");
    Tolvik::IXMLElement* rootfile = rootfiles ? rootfiles->appendChildElement("rootfile") : nullptr;
    if (!rootfile)
        return nullptr;
    rootfile->addAttribute("full-path", "OEBPS/content.opf", kUtf8);
    rootfile->addAttribute("media-type", "application/oebps-package+xml", kUtf8);
    return doc;
}

bool WriteContainerXml(const std::string& path)
{
    Tolvik::IXMLDocument* doc = MakeContainer();
    return doc && doc->saveToFile(path) == 0;
}

// XHTML requires at least one block in a body: a page without content gets
// an empty "div".
void KeepBodyValid(Tolvik::IXMLDocument* doc)
{
    Tolvik::IXMLElement* root = doc->getRootElement();
    Tolvik::IXMLElement* body = root->getChildElement("body");
    if (!body)
        body = root->getChildElement("BODY");
    if (body && body->getAllChildElements().empty())
        body->appendChildElement("div");
}

} // namespace

// --- IContainer ------------------------------------------------------------------

IContainer::IContainer(std::wstring path) : ok(WriteContainerXml(utf8::FromWide(path)))
{
}

IContainer::IContainer(std::string path) : ok(WriteContainerXml(path))
{
}

// --- EPUB: chapters ----------------------------------------------------------------

EPUB::EPUB(std::wstring templateFolder) : folder(std::move(templateFolder))
{
    Chapter::totalid = 0;
    Chapter::ncxtotalid = 0;
}

EPUB::EPUB(std::string templateFolder)
    : narrowFolder(std::move(templateFolder)), folder(utf8::ToWide(narrowFolder))
{
    Chapter::totalid = 0;
    Chapter::ncxtotalid = 0;
}

EPUB::~EPUB()
{
    delete info;
}

void EPUB::setEpubInfo(EPUBInfo* record)
{
    if (record != info)
        delete info;
    info = record;
}

// --- EPUB: the package steps ----------------------------------------------------------

bool EPUB::writeMimetype(std::wstring path)
{
    return writeMimetype(utf8::FromWide(path));
}

bool EPUB::writeMimetype(std::string path)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const std::size_t n = sizeof kMimetype - 1;
    bool ok = std::fwrite(kMimetype, 1, n, f) == n;
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

bool EPUB::writeEPUBContainer(std::wstring path)
{
    return IContainer(path).written();
}

bool EPUB::writeEPUBContainer(std::string path)
{
    return IContainer(path).written();
}

bool EPUB::writeNavPoint(Tolvik::IXMLElement* parent, Chapter* chapter, const char* label)
{
    Tolvik::IXMLElement* point = parent->appendChildElement("navPoint");
    if (!point)
        return false;
    const std::string ncx = int2str(chapter->getNcxId());
    point->addAttribute("id", "navpoint" + ncx, kUtf8);
    point->addAttribute("playOrder", int2str(playOrder++), kUtf8);
    if (Tolvik::IXMLElement* navLabel = point->appendChildElement("navLabel")) {
        if (Tolvik::IXMLElement* text = navLabel->appendChildElement("text"))
            text->setStrValue(label + ncx, false);
    }
    if (Tolvik::IXMLElement* content = point->appendChildElement("content"))
        content->addAttribute("src", ncx + ".html", kUtf8);
    if (chapter->getFirstChild())
        writechapter(point, chapter->getFirstChild());
    return true;
}

void EPUB::writeChapter(Tolvik::IXMLElement* navMap)
{
    if (!navMap)
        return;
    for (Chapter* c = getFirstChapter(); c; c = c->getSibling())
        writeNavPoint(navMap, c, "page");
}

void EPUB::writechapter(Tolvik::IXMLElement* parent, Chapter* chapter)
{
    if (!parent)
        return;
    for (Chapter* c = chapter; c; c = c->getSibling())
        writeNavPoint(parent, c, "chapter");
}

bool EPUB::writeNCX(Tolvik::IXMLDocument* ncx, std::wstring path)
{
    return writeNCX(ncx, utf8::FromWide(path));
}

bool EPUB::writeNCX(Tolvik::IXMLDocument* ncx, std::string path)
{
    return fillNCX(ncx) && ncx->saveToFile(path) == 0;
}

bool EPUB::fillNCX(Tolvik::IXMLDocument* ncx)
{
    EPUBInfo empty;
    const EPUBInfo& meta = info ? *info : empty;
    Tolvik::IXMLElement* root = ncx ? ncx->getRootElement() : nullptr;
    Tolvik::IXMLElement* head = root ? root->getChildElement("head") : nullptr;
    if (!head)
        return false;
    for (Tolvik::IXMLElement* meta_el : head->getAllChildElements()) {
        Tolvik::IXMLAttribute* nameAttr = meta_el->getAttribute("name");
        if (!nameAttr)
            continue;
        const std::string name = nameAttr->getStrValue();
        const std::string* value = nullptr;
        static const std::string depth = "1";
        if (name == "dtb:uid")
            value = &meta.identifier;
        else if (name == "dtb:generator")
            value = &meta.generator;
        else if (name == "dtb:depth")
            value = &depth;
        if (!value)
            continue;
        if (Tolvik::IXMLAttribute* content = meta_el->getAttribute("content"))
            content->setStrValue(*value);
        else
            meta_el->addAttribute("content", *value, kUtf8);
    }
    Tolvik::IXMLElement* docTitle = SiblingNamed(head, "docTitle");
    Tolvik::IXMLElement* docAuthor = SiblingNamed(head, "docAuthor");
    Tolvik::IXMLElement* navMap = SiblingNamed(head, "navMap");
    Tolvik::IXMLElement* titleText = docTitle ? docTitle->getChildElement("text") : nullptr;
    Tolvik::IXMLElement* authorText = docAuthor ? docAuthor->getChildElement("text") : nullptr;
    if (!titleText || !authorText || !navMap)
        return false;
    titleText->setStrValue(meta.title, false);
    authorText->setStrValue(meta.creator, false);
    writeChapter(navMap);
    return true;
}

bool EPUB::writeOPF(Tolvik::IXMLDocument* opf, std::wstring path)
{
    return writeOPF(opf, utf8::FromWide(path));
}

bool EPUB::writeOPF(Tolvik::IXMLDocument* opf, std::string path)
{
    return fillOPF(opf) && opf->saveToFile(path) == 0;
}

bool EPUB::fillOPF(Tolvik::IXMLDocument* opf)
{
    EPUBInfo empty;
    const EPUBInfo& meta = info ? *info : empty;
    Tolvik::IXMLElement* root = opf ? opf->getRootElement() : nullptr;
    Tolvik::IXMLElement* metadata = root ? root->getChildElement("metadata") : nullptr;
    Tolvik::IXMLElement* manifest = SiblingNamed(metadata, "manifest");
    if (!manifest || !SiblingNamed(manifest, "spine"))
        return false;

    const std::pair<const char*, const std::string*> fields[] = {
        {"dc:title", &meta.title},         {"dc:identifier", &meta.identifier},
        {"dc:creator", &meta.creator},     {"dc:publisher", &meta.publisher},
        {"dc:date", &meta.date},           {"dc:subject", &meta.subject},
        {"dc:source", &meta.source},       {"dc:rights", &meta.rights},
        {"dc:language", &meta.language},   {"dc:contributor", &meta.contributor},
        {"dc:description", &meta.description}, {"dc:type", &meta.type},
        {"dc:format", &meta.format},       {"dc:relation", &meta.relation},
        {"dc:coverage", &meta.coverage},
    };
    for (Tolvik::IXMLElement* element : metadata->getAllChildElements()) {
        const std::string name = element->getName();
        for (const auto& [field, value] : fields) {
            if (name == field) {
                element->setStrValue(*value, false);
                break;
            }
        }
    }

    int id = 1;
    for (Chapter* c = getFirstChapter(); c; c = c->getSibling()) {
        if (!c->writeOPF(manifest, id))
            return false;
    }
    packagedImages.clear();
    for (Tolvik::IXMLElement* item : manifest->getChildElementsByName("item")) {
        Tolvik::IXMLAttribute* type = item->getAttribute("media-type");
        Tolvik::IXMLAttribute* href = item->getAttribute("href");
        if (type && href && type->getStrValue() == "image/jpeg")
            packagedImages.push_back(utf8::ToWide(href->getStrValue()));
    }
    return true;
}

// --- EPUB: saving ----------------------------------------------------------------------

std::wstring EPUB::SaveToEPUB(std::wstring dir, std::wstring name)
{
    const std::wstring out = ClaimOutputFile(dir + name, L".epub");
    return out.empty() ? std::wstring() : pack(out, name);
}

std::string EPUB::SaveToEPUB(std::string dir, std::string name)
{
    const std::string stem = dir + name;
    for (int n = 0;; ++n) {
        const std::string out = n == 0 ? stem + ".epub" : stem + "[" + int2str(n) + "].epub";
        if (PathExists(out))
            continue;
        bool taken = false;
        if (CreateExclusive(utf8::ToWide(out), taken))
            return utf8::FromWide(pack(utf8::ToWide(out), utf8::ToWide(name)));
        if (!taken)
            return "";
    }
}

bool EPUB::printPage(Chapter* chapter, std::string& bytes)
{
    Tolvik::IXMLDocument* page = Factory().DecodeDocumentFromFile(folder + L"/html.html");
    if (!chapter->writeXml(page))
        return false;
    KeepBodyValid(page);
    return Serialize(page, bytes);
}

void EPUB::stageChapter(Chapter* chapter)
{
    if (!chapter)
        return;
    StagedPage page;
    page.sections = chapter->getContents().size();
    if (printPage(chapter, page.bytes))
        staged[chapter] = std::move(page);
}

// Writes the package into `out`, a file claimed (empty) by the caller, which
// is removed again when the package cannot be completed. `name` is the name
// given to SaveToEPUB, "/" + the base name. Every part is made in memory and
// goes straight into the zip: the book needs no temporary folder of its own.
std::wstring EPUB::pack(const std::wstring& out, const std::wstring& name)
{
    const bool written = [&] {
        if (!getFirstChapter())
            return false;
        if (!info)
            info = new EPUBInfo;
        const std::wstring base = name.substr(name.rfind(L'/') + 1);
        SetIfEmpty(info->title, base.empty() ? std::string("untitled") : utf8::FromWide(base));
        SetIfEmpty(info->identifier, NewUuidUrn());
        SetIfEmpty(info->language, "en");

        // "mimetype" first, stored and without extra field, as reading
        // systems require; the rest deflated.
        std::vector<ZipPackageEntry> parts;
        parts.push_back({"mimetype", kMimetype, std::string(), true});
        auto add = [&](const std::string& entry, Tolvik::IXMLDocument* doc) {
            parts.push_back({entry, std::string(), std::string(), false});
            return Serialize(doc, parts.back().bytes);
        };
        if (!add("META-INF/container.xml", MakeContainer()))
            return false;
        Tolvik::IXMLDocument* ncx = Factory().DecodeDocumentFromFile(folder + L"/toc.ncx");
        if (!fillNCX(ncx) || !add("OEBPS/toc.ncx", ncx))
            return false;
        Tolvik::IXMLDocument* opf = Factory().DecodeDocumentFromFile(folder + L"/content.opf");
        if (!fillOPF(opf) || !add("OEBPS/content.opf", opf))
            return false;
        for (Chapter* c = getFirstChapter(); c; c = c->getSibling()) {
            const std::string fileName = c->getName();
            if (!IsPlainFileName(fileName))
                return false;
            parts.push_back({"OEBPS/" + fileName + ".html", std::string(), std::string(), false});
            const auto it = staged.find(c);
            if (it != staged.end() && !c->getFirstChild() &&
                it->second.sections == c->getContents().size())
                parts.back().bytes.swap(it->second.bytes);
            else if (!printPage(c, parts.back().bytes))
                return false;
        }
        staged.clear();

        // Exactly the pictures that the manifest lists join the package,
        // from the engine's picture folder.
        const std::wstring images = GlobalEnum::tmppath + L"ImageFiles/";
        for (const std::wstring& href : packagedImages) {
            const std::wstring file = href.substr(href.rfind(L'/') + 1);
            if (href != L"image/" + file || !IsPlainFileName(utf8::FromWide(file)) ||
                !IsRegularFile(images + file))
                return false;
            parts.push_back({"OEBPS/" + utf8::FromWide(href), std::string(),
                             utf8::FromWide(images + file), false});
        }
        return ZipWritePackage(utf8::FromWide(out), parts);
    }();
    if (!written) {
        DeleteFile(out);
        return L"";
    }
    return out;
}
