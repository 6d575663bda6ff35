// Picture regions (images with the graphics and text drawn over them) and the
// links that the page's annotations put on its words.
#include "engine/layout/page.h"

#include "engine/layout/imageblock.h"
#include "engine/layout/textblock.h"
#include "parser/parser.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The factors and margin by which an object counts as lying on a region.
constexpr double kRegionFactor = 0.05;
constexpr double kRegionMargin = 1.0;

// How far (in points) a word may stand outside a link's rectangle and still
// be covered by it.
constexpr double kLinkMargin = 3.0;

ImageBlock* FirstContaining(const std::vector<ImageBlock*>& blocks, CollectBase* obj)
{
    for (ImageBlock* b : blocks) {
        if (b->isContainObject(obj, kRegionFactor, kRegionFactor, kRegionMargin))
            return b;
    }
    return nullptr;
}

} // namespace

void Page::creatImages(bool ignoreTables)
{
    // Seed a region with every picture object; objects lying on a region
    // join it.
    for (CollectBase* obj : pictureObjects) {
        if (ImageBlock* b = FirstContaining(imageBlocks, obj)) {
            b->addElement(obj);
            continue;
        }
        auto* b = new ImageBlock(writer);
        b->SetPageHeight(height);
        b->addElement(obj);
        if (b->getObjects().empty())
            delete b;   // a graphic without any point: nothing to show
        else
            imageBlocks.push_back(b);
    }

    // A graphic lying on a region joins the first region it lies on. When it
    // was drawn before something of a region it lies on (a frame or
    // background under a picture), it belongs to the picture only.
    for (std::size_t i = 0; i < graphics.size();) {
        GraphicsCollect* g = graphics[i];
        bool received = false;
        bool underPicture = false;
        for (ImageBlock* b : imageBlocks) {
            if (!b->isContainObject(g, kRegionFactor, kRegionFactor, kRegionMargin))
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
    // text stays text).
    if (!ignoreTables) {
        for (auto it = textObjects.begin(); it != textObjects.end();) {
            if (ImageBlock* b = FirstContaining(imageBlocks, *it)) {
                b->addElement(*it);
                it = textObjects.erase(it);
            } else {
                ++it;
            }
        }
    }

    // Regions that lie close together become one.
    bool merged = true;
    while (merged) {
        merged = false;
        for (std::size_t a = 0; a < imageBlocks.size(); ++a) {
            std::size_t b = a + 1;
            while (b < imageBlocks.size()) {
                if (imageBlocks[a]->isContain(imageBlocks[b]) &&
                    imageBlocks[a]->EatBlock(imageBlocks[b])) {
                    delete imageBlocks[b];
                    imageBlocks.erase(imageBlocks.begin() + static_cast<std::ptrdiff_t>(b));
                    merged = true;
                } else {
                    ++b;
                }
            }
        }
    }
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
    auto* b = new ImageBlock(writer);
    const std::wstring& path = img->GetImagePath();
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
