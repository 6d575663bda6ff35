#include "wordlib/lineextract.h"

#include "engine/layout/safemath.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace scrivlet {

namespace {

// How far (as a part of the head's height) a run's top and bottom may lie
// from the head's to stand on its line.
constexpr double kBandTolerance = 0.1;

struct Item {
    const TextRun* run = nullptr;
    std::size_t group = 0;
    double bottom() const { return run->top + run->height; }
};

int Whole(double v)
{
    return safemath::Trunc(v);
}

// One pass over `items` (sorted by top). Appends the pass's groups to `out`
// and returns the items left for the next pass.
std::vector<Item> Pass(const std::vector<Item>& items, std::vector<LineGroup>& out)
{
    const std::size_t n = items.size();
    std::vector<char> overlapped(n, 0), used(n, 0);

    // Stage A: vertical bands. `active` holds indexes sorted by bottom.
    std::vector<std::size_t> active;
    for (std::size_t i = 0; i < n; ++i) {
        const double top = items[i].run->top;
        active.erase(std::remove_if(active.begin(), active.end(),
                                    [&](std::size_t a) { return items[a].bottom() <= top; }),
                     active.end());
        const int bottom = Whole(items[i].bottom());
        auto at = std::find_if(active.begin(), active.end(),
                               [&](std::size_t a) { return Whole(items[a].bottom()) > bottom; });
        active.insert(at, i);
        std::size_t keep = active.front();
        for (std::size_t a : active) {
            if (items[a].run->x < items[keep].run->x)
                keep = a;
        }
        for (std::size_t a : active) {
            if (a != keep)
                overlapped[a] = 1;
        }
    }
    // Every pass takes at least one run, so that the passes end.
    if (n > 0 && std::all_of(overlapped.begin(), overlapped.end(), [](char o) { return o != 0; }))
        overlapped[0] = 0;

    // Stage B: lines. Overlapped runs of the head's group on its band join it.
    std::vector<std::vector<std::size_t>> joins(n);
    for (std::size_t h = 0; h < n; ++h) {
        if (overlapped[h])
            continue;
        const TextRun& head = *items[h].run;
        const double tol = kBandTolerance * head.height;
        auto onBand = [&](std::size_t j) {
            return overlapped[j] && !used[j] && items[j].group == items[h].group &&
                   std::fabs(items[j].bottom() - (head.top + head.height)) <= tol;
        };
        for (std::size_t j = h + 1; j < n && items[j].run->top - head.top <= tol; ++j) {
            if (onBand(j)) {
                joins[h].push_back(j);
                used[j] = 1;
            }
        }
        for (std::size_t j = h; j-- > 0 && head.top - items[j].run->top <= tol;) {
            if (onBand(j)) {
                joins[h].push_back(j);
                used[j] = 1;
            }
        }
    }

    // Stage C: output groups, a new one whenever the head's group changes.
    std::size_t lastGroup = 0;
    bool any = false;
    for (std::size_t h = 0; h < n; ++h) {
        if (overlapped[h])
            continue;
        if (!any || items[h].group != lastGroup) {
            out.emplace_back();
            any = true;
        }
        lastGroup = items[h].group;
        std::vector<std::size_t>& js = joins[h];
        std::stable_sort(js.begin(), js.end(),
                         [&](std::size_t a, std::size_t b) { return items[a].run->x < items[b].run->x; });
        Line line;
        line.head = items[h].run;
        const TextRun* prev = line.head;
        for (std::size_t j : js) {
            const TextRun* r = items[j].run;
            // A run far to the left of the one before it does not continue
            // the line: it goes back to the runs left over.
            if (Whole(r->x) - Whole(prev->x + prev->width) < -Whole(prev->height)) {
                used[j] = 0;
                continue;
            }
            line.joined.push_back(r);
            prev = r;
        }
        out.back().lines.push_back(std::move(line));
    }

    // Step 7: heads and joined runs leave; the rest is left for the next pass.
    std::vector<Item> left;
    for (std::size_t i = 0; i < n; ++i) {
        if (overlapped[i] && !used[i])
            left.push_back(items[i]);
    }
    return left;
}

void Bound(LineGroup& g)
{
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    auto add = [&](const TextRun* r) {
        left = std::min(left, Whole(r->x));
        top = std::min(top, Whole(r->top));
        right = std::max(right, Whole(r->x + r->width));
        bottom = std::max(bottom, Whole(r->top + r->height));
    };
    for (const Line& l : g.lines) {
        add(l.head);
        for (const TextRun* r : l.joined)
            add(r);
    }
    if (left > right || top > bottom)
        return;
    g.x = left;
    g.top = top;
    g.width = static_cast<double>(right) - left;
    g.height = static_cast<double>(bottom) - top;
}

} // namespace

PageLines ExtractLines(const PageEntry& page)
{
    std::vector<Item> items;
    for (std::size_t g = 0; g < page.flow.size(); ++g) {
        for (const TextRun& r : page.flow[g].runs) {
            if (!r.wideText.empty())
                items.push_back(Item{&r, g});
        }
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const Item& a, const Item& b) { return a.run->top < b.run->top; });

    PageLines result;
    bool first = true;
    while (!items.empty()) {
        std::vector<LineGroup>& out = first ? result.flow : result.boxes;
        const std::size_t from = out.size();
        items = Pass(items, out);
        for (std::size_t i = from; i < out.size(); ++i)
            Bound(out[i]);
        first = false;
    }
    return result;
}

} // namespace scrivlet
