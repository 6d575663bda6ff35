#include "engine/writers/docx/word07content.h"

#include "engine/layout/strutil.h"
#include "engine/layout/utf8.h"
#include "engine/writers/docx/word07shapes.h"
#include "engine/writers/xml/ixml.h"
#include "engine/writers/xml/xercesxml.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
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

int Twips(double points)
{
    // The largest page a PDF may have is 14400 points on a side; nothing
    // placed on a page lies further out, and sums of a few such values stay
    // far inside an int.
    constexpr double kMaxPoints = 14400.0;
    if (std::isnan(points))
        return 0;
    return WholeNumber(std::clamp(points, -kMaxPoints, kMaxPoints) * 20 + 0.5);
}

void Attr(std::string& out, const char* name, std::string_view value)
{
    out += ' ';
    out += name;
    out += "=\"";
    AppendXmlEscaped(out, value);
    out += '"';
}

void Attr(std::string& out, const char* name, int value)
{
    out += ' ';
    out += name;
    out += "=\"";
    out += int2str(value);
    out += '"';
}

void PageParts::NeedType(std::size_t at, Kind kind)
{
    for (const Place& place : places) {
        if (place.kind == kind)
            return;
    }
    places.push_back(Place{at, kind, 0});
}

void WriteObject(std::string& out, const ObjectInfo* object, PageParts* parts)
{
    // The kind tags name the classes below; objects of other kinds write
    // nothing into a .docx body.
    switch (object ? object->GetType() : 0) {
    case kWord07TextBox:
        static_cast<Word07TextBlockInfo*>(const_cast<ObjectInfo*>(object))->writeText(out, parts);
        break;
    case kWord07Line:
        static_cast<const Word07LineInfo*>(object)->writeText(out);
        break;
    case kWord07Words:
        static_cast<const Word07WordsInfo*>(object)->writeText(out);
        break;
    case kWord07Image:
        static_cast<Word07ImageInfo*>(const_cast<ObjectInfo*>(object))->writeText(out, parts);
        break;
    case kWord07Graphic:
        static_cast<const Word07Graphic*>(object)->writeText(out);
        break;
    case kWord07Section:
        static_cast<const Word07Section*>(object)->writeText(out);
        break;
    default:
        break;
    }
}

Word07ImageRel* NewPictureRelationship(int number, const std::wstring& path)
{
    auto* rel = new Word07ImageRel;
    rel->SetId("imgid" + int2str(number));
    const std::size_t slash = path.rfind(L'/');
    rel->SetTarget(L"media/" + (slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1)));
    return rel;
}

bool SplitAtBody(const std::string& document, BodyFrame& frame)
{
    // The first element named "w:body" (the template's root holds nothing
    // else of that name; its namespace declarations come before it).
    std::size_t open = document.find("<w:body");
    while (open != std::string::npos) {
        const char next = open + 7 < document.size() ? document[open + 7] : '\0';
        if (next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\r' || next == '\n')
            break;
        open = document.find("<w:body", open + 7);
    }
    if (open == std::string::npos)
        return false;
    const std::size_t close = document.find('>', open);
    if (close == std::string::npos)
        return false;
    std::size_t rest;
    if (document[close - 1] == '/') {
        rest = close + 1;
    } else {
        rest = document.find("</w:body>", close);
        if (rest == std::string::npos)
            return false;
        rest += 9;
    }
    frame.head = document.substr(0, open) + "<w:body>";
    frame.tail = "</w:body>" + document.substr(rest);
    return true;
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

namespace {

void Formulas(std::string& out, std::initializer_list<const char*> equations)
{
    out += "<v:formulas>";
    for (const char* eqn : equations) {
        out += "<v:f";
        Attr(out, "eqn", eqn);
        out += "/>";
    }
    out += "</v:formulas>";
}

} // namespace

// The shape type of pictures (75): no fill and no outline of its own.
void WritePictureShapeType(std::string& out)
{
    out += "<v:shapetype id=\"_x0000_t75\" coordsize=\"21600,21600\" o:spt=\"75\" "
           "o:preferrelative=\"t\" path=\"m@4@5l@4@11@9@11@9@5xe\" filled=\"f\" stroked=\"f\">"
           "<v:stroke joinstyle=\"miter\"/>";
    Formulas(out, {"if lineDrawn pixelLineWidth 0", "sum @0 1 0", "sum 0 0 @1", "prod @2 1 2",
                   "prod @3 21600 pixelWidth", "prod @3 21600 pixelHeight", "sum @0 0 1",
                   "prod @6 1 2", "prod @7 21600 pixelWidth", "sum @8 21600 0",
                   "prod @7 21600 pixelHeight", "sum @10 21600 0"});
    out += "<v:path o:extrusionok=\"f\" gradientshapeok=\"t\" o:connecttype=\"rect\"/>"
           "<o:lock v:ext=\"edit\" aspectratio=\"t\"/></v:shapetype>";
    ShapeTypes::picture = true;
}

// The predefined text box type (202), which readers know by its id, so that
// they give every box the text area its inset asks for: a rectangle whose
// text area is the whole shape.
void WriteTextBoxShapeType(std::string& out)
{
    out += "<v:shapetype id=\"_x0000_t202\" path=\"m,l,21600r21600,l21600,xe\" o:spt=\"202\" "
           "coordsize=\"21600,21600\"><v:stroke joinstyle=\"miter\"/>"
           "<v:path o:connecttype=\"rect\" gradientshapeok=\"t\"/></v:shapetype>";
    ShapeTypes::textBox = true;
}

// The shape type of text drawn along a path (136, plain text).
void WriteTextPathShapeType(std::string& out)
{
    out += "<v:shapetype id=\"_x0000_t136\" coordsize=\"21600,21600\" o:spt=\"136\" adj=\"10800\" "
           "path=\"m@7,l@8,m@5,21600l@6,21600e\">";
    Formulas(out, {"sum #0 0 10800", "prod #0 2 1", "sum 21600 0 @1", "sum 0 0 @2",
                   "sum 21600 0 @3", "if @0 @3 0", "if @0 21600 @1", "if @0 0 @2",
                   "if @0 @4 21600", "mid @5 @6", "mid @8 @5", "mid @7 @8", "mid @6 @7",
                   "sum @6 0 @5"});
    out += "<v:path textpathok=\"t\" o:connecttype=\"custom\" "
           "o:connectlocs=\"@9,0;@10,10800;@11,21600;@12,10800\" o:connectangles=\"270,180,90,0\"/>"
           "<v:textpath on=\"t\" fitshape=\"t\"/><o:lock v:ext=\"edit\" text=\"t\" shapetype=\"t\"/>"
           "</v:shapetype>";
    ShapeTypes::textPath = true;
}

} // namespace word07

using word07::Attr;
using word07::Twips;
using word07::WholeNumber;

void ResetWord07Counters()
{
    Word07TextBlockInfo::totalcount = 0;
    Word07ImageInfo::COUNT = 0;
    Word07Graphic::COUNT = 0;
    word07::ShapeTypes::Reset();
}

// --- Word07TextBlockInfo -----------------------------------------------------------

std::atomic<int> Word07TextBlockInfo::totalcount{0};

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

namespace {

// "position:absolute;left:0;text-align:left;margin-left:Xpt;margin-top:Ypt;
// width:Wpt;height:Hpt" of a shape's style.
void PlacedStyle(std::string& out, double x, double y, double width, double height)
{
    out += "position:absolute;left:0;text-align:left;margin-left:";
    out += double2str(x);
    out += "pt;margin-top:";
    out += double2str(y);
    out += "pt;width:";
    out += double2str(width);
    out += "pt;height:";
    out += double2str(height);
    out += "pt";
}

} // namespace

void Word07TextBlockInfo::writeText(std::string& out, word07::PageParts* parts)
{
    const bool rotated = matrix[1] != 0 || matrix[2] != 0;
    auto* run = rotated && !objects.empty() && objects.front()->GetType() == kWord07Words
                    ? static_cast<Word07WordsInfo*>(objects.front())
                    : nullptr;
    out += word07::kShapeRunStart;
    if (parts)
        parts->NeedType(out.size(), run ? word07::PageParts::kTextPathType : word07::PageParts::kTextBoxType);
    else if (run && !word07::ShapeTypes::textPath)
        word07::WriteTextPathShapeType(out);
    else if (!run && !word07::ShapeTypes::textBox)
        word07::WriteTextBoxShapeType(out);

    // Shapes carry no id: nothing refers to them, and a word processor that
    // names its objects after the ids checks every new name against all the
    // others (a third of LibreOffice's time on a document of 8000 boxes).
    out += "<v:shape";
    // A shape refers to its type by fragment ("#" + id); boxes use the
    // predefined text box type, which every reader resolves.
    if (rotated) {
        if (run) {
            writeRotated(out);
        } else {
            out += " type=\"#_x0000_t202\"/>";
        }
        out += word07::kShapeRunEnd;
        return;
    }
    // Each paragraph starts where its line starts below the box's top: the
    // space above it is what lies between the end of the line before (in
    // the whole twips the lines are written in) and its own top. The writer
    // gives a line that would start above the end of the line before a box
    // of its own.
    int bottom = 0;
    bool paragraph = false;
    for (ObjectInfo* object : objects) {
        if (object->GetType() == kWord07Line) {
            auto* line = static_cast<Word07LineInfo*>(object);
            const int top = Twips(line->getY());
            line->setSpaceBefore(top > bottom ? top - bottom : 0);
            bottom = std::max(top, bottom) + line->HeightTwips();
            paragraph = true;
        }
    }
    // A box of text has no outline: any line drawn around it would cut
    // through the text beside it. Its size is fixed, at least as high as
    // its lines: a box that grows to fit its text makes a word processor
    // lay the box out again and again (LibreOffice took minutes for a few
    // thousand such boxes, seconds for fixed ones), and the lines already
    // say how high the text is.
    out += " type=\"#_x0000_t202\" stroked=\"f\" filled=\"f\" style=\"";
    PlacedStyle(out, x, y, width, std::max(height, bottom / 20.0));
    out += ";z-index:2;mso-wrap-style:none;mso-position-horizontal-relative:page"
           ";mso-position-vertical-relative:page\">"
           "<v:textbox inset=\"0,0,0,0\"><w:txbxContent>";
    for (ObjectInfo* object : objects)
        word07::WriteObject(out, object);
    // A text box holds at least one paragraph.
    if (!paragraph)
        out += "<w:p/>";
    out += "</w:txbxContent></v:textbox></v:shape>";
    out += word07::kShapeRunEnd;
}

void Word07TextBlockInfo::writeRotated(std::string& out)
{
    auto* run = static_cast<Word07WordsInfo*>(objects.front());
    const WordsInfo::WordStyle& style = run->getStyle();
    out += " type=\"#_x0000_t136\" o:allowincell=\"f\" style=\"";
    PlacedStyle(out, x, y, width, height);
    out += ";rotation:";
    out += double2str(rotation);
    out += ";z-index:0;mso-position-horizontal-relative:page;mso-position-vertical-relative:page\"";
    // VML colours carry "#" before their hexadecimal digits.
    Attr(out, "fillcolor", "#" + style.color);
    out += " stroked=\"f\"><v:textpath";
    Attr(out, "style", "font-family:\"" + CssFontName(style.fontName) + "\";font-size:" +
                           double2str(height) + "pt;v-text-kern:t");
    out += " trim=\"t\" fitpath=\"t\"";
    Attr(out, "string", run->getContent());
    out += "/><w10:wrap anchorx=\"margin\" anchory=\"margin\"/></v:shape>";
}

// --- Word07LineInfo ------------------------------------------------------------------

Word07LineInfo::Word07LineInfo()
{
    SetType(kWord07Line);
}

void Word07LineInfo::writeText(std::string& out) const
{
    // No space after a paragraph, as the styles' defaults say.
    out += "<w:p><w:pPr><w:spacing w:lineRule=\"exact\"";
    Attr(out, "w:line", HeightTwips());
    if (spaceBefore != 0)
        Attr(out, "w:before", spaceBefore);
    out += "/>";
    if (const int firstLine = Twips(indent)) {
        out += "<w:ind";
        Attr(out, "w:firstLine", firstLine);
        out += "/>";
    }
    out += "</w:pPr>";
    for (const ObjectInfo* object : contents)
        word07::WriteObject(out, object);
    out += "</w:p>";
}

int Word07LineInfo::HeightTwips() const
{
    // Never below one point, so that no line collapses and hides its text.
    const int twips = Twips(height);
    return twips < 20 ? 20 : twips;
}

// --- Word07WordsInfo -------------------------------------------------------------------

Word07WordsInfo::Word07WordsInfo()
{
    SetType(kWord07Words);
}

namespace {

// Spaces at the ends of a text, or two in a row, would be lost without
// xml:space="preserve".
bool NeedsPreserve(const std::string& text)
{
    if (text.empty())
        return false;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    if (blank(text.front()) || blank(text.back()))
        return true;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (blank(text[i]) && blank(text[i - 1]))
            return true;
    }
    return text.find_first_of("\t\n\r") != std::string::npos;
}

// The kinds of script a reader sets with properties of their own, found in
// a run's text (the blocks of Unicode that Word treats so).
struct Scripts {
    bool complex = false;     // right to left, Indic, Thai and the like
    bool eastAsian = false;   // Chinese, Japanese, Korean
};

Scripts ScriptsOf(const std::string& text)
{
    Scripts found;
    // Latin, Greek and Cyrillic text (lead bytes below U+0580) is the rule:
    // it needs no decoding.
    if (std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0xd6; }))
        return found;
    for (const wchar_t wc : utf8::ToWide(text)) {
        const auto c = static_cast<std::uint32_t>(wc);
        if ((c >= 0x0590 && c <= 0x109f) || (c >= 0x1780 && c <= 0x17ff) || (c >= 0xfb1d && c <= 0xfdff) ||
            (c >= 0xfe70 && c <= 0xfeff))
            found.complex = true;
        else if ((c >= 0x1100 && c <= 0x11ff) || (c >= 0x2e80 && c <= 0x9fff) || (c >= 0xa960 && c <= 0xa97f) ||
                 (c >= 0xac00 && c <= 0xd7ff) || (c >= 0xf900 && c <= 0xfaff) || (c >= 0xfe30 && c <= 0xfe4f) ||
                 (c >= 0xff00 && c <= 0xffef) || c >= 0x20000)
            found.eastAsian = true;
    }
    return found;
}

} // namespace

void Word07WordsInfo::writeText(std::string& out) const
{
    const bool link = linkPage != -1;
    if (link) {
        out += "<w:hyperlink";
        Attr(out, "w:anchor", linkPage);
        out += '>';
    }
    // Run properties in the order the schema lists them; black text is the
    // styles' default.
    // Readers pick the face of East Asian text, and the size of
    // complex-script text, by properties of their own; a run names them only
    // when it holds such text.
    const Scripts scripts = ScriptsOf(content);
    out += "<w:r><w:rPr><w:rFonts";
    Attr(out, "w:ascii", style.fontName);
    Attr(out, "w:hAnsi", style.fontName);
    if (scripts.eastAsian)
        Attr(out, "w:eastAsia", style.fontName);
    Attr(out, "w:cs", style.fontName);
    out += "/>";
    // A link keeps its own colour and no underline whatever style a reader
    // gives links.
    if (!style.color.empty() && (link || style.color != "000000")) {
        out += "<w:color";
        Attr(out, "w:val", style.color);
        out += "/>";
    }
    // Half-points, within what Word accepts (1 to 1638 points); a mirrored
    // run reports a negative size. Without its own size, complex-script
    // text would keep the styles' default whatever the run's size is.
    const double points = std::fabs(style.fontSize);
    const int size = std::isnan(points) || points < 1 ? 1 : (points > 1638 ? 1638 : WholeNumber(points));
    out += "<w:sz";
    Attr(out, "w:val", size * 2);
    out += "/>";
    if (scripts.complex) {
        out += "<w:szCs";
        Attr(out, "w:val", size * 2);
        out += "/>";
    }
    if (link)
        out += "<w:u w:val=\"none\"/>";
    out += "</w:rPr><w:t";
    if (NeedsPreserve(content))
        out += " xml:space=\"preserve\"";
    out += '>';
    AppendXmlEscaped(out, content);
    out += "</w:t></w:r>";
    if (link)
        out += "</w:hyperlink>";
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

void Word07Section::UseFont(const std::string& family, bool fixedPitch, bool serif)
{
    if (family.empty())
        return;
    for (const FontUse& used : fonts) {
        if (used.family == family)
            return;
    }
    fonts.push_back(FontUse{family, fixedPitch, serif});
}

void Word07Section::writeText(std::string& out) const
{
    if (pageSize) {
        if (!endsPage)
            writeSectPr(out);
        return;
    }
    bool hasShapes = false;
    for (const ObjectInfo* object : objects) {
        const int kind = object->GetType();
        hasShapes = hasShapes || kind == kWord07TextBox || kind == kWord07Image || kind == kWord07Graphic;
    }
    writeOpening(out, hasShapes);
    writeShapes(out, nullptr);
    writeClosing(out, hasShapes);
}

namespace {

// Each of a page's two paragraphs is one point high, with no space around.
const char* const kAnchorSpacing = "<w:spacing w:before=\"0\" w:after=\"0\" w:line=\"20\" w:lineRule=\"exact\"/>";

// The pitch of the document grid's lines, in twips.
constexpr int kGridPitch = 312;

} // namespace

bool Word07Section::endsWithParagraph(bool hasShapes) const
{
    return hasShapes || pageIndex != pageCount - 1 || sectionEnd;
}

void Word07Section::writeOpening(std::string& out, bool hasShapes) const
{
    // The page's bookmark, named by its index in the document. Its
    // paragraph and the shapes paragraph below hold nothing visible (the
    // shapes are placed on the page) but each is a line of the page: they
    // take one point each, with no space around them, so that both fit on
    // the smallest page and a reader never pushes the page break onto a
    // page of its own.
    out += "<w:p><w:pPr>";
    out += kAnchorSpacing;
    out += "<w:rPr><w:rFonts w:hint=\"eastAsia\"/></w:rPr></w:pPr><w:bookmarkStart";
    Attr(out, "w:name", pageIndex);
    Attr(out, "w:id", pageIndex);
    out += "/><w:bookmarkEnd";
    Attr(out, "w:id", pageIndex);
    out += "/></w:p>";

    // The shapes go into one paragraph, which also ends the page: with a
    // page break, or with the section break of sectionEnd (whose properties
    // must come first in the paragraph). A page without shapes keeps its
    // page through an empty paragraph of its own; the last page of the
    // document needs none.
    if (!endsWithParagraph(hasShapes))
        return;
    out += "<w:p><w:pPr>";
    out += kAnchorSpacing;
    if (sectionEnd)
        sectionEnd->writeSectPr(out);
    out += "</w:pPr>";
}

bool Word07Section::writeShapes(std::string& out, word07::PageParts* parts) const
{
    // A page holds shapes only; other objects have no place on it.
    bool hasShapes = false;
    for (const ObjectInfo* object : objects) {
        const int kind = object->GetType();
        if (kind == kWord07TextBox || kind == kWord07Image || kind == kWord07Graphic) {
            hasShapes = true;
            word07::WriteObject(out, object, parts);
        }
    }
    return hasShapes;
}

void Word07Section::writeClosing(std::string& out, bool hasShapes) const
{
    if (!endsWithParagraph(hasShapes))
        return;
    if (!sectionEnd && pageIndex != pageCount - 1)
        out += "<w:r><w:br w:type=\"page\"/></w:r>";
    out += "</w:p>";
}

void Word07Section::writeSectPr(std::string& out) const
{
    out += "<w:sectPr><w:type";
    Attr(out, "w:val", sectionStart);
    out += "/><w:pgSz";
    Attr(out, "w:w", WholeNumber(static_cast<double>(WholeNumber(width)) * 20));
    Attr(out, "w:h", WholeNumber(static_cast<double>(WholeNumber(height)) * 20));
    out += "/><w:pgMar w:left=\"0\" w:gutter=\"0\" w:footer=\"0\" w:header=\"0\" w:bottom=\"0\" "
           "w:right=\"0\" w:top=\"0\"/>";
    if (!cols.empty()) {
        out += "<w:cols w:equalWidth=\"0\" w:space=\"720\">";
        for (const Word07Column& col : cols) {
            out += "<w:col";
            Attr(out, "w:w", WholeNumber(static_cast<double>(WholeNumber(col.width)) * 20));
            out += " w:space=\"0\"/>";
        }
        out += "</w:cols>";
    }
    // A grid of lines sets every line, those of the two paragraphs of a page
    // too, on a pitch of 15.6 points; a page lower than two such lines gets
    // no line grid, or a reader breaks each of its pages in two.
    const int heightTwips = WholeNumber(static_cast<double>(WholeNumber(height)) * 20);
    out += heightTwips < 2 * kGridPitch ? "<w:docGrid w:type=\"default\"" : "<w:docGrid w:type=\"lines\"";
    Attr(out, "w:linePitch", kGridPitch);
    out += "/></w:sectPr>";
}

// --- relationships -------------------------------------------------------------------------

bool Word07RelDocument::writeXml(Tolvik::IXMLDocument* doc)
{
    Tolvik::IXMLElement* root = doc ? doc->getRootElement() : nullptr;
    if (!root)
        return false;
    return writexml(root);
}

const char* const Word07ImageRel::TYPENAME =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";

void Word07ImageRel::writeXML(Tolvik::IXMLElement* parent)
{
    Tolvik::IXMLElement* rel = parent ? parent->appendChildElement("Relationship") : nullptr;
    if (!rel)
        return;
    rel->addAttribute("Id", id, kUtf8);
    rel->addAttribute(L"Target", target);
    rel->addAttribute("Type", TYPENAME, kUtf8);
}
