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

bool Book::parse()
{
    const int m = parser->GetPageCount();
    pageCount = m;
    ++documents;
    for (int k = 0; k < m; ++k) {
        if (cancelled())
            return false;
        readcurrentpage(k);
        reportPage(k, m);
    }
    return true;
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
    for (int page = first; page <= last; ++page) {
        if (cancelled())
            return false;
        readcurrentpage(page);
        reportPage(page - first, m);
    }
    return true;
}

bool Book::parse(std::vector<int> list)
{
    const int count = parser->GetPageCount();
    ++documents;
    const int m = static_cast<int>(list.size());
    for (int k = 0; k < m; ++k) {
        const int page = list[static_cast<std::size_t>(k)];
        if (page < 0 || page > count - 1)
            continue;
        if (cancelled())
            return false;
        readcurrentpage(page);
        reportPage(k, m);
    }
    return true;
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

void Book::readcurrentpage(int page)
{
    Page* p = new Page(writer);
    pages.push_back(p);
    origins.push_back(PageOrigin{documents - 1, page});
    p->ParserPage(parser, page, ignoreImages, pageAsImage, ignoreTables, keepObjectOrder,
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
