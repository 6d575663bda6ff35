#include "engine/layout/page.h"

#include "engine/layout/block.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/imageblock.h"
#include "engine/layout/iwriter.h"
#include "engine/layout/pagepipeline.h"
#include "engine/layout/safemath.h"
#include "engine/layout/strutil.h"
#include "engine/layout/tableblock.h"
#include "engine/layout/textblock.h"
#include "parser/cancel_probe.h"
#include "parser/parser.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <typeinfo>
#include <utility>

// The text blocks of the page as addtext sees them: each block's rectangle
// and line size, and the blocks ordered by the lower edge of the area in
// which they take runs. A block whose lower edge lies above a run's top
// cannot take the run, so only the blocks at or below the run are tested;
// for text that comes from the top of the page down, that is the block of
// the current line.
struct Page::TextBlockIndex {
    struct Box {
        double x, y, width, height, dim;
        bool holdsRuns;
    };
    std::vector<Box> boxes;                                 // by block index
    std::vector<std::pair<double, std::size_t>> byBottom;   // (lower edge, index), ascending
    std::vector<std::size_t> always;   // tested for every run: empty blocks, NaN edges
    std::vector<std::size_t> found;    // the blocks that may take the current run

    static double Bottom(const Box& b) { return b.y - 0.01 * b.dim; }

    static Box BoxOf(const TextBlock* block)
    {
        return {block->getX(),      block->getY(),   block->getWidth(),
                block->getHeight(), block->getDim(), block->GetEleCount() > 0};
    }

    void add(std::size_t i, const TextBlock* block)
    {
        if (boxes.size() <= i)
            boxes.resize(i + 1);
        Box& b = boxes[i];
        b = BoxOf(block);
        const double bottom = Bottom(b);
        if (!b.holdsRuns || std::isnan(bottom)) {
            always.insert(std::lower_bound(always.begin(), always.end(), i), i);
            return;
        }
        const std::pair<double, std::size_t> key{bottom, i};
        byBottom.insert(std::lower_bound(byBottom.begin(), byBottom.end(), key), key);
    }

    void remove(std::size_t i)
    {
        const Box& b = boxes[i];
        const double bottom = Bottom(b);
        if (!b.holdsRuns || std::isnan(bottom)) {
            always.erase(std::find(always.begin(), always.end(), i));
            return;
        }
        const auto it = std::lower_bound(byBottom.begin(), byBottom.end(),
                                         std::pair<double, std::size_t>{bottom, i});
        byBottom.erase(it);
    }

    // Block i took a run. A run on the block's line widens it and leaves
    // its lower edge where it was, and with it the block's place in
    // byBottom: only its box changes.
    void update(std::size_t i, const TextBlock* block)
    {
        const Box now = BoxOf(block);
        const Box& was = boxes[i];
        const double bottom = Bottom(now);
        if (was.holdsRuns && now.holdsRuns && !std::isnan(bottom) && bottom == Bottom(was)) {
            boxes[i] = now;
            return;
        }
        remove(i);
        add(i, block);
    }

    void rebuild(const std::vector<TextBlock*>& blocks)
    {
        boxes.clear();
        byBottom.clear();
        always.clear();
        for (std::size_t i = 0; i < blocks.size(); ++i)
            add(i, blocks[i]);
    }

    // The blocks that may take the run, in block order.
    const std::vector<std::size_t>& candidates(double tx, double ty, double tw, double th)
    {
        std::vector<std::size_t>& out = found;
        out.clear();
        for (std::size_t i : always) {
            const Box& b = boxes[i];
            if (!b.holdsRuns || TextBlock::TakesRun(b.x, b.y, b.width, b.height, b.dim, tx, ty, tw, th))
                out.push_back(i);
        }
        if (th >= 0.1 && tw >= 0.1) {
            // One point of slack keeps every block whose lower edge reaches
            // the run's top whatever the rounding; TakesRun decides.
            const double runTop = ty + th + 0.01 * th;
            const auto end = std::isnan(runTop)
                                 ? byBottom.end()
                                 : std::upper_bound(byBottom.begin(), byBottom.end(),
                                                    std::pair<double, std::size_t>{
                                                        runTop + 1.0, SIZE_MAX});
            for (auto it = byBottom.begin(); it != end; ++it) {
                const Box& b = boxes[it->second];
                if (TextBlock::TakesRun(b.x, b.y, b.width, b.height, b.dim, tx, ty, tw, th))
                    out.push_back(it->second);
            }
        }
        std::sort(out.begin(), out.end());
        return out;
    }
};

Page::Page(IWriter* writer) : writer(writer) {}

Page::~Page()
{
    // Every block lives in exactly one of these lists: the intermediate lists
    // hand their blocks over to `blocks` (or delete them) as the parse goes.
    for (Block* b : blocks)
        delete b;
    for (TextBlock* b : textBlocks)
        delete b;
    for (TableBlock* b : tableBlocks)
        delete b;
    for (ImageBlock* b : imageBlocks)
        delete b;
    for (line* l : rulingLines)
        delete l;
    for (PageCol* c : cols)
        delete c;
}

void Page::write(void* ctx)
{
    writer->writePage(ctx, this);
}

bool Page::ParserPage(Parser* parser, int page, bool ignoreImages, bool pageAsImage,
                      bool ignoreTables, bool keepObjectOrder, bool drawGraphics)
{
    // 1. Page size.
    const bool loaded = parser->SetCurrentPage(page);
    PagePipeline::FreeReturnedPages();
    parser->GetPageWidth(width, -1);
    parser->GetPageHeight(height, -1);

    // 2. The whole page as one picture.
    if (pageAsImage) {
        makePagePicture(parser, page);
        return loaded;
    }

    // 3. Walk the page's objects.
    std::vector<LinkCollect*> links;
    try {
        while (CollectBase* obj = parser->GetNextObj()) {
            // The parser's objects are of the four kinds themselves: an exact
            // type match spares the casts; anything else is cast.
            TextCollect* text = nullptr;
            GraphicsCollect* graphic = nullptr;
            ImageCollect* image = nullptr;
            LinkCollect* link = nullptr;
            const std::type_info& kind = typeid(*obj);
            if (kind == typeid(TextCollect))
                text = static_cast<TextCollect*>(obj);
            else if (kind == typeid(GraphicsCollect))
                graphic = static_cast<GraphicsCollect*>(obj);
            else if (kind == typeid(ImageCollect))
                image = static_cast<ImageCollect*>(obj);
            else if (kind == typeid(LinkCollect))
                link = static_cast<LinkCollect*>(obj);
            else if (!(text = dynamic_cast<TextCollect*>(obj)) &&
                     !(graphic = dynamic_cast<GraphicsCollect*>(obj)) &&
                     !(image = dynamic_cast<ImageCollect*>(obj)))
                link = dynamic_cast<LinkCollect*>(obj);

            if (text) {
                const ParserMatrix& m = text->GetMatrix();
                const double x = m.e;
                const double y = m.f;
                const double h = text->GetTextHeight();
                if (x < 0)
                    overflowLeft = std::max(overflowLeft, double(safemath::TruncAbs(x)));
                if (y + h > height)
                    overflowAbove = std::max(overflowAbove, y + h - height);
                if (y < 0)
                    overflowBelow = std::max(overflowBelow, double(safemath::TruncAbs(y)));
                if (text->GetText() != " ")
                    textObjects.push_back(text);
            } else if (graphic) {
                double left = 0, top = 0, right = 0, bottom = 0;
                graphic->GetRegion(left, top, right, bottom);
                if (top > height)
                    overflowAbove = std::max(overflowAbove, top - height);
                // An area painted by a shading or a pattern has no vector
                // form for a writer that draws the graphics: it is drawn
                // into a picture of its own.
                if (drawGraphics && !ignoreImages && graphic->GetPaintWay() == kPaintShading)
                    pictureObjects.push_back(graphic);
                else if (!ignoreTables || drawGraphics)
                    graphics.push_back(graphic);
                else
                    pictureObjects.push_back(graphic);
            } else if (image) {
                const ParserMatrix& m = image->GetMatrix();
                const double x = std::max(m.e, 0.0);
                const double y = m.f;
                int iw = 0, ih = 0;
                image->GetImageSizeInPdf(iw, ih);
                if (safemath::TruncAbs(x) > 1.5 * width || safemath::TruncAbs(y) > 1.5 * height)
                    continue;
                if (y + ih > height)
                    overflowAbove = std::max(overflowAbove, y + ih - height);
                if (y < 0)
                    overflowBelow = std::max(overflowBelow, double(safemath::TruncAbs(y)));
                if (!ignoreImages)
                    pictureObjects.push_back(image);
            } else if (link) {
                links.push_back(link);
            }
        }
    } catch (...) {
        // A page that cannot be walked keeps no blocks.
        textObjects.clear();
        graphics.clear();
        pictureObjects.clear();
        return loaded;
    }

    // A request to stop ends the analysis between its steps and inside the
    // long ones; the page keeps what it has, and the job ends. A page of a
    // hundred thousand words takes seconds, so asking every quarter of a
    // second is enough, and a short page is not asked at all. The questions
    // come once a word: the clock is read once in 32 of them.
    CancelProbe probe(parser->GetCancelCallback(), parser->GetCallbackContext(),
                      std::chrono::milliseconds(250), 32);
    auto stopped = [&probe] { return probe.Stopped(); };

    // 4. Picture regions, which take their places among the text blocks (a
    // page is one picture only with pageAsImage). With tables, drawings that
    // are not ruling lines are pictures too.
    if (!ignoreImages) {
        if (!ignoreTables && !drawGraphics)
            placePictureRegions();
        else
            creatImages(ignoreTables);
    }

    // 5. Keep the regions on the page.
    for (ImageBlock* b : imageBlocks) {
        if (b->getX() < 0)
            b->setPosition(0, b->getY());
        if (b->getWidth() > width)
            b->setWidth(width);
        if (b->getHeight() > height)
            b->setHeight(height);
    }

    // 7.1 Tables from ruling lines, and the text that falls into them.
    if (stopped())
        return loaded;
    if (!ignoreTables) {
        createtables();
        puttextintable();
    }
    // 7.2 Text blocks.
    for (TextCollect* t : textObjects) {
        if (stopped())
            return loaded;
        addtext(t);
    }
    textIndex.reset();
    // 7.3 Words (or one run per block on recognised pages).
    const bool recognised = parser->GetRecognitionSwitch();
    for (TextBlock* b : textBlocks) {
        if (stopped())
            return loaded;
        if (recognised)
            b->CombineElements();
        else
            b->parserLatinWords();
    }
    // 7.4 Pictures whose file could be made.
    for (ImageBlock* b : imageBlocks) {
        if (!ignoreImages && b->getImage(parser))
            blocks.push_back(b);
        else
            delete b;
    }
    imageBlocks.clear();
    // 7.5 Text blocks.
    blocks.insert(blocks.end(), textBlocks.begin(), textBlocks.end());
    textBlocks.clear();
    // 7.6 Tables that hold text, moved up by what the text reached beyond the
    // top edge.
    if (!ignoreTables) {
        for (TableBlock* t : tableBlocks) {
            if (t->IsEmpty()) {
                delete t;
                continue;
            }
            t->setPosition(t->getX(), t->getY() + overflowAbove);
            blocks.push_back(t);
        }
    } else {
        for (TableBlock* t : tableBlocks)
            delete t;
    }
    tableBlocks.clear();
    // 7.7 Columns, merged blocks, row bands and reading order.
    if (stopped())
        return loaded;
    if (!keepObjectOrder && !recognised) {
        SplitCol();
        combineTextBlock([&] { return stopped(); });
        if (stopped())
            return loaded;
        SplitRow();
        for (Block* b : blocks) {
            if (b->getColumn() < 0)
                b->setColumn(-b->getColumn());
        }
        Block::SortReadingOrder(blocks);
    }
    // 7.8 Graphic blocks after the sorted blocks.
    if (drawGraphics) {
        for (GraphicsCollect* g : graphics) {
            auto* gb = new GraphicBlock(g, writer);
            gb->SetPageWidth(width);
            gb->SetPageHeight(height);
            blocks.push_back(gb);
        }
    }
    // 7.9 Links.
    ResolveLinks(links);
    return loaded;
}

bool Page::addtext(TextCollect* run)
{
    if (!textIndex)
        textIndex = std::make_unique<TextBlockIndex>();
    TextBlockIndex& index = *textIndex;
    if (index.boxes.size() != textBlocks.size())
        index.rebuild(textBlocks);

    // The first block, in order, that takes the run.
    const ParserMatrix& m = run->GetMatrix();
    for (std::size_t i : index.candidates(m.e, m.f, run->GetTextWidth(), run->GetTextHeight())) {
        if (textBlocks[i]->addElement(run, height)) {
            index.update(i, textBlocks[i]);
            return true;
        }
    }
    auto* b = new TextBlock(writer);
    b->addElement(run, height);
    textBlocks.push_back(b);
    index.add(textBlocks.size() - 1, b);
    return true;
}

void Page::combineTextBlock(const std::function<bool()>& stopped)
{
    // The text blocks among `blocks`, cast once (null for other kinds), kept
    // in step with `blocks`.
    std::vector<TextBlock*> text(blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i)
        text[i] = dynamic_cast<TextBlock*>(blocks[i]);
    // Blocks that took others are sorted once, after the last merge: the
    // merge test looks at rectangles only, never at the order of the runs.
    std::vector<char> grown(blocks.size(), 0);
    bool merged = true;
    while (merged) {
        merged = false;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            TextBlock* a = text[i];
            if (!a)
                continue;
            if (stopped && stopped())
                return;
            std::size_t j = i + 1;
            while (j < blocks.size()) {
                TextBlock* b = text[j];
                if (b && a->isContain(b) && a->Absorb(b)) {
                    delete b;
                    blocks.erase(blocks.begin() + static_cast<std::ptrdiff_t>(j));
                    text.erase(text.begin() + static_cast<std::ptrdiff_t>(j));
                    grown.erase(grown.begin() + static_cast<std::ptrdiff_t>(j));
                    grown[i] = 1;
                    merged = true;
                    continue;   // the next block now stands at j
                }
                ++j;
            }
        }
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (grown[i])
            text[i]->SortElements();
    }
}

void Page::makePagePicture(Parser* parser, int page)
{
    auto* picture = new ImageBlock(writer);
    picture->setPosition(0, 0);
    picture->setWidth(width);
    picture->setHeight(height);
    picture->SetPageHeight(height);
    const std::wstring n = picture->getNumberName();
    const std::wstring jpegPath = GlobalEnum::tmppath + L"ImageFiles/" + n + L".jpg";
    picture->setImagePath(L"image/" + n + L".jpg");

    wchar_t parsed[1024] = {};
    bool rendered = false;
    if (parser->GetParsedFilePath(parsed, 1024))
        rendered = Parser::ConvertPDFPageToJpeg(parsed, jpegPath, page + 1, 96,
                                                parser->GetPassword(),
                                                parser->GetCancelCallback(),
                                                parser->GetCallbackContext());
    // A page whose picture could not be rendered gets no block that would
    // point the output at a missing file.
    if (!rendered) {
        delete picture;
        return;
    }
    blocks.push_back(picture);
}
