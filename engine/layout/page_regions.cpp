// Picture regions (images with the graphics and text drawn over them) and the
// links that the page's annotations put on its words.
#include "engine/layout/page.h"

#include "engine/layout/imageblock.h"
#include "engine/layout/textblock.h"
#include "parser/parser.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <vector>

namespace {

// The factors and margin by which an object counts as lying on a region.
constexpr double kRegionFactor = 0.05;
constexpr double kRegionMargin = 1.0;

// How far (in points) a word may stand outside a link's rectangle and still
// be covered by it.
constexpr double kLinkMargin = 3.0;

// More words than this over one region make it a background or a frame
// around text rather than a figure with its labels: the words stay text.
constexpr std::size_t kMaxFigureWords = 40;

bool LiesOn(ImageBlock* b, CollectBase* obj)
{
    return b->isContainObject(obj, kRegionFactor, kRegionFactor, kRegionMargin);
}

ImageBlock* FirstContaining(const std::vector<ImageBlock*>& blocks, CollectBase* obj)
{
    for (ImageBlock* b : blocks) {
        if (LiesOn(b, obj))
            return b;
    }
    return nullptr;
}

// The index of the first region the object lies on that holds something
// drawn before it (the object is drawn over it); -1 when there is none.
int FirstUnder(const std::vector<ImageBlock*>& blocks, CollectBase* obj)
{
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::vector<CollectBase*>& objects = blocks[i]->getObjects();
        const bool drawnBefore = std::any_of(objects.begin(), objects.end(), [obj](const CollectBase* o) {
            return o->GetID() < obj->GetID();
        });
        if (drawnBefore && LiesOn(blocks[i], obj))
            return static_cast<int>(i);
    }
    return -1;
}

// Each object joins the first region it lies on, or seeds a region of its
// own.
void SeedRegions(const std::vector<CollectBase*>& objects, std::vector<ImageBlock*>& regions,
                 IWriter* writer, double pageWidth, double pageHeight)
{
    for (CollectBase* obj : objects) {
        if (ImageBlock* b = FirstContaining(regions, obj)) {
            b->addElement(obj);
            continue;
        }
        auto* b = new ImageBlock(writer);
        b->SetPageHeight(pageHeight);
        b->SetPageWidth(pageWidth);
        b->addElement(obj);
        if (b->getObjects().empty())
            delete b;   // a graphic without any point: nothing to show
        else
            regions.push_back(b);
    }
}

// Regions that lie close together become one.
void MergeRegions(std::vector<ImageBlock*>& regions)
{
    bool merged = true;
    while (merged) {
        merged = false;
        for (std::size_t a = 0; a < regions.size(); ++a) {
            std::size_t b = a + 1;
            while (b < regions.size()) {
                if (regions[a]->isContain(regions[b]) && regions[a]->EatBlock(regions[b])) {
                    delete regions[b];
                    regions.erase(regions.begin() + static_cast<std::ptrdiff_t>(b));
                    merged = true;
                } else {
                    ++b;
                }
            }
        }
    }
}

bool HoldsImage(const ImageBlock& b)
{
    const std::vector<CollectBase*>& objects = b.getObjects();
    return std::any_of(objects.begin(), objects.end(),
                       [](CollectBase* o) { return dynamic_cast<ImageCollect*>(o) != nullptr; });
}

} // namespace

void Page::creatImages(bool ignoreTables)
{
    // Seed a region with every picture object; objects lying on a region
    // join it.
    SeedRegions(pictureObjects, imageBlocks, writer, width, height);

    // A graphic lying on a region joins the first region it lies on. When it
    // was drawn before something of a region it lies on (a frame or
    // background under a picture), it belongs to the picture only.
    for (std::size_t i = 0; i < graphics.size();) {
        GraphicsCollect* g = graphics[i];
        bool received = false;
        bool underPicture = false;
        for (ImageBlock* b : imageBlocks) {
            if (!LiesOn(b, g))
                continue;
            if (!received) {
                b->addElement(g);
                received = true;
            }
            for (const CollectBase* o : b->getObjects()) {
                if (o->GetID() > g->GetID()) {
                    underPicture = true;
                    break;
                }
            }
            if (underPicture)
                break;
        }
        if (underPicture)
            graphics.erase(graphics.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }

    // Text over a picture is drawn into it (unless tables are off, where
    // text stays text). Over means drawn on top: text that a region's
    // objects were drawn over (a highlight laid on a line) stays text.
    // Every run is measured against the regions as their pictures and
    // drawings make them: a region grown by the text it took must not reach
    // the next line and take it too.
    if (!ignoreTables) {
        std::vector<std::pair<ImageBlock*, TextCollect*>> taken;
        for (auto it = textObjects.begin(); it != textObjects.end();) {
            const int i = FirstUnder(imageBlocks, *it);
            if (i >= 0) {
                taken.emplace_back(imageBlocks[static_cast<std::size_t>(i)], *it);
                it = textObjects.erase(it);
            } else {
                ++it;
            }
        }
        for (const auto& [b, t] : taken)
            b->addElement(t);
    }

    MergeRegions(imageBlocks);
}

void Page::placePictureRegions()
{
    // Pictures and drawings, in drawing order, make the regions.
    std::vector<CollectBase*> seeds = pictureObjects;
    seeds.insert(seeds.end(), graphics.begin(), graphics.end());
    std::stable_sort(seeds.begin(), seeds.end(),
                     [](const CollectBase* a, const CollectBase* b) { return a->GetID() < b->GetID(); });
    graphics.clear();
    SeedRegions(seeds, imageBlocks, writer, width, height);
    MergeRegions(imageBlocks);

    // A region is given back to the table step (its graphics, in drawing
    // order) when it is no picture: nothing but ruling lines.
    auto dissolve = [this](std::size_t i) {
        for (CollectBase* o : imageBlocks[i]->getObjects()) {
            if (auto* g = dynamic_cast<GraphicsCollect*>(o))
                graphics.push_back(g);
        }
        delete imageBlocks[i];
        imageBlocks.erase(imageBlocks.begin() + static_cast<std::ptrdiff_t>(i));
    };
    for (std::size_t i = imageBlocks.size(); i-- > 0;) {
        const std::vector<CollectBase*>& objects = imageBlocks[i]->getObjects();
        const bool drawing = std::any_of(objects.begin(), objects.end(), [](CollectBase* o) {
            auto* g = dynamic_cast<GraphicsCollect*>(o);
            return g != nullptr && !IsRulingGraphic(g);
        });
        if (!drawing && !HoldsImage(*imageBlocks[i]))
            dissolve(i);
    }

    // Text drawn over a figure is part of it: a run at least half of which
    // lies on a picture or a drawing (not a ruling line) of the region that
    // was drawn before it. A region with more words over it than a figure
    // has labels is a background or a frame: its words stay text, and a
    // frame without a picture is no picture at all.
    struct Cover {
        int id;
        double x0, y0, x1, y1;
    };
    std::vector<std::vector<Cover>> covers(imageBlocks.size());
    for (std::size_t i = 0; i < imageBlocks.size(); ++i) {
        for (CollectBase* o : imageBlocks[i]->getObjects()) {
            auto* g = dynamic_cast<GraphicsCollect*>(o);
            double x = 0, y = 0, w = 0, h = 0;
            if ((g == nullptr || !IsRulingGraphic(g)) && ImageBlock::ObjectRect(o, x, y, w, h))
                covers[i].push_back({o->GetID(), x, y, x + w, y + h});
        }
    }
    auto lies = [&](std::size_t i, TextCollect* t) {
        double x = 0, y = 0, w = 0, h = 0;
        if (!ImageBlock::ObjectRect(t, x, y, w, h) || !(w > 0) || !(h > 0))
            return false;
        const ImageBlock* b = imageBlocks[i];
        if (x + w <= b->getX() || x >= b->getX() + b->getWidth() || y + h <= b->getY() ||
            y >= b->getY() + b->getHeight())
            return false;
        for (const Cover& c : covers[i]) {
            const double ow = std::min(x + w, c.x1) - std::max(x, c.x0);
            const double oh = std::min(y + h, c.y1) - std::max(y, c.y0);
            if (c.id < t->GetID() && ow > 0 && oh > 0 && ow * oh >= 0.5 * w * h)
                return true;
        }
        return false;
    };
    std::vector<std::vector<TextCollect*>> over(imageBlocks.size());
    for (TextCollect* t : textObjects) {
        for (std::size_t i = 0; i < imageBlocks.size(); ++i) {
            if (lies(i, t)) {
                over[i].push_back(t);
                break;
            }
        }
    }
    std::unordered_set<TextCollect*> taken;
    for (std::size_t i = imageBlocks.size(); i-- > 0;) {
        if (over[i].size() <= kMaxFigureWords) {
            for (TextCollect* t : over[i])
                imageBlocks[i]->addElement(t);
            taken.insert(over[i].begin(), over[i].end());
        } else if (!HoldsImage(*imageBlocks[i])) {
            dissolve(i);
        }
    }
    std::erase_if(textObjects, [&taken](TextCollect* t) { return taken.count(t) != 0; });
    std::sort(graphics.begin(), graphics.end(),
              [](const CollectBase* a, const CollectBase* b) { return a->GetID() < b->GetID(); });
}

void Page::ResolveLinks(std::vector<LinkCollect*>& links)
{
    if (links.empty())
        return;

    // Upright words only: a rotated word's box does not line up with the
    // link rectangles.
    std::vector<Text*> words;
    for (Block* block : blocks) {
        auto* tb = dynamic_cast<TextBlock*>(block);
        if (tb == nullptr)
            continue;
        for (Text* t : tb->getElements()) {
            if (t->matrix[1] == 0 && t->matrix[2] == 0 && std::isfinite(t->y))
                words.push_back(t);
        }
    }
    if (words.empty())
        return;
    std::sort(words.begin(), words.end(), [](const Text* a, const Text* b) { return a->y < b->y; });

    for (LinkCollect* link : links) {
        double rx = 0, ry = 0, rw = 0, rh = 0;
        link->GetRect(rx, ry, rw, rh);
        if (!std::isfinite(rx) || !std::isfinite(ry) || !std::isfinite(rw) || !std::isfinite(rh))
            continue;
        if (rw < 0) {
            rx += rw;
            rw = -rw;
        }
        if (rh < 0) {
            ry += rh;
            rh = -rh;
        }

        // A word is covered when its box lies inside the rectangle grown by
        // the margin. Only covered words are linked: a word merely nearest to
        // the rectangle is not.
        auto covered = [&](const Text* t) {
            return t->y >= ry - kLinkMargin && t->y + t->height <= ry + rh + kLinkMargin &&
                   rx - kLinkMargin <= t->x && t->x + t->width <= rx + rw + kLinkMargin;
        };

        // Words are sorted by y: scan down from the rectangle's lower edge
        // and up from it until the words are too far below or above to be
        // covered.
        const auto p = std::lower_bound(words.begin(), words.end(), ry,
                                        [](const Text* t, double v) { return t->y < v; });
        const double lowest = ry - std::max(rh, kLinkMargin);
        for (auto it = p; it != words.begin();) {
            --it;
            if ((*it)->y < lowest && it != p - 1)
                break;
            if (covered(*it))
                AddLink(*it, link);
        }
        const double highest = ry + rh + kLinkMargin;
        for (auto it = p; it != words.end(); ++it) {
            if ((*it)->y > highest && it != p)
                break;
            if (covered(*it))
                AddLink(*it, link);
        }
    }
}

void Page::AddLink(Text* text, LinkCollect* link)
{
    // Only targets a reader can follow mark the word: a page link whose page
    // could not be found, or a link of another kind (launching a file, a
    // named action), would otherwise send the reader to the first page.
    switch (link->GetType()) {
    case 0:
        if (link->GetPage() < 0)
            return;
        text->hasLink = true;
        text->linkKind = 0;
        text->linkPage = link->GetPage();
        break;
    case 1:
        text->hasLink = true;
        text->linkKind = 1;
        text->uri = link->GetURI();
        break;
    default:
        break;
    }
}

bool Page::addimage(CollectBase* image)
{
    auto* img = dynamic_cast<ImageCollect*>(image);
    if (img == nullptr)
        return false;
    const std::wstring& path = img->GetImagePath();
    if (path.empty())
        return false;   // no file of the picture could be made
    auto* b = new ImageBlock(writer);
    const std::size_t slash = path.rfind(L'/');
    b->setImagePath(L"image/" + (slash == std::wstring::npos ? path : path.substr(slash + 1)));
    b->setPosition(img->GetMatrix().e, img->GetMatrix().f);
    imageBlocks.push_back(b);
    return true;
}

bool Page::addgraphic(GraphicsCollect* graphic)
{
    graphics.push_back(graphic);
    return true;
}

// Rendering a page through an outside program is not available on this
// platform; the page parse renders pages through the parser instead.
bool Page::PaerseAlltoImage(std::wstring&, std::wstring&, int)
{
    return false;
}
