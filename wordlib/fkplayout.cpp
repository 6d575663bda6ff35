#include "wordlib/fkplayout.h"

#include <array>

namespace scrivlet {

namespace {

// Adds one run to `page`, sharing an equal list already there.
void AddRun(ChpxFkp& page, std::uint32_t start, std::uint32_t end, const PropertyList& props)
{
    if (page.fcs.empty())
        page.fcs.push_back(start);
    page.fcs.push_back(end);
    std::size_t k = 0;
    while (k < page.lists.size() && !(page.lists[k] == props))
        ++k;
    if (k == page.lists.size())
        page.lists.push_back(props);
    page.runList.push_back(static_cast<std::uint32_t>(k));
}

void AddParagraph(PapxFkp& page, std::uint32_t start, std::uint32_t end, const PapxEntry& entry)
{
    if (page.fcs.empty())
        page.fcs.push_back(start);
    page.fcs.push_back(end);
    page.bx.push_back(BxPap{});
    std::size_t k = 0;
    while (k < page.entries.size() && !(page.entries[k] == entry))
        ++k;
    if (k == page.entries.size())
        page.entries.push_back(entry);
    page.runEntry.push_back(static_cast<std::uint32_t>(k));
}

bool Fits(const ChpxFkp& page)
{
    std::array<std::uint8_t, kFkpSize> buf;
    return writeChpxFkp(page, buf.data());
}

bool Fits(const PapxFkp& page)
{
    std::array<std::uint8_t, kFkpSize> buf;
    return writePapxFkp(page, buf.data());
}

// The lengths of a page's lists, so that an entry added to it can be taken
// back (adding only appends).
struct Mark {
    std::size_t a = 0, b = 0, c = 0, d = 0;
};

Mark MarkOf(const ChpxFkp& p)
{
    return {p.fcs.size(), p.lists.size(), p.runList.size(), 0};
}

void Undo(ChpxFkp& p, const Mark& m)
{
    p.fcs.resize(m.a);
    p.lists.resize(m.b);
    p.runList.resize(m.c);
}

Mark MarkOf(const PapxFkp& p)
{
    return {p.fcs.size(), p.bx.size(), p.entries.size(), p.runEntry.size()};
}

void Undo(PapxFkp& p, const Mark& m)
{
    p.fcs.resize(m.a);
    p.bx.resize(m.b);
    p.entries.resize(m.c);
    p.runEntry.resize(m.d);
}

// The common walk: each page takes entries in text order while the writer
// can still lay the page out; the entry that does not fit starts the next
// page. A page that the writer lays out still fits with its last entries
// taken away, so the longest run of entries that fits is found by trying
// runs of entries and taking back those that do not fit: first as many
// entries as the page before took (pages of one document take similar
// numbers), then runs of doubling length, halving the length after a
// failure, until one more entry does not fit. That is a few writes of the
// page instead of one for every entry, which was most of the layout's time.
template <class Page, class Entry, class Add>
bool Distribute(const std::vector<Entry>& entries, std::vector<Page>& pages, Plc<Elem4>& bins, Add add)
{
    pages.clear();
    bins = Plc<Elem4>{};
    std::uint32_t start = 0;
    std::size_t next = 0;
    // Adds up to `count` further non-empty entries to the page; how many.
    auto addSome = [&](Page& page, std::size_t count) {
        std::size_t added = 0;
        while (added < count && next < entries.size()) {
            const Entry& e = entries[next++];
            if (e.cpEnd <= start)
                continue;
            add(page, start, e);
            start = e.cpEnd;
            ++added;
        }
        return added;
    };
    std::size_t previous = 1;   // entries the page before took
    for (;;) {
        Page page;
        if (addSome(page, 1) == 0)
            break;
        if (!Fits(page))
            return false;
        std::size_t taken = 1;
        std::size_t step = previous > 1 ? previous - 1 : 1;
        bool guess = step > 1;
        for (;;) {
            const Mark mark = MarkOf(page);
            const std::size_t at = next;
            const std::uint32_t from = start;
            const std::size_t added = addSome(page, step);
            if (added == 0)
                break;
            if (Fits(page)) {
                taken += added;
                step = guess ? 1 : step * 2;
                guess = false;
                continue;
            }
            Undo(page, mark);
            next = at;
            start = from;
            if (step == 1)
                break;
            step /= 2;
            guess = false;
        }
        previous = taken;
        pages.push_back(std::move(page));
    }
    for (const Page& p : pages) {
        if (bins.cps.empty())
            bins.cps.push_back(p.fcs.front());
        bins.cps.push_back(p.fcs.back());
        bins.items.push_back(Elem4{});
    }
    return true;
}

} // namespace

bool LayOutChpxPages(const std::vector<ClosedRun>& runs, const std::vector<PropertyList>& lists,
                     std::vector<ChpxFkp>& pages, Plc<Elem4>& bins)
{
    return Distribute(runs, pages, bins, [&lists](ChpxFkp& page, std::uint32_t start, const ClosedRun& r) {
        AddRun(page, start, r.cpEnd, lists.at(r.props));
    });
}

bool LayOutPapxPages(const std::vector<ClosedParagraph>& paragraphs, const std::vector<PapxEntry>& entries,
                     std::vector<PapxFkp>& pages, Plc<Elem4>& bins)
{
    return Distribute(paragraphs, pages, bins,
                      [&entries](PapxFkp& page, std::uint32_t start, const ClosedParagraph& p) {
                          AddParagraph(page, start, p.cpEnd, entries.at(p.entry));
                      });
}

} // namespace scrivlet
