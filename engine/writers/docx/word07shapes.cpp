#include "engine/writers/docx/word07shapes.h"

#include "engine/layout/strutil.h"
#include "engine/writers/docx/word07content.h"

namespace {

using word07::WholeNumber;

// Paths longer than this are not drawn.
constexpr std::size_t kMaxPathText = 1024;

std::string Rgb(const ParserColor& c)
{
    const double rgb[3] = {c.r, c.g, c.b};
    return double2rgbstring(rgb);
}

bool Fills(int paintWay)
{
    return paintWay >= kPaintFill && paintWay <= kPaintFillStrokeClosedEvenOdd;
}

bool Closes(int paintWay)
{
    return paintWay == kPaintStrokeClosed || paintWay == kPaintFillStrokeClosed ||
           paintWay == kPaintFillStrokeClosedEvenOdd;
}

bool IsCurveStart(unsigned type)
{
    return type == kPointBezierStartC || type == kPointBezierStartV || type == kPointBezierStartY;
}

const char* const kPagePosition =
    ";mso-position-horizontal-relative:page;mso-position-vertical-relative:page";

} // namespace

// --- Word07ImageInfo ---------------------------------------------------------------

std::atomic<int> Word07ImageInfo::COUNT{0};

Word07ImageInfo::Word07ImageInfo() : number(COUNT++)
{
    SetType(kWord07Image);
}

void Word07ImageInfo::writeText(std::string& out, word07::PageParts* parts)
{
    // With parts the number goes in where the page's places say: the
    // picture's number in the page stands for it until then.
    const int picture = parts ? static_cast<int>(parts->pictures.size()) : 0;
    auto appendNumber = [&](std::string& text) {
        if (parts)
            parts->places.push_back(word07::PageParts::Place{text.size(), word07::PageParts::kPictureNumber, picture});
        else
            text += int2str(WholeNumber(number));
    };
    out += word07::kShapeRunStart;
    if (parts)
        parts->NeedType(out.size(), word07::PageParts::kPictureType);
    else if (!word07::ShapeTypes::picture)
        word07::WritePictureShapeType(out);
    out += "<v:shape id=\"image_";
    appendNumber(out);
    out += "\" style=\"position:absolute;margin-left:";
    out += double2str(x);
    out += "pt;margin-top:";
    out += double2str(pageHeight - y - height);
    out += "pt;width:";
    out += double2str(width);
    out += "pt;height:";
    out += double2str(height);
    out += "pt;z-index:0";
    out += kPagePosition;
    out += "\" type=\"#_x0000_t75\"><v:imagedata r:id=\"imgid";
    appendNumber(out);
    out += "\"/></v:shape>";
    out += word07::kShapeRunEnd;

    if (parts) {
        parts->pictures.push_back(path);
        return;
    }
    // The relationship names the picture's file in the package's media folder.
    if (relSect)
        relSect->appendObject(word07::NewPictureRelationship(WholeNumber(number), path));
}

// --- Word07Graphic -------------------------------------------------------------------

std::atomic<int> Word07Graphic::COUNT{0};

Word07Graphic::Word07Graphic(const GraphPath& p, double pageH, int way)
    : path(p), paintWay(way), pageHeight(pageH), number(COUNT++)
{
    SetType(kWord07Graphic);
    double l = 0, t = 0, r = 0, b = 0;
    if (path.GetRegion(l, t, r, b)) {
        left = l;
        top = t;
        width = r - l;
        height = t - b;
    }
}

std::string Word07Graphic::parsepath() const
{
    std::string text;
    appendPath(text, false);
    return text;
}

void Word07Graphic::appendPath(std::string& out, bool commas) const
{
    // A pair: "X,Y" and a space. With commas, a pair that follows another
    // pair directly takes a comma in place of the space between them.
    auto pair = [&](const PathPoint& p) {
        if (commas && out.size() > 1 && out.back() == ' ' && out[out.size() - 2] >= '0' &&
            out[out.size() - 2] <= '9')
            out.back() = ',';
        out += int2str(WholeNumber((p.x - left) * 20));
        out += ',';
        out += int2str(WholeNumber(WholeNumber(top - p.y) * 20.0));
        out += ' ';
    };
    out += 'm';
    unsigned previousType = 1000;
    const PathPoint* previous = nullptr;
    const unsigned count = path.Count();
    for (unsigned i = 0; i < count; ++i) {
        const PathPoint& p = path.GetAt(i);
        if (i == 0) {
            previous = &p;
            pair(p);
        }
        const unsigned type = p.GetPointType();
        if (type == previousType) {
            pair(p);
        } else {
            // The control and end points that follow a curve's first point
            // belong to the same "c" command.
            const bool continuesCurve = p.IsBezierCommonPt() && IsCurveStart(previousType);
            previousType = type;
            if (continuesCurve) {
                pair(p);
            } else if (p.IsGeneralPoint()) {
                out += 'l';
                pair(p);
            } else if (p.IsBezierCommonPt() || p.IsBezierStart_c()) {
                out += 'c';
                pair(p);
            } else if (p.IsBezierStart_v()) {
                out += 'c';
                pair(*previous);
                pair(p);
            } else if (p.IsBezierStart_y()) {
                out += 'c';
                pair(p);
                pair(p);
            }
        }
        previous = &p;
    }
    out += 'e';
    if (Closes(paintWay))
        out += " x";
}

void Word07Graphic::writeText(std::string& out) const
{
    // An area painted by a shading has no vector form to draw.
    if (paintWay == kPaintShading)
        return;
    const std::size_t start = out.size();
    out += word07::kShapeRunStart;
    // No id, as for text boxes: nothing refers to the shape. The shape
    // carries its own geometry, with commas between all numbers: readers
    // that read only commas between a command's pairs draw the path all the
    // same. The path text holds only digits, signs, commas, spaces and
    // command letters, so it needs no escaping.
    out += "<v:shape path=\"";
    const std::size_t pathStart = out.size();
    appendPath(out, true);
    if (out.size() - pathStart > kMaxPathText) {
        out.resize(start);
        return;
    }
    // The coordinate space has at least one unit each way, also for the
    // straight lines of a rule.
    const int cw = WholeNumber(width * 20);
    const int ch = WholeNumber(height * 20);
    out += "\" coordsize=\"";
    out += int2str(cw < 1 ? 1 : cw);
    out += ',';
    out += int2str(ch < 1 ? 1 : ch);
    // Behind pictures (0) and text boxes (2).
    out += "\" style=\"position:absolute;left:0;text-align:left;margin-left:";
    out += double2str(left);
    out += "pt;margin-top:";
    out += double2str(pageHeight - top);
    out += "pt;width:";
    out += double2str(width);
    out += "pt;height:";
    out += double2str(height);
    out += "pt;z-index:-1";
    out += kPagePosition;
    out += "\" strokeweight=\"";
    out += double2str(path.getLineWidth());
    out += "pt\" strokecolor=\"#";
    out += Rgb(path.GetStrokeColor());
    out += '"';
    // A path that is only filled has no outline.
    if (paintWay == kPaintFill || paintWay == kPaintFillEvenOdd)
        out += " stroked=\"f\"";
    out += "><v:stroke joinstyle=\"miter\"/><v:fill";
    if (Fills(paintWay)) {
        out += " color=\"#";
        out += Rgb(path.GetNonStrokeColor());
        out += '"';
    } else {
        out += " opacity=\"0\"";
    }
    out += "/></v:shape>";
    out += word07::kShapeRunEnd;
}
