// Path walking: a MuPDF path as the subpaths of a page object, in page
// points. Also the page frame that turns device space into page points.
#pragma once

#include "internal.h"

#include <vector>

namespace parser_detail {

// Device space (y down, from the page box's corner) to page points (y up,
// from the visible page's lower-left corner).
struct PageFrame {
    fz_rect bounds;
    double X(double x) const { return x - bounds.x0; }
    double Y(double y) const { return bounds.y1 - y; }
    // The rectangle in page points; empty for an empty or infinite one.
    Box ToBox(fz_rect r) const;
};

enum class PathWalk {
    Paths,   // at least one subpath of two points or more
    Nothing, // no such subpath, or MuPDF stopped the walk
    Failed,  // the subpaths could not be stored (out of memory)
};

// Appends the subpaths of `path` drawn with `ctm`. A closed subpath ends
// with a copy of its first point; a segment after a close starts a new
// subpath where the closed one began.
PathWalk WalkPath(fz_context* ctx, const fz_path* path, fz_matrix ctm, const PageFrame& frame,
                  std::vector<GraphPath>& out);

// Whether every subpath of the graphic is closed.
bool AllClosed(GraphicsCollect& g);

// Whether two graphics have the same subpaths of the same points.
bool SamePoints(GraphicsCollect& a, GraphicsCollect& b);

} // namespace parser_detail
