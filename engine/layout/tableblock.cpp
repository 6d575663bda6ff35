#include "engine/layout/tableblock.h"

#include "engine/layout/iwriter.h"
#include "engine/layout/textblock.h"
#include "parser/parser.h"

#include <cmath>

namespace {

// |trunc(v)|: the distance in whole points by which the tests below compare
// line ends. Kept in double so that huge or non-finite values stay defined
// (NaN compares false everywhere).
double absTrunc(double v)
{
    return std::fabs(std::trunc(v));
}

bool isHorizontal(const line* l) { return l->kind == 1; }
bool isVertical(const line* l) { return l->kind == 2; }

} // namespace

double lineLength(const line* l)
{
    return std::hypot(l->x1 - l->x2, l->y1 - l->y2);
}

bool lineblock::AddLine(line* l)
{
    if (lines.empty()) {
        lines.push_back(l);
        return true;
    }
    // Any member that crosses the line lets it in. The newest members are
    // tried first: a line drawn next to the previous one usually touches it.
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (isCross(*it, l)) {
            lines.push_back(l);
            return true;
        }
    }
    return false;
}

bool lineblock::isCross(const line* a, const line* b)
{
    if (isHorizontal(a) && isHorizontal(b)) {
        // One ends where the other begins, at nearly the same height.
        if ((absTrunc(a->x2 - b->x1) < 3 || absTrunc(a->x1 - b->x2) < 3) &&
            absTrunc(a->y1 - b->y1) < 5)
            return true;
    }
    if (isVertical(a) && isVertical(b)) {
        // Ends meet, or both ends match; x is not compared, so the column
        // lines of one table, which share their ends, fall into one group.
        return absTrunc(a->y2 - b->y1) < 3 || absTrunc(a->y1 - b->y2) < 3 ||
               (absTrunc(a->y2 - b->y2) < 3 && absTrunc(a->y1 - b->y1) < 3);
    }
    if (isVertical(a) && isHorizontal(b)) {
        return b->x1 - 3 < a->x1 && a->x1 < b->x2 + 3 &&
               a->y2 - 3 < b->y1 && b->y1 < a->y1 + 3;
    }
    if (isHorizontal(a) && isVertical(b)) {
        return a->x1 - 3 < b->x1 && b->x1 < a->x2 + 3 &&
               b->y2 - 3 < a->y1 && a->y1 < b->y1 + 3;
    }
    return false;
}

bool lineblock::sortline(const line* a, const line* b)
{
    const bool ah = isHorizontal(a);
    const bool bh = isHorizontal(b);
    if (ah != bh)
        return ah;
    if (ah) {
        // Top of the page first, then from the left.
        if (a->y1 != b->y1)
            return a->y1 > b->y1;
        return a->x1 < b->x1;
    }
    // Verticals from the left, then from the top.
    if (a->x1 != b->x1)
        return a->x1 < b->x1;
    return a->y1 > b->y1;
}

TableBlock::TableCol::TableCol(IWriter* writer) : block(new TextBlock(writer)), writer(writer) {}

TableBlock::TableCol::~TableCol()
{
    delete block;
}

void TableBlock::TableCol::Write(void* ctx)
{
    writer->writeTableCol(ctx, this);
}

void TableBlock::TableCol::appendText(TextCollect* run)
{
    const ParserMatrix& m = run->GetMatrix();
    auto* t = new Text;
    t->fontName = run->GetFontName();
    t->fontFamily = run->GetFontFamily();
    t->fixedPitch = run->IsFixedPitch();
    t->serif = run->IsSerif();
    t->text = CleanRunText(run->GetText());
    t->fontSize = RunFontSize(*run);
    t->italic = run->IsItalic();
    t->bold = run->IsBold();
    t->underline = run->IsUnderline();
    t->strikeOut = run->IsStrickOut();
    t->x = m.e;
    t->y = m.f;
    t->width = run->GetTextWidth();
    block->addText(t);
    // The cell's block takes the size of its latest run.
    block->setWidth(run->GetTextWidth());
    block->setHeight(run->GetTextHeight());
    block->setDim(run->GetTextHeight());
}

TableBlock::TableR::~TableR()
{
    for (TableCol* c : cols)
        delete c;
}

void TableBlock::TableR::Write(void* ctx)
{
    writer->writeTableR(ctx, this);
}

TableBlock::~TableBlock()
{
    for (TableR* r : rows)
        delete r;
}

void TableBlock::Write(void* ctx)
{
    writer->writeTable(ctx, this);
}

bool TableBlock::AddText(TextCollect* run)
{
    const double tx = run->GetMatrix().e;
    const double ty = run->GetMatrix().f;
    // Left of the table or above its top line.
    if (x > tx || ty > y)
        return false;
    for (TableR* row : rows) {
        for (auto it = row->cols.rbegin(); it != row->cols.rend(); ++it) {
            TableCol* cell = *it;
            if (cell->y < ty && cell->x < tx && tx < cell->right) {
                cell->appendText(run);
                return true;
            }
        }
    }
    return false;
}

bool TableBlock::IsEmpty() const
{
    for (const TableR* row : rows) {
        for (const TableCol* cell : row->cols) {
            if (cell->block->GetEleCount() > 0)
                return false;
        }
    }
    return true;
}

bool TableBlock::IsValid() const
{
    if (rows.size() < 2)
        return false;
    for (const TableR* row : rows) {
        if (row->cols.size() >= 2)
            return true;
    }
    return false;
}

void TableBlock::deleteInvildRows()
{
    if (rows.empty())
        return;
    std::size_t before = 0;   // the last row kept
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (!rows[i]->cols.empty()) {
            rows[++before] = rows[i];
            continue;
        }
        // The row before reached into this empty row: it loses one row of
        // its span. Cells of a single row (span 0, or 1 after earlier
        // removals) keep their span, which never goes below one row.
        for (TableCol* cell : rows[before]->cols) {
            if (cell->rowSpan > 1)
                --cell->rowSpan;
        }
        delete rows[i];
    }
    rows.resize(before + 1);
}
