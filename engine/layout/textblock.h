// Text runs and the text blocks that gather runs lying close together into
// paragraph-like rectangles.
#pragma once

#include "engine/layout/block.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TextCollect;

// Creation numbers of text runs: the last tie-break of their reading order.
std::uint64_t NextTextCreationOrder();
// Creation numbers start again from 0 (at the start of every job).
void ResetTextCreationOrder();

// A name that many runs share, a font's name or family: a run holds a
// pointer to one copy kept for the life of the process instead of a string
// of its own. A page holds a record for every word, and a document's fonts
// are few.
class SharedName {
public:
    SharedName();
    SharedName(const std::string& name);   // assigned like a string
    SharedName(const char* name);

    operator const std::string&() const { return *name_; }
    const std::string& str() const { return *name_; }
    bool empty() const { return name_->empty(); }
    const char* c_str() const { return name_->c_str(); }

    friend bool operator==(const SharedName& a, const SharedName& b) { return a.name_ == b.name_; }
    friend bool operator!=(const SharedName& a, const SharedName& b) { return a.name_ != b.name_; }
    friend bool operator==(const SharedName& a, const std::string& b) { return *a.name_ == b; }
    friend bool operator==(const SharedName& a, const char* b) { return *a.name_ == b; }
    friend std::ostream& operator<<(std::ostream& out, const SharedName& name);

private:
    const std::string* name_;
};

// A text that few runs have, a link's address: empty, it takes no memory
// besides its pointer. Copies copy the text.
class RareText {
public:
    RareText() = default;
    RareText(const RareText& other) { *this = other; }
    RareText& operator=(const RareText& other);
    RareText& operator=(const std::string& text);
    RareText& operator=(const char* text) { return *this = std::string(text); }

    operator const std::string&() const { return str(); }
    const std::string& str() const;
    bool empty() const { return !text_ || text_->empty(); }

    friend bool operator==(const RareText& a, const std::string& b) { return a.str() == b; }
    friend bool operator==(const RareText& a, const char* b) { return a.str() == b; }
    friend std::ostream& operator<<(std::ostream& out, const RareText& text);

private:
    std::unique_ptr<std::string> text_;
};

// One run of text on a page, as the parser reports it, with its link. A
// page holds one for every word, on every thread that analyses pages: the
// fields are laid out without gaps, and what few runs have takes no room.
struct Text {
    SharedName fontName;
    SharedName fontFamily;       // the family a word processor knows it by
    std::string text;            // UTF-8
    double matrix[6] = {0, 0, 0, 0, 0, 0};   // a b c d e f
    double color[3] = {0, 0, 0};             // r g b, each 0..1
    double width = 0;            // run width in points
    double height = 0;           // text height in points
    double fontSize = 0;         // font size times the matrix's d
    double x = 0;                // origin: the matrix's e
    double y = 0;                // origin: the matrix's f (y upward)
    double pageHeight = 0;
    double runHeight = 0;        // height in text space, before the matrix
    double runWidth = 0;         // width in text space
    double angle = 0;            // rotation in degrees, set by scaleText
    std::uint64_t creationOrder = NextTextCreationOrder();   // copies share it
    RareText uri;
    int linkKind = 0;            // 0 a page of this document, 1 a URI
    int linkPage = 0;            // target page of a page link, from 0
    int readingLine = 0;         // line number, set by SortTexts
    bool fixedPitch = false;     // the font's glyphs all have one width
    bool serif = false;          // the font has serifs
    bool italic = false;
    bool bold = false;
    bool underline = false;
    bool strikeOut = false;
    bool hasLink = false;

    // A page makes and frees a record for every word: the memory of freed
    // records is kept by the thread that freed it (a few thousand at most)
    // and taken again for the next records made there.
    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size) noexcept;
};

// Reading order of two runs: true when a goes before b. A strict weak
// ordering on (reading line, x, creation order); SortTexts numbers the lines.
bool TextSortPredicate(const Text* a, const Text* b);
// Numbers the lines of the runs from the top (runs whose baselines lie
// within 0.9 of a font size share a line) and sorts them with
// TextSortPredicate.
void SortTexts(std::vector<Text*>& texts);

// The size of the run's glyphs: the font size times the length of the
// matrix's y axis. Upright text (d = 1) keeps the font size as it is; text
// turned on its side or upside down keeps a positive size as well.
double RunFontSize(const TextCollect& run);

// The text of a run without control characters: bytes below 0x20 other than
// tab, line feed and carriage return are dropped. UTF-8 stays intact.
std::string CleanRunText(std::string_view text);

// How reflowed text joins the run that ends a line to the first run of the
// next line of the same paragraph. A hyphen between letters breaks a word:
// the two join without a space, and the hyphen goes where the word goes on
// in lower case ("adip-" "iscing"), as readers print the word, and stays
// before anything else ("Jean-" "Pierre"); a soft hyphen always goes.
enum class LineJoin { Space, KeepHyphen, DropHyphen };
LineJoin JoinAtLineEnd(std::string_view end, std::string_view next);
// Removes the hyphen that ends `text` (as JoinAtLineEnd saw it).
void DropLineEndHyphen(std::string& text);

// The run as an upright box for a writer whose y axis grows downward.
Text* scaleText(const Text* src, double scale, double sizeScale, double pageHeight);

class TextBlock : public Block {
public:
    explicit TextBlock(IWriter* writer);
    TextBlock(const TextBlock&) = default;
    TextBlock& operator=(const TextBlock&) = default;
    ~TextBlock() override;

    void Write(void* ctx) override;
    bool EatBlock(Block* other) override;
    // EatBlock without putting the runs back into reading order: a caller
    // that merges many blocks into one sorts once, with SortElements, after
    // the last merge (the order depends only on the runs held, so sorting
    // once gives what sorting after every merge gives).
    bool Absorb(Block* other);
    void SortElements();

    // Cursor walk used by the writers.
    int GetEleCount() const { return static_cast<int>(elements.size()); }
    void returnTheFirst() { cursor = 0; }
    Text* getCurrentElement() const { return cursor < elements.size() ? elements[cursor] : nullptr; }
    void setNext()
    {
        if (cursor < elements.size())
            ++cursor;
    }

    // Takes the run when it lies close enough to the block; true when taken.
    bool addElement(TextCollect* run, double pageHeight);
    // Whether a block of this rectangle and line size that already holds a
    // run takes a run at (tx, ty) of width tw and text height th: the test of
    // addElement, for callers that scan many blocks.
    static bool TakesRun(double x, double y, double width, double height, double dim,
                         double tx, double ty, double tw, double th)
    {
        if (!(th >= 0.1) || !(tw >= 0.1))
            return false;
        // Line sizes within a factor of three (a zero dim refuses every run,
        // as an infinite ratio would).
        if (th > 3.0 * dim || dim > 3.0 * th)
            return false;
        return rectsOverlap(tx - 0.5 * th, ty - 0.01 * th, tx + tw + 0.5 * th,
                            ty + th + 0.01 * th, x - 0.5 * dim, y - 0.01 * dim,
                            x + width + 0.5 * dim, y + height + 0.01 * dim);
    }
    // Joins runs into words (sorted into reading order first).
    void parserLatinWords();
    // Joins all runs into the first one (recognised pages).
    void CombineElements();
    // Appends a record; the block takes ownership.
    void addText(Text* text) { elements.push_back(text); }
    void moveX(double dx);
    void moveY(double dy);
    // Empties the list without deleting the records.
    void clear() { elements.clear(); cursor = 0; }
    // Deletes every record and empties the list.
    void destory();

    const std::vector<Text*>& getElements() const { return elements; }

private:
    std::vector<Text*> elements;   // owned
    std::size_t cursor = 0;
};
