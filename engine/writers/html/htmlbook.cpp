#include "engine/writers/html/htmlbook.h"

#include "engine/layout/fileutil.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/strutil.h"
#include "engine/layout/utf8.h"
#include "engine/writers/content/chapter.h"
#include "engine/writers/html/htmlcontent.h"
#include "engine/writers/xml/xercesxml.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <typeinfo>

namespace {

// The viewer's fixed files, copied from the template folder into "html".
// "page.js" is the pages' own script, through which the viewer zooms and
// aligns them.
const wchar_t* const kViewerFiles[] = {
    L"bmimg.html", L"bookmark.html", L"navigation.html", L"navimg.html", L"toolbar.html",
    L"page.js",
};

const std::string kUtf8 = "UTF-8";

// Creates one folder level; false when it cannot be made or was there
// already (the output never goes into a folder it did not create).
bool MakeFolder(const std::wstring& path)
{
    return ::mkdir(utf8::FromWide(path).c_str(), 0777) == 0;
}

bool HasEntries(const std::wstring& folder)
{
    std::error_code ec;
    std::filesystem::directory_iterator it(utf8::Path(folder), ec);
    return !ec && it != std::filesystem::directory_iterator();
}

void Complain(const std::string& what, const std::wstring& path)
{
    std::fprintf(stderr, "HTML output: %s: %s\n", what.c_str(), utf8::FromWide(path).c_str());
}

// The page's hook into the viewer: its script, loaded from the page's folder.
// The element gets a text so that it is never written as an empty-element
// tag, which an HTML parser would read as an unclosed script.
void AddPageScript(Tolvik::IXMLElement* root)
{
    Tolvik::IXMLElement* head = root->getChildElement("head");
    if (!head)
        return;
    if (Tolvik::IXMLElement* script = head->appendChildElement("script")) {
        script->addAttribute("type", "text/javascript", kUtf8);
        script->addAttribute("src", "page.js", kUtf8);
        script->setStrValue("// zoom and alignment in the viewer", false);
    }
}

// The marks of the page frame: the title's text and an element where the
// page's table goes. Neither can come from a template by chance. The table
// mark holds an element, as the table does, since the printer lays out what
// follows an element by whether it has children.
const char kTitleMark[] = "trancel-page-title-8f2c61";
const char kTableMark[] = "trancel-page-table-8f2c61";
const char kTableMarkChild[] = "trancel-page-row-8f2c61";

// A chapter named by the title mark, holding one section that writes the
// table mark. Made without the chapters' ids.
class FrameChapter : public Chapter {
public:
    FrameChapter()
    {
        name = kTitleMark;
        AddContent(new MarkSection);
    }

private:
    class MarkSection : public Section {
    public:
        void writeXML(Tolvik::IXMLElement* parent) override
        {
            if (Tolvik::IXMLElement* mark = parent ? parent->appendChildElement(kTableMark) : nullptr)
                mark->appendChildElement(kTableMarkChild);
        }
    };
};

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1))
        ++n;
    return n;
}

// Puts a file of the work folder at `dest`, a name that must not exist yet:
// as a second name of the same file where the file system allows it (the
// work folder goes away after the job, so the output keeps the only name),
// else as a copy.
bool PlaceWorkFile(const std::string& source, const std::string& dest)
{
    if (::link(source.c_str(), dest.c_str()) == 0)
        return true;
    switch (errno) {
    case EXDEV:
    case EPERM:
    case EMLINK:
    case ENOSYS:
    case EOPNOTSUPP:
        return CopyFile(source, dest, false);
    default:
        return false;   // the name is taken, or the folder cannot be written
    }
}

// Places every file of the work folder `from` into `to` (ending in "/");
// folders are copied with their content.
bool PlaceWorkFiles(const std::string& from, const std::string& to)
{
    bool found = false;
    for (const PatternMatch& m : FindPatternMatches(from + "/*", found)) {
        const std::string source = from + "/" + m.name;
        if (m.isLink)
            continue;   // the engine makes no links; one is not followed out of the folder
        const bool ok = m.isDir ? ::mkdir((to + m.name).c_str(), 0777) == 0 &&
                                      CopyFiles(source + "/*", to + m.name + "/", false)
                                : PlaceWorkFile(source, to + m.name);
        if (!ok)
            return false;
    }
    return found;
}

// Writes the text with every line end as CR LF.
bool WriteScript(const std::wstring& path, const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    std::ofstream file(utf8::Path(path), std::ios::binary | std::ios::trunc);
    if (!file)
        return false;
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    file.close();
    return static_cast<bool>(file);
}

} // namespace

HtmlBook::HtmlBook(double s) : scale(s)
{
}

HtmlBook::~HtmlBook()
{
    if (frameMaking.valid())
        frameMaking.wait();
    for (const auto& [chapter, path] : staged)
        DeleteFile(path);
}

void HtmlBook::stageChapter(Chapter* chapter)
{
    if (!chapter || GlobalEnum::tmppath.empty())
        return;
    const std::wstring path =
        GlobalEnum::tmppath + L"Files/htmlpage-" + utf8::ToWide(chapter->getName()) + L".html";
    if (!writePage(chapter, path)) {
        DeleteFile(path);
        return;   // save writes it, and reports what is wrong
    }
    staged[chapter] = path;
    chapter->DropContents();
}

void HtmlBook::prepareFrame()
{
    if (frameState != 0 || frameMaking.valid())
        return;
    try {
        frameMaking = std::async(std::launch::async, [this] { makeFrame(); });
    } catch (const std::system_error&) {
        // No thread to spare: the first page makes the frame itself.
    }
}

void HtmlBook::awaitFrame()
{
    if (frameMaking.valid())
        frameMaking.get();
}

bool HtmlBook::makeFrame()
{
    frameState = -1;
    const std::wstring templatePath = GlobalEnum::exepath + L"/html.html";
    Tolvik::IXMLDocument* doc = XercesXMLFactory::getSingleton().DecodeDocumentFromFile(templatePath);
    Tolvik::IXMLElement* root = doc ? doc->getRootElement() : nullptr;
    if (!root)
        return false;
    FrameChapter chapter;
    if (!chapter.writeXml(doc))
        return false;
    AddPageScript(root);
    std::string text;
    if (!SerializeXmlDocument(doc, text))
        return false;
    const std::string open = std::string("<") + kTableMark + ">";
    const std::string close = std::string("</") + kTableMark + ">";
    if (Count(text, kTableMark) != 2 || Count(text, open) != 1 || Count(text, close) != 1 ||
        Count(text, kTitleMark) == 0)
        return false;
    // The table's depth is told by the indentation of its line.
    const std::size_t at = text.find(open);
    const std::size_t end = text.find(close);
    const std::size_t lineStart = text.rfind('\n', at);
    if (lineStart == std::string::npos || end < at)
        return false;
    const std::size_t spaces = at - lineStart - 1;
    if (spaces % 2 != 0 || text.find_first_not_of(' ', lineStart + 1) != at)
        return false;
    // The mark and what it holds become one tag, replaced by each page's
    // table.
    text.replace(at, end + close.size() - at, std::string("<") + kTableMark + "/>");
    frame = std::move(text);
    frameLevel = static_cast<int>(spaces / 2);
    frameState = 1;
    return true;
}

bool HtmlBook::leanPage(const Chapter* chapter, std::string& page)
{
    awaitFrame();
    if (frameState == 0)
        makeFrame();
    if (frameState != 1 || chapter->getFirstChild())
        return false;
    std::string tables;
    bool first = true;
    for (const Section* section : chapter->getContents()) {
        if (!section || typeid(*section) != typeid(HtmlSection))
            return false;
        if (!first) {
            tables += '\n';
            tables.append(static_cast<std::size_t>(2 * frameLevel), ' ');
        }
        first = false;
        if (!static_cast<const HtmlSection*>(section)->appendMarkup(tables, frameLevel))
            return false;
    }
    std::string title;
    if (!AppendEscaped(title, chapter->getName(), false))
        return false;
    const std::string tableTag = std::string("<") + kTableMark + "/>";
    const std::string titleMark = kTitleMark;
    page.clear();
    page.reserve(frame.size() + tables.size() + 64);
    std::size_t from = 0;
    for (;;) {
        const std::size_t t = frame.find(titleMark, from);
        const std::size_t b = frame.find(tableTag, from);
        const std::size_t next = std::min(t, b);
        if (next == std::string::npos) {
            page.append(frame, from, std::string::npos);
            break;
        }
        page.append(frame, from, next - from);
        if (next == b) {
            // A page without sections has no element in its body.
            if (tables.empty())
                return false;
            page += tables;
            from = b + tableTag.size();
        } else {
            page += title;
            from = t + titleMark.size();
        }
    }
    return true;
}

bool HtmlBook::writePage(Chapter* chapter, const std::wstring& path)
{
    std::string page;
    if (leanPage(chapter, page)) {
        if (!WriteFileReplacing(path, page.data(), page.size())) {
            Complain("cannot write the page", path);
            return false;
        }
        return true;
    }
    auto& factory = XercesXMLFactory::getSingleton();
    const std::wstring templatePath = GlobalEnum::exepath + L"/html.html";
    Tolvik::IXMLDocument* doc = factory.DecodeDocumentFromFile(templatePath);
    Tolvik::IXMLElement* root = doc ? doc->getRootElement() : nullptr;
    if (!root) {
        Complain("cannot read the page template", templatePath);
        return false;
    }
    if (!chapter->writeXml(doc)) {
        Complain("the page template has no body", templatePath);
        return false;
    }
    AddPageScript(root);
    if (doc->saveToFile(path) != 0) {
        Complain("cannot write the page", path);
        return false;
    }
    return true;
}

std::wstring HtmlBook::save(std::wstring dir, std::wstring name)
{
    awaitFrame();   // the index page is made through the XML layer too
    // The first free folder name: name, name(1), name(2), ... A name that
    // turns out to be taken when the folder is made moves on to the next.
    std::wstring finalName = name;
    for (int n = 1;; ++n) {
        if (!PathExists(dir + finalName)) {
            if (MakeFolder(dir + finalName))
                break;
            if (errno != EEXIST) {
                Complain("cannot create the folder", dir + finalName);
                return std::wstring();
            }
        }
        finalName = name + L"(" + int2wstr(n) + L")";
    }
    const std::wstring folder = dir + finalName;

    const bool written = MakeFolder(folder + L"/html") && MakeFolder(folder + L"/html/image") &&
                         writePages(folder) && copyPictures(folder) &&
                         BuildIndex(dir, finalName);
    if (!written) {
        // Nothing half-made stays behind: the folder is ours, made above.
        std::error_code ec;
        std::filesystem::remove_all(utf8::Path(folder), ec);
        Complain("could not be written", folder);
        return std::wstring();
    }
    return folder;
}

std::string HtmlBook::save(std::string dir, std::string name)
{
    return utf8::FromWide(save(utf8::ToWide(dir), utf8::ToWide(name)));
}

bool HtmlBook::writePages(const std::wstring& folder)
{
    for (Chapter* chapter = getFirstChapter(); chapter; chapter = chapter->getSibling()) {
        const std::wstring page =
            folder + L"/html/P" + utf8::ToWide(chapter->getName()) + L".html";
        const auto it = staged.find(chapter);
        if (it == staged.end()) {
            if (!writePage(chapter, page))
                return false;
            continue;
        }
        if (!PlaceWorkFile(utf8::FromWide(it->second), utf8::FromWide(page))) {
            Complain("cannot write the page", page);
            return false;
        }
        DeleteFile(it->second);
        staged.erase(it);
    }
    return true;
}

bool HtmlBook::copyPictures(const std::wstring& folder)
{
    const std::wstring pictures = GlobalEnum::tmppath + L"ImageFiles";
    if (!HasEntries(pictures))
        return true;   // pages without pictures
    if (!PlaceWorkFiles(utf8::FromWide(pictures), utf8::FromWide(folder + L"/html/image/"))) {
        Complain("cannot copy the pictures into", folder + L"/html/image/");
        return false;
    }
    return true;
}

bool HtmlBook::BuildIndex(const std::wstring& dir, const std::wstring& name)
{
    awaitFrame();
    const std::wstring folder = dir + name;
    const std::wstring templates = GlobalEnum::exepath + L"/htmltemplate";

    const std::wstring script = folder + L"/html/index.js";
    if (!WriteScript(script, ViewerScript(static_cast<int>(getChapters().size())))) {
        Complain("cannot write the viewer script", script);
        return false;
    }

    const std::wstring indexTemplate = templates + L"/index.html";
    Tolvik::IXMLDocument* doc = XercesXMLFactory::getSingleton().DecodeDocumentFromFile(indexTemplate);
    Tolvik::IXMLElement* root = doc ? doc->getRootElement() : nullptr;
    Tolvik::IXMLElement* head = root ? root->getChildElement("head") : nullptr;
    Tolvik::IXMLElement* title = head ? head->getFirstChild() : nullptr;
    if (!title) {
        Complain("cannot read the viewer template", indexTemplate);
        return false;
    }
    title->setStrValue(utf8::FromWide(name), false);
    const std::wstring index = folder + name + L".html";
    if (doc->saveToFile(index) != 0) {
        Complain("cannot write the index page", index);
        return false;
    }

    if (!MakeFolder(folder + L"/html/gif") ||
        !CopyFiles(templates + L"/gif/*", folder + L"/html/gif/", false)) {
        Complain("cannot copy the viewer pictures into", folder + L"/html/gif/");
        return false;
    }
    for (const wchar_t* file : kViewerFiles) {
        if (!CopyFiles(templates + L"/" + file, folder + L"/html/", false)) {
            Complain("cannot copy the viewer file", templates + L"/" + file);
            return false;
        }
    }
    return true;
}

bool HtmlBook::BuildIndex(const std::string& dir, const std::string& name)
{
    return BuildIndex(utf8::ToWide(dir), utf8::ToWide(name));
}
