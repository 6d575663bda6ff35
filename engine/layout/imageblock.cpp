#include "engine/layout/imageblock.h"

#include "engine/layout/fileutil.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/iwriter.h"
#include "parser/parser.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>

thread_local int ImageBlock::imagecount = 0;

namespace {
thread_local std::wstring t_namePrefix;
} // namespace

void ImageBlock::StartPage(const std::wstring& prefix)
{
    imagecount = 0;
    t_namePrefix = prefix;
}

namespace {

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

// A rectangle given by a corner and signed extents, as the same area with
// non-negative extents (text turned upside down has a negative height).
Rect Upright(double x, double y, double w, double h)
{
    Rect r{x, y, w, h};
    if (r.width < 0) {
        r.x += r.width;
        r.width = -r.width;
    }
    if (r.height < 0) {
        r.y += r.height;
        r.height = -r.height;
    }
    return r;
}

bool GraphicRect(const GraphicsCollect* g, Rect& r)
{
    double left = 0, top = 0, right = 0, bottom = 0;
    if (!g->GetRegion(left, top, right, bottom))
        return false;
    r = Rect{left, bottom, right - left, top - bottom};
    return true;
}

Rect ImageRect(const ImageCollect* img)
{
    int w = 0, h = 0;
    img->GetImageSizeInPdf(w, h);
    return Rect{img->GetMatrix().e, img->GetMatrix().f, static_cast<double>(w),
                static_cast<double>(h)};
}

// The rectangle by which the containment test sees an object.
bool TestRect(CollectBase* obj, Rect& r)
{
    if (auto* t = dynamic_cast<TextCollect*>(obj)) {
        r = Rect{t->GetMatrix().e, t->GetMatrix().f, t->GetTextWidth(), t->GetTextHeight()};
        return true;
    }
    if (auto* g = dynamic_cast<GraphicsCollect*>(obj))
        return GraphicRect(g, r);
    if (auto* img = dynamic_cast<ImageCollect*>(obj)) {
        r = ImageRect(img);
        return true;
    }
    return false;
}

// The rectangle an object adds to a region: a text run counts as a square of
// its text height at its origin, whatever its width.
bool RegionRect(CollectBase* obj, Rect& r)
{
    if (auto* t = dynamic_cast<TextCollect*>(obj)) {
        const ParserMatrix& m = t->GetMatrix();
        r = Upright(m.e, m.f, t->GetTextHeight() * m.a, t->GetTextHeight() * m.d);
        return true;
    }
    if (auto* g = dynamic_cast<GraphicsCollect*>(obj))
        return GraphicRect(g, r);
    if (auto* img = dynamic_cast<ImageCollect*>(obj)) {
        r = ImageRect(img);
        return true;
    }
    return false;
}

// The part of a path after its last "/" (the whole path when there is none).
std::wstring FileName(const std::wstring& path)
{
    const std::size_t slash = path.rfind(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// A file name in the job's picture folder that no earlier picture of the job
// holds: `name` itself when it is free, else "(N)" before its extension.
std::wstring FreePictureName(const std::wstring& name)
{
    const std::wstring folder = GlobalEnum::tmppath + L"ImageFiles/";
    const std::size_t dot = name.rfind(L'.');
    const std::wstring stem = dot == std::wstring::npos ? name : name.substr(0, dot);
    const std::wstring ext = dot == std::wstring::npos ? std::wstring() : name.substr(dot);
    return FileName(FreeOutputPath(folder + stem, ext));
}

std::string CurrentFolder()
{
    char buf[256];
    if (getcwd(buf, sizeof buf) == nullptr)
        return std::string();
    return std::string(buf);
}

} // namespace

ImageBlock::ImageBlock(IWriter* writer)
    : Block(writer), imageId(imagecount++), workDir(CurrentFolder())
{
    numberName = t_namePrefix + std::to_wstring(imageId);
    dim = 1.0;
}

bool ImageBlock::ObjectRect(CollectBase* obj, double& x, double& y, double& width, double& height)
{
    Rect r;
    if (!TestRect(obj, r))
        return false;
    x = r.x;
    y = r.y;
    width = r.width;
    height = r.height;
    return true;
}

void ImageBlock::Write(void* ctx)
{
    writer->writeImage(ctx, this);
}

bool ImageBlock::isContainObject(CollectBase* obj, double kx, double ky, double margin)
{
    dim = margin;
    const double left = x - margin * kx;
    const double right = x + width + margin * kx;
    const double bottom = y - margin * ky;
    const double top = y + height + margin * ky;

    Rect o;
    if (!TestRect(obj, o))
        return false;
    const double oLeft = o.x - margin;
    const double oRight = o.x + o.width + margin;
    const double oBottom = o.y - margin;
    const double oTop = o.y + o.height + margin;

    // Strict: rectangles that only touch are apart. A rectangle without
    // coordinates (NaN from a broken file) lies nowhere.
    for (double v : {left, right, bottom, top, oLeft, oRight, oBottom, oTop}) {
        if (std::isnan(v))
            return false;
    }
    return std::max(left, oLeft) < std::min(right, oRight) &&
           std::max(bottom, oBottom) < std::min(top, oTop);
}

void ImageBlock::addElement(CollectBase* obj)
{
    Rect r;
    if (!RegionRect(obj, r))
        return;
    objects.push_back(obj);
    if (objects.size() == 1) {
        x = r.x;
        y = r.y;
        width = r.width;
        height = r.height;
        return;
    }
    if (r.x < x) {
        width += x - r.x;
        x = r.x;
    }
    if (x + width < r.x + r.width)
        width = r.x + r.width - x;
    if (r.y < y) {
        height += y - r.y;
        y = r.y;
    }
    if (y + height < r.y + r.height)
        height = r.y + r.height - y;
}

bool ImageBlock::EatBlock(Block* other)
{
    auto* o = dynamic_cast<ImageBlock*>(other);
    if (o == nullptr)
        return false;
    objects.insert(objects.end(), o->objects.begin(), o->objects.end());
    if (o->x < x) {
        width += x - o->x;
        x = o->x;
    }
    if (x + width < o->x + o->width)
        width = o->x + o->width - x;
    if (o->y < y) {
        height += y - o->y;
        y = o->y;
    }
    if (y + height < o->y + o->height)
        height = o->y + o->height - y;
    return true;
}

bool ImageBlock::getImage(Parser* parser)
{
    if (objects.empty())
        return false;
    const std::wstring folder = GlobalEnum::tmppath + L"ImageFiles/";

    // Renders the objects into the named picture; with `place` the block
    // takes the rendered area as its rectangle.
    auto draw = [&](const std::wstring& name, bool place) {
        imagePath = L"image/" + name;
        ImageCollect region(nullptr);
        const bool ok = parser->DrawObjects(objects, folder + name, region);
        if (ok && place) {
            const ParserMatrix& m = region.GetMatrix();
            x = m.e;
            y = m.f;
            width = m.a;
            height = m.d;
        }
        return ok;
    };
    const std::wstring numbered = FreePictureName(numberName + L".jpg");

    auto* img = objects.size() == 1 ? dynamic_cast<ImageCollect*>(objects[0]) : nullptr;
    if (objects.size() >= 2)
        return draw(numbered, true);
    if (img == nullptr)
        return draw(numbered, false);

    // One picture: it keeps the parser's file name. A picture with a mask
    // is drawn with its mask over white, from the page: the parser's files
    // of it and of its mask would go unused, so they are not made.
    if (img->HasMask()) {
        const std::wstring& planned = img->GetPlannedImagePath();
        return !planned.empty() && draw(FreePictureName(FileName(planned)), true);
    }
    const std::wstring& source = img->GetImagePath();
    if (source.empty())
        return false;   // the picture could not be made: it is left out
    const std::wstring name = FreePictureName(FileName(source));

    // A picture that reaches beyond the page is drawn, cut at the page's
    // edges, rather than copied whole.
    const bool onPage = pageWidth <= 0 || pageHeight <= 0 ||
                        (x >= 0 && y >= 0 && x + width <= pageWidth + 0.5 &&
                         y + height <= pageHeight + 0.5);
    int w = -1, h = -1;
    if (onPage && img->GetImageSizeInPdf(w, h) && w >= 0 && h >= 0) {
        imagePath = L"image/" + name;
        // The parser's file is replaced, never rewritten, when it is made
        // again: the picture can share it.
        return LinkOrCopyFile(source, folder + name);
    }
    height = std::fabs(std::trunc(height));
    width = std::fabs(std::trunc(width));
    return draw(name, true);
}

void ImageBlock::clearImageFile()
{
    for (CollectBase* obj : objects) {
        if (auto* img = dynamic_cast<ImageCollect*>(obj)) {
            if (!img->GetImagePath().empty())
                DeleteFile(img->GetImagePath());
        }
    }
}

GraphicBlock::GraphicBlock(GraphicsCollect* graphic, IWriter* writer)
    : Block(writer), element(new GraphicsCollect(*graphic))
{
}

GraphicBlock::~GraphicBlock()
{
    delete element;
}

void GraphicBlock::Write(void* ctx)
{
    writer->writeGraphic(ctx, this);
}
