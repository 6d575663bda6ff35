#include "engine/layout/book.h"

#include "engine/layout/iwriter.h"
#include "engine/layout/page.h"
#include "parser/parser.h"

Book::Book(bool ignoreImages, bool pageAsImage, bool ignoreTables, bool keepObjectOrder,
           int num, void* ctx, const callback_funcs& callbacks, bool drawGraphics)
    : ignoreImages(ignoreImages),
      pageAsImage(pageAsImage),
      ignoreTables(ignoreTables),
      keepObjectOrder(keepObjectOrder),
      drawGraphics(drawGraphics),
      progress(callbacks.progress),
      cancel(callbacks.cancel),
      num(num),
      ctx(ctx)
{
}

Book::~Book()
{
    destory();
}

void Book::ChangeBook(Parser* p)
{
    parser = p;
}

void Book::setWriter(IWriter* w)
{
    if (writer != w)
        delete writer;
    writer = w;
}

void Book::Setnum(int n)
{
    num = n;
}

bool Book::cancelled() const
{
    return cancel && cancel(ctx);
}

void Book::reportPage(int k, int m) const
{
    if (!progress)
        return;
    const double step = 50.0 / m;
    progress(ctx, num, WM_PROGRESS_PERCENT,
             30 + static_cast<int>(step) + static_cast<int>(k * step));
}

// A page tree may claim far more pages than the file holds: this many pages
// in a row that cannot be loaded end the walk, so that the job's time and
// memory follow the pages the file really has.
constexpr int kMaxMissingRun = 16;

bool Book::missing(bool loaded)
{
    missingRun = loaded ? 0 : missingRun + 1;
    return missingRun >= kMaxMissingRun;
}

bool Book::parse()
{
    const int m = parser->GetPageCount();
    pageCount = m;
    ++documents;
    missingRun = 0;
    for (int k = 0; k < m; ++k) {
        if (cancelled())
            return false;
        const bool loaded = readcurrentpage(k);
        reportPage(k, m);
        if (missing(loaded))
            break;
    }
    // A request to stop may have ended the last page's run part way.
    return !cancelled();
}

bool Book::parse(int first, int last)
{
    const int count = parser->GetPageCount();
    ++documents;
    if (last > count - 1)
        last = count - 1;
    if (first > last || first < 0)
        first = 0;
    const int m = last - first + 1;
    missingRun = 0;
    for (int page = first; page <= last; ++page) {
        if (cancelled())
            return false;
        const bool loaded = readcurrentpage(page);
        reportPage(page - first, m);
        if (missing(loaded))
            break;
    }
    // A request to stop may have ended the last page's run part way.
    return !cancelled();
}

bool Book::parse(std::vector<int> list)
{
    const int count = parser->GetPageCount();
    ++documents;
    const int m = static_cast<int>(list.size());
    missingRun = 0;
    for (int k = 0; k < m; ++k) {
        const int page = list[static_cast<std::size_t>(k)];
        if (page < 0 || page > count - 1)
            continue;
        if (cancelled())
            return false;
        const bool loaded = readcurrentpage(page);
        reportPage(k, m);
        if (missing(loaded))
            break;
    }
    // A request to stop may have ended the last page's run part way.
    return !cancelled();
}

std::vector<Page*> Book::GetPages()
{
    return pages;
}

std::wstring Book::write(const std::wstring& dir, const std::wstring& name)
{
    writer->write(this);
    return writer->save(dir, name);
}

bool Book::readcurrentpage(int page)
{
    Page* p = new Page(writer);
    pages.push_back(p);
    origins.push_back(PageOrigin{documents - 1, page});
    return p->ParserPage(parser, page, ignoreImages, pageAsImage, ignoreTables, keepObjectOrder,
                         drawGraphics);
}

void Book::destory()
{
    for (Page* p : pages)
        delete p;
    pages.clear();
    origins.clear();
    delete writer;
    writer = nullptr;
    parser = nullptr;
}
