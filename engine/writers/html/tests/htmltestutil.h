// Shared pieces of the HTML writer's tests: the XML layer set up for a test,
// hand-made text elements and blocks, and reading written pages back.
#pragma once

#include "engine/layout/globalenum.h"
#include "engine/layout/imageblock.h"
#include "engine/layout/jobrecords.h"
#include "engine/layout/textblock.h"
#include "engine/layout/utf8.h"
#include "engine/writers/content/objectinfo.h"
#include "engine/writers/xml/xercesxml.h"

#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace htmltest {

namespace fs = std::filesystem;

inline const std::wstring kResources = utf8::ToWide(TRANCEL_SOURCE_DIR "/resources");

// Brackets every test with the XML layer's initialise and release, points the
// engine's folders at the program's resources and a scratch folder, and puts
// the engine's folders back afterwards.
class XmlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedExe = GlobalEnum::exepath;
        savedTmp = GlobalEnum::tmppath;
        GlobalEnum::exepath = kResources;
        GlobalEnum::tmppath = utf8::ToWide(work.str());
        RezovirorInitialize();
    }
    void TearDown() override
    {
        RezovirorRelease();
        GlobalEnum::exepath = savedExe;
        GlobalEnum::tmppath = savedTmp;
    }

    // The object's markup, as the XML layer encodes it.
    static std::string Markup(ObjectInfo& object)
    {
        Tolvik::IXMLDocument* doc = XercesXMLFactory::getSingleton().CreateDocument("root");
        Tolvik::IXMLElement* root = doc->getRootElement();
        object.writeXML(root);
        std::string text = root->enCode();
        const std::string open = "<root>", close = "</root>";
        return text.substr(open.size(), text.size() - open.size() - close.size());
    }

    testutil::TempDir work;

private:
    std::wstring savedExe;
    std::wstring savedTmp;
};

// A text element as the page model makes it.
struct TextRun {
    std::string text;
    double x = 0;
    double y = 0;               // baseline, upward from the page's bottom
    double height = 12;         // text height
    double fontSize = 12;
    double pageHeight = 792;
    double r = 0, g = 0, b = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

inline Text* MakeText(const TextRun& s)
{
    auto* t = new Text;
    t->text = s.text;
    t->fontName = "Helvetica";
    t->x = s.x;
    t->y = s.y;
    t->matrix[4] = s.x;
    t->matrix[5] = s.y;
    t->height = s.height;
    t->width = 6.0 * static_cast<double>(s.text.size());
    t->fontSize = s.fontSize;
    t->pageHeight = s.pageHeight;
    t->color[0] = s.r;
    t->color[1] = s.g;
    t->color[2] = s.b;
    t->bold = s.bold;
    t->italic = s.italic;
    t->underline = s.underline;
    t->strikeOut = s.strikeOut;
    return t;
}

inline TextBlock* MakeTextBlock(IWriter* writer, const std::vector<TextRun>& specs)
{
    auto* block = new TextBlock(writer);
    for (const TextRun& s : specs)
        block->addText(MakeText(s));
    return block;
}

inline ImageBlock* MakeImageBlock(IWriter* writer, double x, double y, double width,
                                  double height, const std::wstring& path)
{
    auto* block = new ImageBlock(writer);
    block->setPosition(x, y);
    block->setWidth(width);
    block->setHeight(height);
    block->setImagePath(path);
    return block;
}

// Every element of that name under `element`, in document order.
inline void Collect(Tolvik::IXMLElement* element, const std::string& name,
                    std::vector<Tolvik::IXMLElement*>& out)
{
    if (!element)
        return;
    for (Tolvik::IXMLElement* child : element->getAllChildElements()) {
        if (child->getName() == name)
            out.push_back(child);
        Collect(child, name, out);
    }
}

inline std::vector<Tolvik::IXMLElement*> Elements(Tolvik::IXMLDocument* doc, const std::string& name)
{
    std::vector<Tolvik::IXMLElement*> out;
    if (doc && doc->getRootElement())
        Collect(doc->getRootElement(), name, out);
    return out;
}

inline std::string Attr(Tolvik::IXMLElement* element, const std::string& name)
{
    Tolvik::IXMLAttribute* a = element ? element->getAttribute(name) : nullptr;
    return a ? a->getStrValue() : std::string("<none>");
}

// Decodes a written page with the XML layer (a page is well-formed XML).
inline Tolvik::IXMLDocument* ReadPage(const fs::path& page)
{
    return XercesXMLFactory::getSingleton().DecodeDocumentFromFile(page.string());
}

} // namespace htmltest
