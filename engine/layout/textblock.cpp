#include "engine/layout/textblock.h"

#include "engine/layout/iwriter.h"
#include "engine/layout/safemath.h"
#include "engine/layout/utf8.h"
#include "parser/parser.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>
#include <ostream>
#include <unordered_set>

namespace {

// Creation order only breaks ties among the runs of one page, and a page is
// analysed on one thread: a counter per thread keeps the threads of a job
// off one shared cache line.
thread_local std::uint64_t g_textCreationOrder = 0;

// The one copy of every name that runs have shared. The set's elements do
// not move when it grows, and none is ever removed.
struct SharedNames {
    std::mutex mutex;
    std::unordered_set<std::string> names;
};

SharedNames& Names()
{
    static SharedNames* names = new SharedNames;   // outlives every record
    return *names;
}

const std::string* Intern(const std::string& name)
{
    // The runs of a page mostly come in one or two fonts: the names this
    // thread asked for last are answered without taking the lock.
    struct Recent {
        const std::string* names[4] = {};
        unsigned next = 0;
    };
    thread_local Recent recent;
    for (const std::string* known : recent.names) {
        if (known && *known == name)
            return known;
    }
    SharedNames& shared = Names();
    const std::string* found;
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        found = &*shared.names.insert(name).first;
    }
    recent.names[recent.next++ % 4] = found;
    return found;
}

const std::string& EmptyString()
{
    static const std::string* empty = Intern(std::string());
    return *empty;
}

// The memory of freed Text records of this thread, linked through their
// first bytes.
class SpareTexts {
public:
    static constexpr std::size_t kMost = 4096;

    SpareTexts() = default;
    SpareTexts(const SpareTexts&) = delete;
    SpareTexts& operator=(const SpareTexts&) = delete;
    ~SpareTexts()
    {
        while (void* p = take())
            ::operator delete(p);
    }

    // A block of sizeof(Text) bytes, or null when none is kept.
    void* take()
    {
        Slot* s = head_;
        if (!s)
            return nullptr;
        head_ = s->next;
        --count_;
        // The next record made here takes the next block: it is fetched
        // while this one is filled.
        if (head_)
            __builtin_prefetch(head_);
        return s;
    }
    // Keeps the block; false when enough are kept already.
    bool keep(void* p)
    {
        if (count_ >= kMost)
            return false;
        head_ = new (p) Slot{head_};
        ++count_;
        return true;
    }

private:
    struct Slot {
        Slot* next;
    };
    static_assert(sizeof(Slot) <= sizeof(Text), "a freed record holds a link");
    Slot* head_ = nullptr;
    std::size_t count_ = 0;
};

thread_local SpareTexts g_spareTexts;

bool IsSpaceByte(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

bool BeginsWithSpace(const std::string& s)
{
    return !s.empty() && IsSpaceByte(s.front());
}

Text* MakeText(const TextCollect& run, double pageHeight)
{
    auto* t = new Text;
    const ParserMatrix& m = run.GetMatrix();
    t->fontName = run.GetFontName();
    t->fontFamily = run.GetFontFamily();
    t->fixedPitch = run.IsFixedPitch();
    t->serif = run.IsSerif();
    t->text = CleanRunText(run.GetText());
    t->fontSize = RunFontSize(run);
    t->italic = run.IsItalic();
    t->bold = run.IsBold();
    t->underline = run.IsUnderline();
    t->strikeOut = run.IsStrickOut();
    const ParserColor c = run.GetNonStrokeColor();
    t->color[0] = c.r;
    t->color[1] = c.g;
    t->color[2] = c.b;
    t->x = m.e;
    t->y = m.f;
    t->width = run.GetTextWidth();
    t->height = run.GetTextHeight();
    t->matrix[0] = m.a;
    t->matrix[1] = m.b;
    t->matrix[2] = m.c;
    t->matrix[3] = m.d;
    t->matrix[4] = m.e;
    t->matrix[5] = m.f;
    t->pageHeight = pageHeight;
    t->runHeight = run.runHeight;
    t->runWidth = run.runWidth;
    t->hasLink = false;
    return t;
}

// |trunc(v)| for a block dimension, never 0: a block is at least one point
// wide and high.
double WholeSize(double v)
{
    const int n = safemath::TruncAbs(v);
    return n == 0 ? 1.0 : static_cast<double>(n);
}

// The integer part of p / q - 1 is 0: the heights' ratio lies strictly
// between 0 and 2. Two zero heights count as equal; a zero height beside a
// non-zero one does not.
bool HeightsClose(double p, double q)
{
    if (q == 0.0)
        return p == 0.0;
    const double r = p / q - 1.0;
    if (!std::isfinite(r))
        return false;
    return safemath::TruncAbs(r) == 0;
}

// Upright text: the gap and line tests of the word join measure along x and
// y, which only holds for runs that are not turned.
bool IsUpright(const Text& t)
{
    return t.matrix[1] == 0.0 && t.matrix[2] == 0.0 && t.matrix[0] > 0.0 && t.matrix[3] > 0.0;
}

// Whether run q continues the word of run p (see parserLatinWords).
bool JoinsWord(const Text& p, const Text& q)
{
    if (!IsUpright(p) || !IsUpright(q))
        return false;
    if (!(safemath::TruncAbs(p.y - q.y) <= 0.85 * p.fontSize))
        return false;
    if (BeginsWithSpace(p.text) || BeginsWithSpace(q.text))
        return false;
    if (!HeightsClose(p.height, q.height))
        return false;
    return q.x - (p.x + p.width) < 0.2 * p.fontSize;
}

// The first and the last character of UTF-8 text (0 for empty text), and
// the number of bytes of the last one.
char32_t FirstChar(std::string_view s)
{
    std::size_t len = 1;
    while (len < s.size() && len < 4 && (static_cast<unsigned char>(s[len]) & 0xC0) == 0x80)
        ++len;
    const std::wstring w = utf8::ToWide(s.substr(0, len));
    return w.empty() ? 0 : static_cast<char32_t>(w[0]);
}

char32_t LastChar(std::string_view s, std::size_t* bytes = nullptr)
{
    std::size_t start = s.size();
    while (start > 0 && s.size() - start < 4) {
        --start;
        if ((static_cast<unsigned char>(s[start]) & 0xC0) != 0x80)
            break;
    }
    if (bytes)
        *bytes = s.size() - start;
    const std::wstring w = utf8::ToWide(s.substr(start));
    return w.empty() ? 0 : static_cast<char32_t>(w.back());
}

// Letters of the scripts that hyphenate words: Latin, Greek, Cyrillic.
bool IsLetter(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) || (c >= 0x370 && c <= 0x4FF);
}

bool IsLowerCase(char32_t c)
{
    if (c >= 'a' && c <= 'z')
        return true;
    if (c >= 0xDF && c <= 0xFF)
        return c != 0xF7;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A pairs capital and small letter, the small one
        // odd in most of the block and even in two stretches.
        const bool evenSmall = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        return c == 0x138 || c == 0x17F || ((c % 2 == 0) == evenSmall);
    }
    return (c >= 0x3AC && c <= 0x3CE) || (c >= 0x430 && c <= 0x45F);
}

bool IsHyphen(char32_t c)
{
    return c == '-' || c == 0x2010 || c == 0xAD;
}

} // namespace

LineJoin JoinAtLineEnd(std::string_view end, std::string_view next)
{
    std::size_t bytes = 0;
    const char32_t hyphen = LastChar(end, &bytes);
    if (!IsHyphen(hyphen) || end.size() <= bytes || !IsLetter(LastChar(end.substr(0, end.size() - bytes))))
        return LineJoin::Space;
    const char32_t first = FirstChar(next);
    if (!IsLetter(first))
        return LineJoin::Space;
    return hyphen == 0xAD || IsLowerCase(first) ? LineJoin::DropHyphen : LineJoin::KeepHyphen;
}

void DropLineEndHyphen(std::string& text)
{
    std::size_t bytes = 0;
    if (IsHyphen(LastChar(text, &bytes)))
        text.resize(text.size() - bytes);
}

SharedName::SharedName() : name_(&EmptyString()) {}

SharedName::SharedName(const std::string& name) : name_(Intern(name)) {}

SharedName::SharedName(const char* name) : name_(Intern(name ? std::string(name) : std::string())) {}

std::ostream& operator<<(std::ostream& out, const SharedName& name)
{
    return out << name.str();
}

RareText& RareText::operator=(const RareText& other)
{
    if (this != &other)
        *this = other.str();
    return *this;
}

RareText& RareText::operator=(const std::string& text)
{
    if (text.empty())
        text_.reset();
    else if (text_)
        *text_ = text;
    else
        text_ = std::make_unique<std::string>(text);
    return *this;
}

const std::string& RareText::str() const
{
    return text_ ? *text_ : EmptyString();
}

std::ostream& operator<<(std::ostream& out, const RareText& text)
{
    return out << text.str();
}

void* Text::operator new(std::size_t size)
{
    if (size == sizeof(Text))
        if (void* p = g_spareTexts.take())
            return p;
    return ::operator new(size);
}

void Text::operator delete(void* p, std::size_t size) noexcept
{
    if (!p)
        return;
    if (size != sizeof(Text) || !g_spareTexts.keep(p))
        ::operator delete(p);
}

std::uint64_t NextTextCreationOrder()
{
    return g_textCreationOrder++;
}

void ResetTextCreationOrder()
{
    g_textCreationOrder = 0;
}

double RunFontSize(const TextCollect& run)
{
    const ParserMatrix& m = run.GetMatrix();
    const double scale = m.c == 0.0 ? std::fabs(m.d) : std::sqrt(m.c * m.c + m.d * m.d);
    return run.GetFontSize() * scale;
}

std::string CleanRunText(std::string_view text)
{
    const auto control = [](char ch) {
        const auto u = static_cast<unsigned char>(ch);
        return u < 0x20 && u != '\t' && u != '\n' && u != '\r';
    };
    std::string out;
    if (std::none_of(text.begin(), text.end(), control)) {
        out.assign(text);
        return out;
    }
    out.reserve(text.size());
    for (char ch : text) {
        if (!control(ch))
            out.push_back(ch);
    }
    return out;
}

bool TextSortPredicate(const Text* a, const Text* b)
{
    if (a->readingLine != b->readingLine)
        return a->readingLine < b->readingLine;
    const double ax = safemath::Key(a->x);
    const double bx = safemath::Key(b->x);
    if (ax != bx)
        return ax < bx;
    return a->creationOrder < b->creationOrder;
}

void SortTexts(std::vector<Text*>& texts)
{
    if (texts.size() < 2) {
        for (Text* t : texts)
            t->readingLine = 0;
        return;
    }
    // The keys are copied out once, so that sorting touches one array.
    struct Key {
        double y;            // baseline, NaN as -infinity
        double x;
        std::uint64_t order;
        Text* text;
    };
    static thread_local std::vector<Key> keys;
    keys.clear();
    keys.reserve(texts.size());
    for (Text* t : texts)
        keys.push_back({safemath::Key(t->y), safemath::Key(t->x), t->creationOrder, t});

    // Top-down by baseline, creation order among equals. Runs usually come
    // in this order already.
    const auto above = [](const Key& a, const Key& b) {
        if (a.y != b.y)
            return a.y > b.y;
        return a.order < b.order;
    };
    if (!std::is_sorted(keys.begin(), keys.end(), above))
        std::sort(keys.begin(), keys.end(), above);

    // A run opens a new line when the first run of the current line lies
    // above it by at least 0.9 of its own (truncated) font size. Lines are
    // runs of consecutive keys; each is put in x order (creation order among
    // equals), which makes the whole list ordered by TextSortPredicate.
    const auto leftOf = [](const Key& a, const Key& b) {
        if (a.x != b.x)
            return a.x < b.x;
        return a.order < b.order;
    };
    int line = 0;
    std::size_t lineStart = 0;
    const auto closeLine = [&](std::size_t end) {
        const auto first = keys.begin() + static_cast<std::ptrdiff_t>(lineStart);
        const auto last = keys.begin() + static_cast<std::ptrdiff_t>(end);
        if (!std::is_sorted(first, last, leftOf))
            std::sort(first, last, leftOf);
    };
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i > 0 && keys[lineStart].y - keys[i].y >=
                         0.9 * safemath::TruncAbs(keys[i].text->fontSize)) {
            closeLine(i);
            ++line;
            lineStart = i;
        }
        keys[i].text->readingLine = line;
    }
    closeLine(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        texts[i] = keys[i].text;
}

Text* scaleText(const Text* src, double scale, double sizeScale, double pageHeight)
{
    auto* t = new Text;
    t->fontName = src->fontName;
    t->fontFamily = src->fontFamily;
    t->fixedPitch = src->fixedPitch;
    t->serif = src->serif;
    t->text = src->text;
    t->italic = src->italic;
    t->bold = src->bold;
    t->underline = src->underline;
    t->strikeOut = src->strikeOut;
    for (int i = 0; i < 3; ++i) {
        const int v = safemath::Trunc(static_cast<float>(src->color[i]) * 255.0f);
        t->color[i] = std::clamp(v, 0, 255);
    }

    const float a = static_cast<float>(src->matrix[0]);
    const float b = static_cast<float>(src->matrix[1]);
    const float c = static_cast<float>(src->matrix[2]);
    const float d = static_cast<float>(src->matrix[3]);
    const float e = static_cast<float>(src->matrix[4]);
    const float f = static_cast<float>(src->matrix[5]);
    const float sc = static_cast<float>(scale);

    const float s = std::sqrt(a * a + b * b);
    const float w0 = sc * static_cast<float>(src->runWidth);
    const float h0 = sc * static_cast<float>(src->runHeight);
    // A degenerate matrix (s = 0) gives no shear and no height instead of
    // infinities.
    const float k = static_cast<float>(safemath::Div(a * c + b * d, s));
    const float m = static_cast<float>(safemath::Div(a * d - b * c, s));

    const float width = s * w0 + std::fabs(k * h0);
    const float height = m * h0;
    const float cx = sc * e + (w0 * a + h0 * c) / 2.0f;
    const float cy = sc * f + (w0 * b + h0 * d) / 2.0f;
    t->width = width;
    t->height = height;
    t->x = cx - width / 2.0f;
    t->y = static_cast<float>(pageHeight) - cy - height / 2.0f;
    t->fontSize = static_cast<float>(sizeScale) * static_cast<float>(src->runHeight) * m;

    const float skew = -static_cast<float>(safemath::Div(a * c + b * d, a * d - b * c));
    t->matrix[0] = static_cast<float>(safemath::Div(s * width, width, s));
    t->matrix[1] = 0.0;
    t->matrix[2] = static_cast<float>(safemath::Div(skew * height, width));
    t->matrix[3] = 1.0;
    t->matrix[4] = skew < 0.0f ? skew * height : 0.0f;
    t->matrix[5] = 0.0;
    t->angle = -std::atan2(b, a) / 3.141592653589793 * 180.0;
    return t;
}

TextBlock::TextBlock(IWriter* writer) : Block(writer) {}

TextBlock::~TextBlock()
{
    destory();
}

void TextBlock::Write(void* ctx)
{
    writer->writeText(ctx, this);
}

bool TextBlock::addElement(TextCollect* run, double pageHeight)
{
    const ParserMatrix& m = run->GetMatrix();
    const double tx = m.e;
    const double ty = m.f;
    const double th = run->GetTextHeight();
    const double tw = run->GetTextWidth();

    if (elements.empty()) {
        elements.push_back(MakeText(*run, pageHeight));
        x = tx;
        y = ty;
        width = WholeSize(tw);
        height = WholeSize(th);
        dim = th;
        return true;
    }
    if (!TakesRun(x, y, width, height, dim, tx, ty, tw, th))
        return false;

    elements.push_back(MakeText(*run, pageHeight));
    dim = safemath::TruncAbs(th);
    if (tx < x) {
        width += x - tx;
        x = tx;
    }
    if (x + width < tx + tw)
        width = tx + tw - x;
    if (ty < y) {
        height += y - ty;
        y = ty;
    }
    if (y + height < ty + th)
        height = ty + th - y;
    width = WholeSize(width);
    height = WholeSize(height);
    return true;
}

bool TextBlock::EatBlock(Block* other)
{
    if (!Absorb(other))
        return false;
    SortElements();
    return true;
}

void TextBlock::SortElements()
{
    SortTexts(elements);
    cursor = elements.size();
}

bool TextBlock::Absorb(Block* other)
{
    auto* o = dynamic_cast<TextBlock*>(other);
    if (!o || o == this)
        return false;
    elements.insert(elements.end(), o->elements.begin(), o->elements.end());
    o->elements.clear();
    o->cursor = 0;
    cursor = elements.size();

    if (o->x < x) {
        width = std::max(x + width - o->x, o->width);
        x = o->x;
    } else if (o->x + o->width > x + width) {
        width = o->x + o->width - x;
    }
    if (o->y < y) {
        height = std::max(y + height - o->y, o->height);
        y = o->y;
    } else if (o->y + o->height > y + height) {
        height = o->y + o->height - y;
    }
    return true;
}

void TextBlock::parserLatinWords()
{
    SortTexts(elements);
    std::vector<Text*> words;
    words.reserve(elements.size());
    std::size_t i = 0;
    while (i < elements.size()) {
        Text* p = elements[i++];
        while (i < elements.size() && JoinsWord(*p, *elements[i])) {
            Text* q = elements[i++];
            p->text += q->text;
            p->width = q->x + q->width - p->x;
            delete q;
        }
        words.push_back(p);
    }
    elements.swap(words);
    cursor = elements.size();
}

void TextBlock::CombineElements()
{
    if (elements.size() < 2)
        return;
    Text* first = elements.front();
    for (std::size_t i = 1; i < elements.size(); ++i) {
        Text* q = elements[i];
        first->text += q->text;
        first->width = q->x + q->width - first->x;
        delete q;
    }
    elements.resize(1);
    cursor = elements.size();
}

void TextBlock::moveX(double dx)
{
    for (Text* t : elements)
        t->x += dx;
}

void TextBlock::moveY(double dy)
{
    for (Text* t : elements)
        t->y += dy;
}

void TextBlock::destory()
{
    for (Text* t : elements)
        delete t;
    elements.clear();
    cursor = 0;
}
