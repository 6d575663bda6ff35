// Test access to the private steps of the page parse that build tables,
// picture regions and links, and helpers to build vector graphics.
#pragma once

#include "engine/layout/block.h"
#include "engine/layout/imageblock.h"
#include "engine/layout/page.h"
#include "engine/layout/tableblock.h"
#include "engine/layout/textblock.h"
#include "parser/parser.h"

#include <initializer_list>
#include <utility>
#include <vector>

class PageTestAccess {
public:
    static std::vector<line*>& rulingLines(Page& p) { return p.rulingLines; }
    static std::vector<GraphicsCollect*>& graphics(Page& p) { return p.graphics; }
    static std::vector<TextCollect*>& textObjects(Page& p) { return p.textObjects; }
    static std::vector<CollectBase*>& pictureObjects(Page& p) { return p.pictureObjects; }
    static std::vector<TableBlock*>& tableBlocks(Page& p) { return p.tableBlocks; }
    static std::vector<ImageBlock*>& imageBlocks(Page& p) { return p.imageBlocks; }
    static std::vector<Block*>& blocks(Page& p) { return p.blocks; }
    static void setSize(Page& p, double w, double h)
    {
        p.width = w;
        p.height = h;
    }

    static bool rectangel(Page& p, const GraphPath& path, int way) { return p.rectangel(path, way); }
    static bool convertlines(Page& p, GraphicsCollect* g) { return p.convertlines(g); }
    static void combinelines(Page& p, lineblock* g) { p.combinelines(g); }
    static TableBlock* createtable(Page& p, lineblock* g) { return p.createtable(g); }
    static void createtables(Page& p) { p.createtables(); }
    static void puttextintable(Page& p) { p.puttextintable(); }
    static void creatImages(Page& p, bool ignoreTables) { p.creatImages(ignoreTables); }
    static void ResolveLinks(Page& p, std::vector<LinkCollect*>& links) { p.ResolveLinks(links); }

    // Deletes the blocks of the intermediate lists that a test made through
    // single steps (the page itself frees only its final blocks).
    static void freeIntermediate(Page& p)
    {
        for (TableBlock* t : p.tableBlocks)
            delete t;
        p.tableBlocks.clear();
        for (ImageBlock* b : p.imageBlocks)
            delete b;
        p.imageBlocks.clear();
    }
};

namespace layouttest {

inline GraphPath MakePath(std::initializer_list<std::pair<double, double>> pts)
{
    GraphPath path;
    for (auto [x, y] : pts)
        path.AddPoint(PathPoint(x, y));
    return path;
}

// A closed rectangle path of 5 points from (x, y) with the given size.
inline GraphPath RectPath(double x, double y, double w, double h)
{
    return MakePath({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}});
}

inline GraphicsCollect* MakeGraphic(std::initializer_list<GraphPath> paths, int way)
{
    auto* g = new GraphicsCollect;
    for (const GraphPath& p : paths)
        g->AddPath(p);
    g->SetPaintWay(way);
    return g;
}

inline line* MakeLine(int kind, double x1, double y1, double x2, double y2)
{
    auto* l = new line;
    l->kind = kind;
    l->x1 = x1;
    l->y1 = y1;
    l->x2 = x2;
    l->y2 = y2;
    return l;
}

inline line* H(double y, double x1, double x2) { return MakeLine(1, x1, y, x2, y); }
inline line* V(double x, double top, double bottom) { return MakeLine(2, x, top, x, bottom); }

} // namespace layouttest
