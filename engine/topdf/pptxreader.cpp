// The PowerPoint 2007 presentation reader: each slide becomes one page 792
// points wide in the slide's proportions. Shapes become boxes at their
// place and size with their text in runs; solid-filled rectangles are
// painted; pictures, the layout's background picture and the shapes of
// diagram drawings are placed. Placeholders take their place, size and
// text properties from the slide's layout and master; scheme colours are
// resolved through the master's colour map and its theme.
#include "engine/topdf/officexml.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kPageWidth = 792;

// Text properties that a master or layout may set, each only when given.
struct TextProps {
    std::optional<std::int32_t> size, align, anchor;
    std::optional<std::uint32_t> colour;
    std::optional<std::uint8_t> bold, italic, underline, strikeOut;

    void applyTo(RunStyle& s) const
    {
        if (size)
            s.fontSize = *size;
        if (align)
            s.align = *align;
        if (anchor)
            s.vAnchor = *anchor;
        if (colour)
            s.colour = *colour;
        if (bold)
            s.bold = *bold;
        if (italic)
            s.italic = *italic;
        if (underline)
            s.underline = *underline;
        if (strikeOut)
            s.strikeOut = *strikeOut;
    }
};

struct Placeholder {
    std::string idx;
    std::string type;
    bool placed = false;   // it has an offset and extent
    long long offX = 0, offY = 0, extX = 0, extY = 0;
    TextProps props;
};

struct Theme {
    std::map<std::string, std::uint32_t> colours;
};

struct Master {
    int theme = 0;
    std::map<std::string, std::string> colourMap;
    TextProps title, body;
    std::vector<Placeholder> placeholders;
};

struct Layout {
    int master = 0;
    int background = 0;   // number of the background picture's relationship
    std::vector<Placeholder> placeholders;
    std::map<std::string, std::string> rels;
};

std::int32_t AlignOf(std::string_view v, std::int32_t current)
{
    if (v.empty())
        return current;
    return v[0] == 'r' ? 3 : (v[0] == 'c' ? 2 : 1);
}

std::int32_t AnchorOf(std::string_view v, std::int32_t current)
{
    if (v.empty())
        return current;
    return v[0] == 'b' ? 3 : (v[0] == 'c' ? 2 : 1);
}

// Slide units to whole points, saturating far outside any page.
int ToPoints(long long units, long long divisor)
{
    return static_cast<int>(std::clamp(units / divisor, -1000000LL, 1000000LL));
}

class PptxReader {
public:
    explicit PptxReader(OfficeReaderContext& c) : ctx(c) {}

    void run()
    {
        readPresentation();
        const std::vector<int> slides = slideNumbers();
        for (int n : slides)
            slide(n);
    }

private:
    // --- Presentation, themes, masters, layouts -------------------------

    void readPresentation()
    {
        OfficeXml xml;
        if (!ctx.loadPart("ppt/presentation.xml", xml) || !xml.top())
            return;
        if (const XmlNode* size = xml.top()->child("p:sldSz")) {
            const long long cx = size->attrNumber("cx");
            const long long cy = size->attrNumber("cy");
            // A slide narrower than one unit per point, or of no height,
            // keeps the default page instead of dividing by nothing.
            if (cx >= kPageWidth && cy > 0) {
                divisor = static_cast<int>(std::min(cx / kPageWidth, 1LL << 30));
                pageHeight = static_cast<int>(std::clamp(cy / divisor, 1LL, 14400LL));
            }
        }
        ctx.send(CE_PAGE_SIZE, kPageWidth, static_cast<std::uintptr_t>(pageHeight));
        if (const XmlNode* style = xml.top()->child("p:defaultTextStyle", true)) {
            if (const XmlNode* level = style->child("a:lvl1pPr", true)) {
                if (const XmlNode* def = level->child("a:defRPr", true)) {
                    const long long sz = def->attrNumber("sz") / 100;
                    if (sz > 0)
                        baseSize = static_cast<int>(std::min(sz, 400LL));
                }
            }
        }
        // The slides in presentation order, from their relationships.
        std::map<std::string, std::string> rels;
        ctx.readRelationships("ppt/_rels/presentation.xml.rels", rels);
        if (const XmlNode* list = xml.top()->child("p:sldIdLst")) {
            for (const XmlNode* id = list->firstChild; id; id = id->nextSibling) {
                if (!id->is("p:sldId"))
                    continue;
                const auto it = rels.find(std::string(id->attr("r:id")));
                const int n = it == rels.end() ? 0 : SlideNumber(it->second);
                if (n > 0)
                    listed.push_back(n);
            }
        }
    }

    static int SlideNumber(const std::string& target)
    {
        const std::string name = ResolvePartName("ppt/", target);
        return NumberAfter(name, "ppt/slides/slide");
    }

    // The slides listed by the presentation; without a list, slide1,
    // slide2, ... while they exist.
    std::vector<int> slideNumbers()
    {
        if (!listed.empty())
            return listed;
        std::vector<int> numbers;
        std::string bytes;
        for (int n = 1; n <= 100000; ++n) {
            if (!ctx.readPart(PartName("ppt/slides/slide%d.xml", n), bytes))
                break;
            numbers.push_back(n);
        }
        return numbers;
    }

    static std::string PartName(const char* pattern, int n)
    {
        char name[96];
        std::snprintf(name, sizeof name, pattern, n);
        return name;
    }

    Theme* theme(int n)
    {
        if (n <= 0)
            return nullptr;
        auto [it, added] = themes.try_emplace(n);
        if (!added)
            return &it->second;
        OfficeXml xml;
        if (ctx.loadPart(PartName("ppt/theme/theme%d.xml", n), xml) && xml.top()) {
            if (const XmlNode* scheme = xml.top()->child("a:clrScheme", true)) {
                for (const XmlNode* c = scheme->firstChild; c; c = c->nextSibling) {
                    const char* key = c->name ? c->name : "";
                    const std::string name = std::string(key).substr(std::string_view(key).starts_with("a:") ? 2 : 0);
                    if (const XmlNode* sys = c->child("a:sysClr"))
                        it->second.colours[name] = colorFromString(sys->attr("lastClr"));
                    else if (const XmlNode* srgb = c->child("a:srgbClr"))
                        it->second.colours[name] = colorFromString(srgb->attr("val"));
                }
            }
        }
        return &it->second;
    }

    // A colour element ("a:srgbClr", "a:schemeClr") below `node`, resolved
    // through the master.
    std::optional<std::uint32_t> colourBelow(const XmlNode* node, const Master* master)
    {
        if (!node)
            return std::nullopt;
        if (const XmlNode* srgb = node->child("a:srgbClr"))
            return colorFromString(srgb->attr("val"));
        if (const XmlNode* scheme = node->child("a:schemeClr"))
            return schemeColour(scheme, master);
        return std::nullopt;
    }

    std::optional<std::uint32_t> schemeColour(const XmlNode* node, const Master* master)
    {
        std::string name(node->attr("val"));
        if (name.empty() || !master)
            return std::nullopt;
        const auto mapped = master->colourMap.find(name);
        if (mapped != master->colourMap.end())
            name = mapped->second;
        Theme* t = theme(master->theme);
        std::uint32_t colour = 0;
        if (t) {
            const auto found = t->colours.find(name);
            if (found != t->colours.end())
                colour = found->second;
        }
        if (const XmlNode* lum = node->child("a:lumMod"))
            colour = applyLumMod(colour, lum->attrNumber("val"));
        return colour;
    }

    TextProps propsOf(const XmlNode* level, const Master* master)
    {
        TextProps p;
        if (!level)
            return p;
        if (level->hasAttr("algn"))
            p.align = AlignOf(level->attr("algn"), 1);
        if (const XmlNode* def = level->child("a:defRPr")) {
            const long long sz = def->attrNumber("sz") / 100;
            if (sz > 0)
                p.size = static_cast<std::int32_t>(std::min(sz, 400LL));
            if (def->hasAttr("b"))
                p.bold = def->attrNumber("b") != 0;
            if (def->hasAttr("i"))
                p.italic = def->attrNumber("i") != 0;
            if (def->hasAttr("u"))
                p.underline = def->attr("u") != "none";
            if (def->hasAttr("strike"))
                p.strikeOut = def->attr("strike") != "noStrike";
            if (auto c = colourBelow(def->child("a:solidFill"), master))
                p.colour = *c;
        }
        return p;
    }

    void readPlaceholders(const XmlNode* top, std::vector<Placeholder>& out, const Master* master)
    {
        if (!top)
            return;
        const XmlNode* tree = top->child("p:cSld");
        tree = tree ? tree->child("p:spTree") : nullptr;
        for (const XmlNode* sp = tree ? tree->firstChild : nullptr; sp; sp = sp->nextSibling) {
            const XmlNode* ph = sp->child("p:ph", true);
            if (!ph)
                continue;
            Placeholder p;
            p.idx = ph->attr("idx");
            p.type = ph->attr("type");
            if (const XmlNode* xfrm = sp->child("a:xfrm", true)) {
                const XmlNode* off = xfrm->child("a:off");
                const XmlNode* ext = xfrm->child("a:ext");
                if (off && ext) {
                    p.placed = true;
                    p.offX = off->attrNumber("x");
                    p.offY = off->attrNumber("y");
                    p.extX = ext->attrNumber("cx");
                    p.extY = ext->attrNumber("cy");
                }
            }
            if (const XmlNode* body = sp->child("p:txBody")) {
                if (const XmlNode* list = body->child("a:lstStyle"))
                    p.props = propsOf(list->child("a:lvl1pPr"), master);
                if (const XmlNode* bodyPr = body->child("a:bodyPr"); bodyPr && bodyPr->hasAttr("anchor"))
                    p.props.anchor = AnchorOf(bodyPr->attr("anchor"), 1);
            }
            out.push_back(std::move(p));
        }
    }

    Master* master(int n)
    {
        if (n <= 0)
            return nullptr;
        auto [it, added] = masters.try_emplace(n);
        Master& m = it->second;
        if (!added)
            return &m;
        std::map<std::string, std::string> rels;
        ctx.readRelationships(PartName("ppt/slideMasters/_rels/slideMaster%d.xml.rels", n), rels);
        for (const auto& [id, target] : rels) {
            if (const int t = NumberAfter(target, "../theme/theme"))
                m.theme = t;
        }
        OfficeXml xml;
        if (!ctx.loadPart(PartName("ppt/slideMasters/slideMaster%d.xml", n), xml) || !xml.top())
            return &m;
        if (const XmlNode* map = xml.top()->child("p:clrMap")) {
            for (const auto& [key, value] : map->attributes)
                m.colourMap[key] = value;
        }
        if (const XmlNode* styles = xml.top()->child("p:txStyles")) {
            if (const XmlNode* title = styles->child("p:titleStyle"))
                m.title = propsOf(title->child("a:lvl1pPr"), &m);
            if (const XmlNode* body = styles->child("p:bodyStyle"))
                m.body = propsOf(body->child("a:lvl1pPr"), &m);
        }
        readPlaceholders(xml.top(), m.placeholders, &m);
        return &m;
    }

    Layout* layout(int n)
    {
        if (n <= 0)
            return nullptr;
        auto [it, added] = layouts.try_emplace(n);
        Layout& l = it->second;
        if (!added)
            return &l;
        ctx.readRelationships(PartName("ppt/slideLayouts/_rels/slideLayout%d.xml.rels", n), l.rels);
        for (const auto& [id, target] : l.rels) {
            if (const int m = NumberAfter(target, "../slideMasters/slideMaster"))
                l.master = m;
        }
        OfficeXml xml;
        if (!ctx.loadPart(PartName("ppt/slideLayouts/slideLayout%d.xml", n), xml) || !xml.top())
            return &l;
        readPlaceholders(xml.top(), l.placeholders, master(l.master));
        if (const XmlNode* bg = xml.top()->child("p:bgPr", true)) {
            if (const XmlNode* picture = bg->child("a:blip", true))
                l.background = NumberAfter(picture->attr("r:embed"), "rId");
        }
        return &l;
    }

    // --- Slides ----------------------------------------------------------

    void slide(int n)
    {
        OfficeXml xml;
        if (!ctx.loadPart(PartName("ppt/slides/slide%d.xml", n), xml))
            return;   // a listed slide that is missing is left out
        slideRels.clear();
        ctx.readRelationships(PartName("ppt/slides/_rels/slide%d.xml.rels", n), slideRels);
        currentLayout = nullptr;
        currentMaster = nullptr;
        drawing = 0;
        for (const auto& [id, target] : slideRels) {
            if (const int l = NumberAfter(target, "../slideLayouts/slideLayout"))
                currentLayout = layout(l);
            if (const int d = NumberAfter(target, "../diagrams/drawing"))
                drawing = d;
        }
        if (currentLayout)
            currentMaster = master(currentLayout->master);
        ctx.inTable = false;
        ctx.resetRun(true);
        ctx.style.fontSize = baseSize;
        clearShape();
        originX = 0;
        originY = pageHeight;
        ctx.send(CE_NEW_PAGE);
        if (currentLayout && currentLayout->background > 0) {
            const auto it = currentLayout->rels.find("rId" + std::to_string(currentLayout->background));
            if (it != currentLayout->rels.end())
                ctx.sendPicture(ResolvePartName("ppt/slideLayouts/", it->second));
        }
        walk(xml.root());
    }

    void walk(const XmlNode* top)
    {
        WalkXml(top, [](const XmlNode*) {}, [&](const XmlNode* n) { leave(n); });
    }

    void clearShape()
    {
        advance = 0;
        outline = 0;
        fillPending = false;
        geometry = 0;
        boxHeight = 0;
    }

    static const Placeholder* Find(const std::vector<Placeholder>& list, std::string_view idx, std::string_view type)
    {
        if (!idx.empty()) {
            for (const Placeholder& p : list) {
                if (p.idx == idx)
                    return &p;
            }
        }
        // Without a type a placeholder is a body; a centred title or a
        // subtitle of a slide matches the master's title or body.
        const auto kind = [](std::string_view t) -> std::string_view {
            if (t.empty() || t == "subTitle" || t == "obj")
                return "body";
            if (t == "ctrTitle")
                return "title";
            return t;
        };
        for (const Placeholder& p : list) {
            if (p.type == type && !type.empty())
                return &p;
        }
        for (const Placeholder& p : list) {
            if (kind(p.type) == kind(type))
                return &p;
        }
        return nullptr;
    }

    void moveTo(long long x, long long y)
    {
        shapeX = ToPoints(x, divisor) + originX;
        shapeY = originY - ToPoints(y, divisor);
        ctx.send(CE_MOVE_TO, shapeX, static_cast<std::uintptr_t>(static_cast<std::intptr_t>(shapeY)));
    }

    void boxSize(long long cx, long long cy)
    {
        const int w = std::max(0, ToPoints(cx, divisor));
        const int h = std::max(0, ToPoints(cy, divisor));
        boxHeight = h;
        ctx.send(CE_BOX_SIZE, w, static_cast<std::uintptr_t>(h));
    }

    void placeholder(const XmlNode* node)
    {
        if (!currentMaster)
            return;
        const std::string_view idx = node->attr("idx");
        const std::string_view type = node->attr("type");
        const Placeholder* inLayout = currentLayout ? Find(currentLayout->placeholders, idx, type) : nullptr;
        const std::string_view masterType = type.empty() && inLayout ? std::string_view(inLayout->type) : type;
        const Placeholder* inMaster = Find(currentMaster->placeholders, idx, masterType);
        const Placeholder* where = inLayout && inLayout->placed ? inLayout : (inMaster && inMaster->placed ? inMaster : nullptr);
        if (where) {
            moveTo(where->offX, where->offY);
            boxSize(where->extX, where->extY);
        }
        const bool title = type == "title" || type == "ctrTitle";
        (title ? currentMaster->title : currentMaster->body).applyTo(ctx.style);
        if (inMaster)
            inMaster->props.applyTo(ctx.style);
        if (inLayout)
            inLayout->props.applyTo(ctx.style);
    }

    void colour(const XmlNode* node, std::uint32_t value)
    {
        ctx.style.colour = value;
        if (!fillPending && node->parent && (node->parent->is("a:fillRef") || node->parent->is("a:solidFill"))) {
            fillPending = true;
            fill = value;
        }
    }

    void paintFill(bool rectanglesOnly)
    {
        const bool shapeFits = rectanglesOnly ? geometry == 0 : (geometry == 0 || geometry == 4);
        if (fillPending && shapeFits)
            ctx.send(CE_FILL_RECT, outline, fill);
        fillPending = false;
        geometry = 0;
    }

    void leave(const XmlNode* node)
    {
        const char* name = node->name;
        if (!name || name[0] == '\0')
            return;
        RunStyle& s = ctx.style;
        if (node->is("a:t")) {
            ctx.sendText(node->text);
        } else if (node->is("p:ph")) {
            placeholder(node);
        } else if (node->is("a:blip")) {
            blip = std::string(node->attr("r:embed"));
        } else if (node->is("p:pic")) {
            if (!blip.empty()) {
                const auto it = slideRels.find(blip);
                if (it != slideRels.end())
                    ctx.sendPicture(ResolvePartName("ppt/slides/", it->second));
                blip.clear();
            }
        } else if (node->is("a:p") || node->is("a:br")) {
            ctx.send(CE_LINE_END);
        } else if (node->is("p:sp")) {
            ctx.resetRun(true);
            s.fontSize = baseSize;
            ctx.send(CE_TABLE_END);
            clearShape();
        } else if (node->is("a:off")) {
            moveTo(node->attrNumber("x"), node->attrNumber("y"));
        } else if (node->is("a:ext")) {
            outline = 0;
            if (node->hasAttr("cx") || node->hasAttr("cy"))
                boxSize(node->attrNumber("cx"), node->attrNumber("cy"));
        } else if (node->is("a:spcPct")) {
            advance += node->attrNumber("val") / divisor;
        } else if (node->is("a:buNone")) {
            if (advance != 0)
                ctx.send(CE_ADVANCE, static_cast<int>(std::clamp(advance, -100000LL, 100000LL)));
            advance = 0;
        } else if (node->is("a:rPr")) {
            const long long sz = node->attrNumber("sz") / 100;
            if (sz > 0)
                s.fontSize = static_cast<std::int32_t>(std::min(sz, 400LL));
            if (node->hasAttr("b"))
                s.bold = node->attrNumber("b") != 0;
            if (node->hasAttr("i"))
                s.italic = node->attrNumber("i") != 0;
            if (node->hasAttr("u"))
                s.underline = node->attr("u") != "none";
            if (node->hasAttr("strike"))
                s.strikeOut = node->attr("strike") != "noStrike";
        } else if (node->is("a:pPr")) {
            s.align = AlignOf(node->attr("algn"), s.align);
        } else if (node->is("a:bodyPr")) {
            s.vAnchor = AnchorOf(node->attr("anchor"), s.vAnchor);
        } else if (node->is("a:srgbClr")) {
            colour(node, colorFromString(node->attr("val")));
        } else if (node->is("a:schemeClr")) {
            if (auto c = schemeColour(node, currentMaster))
                colour(node, *c);
        } else if (node->is("a:prstGeom")) {
            const std::string_view prst = node->attr("prst");
            geometry = prst == "roundRect" ? 1 : (prst == "ellipse" ? 3 : (prst == "rect" ? 0 : geometry));
        } else if (node->is("a:noFill")) {
            geometry |= 4;
        } else if (node->is("dgm:relIds")) {
            diagram();
        } else if (node->is("a:ln")) {
            if (boxHeight == 0)
                outline = static_cast<int>(std::clamp(node->attrNumber("w") * 2 / divisor, 0LL, 100000LL));
        } else if (node->is("p:style")) {
            paintFill(false);
        } else if (node->is("dsp:style")) {
            paintFill(true);
        }
    }

    // The drawing of a diagram, walked in place of the diagram's frame. A
    // drawing that names a diagram itself is not entered again.
    void diagram()
    {
        if (inDiagram || drawing <= 0)
            return;
        OfficeXml xml;
        if (!ctx.loadPart(PartName("ppt/diagrams/drawing%d.xml", drawing), xml))
            return;
        inDiagram = true;
        const int savedX = originX;
        const int savedY = originY;
        originX = shapeX;
        originY = shapeY;
        walk(xml.root());
        originX = savedX;
        originY = savedY;
        inDiagram = false;
    }

    OfficeReaderContext& ctx;
    int divisor = 1000;
    int pageHeight = 612;
    int baseSize = 12;
    std::vector<int> listed;
    std::map<int, Theme> themes;
    std::map<int, Master> masters;
    std::map<int, Layout> layouts;
    std::map<std::string, std::string> slideRels;
    Layout* currentLayout = nullptr;
    Master* currentMaster = nullptr;
    int drawing = 0;
    bool inDiagram = false;
    int originX = 0, originY = 612;
    int shapeX = 0, shapeY = 612;
    long long advance = 0;
    int outline = 0;
    int boxHeight = 0;
    bool fillPending = false;
    std::uint32_t fill = 0;
    int geometry = 0;
    std::string blip;
};

} // namespace

void readPptxToPdf(OfficeReaderContext& ctx)
{
    PptxReader reader(ctx);
    reader.run();
    ctx.inTable = false;
}
