#include "engine/layout/page.h"

#include "engine/layout/block.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/imageblock.h"
#include "engine/layout/iwriter.h"
#include "engine/layout/safemath.h"
#include "engine/layout/strutil.h"
#include "engine/layout/tableblock.h"
#include "engine/layout/textblock.h"
#include "parser/parser.h"

#include <algorithm>
#include <cmath>

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

void Page::ParserPage(Parser* parser, int page, bool ignoreImages, bool pageAsImage,
                      bool ignoreTables, bool keepObjectOrder, bool drawGraphics)
{
    // 1. Page size.
    parser->SetCurrentPage(page);
    parser->GetPageWidth(width, -1);
    parser->GetPageHeight(height, -1);

    // 2. The whole page as one picture.
    if (pageAsImage) {
        makePagePicture(parser, page);
        return;
    }

    // 3. Walk the page's objects.
    std::vector<LinkCollect*> links;
    try {
        while (CollectBase* obj = parser->GetNextObj()) {
            if (auto* text = dynamic_cast<TextCollect*>(obj)) {
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
            } else if (auto* graphic = dynamic_cast<GraphicsCollect*>(obj)) {
                double left = 0, top = 0, right = 0, bottom = 0;
                graphic->GetRegion(left, top, right, bottom);
                if (top > height)
                    overflowAbove = std::max(overflowAbove, top - height);
                if (!ignoreTables || drawGraphics)
                    graphics.push_back(graphic);
                else
                    pictureObjects.push_back(graphic);
            } else if (auto* image = dynamic_cast<ImageCollect*>(obj)) {
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
            } else if (auto* link = dynamic_cast<LinkCollect*>(obj)) {
                links.push_back(link);
            }
        }
    } catch (...) {
        // A page that cannot be walked keeps no blocks.
        textObjects.clear();
        graphics.clear();
        pictureObjects.clear();
        return;
    }

    // 4. Picture regions.
    if (!ignoreImages)
        creatImages(ignoreTables);

    // 5. Keep the regions on the page.
    for (ImageBlock* b : imageBlocks) {
        if (b->getX() < 0)
            b->setPosition(0, b->getY());
        if (b->getWidth() > width)
            b->setWidth(width);
        if (b->getHeight() > height)
            b->setHeight(height);
    }

    // 6. Neither pictures left out nor graphics drawn: the page is one picture.
    if (!ignoreImages && !drawGraphics) {
        for (ImageBlock* b : imageBlocks)
            delete b;
        imageBlocks.clear();
        makePagePicture(parser, page);
        return;
    }

    // 7.1 Tables from ruling lines, and the text that falls into them.
    if (!ignoreTables) {
        createtables();
        puttextintable();
    }
    // 7.2 Text blocks.
    for (TextCollect* t : textObjects)
        addtext(t);
    // 7.3 Words (or one run per block on recognised pages).
    const bool recognised = parser->GetRecognitionSwitch();
    for (TextBlock* b : textBlocks) {
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
    if (!keepObjectOrder && !recognised) {
        SplitCol();
        combineTextBlock();
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
}

bool Page::addtext(TextCollect* run)
{
    constexpr std::size_t kFields = 6;
    const auto remember = [this](std::size_t i, const TextBlock* b) {
        double* f = &textBlockBounds[i * kFields];
        f[0] = b->getX();
        f[1] = b->getY();
        f[2] = b->getWidth();
        f[3] = b->getHeight();
        f[4] = b->getDim();
        f[5] = b->GetEleCount() > 0 ? 1.0 : 0.0;
    };
    if (textBlockBounds.size() != textBlocks.size() * kFields) {
        textBlockBounds.assign(textBlocks.size() * kFields, 0.0);
        for (std::size_t i = 0; i < textBlocks.size(); ++i)
            remember(i, textBlocks[i]);
    }

    // The first block that takes the run, in order (the test of addElement
    // on the copied rectangles; every block here already holds a run).
    const ParserMatrix& m = run->GetMatrix();
    const double tw = run->GetTextWidth();
    const double th = run->GetTextHeight();
    for (std::size_t i = 0; i < textBlocks.size(); ++i) {
        const double* f = &textBlockBounds[i * kFields];
        if (f[5] != 0.0 && !TextBlock::TakesRun(f[0], f[1], f[2], f[3], f[4], m.e, m.f, tw, th))
            continue;
        if (textBlocks[i]->addElement(run, height, width)) {
            remember(i, textBlocks[i]);
            return true;
        }
    }
    auto* b = new TextBlock(writer);
    b->addElement(run, height, width);
    textBlocks.push_back(b);
    textBlockBounds.resize(textBlocks.size() * kFields);
    remember(textBlocks.size() - 1, b);
    return true;
}

void Page::combineTextBlock()
{
    bool merged = true;
    while (merged) {
        merged = false;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            auto* a = dynamic_cast<TextBlock*>(blocks[i]);
            if (!a)
                continue;
            std::size_t j = i + 1;
            while (j < blocks.size()) {
                auto* b = dynamic_cast<TextBlock*>(blocks[j]);
                if (b && a->isContain(b) && a->EatBlock(b)) {
                    delete b;
                    blocks.erase(blocks.begin() + static_cast<std::ptrdiff_t>(j));
                    merged = true;
                    continue;   // the next block now stands at j
                }
                ++j;
            }
        }
    }
}

void Page::makePagePicture(Parser* parser, int page)
{
    auto* picture = new ImageBlock(writer);
    picture->setPosition(0, 0);
    picture->setWidth(width);
    picture->setHeight(height);
    picture->SetPageHeight(height);
    const std::string n = int2str(picture->getImageId());
    const std::wstring jpegPath = GlobalEnum::tmppath + L"ImageFiles/" +
                                  std::wstring(n.begin(), n.end()) + L".jpg";
    picture->setImagePath(L"image/" + std::wstring(n.begin(), n.end()) + L".jpg");

    wchar_t parsed[1024] = {};
    bool rendered = false;
    if (parser->GetParsedFilePath(parsed, 1024))
        rendered = Parser::ConvertPDFPageToJpeg(parsed, jpegPath, page + 1, 96,
                                                parser->GetPassword());
    // A page whose picture could not be rendered gets no block that would
    // point the output at a missing file.
    if (!rendered) {
        delete picture;
        return;
    }
    blocks.push_back(picture);
}
