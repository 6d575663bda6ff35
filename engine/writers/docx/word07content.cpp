#include "engine/writers/docx/word07content.h"

#include "engine/layout/strutil.h"
#include "engine/writers/docx/word07shapes.h"
#include "engine/writers/xml/ixml.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

const std::string kUtf8 = "UTF-8";

// Font names go into CSS text between quotation marks.
std::string CssFontName(const std::string& name)
{
    std::string out;
    for (char c : name) {
        if (c != '"' && c != ';' && c != '\\')
            out.push_back(c);
    }
    return out;
}

} // namespace

// --- helpers -----------------------------------------------------------------

namespace word07 {

void Attr(Tolvik::IXMLElement* element, const std::string& name, const std::string& value)
{
    if (element)
        element->addAttribute(name, value, kUtf8);
}

int WholeNumber(double value)
{
    if (std::isnan(value))
        return 0;
    const double t = std::trunc(value);
    if (t >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (t <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(t);
}

bool ShapeTypes::picture = false;
bool ShapeTypes::textPath = false;
bool ShapeTypes::textBox = false;

void ShapeTypes::Reset()
{
    picture = false;
    textPath = false;
    textBox = false;
}

Tolvik::IXMLElement* ShapeRun(Tolvik::IXMLElement* parent)
{
    Tolvik::IXMLElement* run = parent ? parent->appendChildElement("w:r") : nullptr;
    if (!run)
        return nullptr;
    if (Tolvik::IXMLElement* rPr = run->appendChildElement("w:rPr"))
        rPr->appendChildElement("w:noProof");
    return run->appendChildElement("w:pict");
}

namespace {

void Formulas(Tolvik::IXMLElement* type, std::initializer_list<const char*> equations)
{
    Tolvik::IXMLElement* formulas = type->appendChildElement("v:formulas");
    if (!formulas)
        return;
    for (const char* eqn : equations)
        Attr(formulas->appendChildElement("v:f"), "eqn", eqn);
}

} // namespace

// The shape type of pictures (75): no fill and no outline of its own.
void WritePictureShapeType(Tolvik::IXMLElement* pict)
{
    Tolvik::IXMLElement* type = pict ? pict->appendChildElement("v:shapetype") : nullptr;
    if (!type)
        return;
    Attr(type, "id", "_x0000_t75");
    Attr(type, "coordsize", "21600,21600");
    Attr(type, "o:spt", "75");
    Attr(type, "o:preferrelative", "t");
    Attr(type, "path", "m@4@5l@4@11@9@11@9@5xe");
    Attr(type, "filled", "f");
    Attr(type, "stroked", "f");
    Attr(type->appendChildElement("v:stroke"), "joinstyle", "miter");
    Formulas(type, {"if lineDrawn pixelLineWidth 0", "sum @0 1 0", "sum 0 0 @1", "prod @2 1 2",
                    "prod @3 21600 pixelWidth", "prod @3 21600 pixelHeight", "sum @0 0 1",
                    "prod @6 1 2", "prod @7 21600 pixelWidth", "sum @8 21600 0",
                    "prod @7 21600 pixelHeight", "sum @10 21600 0"});
    if (Tolvik::IXMLElement* path = type->appendChildElement("v:path")) {
        Attr(path, "o:extrusionok", "f");
        Attr(path, "gradientshapeok", "t");
        Attr(path, "o:connecttype", "rect");
    }
    if (Tolvik::IXMLElement* lock = type->appendChildElement("o:lock")) {
        Attr(lock, "v:ext", "edit");
        Attr(lock, "aspectratio", "t");
    }
    ShapeTypes::picture = true;
}

namespace {

// A text box type: a rectangle whose text area is the whole shape.
void TextBoxType(Tolvik::IXMLElement* type, const std::string& id)
{
    Attr(type, "id", id);
    Attr(type, "path", "m,l,21600r21600,l21600,xe");
    Attr(type, "o:spt", "202");
    Attr(type, "coordsize", "21600,21600");
    Attr(type->appendChildElement("v:stroke"), "joinstyle", "miter");
    if (Tolvik::IXMLElement* path = type->appendChildElement("v:path")) {
        Attr(path, "o:connecttype", "rect");
        Attr(path, "gradientshapeok", "t");
    }
}

} // namespace

// The predefined text box type (202), which readers know by its id, so that
// they give every box the text area its inset asks for.
void WriteTextBoxShapeType(Tolvik::IXMLElement* pict)
{
    if (Tolvik::IXMLElement* type = pict ? pict->appendChildElement("v:shapetype") : nullptr) {
        TextBoxType(type, "_x0000_t202");
        ShapeTypes::textBox = true;
    }
}

// The shape type of text drawn along a path (136, plain text).
void WriteTextPathShapeType(Tolvik::IXMLElement* pict)
{
    Tolvik::IXMLElement* type = pict ? pict->appendChildElement("v:shapetype") : nullptr;
    if (!type)
        return;
    Attr(type, "id", "_x0000_t136");
    Attr(type, "coordsize", "21600,21600");
    Attr(type, "o:spt", "136");
    Attr(type, "adj", "10800");
    Attr(type, "path", "m@7,l@8,m@5,21600l@6,21600e");
    Formulas(type, {"sum #0 0 10800", "prod #0 2 1", "sum 21600 0 @1", "sum 0 0 @2",
                    "sum 21600 0 @3", "if @0 @3 0", "if @0 21600 @1", "if @0 0 @2",
                    "if @0 @4 21600", "mid @5 @6", "mid @8 @5", "mid @7 @8", "mid @6 @7",
                    "sum @6 0 @5"});
    if (Tolvik::IXMLElement* path = type->appendChildElement("v:path")) {
        Attr(path, "textpathok", "t");
        Attr(path, "o:connecttype", "custom");
        Attr(path, "o:connectlocs", "@9,0;@10,10800;@11,21600;@12,10800");
        Attr(path, "o:connectangles", "270,180,90,0");
    }
    if (Tolvik::IXMLElement* textpath = type->appendChildElement("v:textpath")) {
        Attr(textpath, "on", "t");
        Attr(textpath, "fitshape", "t");
    }
    if (Tolvik::IXMLElement* lock = type->appendChildElement("o:lock")) {
        Attr(lock, "v:ext", "edit");
        Attr(lock, "text", "t");
        Attr(lock, "shapetype", "t");
    }
    ShapeTypes::textPath = true;
}

} // namespace word07

using word07::Attr;
using word07::WholeNumber;

void ResetWord07Counters()
{
    Word07TextBlockInfo::totalcount = 0;
    Word07ImageInfo::COUNT = 0;
    Word07Graphic::COUNT = 0;
    word07::ShapeTypes::Reset();
}

// --- Word07TextBlockInfo -----------------------------------------------------------

int Word07TextBlockInfo::totalcount = 0;

Word07TextBlockInfo::Word07TextBlockInfo() : id(totalcount++)
{
    SetType(kWord07TextBox);
}

Word07TextBlockInfo::~Word07TextBlockInfo()
{
    for (ObjectInfo* object : objects)
        delete object;
}

void Word07TextBlockInfo::setMatrix(const double (&m)[6])
{
    for (int i = 0; i < 6; ++i)
        matrix[i] = m[i];
}

void Word07TextBlockInfo::AddObject(ObjectInfo* object)
{
    if (object)
        objects.push_back(object);
}

void Word07TextBlockInfo::writeXML(Tolvik::IXMLElement* parent)
{
    Tolvik::IXMLElement* pict = word07::ShapeRun(parent);
    if (!pict)
        return;
    const std::string n = int2str(id);
    if (Tolvik::IXMLElement* type = pict->appendChildElement("v:shapetype"))
        word07::TextBoxType(type, "textblock_" + n);

    const bool rotated = matrix[1] != 0 || matrix[2] != 0;
    auto* run = rotated && !objects.empty() ? dynamic_cast<Word07WordsInfo*>(objects.front())
                                            : nullptr;
    if (run && !word07::ShapeTypes::textPath)
        word07::WriteTextPathShapeType(pict);
    if (!run && !word07::ShapeTypes::textBox)
        word07::WriteTextBoxShapeType(pict);

    Tolvik::IXMLElement* shape = pict->appendChildElement("v:shape");
    if (!shape)
        return;
    Attr(shape, "id", "brontix_textblock_" + n);
    // A shape refers to its type by fragment ("#" + id); boxes use the
    // predefined text box type, which every reader resolves.
    if (rotated) {
        if (run)
            writeRotated(shape);
        else
            Attr(shape, "type", "#_x0000_t202");
        return;
    }
    Attr(shape, "type", "#_x0000_t202");
    // A box of text has no outline: any line drawn around it would cut
    // through the text beside it.
    Attr(shape, "stroked", "f");
    Attr(shape, "filled", "f");
    Attr(shape, "style", "position:absolute;left:0;text-align:left;margin-left:" + double2str(x) +
                             "pt;margin-top:" + double2str(y) + "pt;width:" + double2str(width) +
                             "pt;height:" + double2str(height) +
                             "pt;z-index:2;mso-wrap-style:none;mso-position-horizontal-relative:page"
                             ";mso-position-vertical-relative:page");
    Tolvik::IXMLElement* textbox = shape->appendChildElement("v:textbox");
    if (!textbox)
        return;
    Attr(textbox, "inset", "0,0,0,0");
    Attr(textbox, "style", "mso-fit-shape-to-text:t");
    Tolvik::IXMLElement* content = textbox->appendChildElement("w:txbxContent");
    if (!content)
        return;
    // Each paragraph starts where its line starts below the box's top: the
    // space above it is what lies between the end of the line before (in
    // the whole twips the lines are written in) and its own top. The writer
    // gives a line that would start above the end of the line before a box
    // of its own.
    int bottom = 0;
    for (ObjectInfo* object : objects) {
        if (auto* line = dynamic_cast<Word07LineInfo*>(object)) {
            const int top = WholeNumber(line->getY() * 20 + 0.5);
            line->setSpaceBefore(top > bottom ? top - bottom : 0);
            bottom = std::max(top, bottom) + line->HeightTwips();
        }
        object->writeXML(content);
    }
    // A text box holds at least one paragraph.
    if (content->getAllChildElements().empty())
        content->appendChildElement("w:p");
}

void Word07TextBlockInfo::writeRotated(Tolvik::IXMLElement* shape)
{
    auto* run = static_cast<Word07WordsInfo*>(objects.front());
    const WordsInfo::WordStyle& style = run->getStyle();
    Attr(shape, "type", "#_x0000_t136");
    Attr(shape, "o:allowincell", "f");
    Attr(shape, "style", "position:absolute;left:0;text-align:left;margin-left:" + double2str(x) +
                             "pt;margin-top:" + double2str(y) + "pt;width:" + double2str(width) +
                             "pt;height:" + double2str(height) +
                             "pt;rotation:" + double2str(rotation) +
                             ";z-index:0;mso-position-horizontal-relative:page"
                             ";mso-position-vertical-relative:page");
    // VML colours carry "#" before their hexadecimal digits.
    Attr(shape, "fillcolor", "#" + style.color);
    Attr(shape, "stroked", "f");
    if (Tolvik::IXMLElement* textpath = shape->appendChildElement("v:textpath")) {
        Attr(textpath, "style", "font-family:\"" + CssFontName(style.fontName) +
                                    "\";font-size:" + double2str(height) + "pt;v-text-kern:t");
        Attr(textpath, "trim", "t");
        Attr(textpath, "fitpath", "t");
        Attr(textpath, "string", run->getContent());
    }
    if (Tolvik::IXMLElement* wrap = shape->appendChildElement("w10:wrap")) {
        Attr(wrap, "anchorx", "margin");
        Attr(wrap, "anchory", "margin");
    }
}

// --- Word07LineInfo ------------------------------------------------------------------

Word07LineInfo::Word07LineInfo()
{
    SetType(kWord07Line);
}

void Word07LineInfo::writeXML(Tolvik::IXMLElement* parent)
{
    if (!parent)
        return;
    Tolvik::IXMLElement* p = parent->appendChildElement("w:p");
    if (!p)
        return;
    if (Tolvik::IXMLElement* pPr = p->appendChildElement("w:pPr")) {
        if (Tolvik::IXMLElement* spacing = pPr->appendChildElement("w:spacing")) {
            Attr(spacing, "w:lineRule", "exact");
            Attr(spacing, "w:line", int2str(HeightTwips()));
            Attr(spacing, "w:after", "0");
            Attr(spacing, "w:before", int2str(spaceBefore));
        }
        if (Tolvik::IXMLElement* ind = pPr->appendChildElement("w:ind"))
            Attr(ind, "w:firstLine", int2str(WholeNumber(indent * 20 + 0.5)));
        pPr->appendChildElement("w:rPr");
    }
    for (ObjectInfo* object : contents)
        object->writeXML(p);
}

int Word07LineInfo::HeightTwips() const
{
    // Never below one point, so that no line collapses and hides its text.
    const int twips = WholeNumber(height * 20 + 0.5);
    return twips < 20 ? 20 : twips;
}

// --- Word07WordsInfo -------------------------------------------------------------------

Word07WordsInfo::Word07WordsInfo()
{
    SetType(kWord07Words);
}

void Word07WordsInfo::writeXML(Tolvik::IXMLElement* parent)
{
    if (!parent)
        return;
    Tolvik::IXMLElement* run = nullptr;
    if (linkPage == -1) {
        run = parent->appendChildElement("w:r");
    } else if (Tolvik::IXMLElement* link = parent->appendChildElement("w:hyperlink")) {
        Attr(link, "w:anchor", int2str(linkPage));
        run = link->appendChildElement("w:r");
    }
    if (!run)
        return;
    // Run properties in the order the schema lists them.
    if (Tolvik::IXMLElement* rPr = run->appendChildElement("w:rPr")) {
        if (Tolvik::IXMLElement* fonts = rPr->appendChildElement("w:rFonts")) {
            Attr(fonts, "w:cs", style.fontName);
            Attr(fonts, "w:hAnsi", style.fontName);
            Attr(fonts, "w:ascii", style.fontName);
        }
        Attr(rPr->appendChildElement("w:noProof"), "w:val", "true");
        if (!style.color.empty())
            Attr(rPr->appendChildElement("w:color"), "w:val", style.color);
        Attr(rPr->appendChildElement("w:spacing"), "w:val", "0");
        Attr(rPr->appendChildElement("w:position"), "w:val", "0");
        // Half-points, within what Word accepts (1 to 1638 points); a
        // mirrored run reports a negative size.
        int size = std::abs(WholeNumber(style.fontSize));
        size = size < 1 ? 1 : (size > 1638 ? 1638 : size);
        Attr(rPr->appendChildElement("w:sz"), "w:val", int2str(size * 2));
        Attr(rPr->appendChildElement("w:u"), "w:val", "none");
    }
    if (Tolvik::IXMLElement* text = run->appendChildElement("w:t")) {
        // Spaces between words belong to the text.
        Attr(text, "xml:space", "preserve");
        text->setStrValue(content, false);
    }
}

// --- Word07Section ---------------------------------------------------------------------

void Word07Section::AddCol(double colWidth)
{
    Word07Column col;
    col.number = static_cast<int>(cols.size()) + 1;
    col.width = colWidth;
    cols.push_back(col);
}

void Word07Section::SetSectionEnd(Word07Section* breakSection)
{
    sectionEnd = breakSection;
    if (breakSection)
        breakSection->endsPage = true;
}

void Word07Section::writeXML(Tolvik::IXMLElement* body)
{
    if (!body)
        return;
    if (!pageSize)
        writeContent(body);
    else if (!endsPage)
        writeSectPr(body);
}

void Word07Section::writeContent(Tolvik::IXMLElement* body)
{
    // The page's bookmark, named by its index in the document.
    if (Tolvik::IXMLElement* p = body->appendChildElement("w:p")) {
        Tolvik::IXMLElement* pPr = p->appendChildElement("w:pPr");
        Tolvik::IXMLElement* rPr = pPr ? pPr->appendChildElement("w:rPr") : nullptr;
        if (rPr)
            Attr(rPr->appendChildElement("w:rFonts"), "w:hint", "eastAsia");
        const std::string index = int2str(pageIndex);
        if (Tolvik::IXMLElement* start = p->appendChildElement("w:bookmarkStart")) {
            Attr(start, "w:name", index);
            Attr(start, "w:id", index);
        }
        Attr(p->appendChildElement("w:bookmarkEnd"), "w:id", index);
    }

    // The shapes go into one paragraph, which also ends the page: with a
    // page break, or with the section break of sectionEnd (whose properties
    // must come first in the paragraph). A page without shapes keeps its
    // page through an empty paragraph of its own.
    Tolvik::IXMLElement* shapes = nullptr;
    Tolvik::IXMLElement* shapesPPr = nullptr;
    auto shapesParagraph = [&] {
        if (!shapes) {
            shapes = body->appendChildElement("w:p");
            if (shapes && sectionEnd)
                shapesPPr = shapes->appendChildElement("w:pPr");
        }
        return shapes;
    };
    for (ObjectInfo* object : objects) {
        const int kind = object->GetType();
        if (kind == kWord07TextBox || kind == kWord07Image || kind == kWord07Graphic) {
            if (Tolvik::IXMLElement* p = shapesParagraph())
                object->writeXML(p);
        } else {
            object->writeXML(body);
        }
    }
    const bool lastPage = pageIndex == pageCount - 1;
    if (!lastPage || sectionEnd)
        shapesParagraph();
    if (!shapes)
        return;
    if (sectionEnd) {
        sectionEnd->writeSectPr(shapesPPr);
    } else if (!lastPage) {
        if (Tolvik::IXMLElement* run = shapes->appendChildElement("w:r"))
            Attr(run->appendChildElement("w:br"), "w:type", "page");
    }
}

void Word07Section::writeSectPr(Tolvik::IXMLElement* parent) const
{
    Tolvik::IXMLElement* sectPr = parent ? parent->appendChildElement("w:sectPr") : nullptr;
    if (!sectPr)
        return;
    Attr(sectPr->appendChildElement("w:type"), "w:val", sectionStart);
    if (Tolvik::IXMLElement* size = sectPr->appendChildElement("w:pgSz")) {
        Attr(size, "w:w", int2str(WholeNumber(static_cast<double>(WholeNumber(width)) * 20)));
        Attr(size, "w:h", int2str(WholeNumber(static_cast<double>(WholeNumber(height)) * 20)));
    }
    if (Tolvik::IXMLElement* margins = sectPr->appendChildElement("w:pgMar")) {
        for (const char* side : {"w:left", "w:gutter", "w:footer", "w:header", "w:bottom",
                                 "w:right", "w:top"})
            Attr(margins, side, "0");
    }
    if (!cols.empty()) {
        if (Tolvik::IXMLElement* columns = sectPr->appendChildElement("w:cols")) {
            Attr(columns, "w:equalWidth", "0");
            Attr(columns, "w:space", "720");
            for (const Word07Column& col : cols) {
                Tolvik::IXMLElement* c = columns->appendChildElement("w:col");
                Attr(c, "w:w", int2str(WholeNumber(static_cast<double>(WholeNumber(col.width)) * 20)));
                Attr(c, "w:space", "0");
            }
        }
    }
    if (Tolvik::IXMLElement* grid = sectPr->appendChildElement("w:docGrid")) {
        Attr(grid, "w:type", "lines");
        Attr(grid, "w:linePitch", "312");
    }
}

// --- chapters ----------------------------------------------------------------------------

bool Word07Chapter::writeXml(Tolvik::IXMLDocument* doc)
{
    Tolvik::IXMLElement* root = doc ? doc->getRootElement() : nullptr;
    if (!root)
        return false;
    Tolvik::IXMLElement* body = root->getFirstChild();
    while (body && body->getName() != "w:body" && body->getName() != "w:BODY")
        body = body->getFirstSibling();
    if (!body)
        return false;
    word07::ShapeTypes::Reset();
    return writexml(body);
}

bool Word07RelDocument::writeXml(Tolvik::IXMLDocument* doc)
{
    Tolvik::IXMLElement* root = doc ? doc->getRootElement() : nullptr;
    if (!root)
        return false;
    return writexml(root);
}

// --- Word07ImageRel -------------------------------------------------------------------------

const char* const Word07ImageRel::TYPENAME =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";

void Word07ImageRel::writeXML(Tolvik::IXMLElement* parent)
{
    Tolvik::IXMLElement* rel = parent ? parent->appendChildElement("Relationship") : nullptr;
    if (!rel)
        return;
    Attr(rel, "Id", id);
    rel->addAttribute(L"Target", target);
    Attr(rel, "Type", TYPENAME);
}
