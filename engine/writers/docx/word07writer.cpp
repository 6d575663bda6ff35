#include "engine/writers/docx/word07writer.h"

#include "engine/layout/block.h"
#include "engine/layout/book.h"
#include "engine/layout/fileutil.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/imageblock.h"
#include "engine/layout/page.h"
#include "engine/layout/strutil.h"
#include "engine/layout/tableblock.h"
#include "engine/layout/textblock.h"
#include "engine/writers/docx/word07book.h"
#include "engine/writers/docx/word07content.h"
#include "engine/writers/docx/word07shapes.h"
#include "parser/parser.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// The block operations receive the section they write into; anything else
// (or null) makes them do nothing.
Word07Section* SectionOf(void* ctx)
{
    return ctx ? dynamic_cast<Word07Section*>(static_cast<ObjectInfo*>(ctx)) : nullptr;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The page model reports words without the spaces between them. Two runs of
// a line that a visible gap separates get the space back; runs that touch
// (a change of style inside a word) stay joined.
bool NeedsSpace(const Text* prev, const Text* t)
{
    if (!prev || prev->text.empty() || t->text.empty() || IsSpace(prev->text.back()) ||
        IsSpace(t->text.front()))
        return false;
    const double size = t->fontSize != 0 ? std::fabs(t->fontSize) : t->height;
    return t->x - (prev->x + prev->width) > 0.1 * size;
}

// Six lower-case hexadecimal digits of the run's colour, no "#".
std::string ColourText(const Text* t)
{
    return double2rgbstring(t->color);
}

WordsInfo::WordStyle StyleOf(const Text* t, const std::string& colour)
{
    WordsInfo::WordStyle style;
    style.color = colour;
    // Word processors know fonts by their family names, not by the PDF's
    // PostScript names.
    style.fontName = t->fontFamily.empty() ? t->fontName : t->fontFamily;
    style.fontSize = t->fontSize;
    style.bold = t->bold;
    style.italic = t->italic;
    style.underline = false;
    return style;
}

// Two runs that a reader shows alike: the properties a run writes.
bool SameLook(const WordsInfo::WordStyle& a, const WordsInfo::WordStyle& b)
{
    return a.fontName == b.fontName && a.fontSize == b.fontSize && a.color == b.color &&
           a.bold == b.bold && a.italic == b.italic && a.underline == b.underline;
}

int WholePoints(double v)
{
    return word07::WholeNumber(v);
}

// Page texts kept for reuse: about as many as pages are under way at once,
// none larger than this.
constexpr std::size_t kSpareTexts = 16;
constexpr std::size_t kLargestSpareText = std::size_t(8) << 20;

} // namespace

// A page's shapes as text, made on the thread that analysed the page.
struct Word07Writer::PageShapes {
    std::string text;
    word07::PageParts parts;
    bool any = false;
    std::vector<Word07Section::FontUse> fonts;
};

Word07Writer::Word07Writer(wordOp* opts) : options(opts)
{
}

Word07Writer::~Word07Writer() = default;

std::unique_ptr<Word07Writer::PageShapes> Word07Writer::makeShapes(Page* page, std::size_t index) const
{
    auto shapes = std::make_unique<PageShapes>();
    shapes->text = takeSpareText();
    Word07Section section;
    section.SetPageIndex(static_cast<int>(index));
    section.SetHeight(page->GetHeight());
    section.SetWidth(page->GetWidth());
    page->write(&section);
    shapes->any = section.writeShapes(shapes->text, &shapes->parts);
    shapes->fonts = section.UsedFonts();
    return shapes;
}

std::string Word07Writer::takeSpareText() const
{
    std::lock_guard<std::mutex> lock(spareLock);
    if (spareTexts.empty())
        return std::string();
    std::string text = std::move(spareTexts.back());
    spareTexts.pop_back();
    return text;
}

void Word07Writer::keepSpareText(std::string&& text) const
{
    if (text.capacity() > kLargestSpareText)
        return;
    text.clear();
    std::lock_guard<std::mutex> lock(spareLock);
    if (spareTexts.size() < kSpareTexts)
        spareTexts.push_back(std::move(text));
}

void Word07Writer::preparePage(Page* page, std::size_t index)
{
    // Only pages the walk will take: a book analysed before write runs
    // (not streaming) has its pages made by the walk itself.
    if (!page || !walking.load() || index >= prepared.size())
        return;
    prepared[index] = makeShapes(page, index);
}

void Word07Writer::appendShapes(const PageShapes& shapes)
{
    if (!book)
        return;
    for (const Word07Section::FontUse& font : shapes.fonts)
        book->UseFont(font.family, font.fixedPitch, font.serif);
    const std::string_view text = shapes.text;
    std::string filled;   // what goes in at a place
    std::size_t from = 0;
    for (const word07::PageParts::Place& place : shapes.parts.places) {
        book->AppendBody(text.substr(from, place.at - from));
        from = place.at;
        filled.clear();
        switch (place.kind) {
        case word07::PageParts::kPictureType:
            if (!word07::ShapeTypes::picture)
                word07::WritePictureShapeType(filled);
            break;
        case word07::PageParts::kTextBoxType:
            if (!word07::ShapeTypes::textBox)
                word07::WriteTextBoxShapeType(filled);
            break;
        case word07::PageParts::kTextPathType:
            if (!word07::ShapeTypes::textPath)
                word07::WriteTextPathShapeType(filled);
            break;
        case word07::PageParts::kPictureNumber:
            filled += int2str(pictures + place.picture);
            break;
        }
        book->AppendBody(filled);
    }
    book->AppendBody(text.substr(from));
    Section* rels = book->GetRelDocument()->getContents().empty()
                        ? nullptr
                        : book->GetRelDocument()->getContents().front();
    for (const std::wstring& path : shapes.parts.pictures) {
        if (rels)
            rels->appendObject(word07::NewPictureRelationship(pictures, path));
        ++pictures;
    }
}

void Word07Writer::write(Book* source)
{
    startBook(new Word07Book(options));
    documentOfPage.clear();
    pageIndexOf.clear();
    pictures = 0;
    const int n = source ? source->CountPages() : 0;

    // Links name pages by their number in their own document; the book
    // tells which document and page each page of the output is.
    if (source) {
        const std::vector<Book::PageOrigin> origins = source->GetPageOrigins();
        if (origins.size() == static_cast<std::size_t>(n)) {
            for (int i = 0; i < n; ++i) {
                const Book::PageOrigin& o = origins[static_cast<std::size_t>(i)];
                documentOfPage.push_back(o.document);
                pageIndexOf.emplace(std::make_pair(o.document, o.page), i);
            }
        }
    }

    if (n == 0 || !book->BeginBody())
        return;
    word07::ShapeTypes::Reset();
    bool firstBreak = true;
    auto makeBreak = [&](const Page* page) {
        auto breakSection = std::make_unique<Word07Section>();
        breakSection->SetIfPageSize(true);
        breakSection->SetHeight(WholePoints(page->GetHeight()));
        breakSection->SetWidth(WholePoints(page->GetWidth()));
        breakSection->SetSectionStart(firstBreak ? "continuous" : "nextPage");
        firstBreak = false;
        if (page->isMultiCol()) {
            for (Page::PageCol* col : page->GetCols())
                breakSection->AddCol(col ? col->width : 0);
        }
        return breakSection;
    };
    // From here the pages analysed for the walk have their shapes made on
    // the thread that analysed them; the walk puts each into the body and
    // lets it go before the next: the writer holds a few pages' text.
    prepared.clear();
    prepared.resize(static_cast<std::size_t>(n));
    walking = true;
    struct EndWalk {
        Word07Writer* writer;
        ~EndWalk() { writer->walking = false; }
    } endWalk{this};
    std::string xml;
    Page* page = nullptr;
    int written = 0;
    for (int i = 0; i < n; ++i) {
        Page* current = source->GetPage(i);
        if (!current)
            break;   // cancelled (nothing is saved), or the book ended early
        page = current;
        // The book may end before the pages it listed (a page tree that
        // claims pages the file does not hold): the page before its end is
        // the last.
        const Page* next = i < n - 1 ? source->GetPage(i + 1) : nullptr;
        if (source->WasCancelled())
            return;
        written = i + 1;
        std::unique_ptr<PageShapes> shapes = std::move(prepared[static_cast<std::size_t>(i)]);
        if (!shapes)
            shapes = makeShapes(page, static_cast<std::size_t>(i));
        Word07Section section;
        section.SetIfPageSize(false);
        section.SetPageIndex(i);
        section.SetPageCount(next ? n : written);
        section.SetHeight(page->GetHeight());
        section.SetWidth(page->GetWidth());
        // A page ends its section when it is laid out in columns, and when
        // the next page has another size: a section carries one page size,
        // and a page given the size of another would lose what lies beyond.
        std::unique_ptr<Word07Section> breakSection;
        if (next) {
            const bool otherSize = WholePoints(page->GetWidth()) != WholePoints(next->GetWidth()) ||
                                   WholePoints(page->GetHeight()) != WholePoints(next->GetHeight());
            if (page->isMultiCol() || otherSize) {
                breakSection = makeBreak(page);
                section.SetSectionEnd(breakSection.get());
            }
        }
        xml.clear();
        section.writeOpening(xml, shapes->any);
        book->AppendBody(xml);
        appendShapes(*shapes);
        xml.clear();
        section.writeClosing(xml, shapes->any);
        book->AppendBody(xml);
        keepSpareText(std::move(shapes->text));
    }
    if (!page || source->WasCancelled())
        return;   // nothing is saved
    // The final section holds the last page.
    xml.clear();
    makeBreak(page)->writeText(xml);
    book->AppendBody(xml);
    book->EndBody();
    book->SetPageCount(written);
}

int Word07Writer::bookmarkFor(const Word07Section* section, int page) const
{
    if (page < 0)
        return -1;
    if (!book || documentOfPage.empty())
        return page;
    const int index = section->GetPageIndex();
    if (index < 0 || index >= static_cast<int>(documentOfPage.size()))
        return -1;
    auto it = pageIndexOf.find({documentOfPage[static_cast<std::size_t>(index)], page});
    return it == pageIndexOf.end() ? -1 : it->second;
}

void Word07Writer::writeText(void* ctx, TextBlock* block)
{
    Word07Section* section = SectionOf(ctx);
    if (!section || !block)
        return;
    block->returnTheFirst();
    auto* box = new Word07TextBlockInfo;
    box->setX(block->getX());
    box->setHeight(block->getHeight());
    box->setWidth(block->getWidth());
    section->appendObject(box);

    std::vector<Word07TextBlockInfo*> boxes{box};
    Word07LineInfo* line = nullptr;
    double lineY = 0;
    const Text* previous = nullptr;   // the run before, on the same line
    Word07WordsInfo* lineRun = nullptr;   // the line's last run (owned by the line)
    double widest = 0;                // the widest upright run
    double right = block->getX();     // the right end of the longest line
    for (Text* t = block->getCurrentElement(); t; block->setNext(), t = block->getCurrentElement()) {
        if (t->matrix[1] == 0 && t->matrix[2] == 0) {
            widest = std::max(widest, t->width);
            right = std::max(right, t->x + t->width);
            const double runTop = t->pageHeight - t->y - t->height;   // from the page's top
            if (boxes.size() == 1)
                box->setY(t->pageHeight - block->getY() - block->getHeight());
            if (!line || std::fabs(t->y - lineY) >= 1) {
                const bool first = !line;
                // A box stacks its lines downward: a line that starts above
                // the end of the line before (a subscript, a label under a
                // formula) gets a box of its own at its place.
                if (line && runTop < box->getY() + line->getY() + line->getHeight() - 0.5) {
                    box = new Word07TextBlockInfo;
                    box->setX(block->getX());
                    box->setY(runTop);
                    box->setHeight(t->height);
                    box->setWidth(block->getWidth());
                    section->appendObject(box);
                    boxes.push_back(box);
                }
                line = new Word07LineInfo;
                line->setX(std::fabs(t->x - box->getX()));
                line->setY(std::max(0.0, runTop - box->getY()));
                line->setHeight(t->height);
                box->AddObject(line);
                lineY = first ? std::fabs(t->y) : t->y;
                previous = nullptr;
                lineRun = nullptr;
            }
            // A taller run raises the top of its line.
            if (runTop - box->getY() < line->getY()) {
                const double raise = line->getY() - std::max(0.0, runTop - box->getY());
                line->setY(line->getY() - raise);
                line->setHeight(line->getHeight() + raise);
            }
            if (t->height > line->getHeight())
                line->setHeight(t->height);
            const int linkPage = t->hasLink && t->linkKind == 0 ? bookmarkFor(section, t->linkPage) : -1;
            const std::string text = (NeedsSpace(previous, t) ? " " : "") + CleanRunText(t->text);
            WordsInfo::WordStyle style = StyleOf(t, ColourText(t));
            // The words of a line that look alike share one run: a reader
            // shows the same, and a document of a run per word is many
            // times larger and slower to open.
            if (lineRun && lineRun->getLinkPage() == linkPage && SameLook(lineRun->getStyle(), style)) {
                lineRun->appendContent(text);
            } else {
                lineRun = new Word07WordsInfo;
                lineRun->setLinkPage(linkPage);
                lineRun->setContent(text);
                lineRun->setStyle(style);
                section->UseFont(style.fontName, t->fixedPitch, t->serif);
                line->appendContent(lineRun);
            }
            previous = t;
        } else {
            // A rotated or skewed run becomes a text box of its own, the
            // upright box that scaleText gives, turned by its angle.
            Text* copy = scaleText(t, 1.0, 2.0, t->pageHeight);
            if (!copy)
                continue;
            auto* rotated = new Word07TextBlockInfo;
            rotated->setMatrix(t->matrix);
            rotated->setHeight(copy->height);
            rotated->setWidth(copy->width);
            rotated->setX(copy->x);
            rotated->setY(copy->y);
            rotated->setRotation(WholePoints(copy->angle));
            auto* run = new Word07WordsInfo;
            run->setContent(CleanRunText(copy->text));
            run->setStyle(StyleOf(copy, ColourText(t)));
            section->UseFont(run->getStyle().fontName, t->fixedPitch, t->serif);
            rotated->AddObject(run);
            section->appendObject(rotated);
            delete copy;
        }
    }
    // A line of a box never wraps. Some readers wrap the text of a box at
    // its width whatever its no-wrap style says, and a reader without the
    // PDF's font sets the line in a substitute that may run much wider. The
    // box has no outline and no fill, and its text starts at its left edge,
    // so the box reaches to the right edge of the page, and further when
    // the longest line could need it in a font half as wide again.
    if (widest > 0) {
        const double longest = right - block->getX();
        const double room = std::max({std::ceil(longest * 1.5 + 2), std::ceil(widest * 1.5 + 1),
                                      std::ceil(section->GetWidth() - block->getX())});
        for (Word07TextBlockInfo* b : boxes) {
            if (b->getWidth() < room)
                b->setWidth(room);
        }
    }
}

void Word07Writer::writeTable(void* ctx, TableBlock* block)
{
    if (!SectionOf(ctx) || !block)
        return;
    for (TableBlock::TableR* row : block->getRows()) {
        if (row && row->writer)
            row->writer->writeTableR(ctx, row);
    }
}

void Word07Writer::writeTableR(void* ctx, TableBlock::TableR* row)
{
    if (!SectionOf(ctx) || !row)
        return;
    for (TableBlock::TableCol* cell : row->getCols()) {
        if (cell && cell->writer)
            cell->writer->writeTableCol(ctx, cell);
    }
}

void Word07Writer::writeTableCol(void* ctx, TableBlock::TableCol* cell)
{
    if (!SectionOf(ctx) || !cell || !cell->getBlock())
        return;
    cell->getBlock()->Write(ctx);
}

void Word07Writer::writeGraphic(void* ctx, GraphicBlock* block)
{
    Word07Section* section = SectionOf(ctx);
    GraphicsCollect* collect = block ? block->getElement() : nullptr;
    if (!section || !collect)
        return;
    for (int i = 0; i < collect->GetPathCount(); ++i)
        section->appendObject(
            new Word07Graphic(collect->GetPaintPath(i), block->GetPageHeight(), collect->GetPaintWay()));
}

void Word07Writer::writeImage(void* ctx, ImageBlock* block)
{
    Word07Section* section = SectionOf(ctx);
    if (!section || !block)
        return;
    // A picture needs its file in the work folder: without it the document
    // would refer to a part that does not exist.
    const std::wstring& path = block->getImagePath();
    const std::size_t slash = path.rfind(L'/');
    if (slash == std::wstring::npos || slash + 1 == path.size() ||
        !PathExists(GlobalEnum::tmppath + L"ImageFiles/" + path.substr(slash + 1)))
        return;
    auto* image = new Word07ImageInfo;
    image->setPath(path);
    image->SetPosition(block->getX(), block->getY());
    image->setHeight(block->getHeight());
    image->setWidth(block->getWidth());
    image->SetPageHeight(block->GetPageHeight());
    // Written directly into a document (not by write, which numbers the
    // pictures itself), the picture adds its relationship to the book's.
    if (book && !book->GetRelDocument()->getContents().empty())
        image->SetImgRelSect(book->GetRelDocument()->getContents().front());
    section->appendObject(image);
}
