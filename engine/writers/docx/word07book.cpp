#include "engine/writers/docx/word07book.h"

#include "engine/layout/fileutil.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/jobrecords.h"
#include "engine/layout/utf8.h"
#include "engine/writers/docx/officecrypto.h"
#include "engine/writers/docx/word07content.h"
#include "engine/writers/xml/xercesxml.h"
#include "engine/writers/zip/zippackage.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The fixed parts of the package: file in the template folder, part path.
const std::pair<const wchar_t*, const wchar_t*> kFixedParts[] = {
    {L"[Content_Types].xml", L"/[Content_Types].xml"},
    {L".rels", L"/_rels/.rels"},
    {L"app.xml", L"/docProps/app.xml"},
    {L"core.xml", L"/docProps/core.xml"},
    {L"settings.xml", L"/word/settings.xml"},
    {L"styles.xml", L"/word/styles.xml"},
    {L"webSettings.xml", L"/word/webSettings.xml"},
    {L"theme1.xml", L"/word/theme/theme1.xml"},
};

// Copies the fixed parts from the template folder into the package folder;
// a package without one of them would not open.
bool CopyFixedParts(const std::wstring& templates, const std::wstring& folder)
{
    for (const auto& [file, part] : kFixedParts) {
        if (!CopyFile(templates + L"/" + file, folder + part, false))
            return false;
    }
    return true;
}

bool MakeDir(const std::wstring& path)
{
    return ::mkdir(utf8::FromWide(path).c_str(), 0777) == 0 || errno == EEXIST;
}

// A fresh, empty folder below the engine's temporary folder for one package.
// Its name never equals one of the engine's own work folders or a name
// taken from the input.
std::wstring MakePackageFolder()
{
    std::string base = utf8::FromWide(GlobalEnum::tmppath);
    if (!base.empty() && base.back() != '/')
        base += '/';
    std::string tmpl = base + "docx-XXXXXX";
    if (!::mkdtemp(tmpl.data()))
        return L"";
    return utf8::ToWide(tmpl);
}

// The body is written to the file in pieces of about this size.
constexpr std::size_t kBodyPiece = 1 << 20;

// Picture files are named by the page model ("12.jpg", "pimg1_3.jpg"); only
// such plain names become parts, so that every target stays in word/media
// and needs no escaping.
bool IsPlainMediaName(const std::wstring& name)
{
    if (name.empty() || name == L"." || name == L"..")
        return false;
    return std::all_of(name.begin(), name.end(), [](wchar_t c) {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
               c == L'.' || c == L'_' || c == L'-';
    });
}

} // namespace

Word07Book::Word07Book(wordOp* opts) : options(opts)
{
    relDocument = new Word07RelDocument("imagerel");
    relDocument->AddContent(new Section);
}

Word07Book::~Word07Book()
{
    finishPreparing();
    delete relDocument;
    if (bodyFd >= 0)
        ::close(bodyFd);
    if (!folder.empty())
        DeleteFiles(folder + L"/*", false);   // its content, then the emptied folder
}

bool Word07Book::BeginBody()
{
    if (!folder.empty())
        return false;
    std::string document;
    word07::BodyFrame frame;
    if (!ReadWholeFile(GlobalEnum::exepath + L"/word07template/document.xml", document) ||
        !word07::SplitAtBody(document, frame))
        return false;
    folder = MakePackageFolder();
    if (folder.empty())
        return false;
    for (const wchar_t* sub : {L"/_rels", L"/docProps", L"/word", L"/word/_rels", L"/word/media",
                               L"/word/theme"}) {
        if (!MakeDir(folder + sub))
            return false;
    }
    bodyFd = ::open(utf8::FromWide(folder + L"/word/document.xml").c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (bodyFd < 0)
        return false;
    bodyBuffer = std::move(frame.head);
    bodyTail = std::move(frame.tail);
    bodyDeflated = std::make_unique<ZipDeflater>();
    startPreparing();
    return true;
}

void Word07Book::startPreparing()
{
    // The fixed parts are copied, and the formats module that writes the
    // XML parts is loaded and Xerces started in it (by reading the font
    // table's template, which saving reads again), while the pages are
    // analysed: saving is left with the parts that depend on the document.
    auto prepare = [this] {
        const std::wstring templates = GlobalEnum::exepath + L"/word07template";
        fixedPartsCopied = CopyFixedParts(templates, folder);
        XercesXMLFactory::getSingleton().DecodeDocumentFromFile(templates + L"/fontTable.xml");
    };
    try {
        preparing = std::thread(prepare);
    } catch (...) {
        prepare();
    }
}

void Word07Book::finishPreparing()
{
    if (preparing.joinable())
        preparing.join();
}

bool Word07Book::writeBody(std::string_view bytes)
{
    if (bodyFd < 0)
        return false;
    if (!WriteAll(bodyFd, bytes.data(), bytes.size())) {
        ::close(bodyFd);
        bodyFd = -1;
        return false;
    }
    bodyDeflated->Append(bytes);
    return true;
}

bool Word07Book::flushBody()
{
    if (!writeBody(bodyBuffer))
        return false;
    bodyBuffer.clear();
    return true;
}

void Word07Book::AppendBody(std::string_view xml)
{
    if (bodyFd < 0)
        return;
    if (bodyBuffer.size() + xml.size() < kBodyPiece) {
        bodyBuffer += xml;
        return;
    }
    // A large piece goes to the file as it is, without a copy.
    if (flushBody())
        writeBody(xml);
}

void Word07Book::EndBody()
{
    if (bodyFd < 0)
        return;
    bodyBuffer += bodyTail;
    const bool written = flushBody();
    bodyDone = written && ::close(bodyFd) == 0 && bodyDeflated->Finish();
    bodyFd = -1;
    std::string().swap(bodyBuffer);
}

std::string Word07Book::save(const std::string&, const std::string&)
{
    return std::string();
}

std::wstring Word07Book::save(const std::wstring& dir, const std::wstring& docName)
{
    const std::wstring out = ClaimOutputFile(dir + docName, L".docx");
    if (out.empty())
        return out;
    const std::wstring result = build(out);
    if (result.empty())
        DeleteFile(out);
    return result;
}

void Word07Book::UseFont(const std::string& family, bool fixedPitch, bool serif)
{
    if (family.empty() || !fontNames.insert(family).second)
        return;
    fonts.push_back(UsedFont{family, fixedPitch, serif});
}

bool Word07Book::writeFontTable(const std::wstring& templ, const std::wstring& part) const
{
    Tolvik::IXMLDocument* table = XercesXMLFactory::getSingleton().DecodeDocumentFromFile(templ);
    Tolvik::IXMLElement* root = table ? table->getRootElement() : nullptr;
    if (!root)
        return false;
    std::set<std::string> listed;
    for (Tolvik::IXMLElement* font : root->getChildElementsByName("w:font")) {
        if (Tolvik::IXMLAttribute* name = font ? font->getAttribute("w:name") : nullptr)
            listed.insert(name->getStrValue());
    }
    for (const UsedFont& used : fonts) {
        if (listed.count(used.family))
            continue;
        Tolvik::IXMLElement* font = root->appendChildElement("w:font");
        if (!font)
            return false;
        font->addAttribute("w:name", used.family, "UTF-8");
        // The kind of a font a reader may put in its place: fixed pitch
        // ("modern"), serif ("roman") or sans serif ("swiss").
        const char* family = used.fixedPitch ? "modern" : (used.serif ? "roman" : "swiss");
        if (Tolvik::IXMLElement* e = font->appendChildElement("w:family"))
            e->addAttribute("w:val", family, "UTF-8");
        if (Tolvik::IXMLElement* e = font->appendChildElement("w:pitch"))
            e->addAttribute("w:val", used.fixedPitch ? "fixed" : "variable", "UTF-8");
    }
    return table->saveToFile(part) == 0;
}

// Writes the package into `out`, a file claimed (empty) by the caller.
std::wstring Word07Book::build(const std::wstring& out)
{
    if (!bodyDone || pageCount < 1)
        return L"";
    finishPreparing();
    if (!fixedPartsCopied)
        return L"";
    const std::wstring templates = GlobalEnum::exepath + L"/word07template";
    const std::wstring& t = folder;

    if (!writeFontTable(templates + L"/fontTable.xml", t + L"/word/fontTable.xml"))
        return L"";

    // The main document is written: its pictures made their relationships.
    XercesXMLFactory& factory = XercesXMLFactory::getSingleton();
    Tolvik::IXMLDocument* rels = factory.DecodeDocumentFromFile(templates + L"/rel_document.rels");
    if (!relDocument->writeXml(rels) || rels->saveToFile(t + L"/word/_rels/document.xml.rels") != 0)
        return L"";
    // Exactly the pictures that relationships name join the package.
    const std::wstring images = GlobalEnum::tmppath + L"ImageFiles/";
    std::set<std::wstring> copied;
    for (Section* section : relDocument->getContents()) {
        for (ObjectInfo* object : section->getContent()) {
            auto* rel = dynamic_cast<Word07ImageRel*>(object);
            if (!rel)
                continue;
            const std::wstring& target = rel->GetTarget();
            const std::wstring file = target.substr(std::min(target.size(), std::wstring(L"media/").size()));
            if (target.rfind(L"media/", 0) != 0 || !IsPlainMediaName(file))
                return L"";
            if (!copied.insert(file).second)
                continue;
            // The picture joins the tree as a second name of its file: no
            // bytes copied, no new file made (both folders are in the job's
            // work folder); where that cannot be, it is copied.
            const std::wstring from = images + file;
            const std::wstring to = t + L"/word/media/" + file;
            if (::link(utf8::FromWide(from).c_str(), utf8::FromWide(to).c_str()) != 0 &&
                !CopyFile(from, to, false))
                return L"";
        }
    }

    const bool protect = options && options->bOpenPassword && options->openPassword &&
                         *options->openPassword;
    const std::wstring zip = protect ? t + L"/package.zip" : out;
    const std::map<std::string, ZipDeflater*> ready = {
        {utf8::FromWide(t + L"/word/document.xml"), bodyDeflated.get()}};
    if (!ZipCompressWith(utf8::FromWide(zip),
                         {utf8::FromWide(t + L"/_rels"), utf8::FromWide(t + L"/docProps"),
                          utf8::FromWide(t + L"/word"), utf8::FromWide(t + L"/[Content_Types].xml")},
                         ready))
        return L"";
    if (protect) {
        // Word opens no zip-encrypted package: the package is stored
        // encrypted in a compound file instead.
        std::string package;
        if (!ReadWholeFile(zip, package))
            return L"";
        const std::string encrypted =
            EncryptOfficePackage(package, PasswordUtf16(options->openPassword));
        if (encrypted.empty() || !WriteFileReplacing(out, encrypted.data(), encrypted.size()))
            return L"";
    }
    return out;
}
