// The document builder on hand-made pages: the text it lays out (page
// breaks, blank lines, gaps, the final paragraph mark), the properties of
// lines and runs, hyperlink fields and bookmarks, text boxes, and the
// formatted disk pages of many runs.

#include "wordlib/docbuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace {

using namespace scrivlet;

TextRun Word(const std::string& text, double x, double top, double width = 400, double height = 240)
{
    TextRun r;
    r.fontName = "Serif";
    r.fontSize = 24;
    r.text = text;
    r.wideText.assign(text.begin(), text.end());
    r.x = x;
    r.top = top;
    r.width = width;
    r.height = height;
    return r;
}

SectionEntry Section(std::vector<std::vector<TextRun>> pages, double w = 12000, double h = 16000)
{
    SectionEntry s{w, h, {}};
    for (auto& runs : pages) {
        PageEntry p;
        TextGroup g;
        g.runs = std::move(runs);
        p.flow.push_back(std::move(g));
        s.pages.push_back(std::move(p));
    }
    return s;
}

BuiltDocument Build(std::vector<SectionEntry> sections)
{
    BuiltDocument doc;
    std::string why;
    EXPECT_TRUE(BuildDocument(std::move(sections), doc, why)) << why;
    return doc;
}

// The properties of the paragraph that holds character position `cp`.
const PropertyList* ParagraphAt(const BuiltDocument& doc, std::size_t cp)
{
    for (const ClosedParagraph& p : doc.paragraphs) {
        if (cp < p.cpEnd)
            return &doc.paragraphEntries.at(p.entry).props;
    }
    return nullptr;
}

const PropertyList* RunAt(const BuiltDocument& doc, std::size_t cp)
{
    std::uint32_t start = 0;
    for (const ClosedRun& r : doc.runs) {
        if (cp < r.cpEnd && cp >= start)
            return &doc.runLists.at(r.props);
        start = std::max(start, r.cpEnd);
    }
    return nullptr;
}

const Sprm* Find(const PropertyList* list, std::uint16_t code)
{
    if (!list)
        return nullptr;
    for (const Sprm& s : *list) {
        if (s.sprm == code)
            return &s;
    }
    return nullptr;
}

int Value16(const Sprm* s)
{
    return s ? static_cast<std::int16_t>(s->operand[0] | (s->operand[1] << 8)) : -99999;
}

std::string Narrow(const std::u16string& s)
{
    std::string out;
    for (char16_t c : s)
        out.push_back(c < 0x20 ? static_cast<char>('0' + (c % 10)) : static_cast<char>(c));
    return out;
}

// Pages are separated by page breaks; the main text ends with one
// paragraph mark after the last page, with no page break after it, so no
// empty page follows; a page without text still holds a paragraph.
TEST(DocBuilder, PagesAndTheFinalParagraphMark)
{
    const BuiltDocument doc = Build({Section({{Word("one", 1440, 0)}, {}, {Word("three", 1440, 0)}})});
    EXPECT_EQ(doc.text, u"one\r\x0C\r\x0Cthree\r");
    EXPECT_EQ(doc.ccpText, doc.text.size());
    EXPECT_EQ(doc.ccpTxbx, 0u);
    ASSERT_EQ(doc.sections.cps, (std::vector<std::uint32_t>{0, static_cast<std::uint32_t>(doc.text.size())}));

    // A second section ends with the page break that separates it from
    // the next one.
    const BuiltDocument two = Build({Section({{Word("a", 0, 0)}}), Section({{Word("b", 0, 0)}}, 16000, 12000)});
    EXPECT_EQ(two.text, u"a\r\x0C" u"b\r");
    EXPECT_EQ(two.sections.cps, (std::vector<std::uint32_t>{0, 3, 5}));
    ASSERT_EQ(two.sectionProps.size(), 2u);
    EXPECT_EQ(Value16(Find(&two.sectionProps[1], sprms::kSXaPage)), 16000);
    EXPECT_EQ(Value16(Find(&two.sectionProps[1], sprms::kSYaPage)), 12000);
}

// A line 600 twips below the previous one with a height of 240: two blank
// lines of exactly 240 twips, then the line with 120 twips before it, at
// its own indent once (the first-line indent only, never added to a left
// indent).
TEST(DocBuilder, BlankLinesAndIndents)
{
    const BuiltDocument doc = Build({Section({{Word("first", 720, 0), Word("second", 1440, 840)}})});
    EXPECT_EQ(doc.text, u"first\r\r\rsecond\r");
    const PropertyList* second = ParagraphAt(doc, doc.text.find(u"second"));
    ASSERT_TRUE(second);
    // The blank lines are a paragraph of their own: exactly 240 high, with
    // no space before, so the gap is 2 x 240 + 120.
    const PropertyList* blanks = ParagraphAt(doc, 6);
    ASSERT_TRUE(blanks);
    EXPECT_NE(blanks, second);
    EXPECT_EQ(ParagraphAt(doc, 7), blanks);
    EXPECT_EQ(Value16(Find(blanks, sprms::kPDyaLine)), -240);
    EXPECT_FALSE(Find(blanks, sprms::kPDyaBefore));
    EXPECT_EQ(Value16(Find(second, sprms::kPDxaLeft1)), 1440);
    EXPECT_EQ(Value16(Find(second, sprms::kPDxaLeft180)), 1440);
    EXPECT_FALSE(Find(second, 0x845E));   // sprmPDxaLeft
    EXPECT_FALSE(Find(second, 0x840F));   // sprmPDxaLeft80
    EXPECT_EQ(Value16(Find(second, sprms::kPDyaLine)), -240);
    EXPECT_EQ(Value16(Find(second, sprms::kPDyaBefore)), 120);
    const PropertyList* first = ParagraphAt(doc, 0);
    EXPECT_EQ(Value16(Find(first, sprms::kPDxaLeft1)), 720);
    EXPECT_FALSE(Find(first, sprms::kPDyaBefore));
}

// Runs of one line: a gap between words becomes spaces fitted to its
// width (one for every 100 twips, at least one), so the words stay apart;
// a hairline gap inside a word (a change of style) widens the last
// character by half of it.
TEST(DocBuilder, GapsBetweenRunsOfALine)
{
    struct Case {
        const char* name;
        double secondX;
        std::u16string text;
        int spacing;   // sprmCDxaSpace of "b", or -99999 when none
        int fitted;    // width the spaces are fitted to, 0 when no space
    } const cases[] = {
        {"250 twips", 650, u"ab  cd\r", -99999, 250},
        {"a word space", 460, u"ab cd\r", -99999, 60},
        {"inside a word", 410, u"abcd\r", 5, 0},
        {"touching", 400, u"abcd\r", -99999, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const BuiltDocument doc = Build({Section({{Word("ab", 0, 0, 400), Word("cd", k.secondX, 0, 400)}})});
        EXPECT_EQ(doc.text, k.text);
        EXPECT_EQ(Value16(Find(RunAt(doc, 1), sprms::kCDxaSpace)), k.spacing);
        EXPECT_FALSE(Find(RunAt(doc, 0), sprms::kCDxaSpace));
        const Sprm* fit = Find(RunAt(doc, 2), sprms::kCFitText);
        if (k.fitted == 0) {
            EXPECT_FALSE(fit);
            continue;
        }
        ASSERT_TRUE(fit);
        ASSERT_EQ(fit->operand.size(), 9u);
        EXPECT_EQ(fit->operand[0], 8);
        EXPECT_EQ(fit->operand[1] | (fit->operand[2] << 8), k.fitted);
        EXPECT_EQ(Value16(Find(RunAt(doc, 0), sprms::kCHps)), 24);
    }
}

TEST(DocBuilder, HyperlinkFieldsAndBookmarks)
{
    TextRun toPage = Word("see", 0, 0);
    toPage.hasLink = true;
    toPage.linkKind = 0;
    toPage.linkPage = 1;
    TextRun toPageAgain = Word("again", 0, 300);
    toPageAgain.hasLink = true;
    toPageAgain.linkKind = 0;
    toPageAgain.linkPage = 1;
    TextRun toUrl = Word("web", 0, 0);
    toUrl.hasLink = true;
    toUrl.linkKind = 1;
    toUrl.linkAddress = u"https://example.org/a?q=\"x\"";
    const BuiltDocument doc = Build({Section({{toPage, toPageAgain}, {toUrl}})});

    EXPECT_TRUE(doc.links);
    ASSERT_EQ(doc.hyperlinks.size(), 3u);
    EXPECT_EQ(HyperlinkInstruction(doc.hyperlinks[0]), u" HYPERLINK \\l \"bm0\" ");
    EXPECT_EQ(HyperlinkInstruction(doc.hyperlinks[1]), u" HYPERLINK \\l \"bm0\" ");
    EXPECT_EQ(HyperlinkInstruction(doc.hyperlinks[2]), u" HYPERLINK \"https://example.org/a?q=\\\"x\\\"\" ");

    // Three fields of three characters each, then the closing CP.
    ASSERT_EQ(doc.fieldsMain.items.size(), 9u);
    ASSERT_EQ(doc.fieldsMain.cps.size(), 10u);
    EXPECT_EQ(doc.fieldsMain.cps.back(), doc.ccpText);
    for (std::size_t f = 0; f < 3; ++f) {
        EXPECT_EQ(doc.text[doc.fieldsMain.cps[3 * f]], 0x13);
        EXPECT_EQ(doc.text[doc.fieldsMain.cps[3 * f + 1]], 0x14);
        EXPECT_EQ(doc.text[doc.fieldsMain.cps[3 * f + 2]], 0x15);
        EXPECT_EQ(doc.fieldsMain.items[3 * f].flt, 0x58);
        EXPECT_EQ(doc.fieldsMain.items[3 * f + 2].flt, 0x80);
        // The object character before the separator points at the field's
        // hyperlink object.
        const std::size_t object = doc.fieldsMain.cps[3 * f + 1] - 1;
        EXPECT_EQ(doc.text[object], 0x01);
        const Sprm* location = Find(RunAt(doc, object), sprms::kCPicLocation);
        ASSERT_TRUE(location);
        EXPECT_EQ(location->operand[0], f);
        EXPECT_TRUE(Find(RunAt(doc, object), sprms::kCFData));
    }
    // One bookmark, at the start of the second page, for both links.
    ASSERT_EQ(doc.bookmarkNames, std::vector<std::u16string>{u"bm0"});
    const std::size_t page2 = doc.text.find(u'\x0C') + 1;
    EXPECT_EQ(doc.bookmarkStarts.cps, (std::vector<std::uint32_t>{static_cast<std::uint32_t>(page2), doc.ccpText}));
    EXPECT_EQ(doc.bookmarkEnds, (std::vector<std::uint32_t>{static_cast<std::uint32_t>(page2), doc.ccpText}));
}

// The right column overlaps the left one: it goes into a text box whose
// story ends with its own paragraph mark; a further mark ends the text-box
// text, and the anchor stands in the main text.
TEST(DocBuilder, TextBoxStories)
{
    SectionEntry s{12000, 16000, {}};
    PageEntry p;
    TextGroup left, right;
    left.runs = {Word("left", 1000, 1000), Word("below", 1000, 1300)};
    right.runs = {Word("right", 7000, 1000)};
    p.flow = {left, right};
    s.pages.push_back(p);
    const BuiltDocument doc = Build({s});

    EXPECT_TRUE(doc.drawings);
    EXPECT_TRUE(doc.hasTextBoxes);
    const std::u16string main = doc.text.substr(0, doc.ccpText);
    const std::u16string boxes = doc.text.substr(doc.ccpText);
    EXPECT_EQ(Narrow(main).find("8"), 0u);   // the anchor comes first
    EXPECT_EQ(main.back(), u'\r');
    EXPECT_EQ(boxes, u"right\r\r\r");
    EXPECT_EQ(doc.ccpTxbx, boxes.size());
    EXPECT_EQ(doc.textBoxes.cps, (std::vector<std::uint32_t>{0, 7, 8}));
    ASSERT_EQ(doc.textBoxes.items.size(), 2u);
    EXPECT_EQ(doc.textBoxes.items[0].cTxbx, 1);
    EXPECT_EQ(doc.textBoxBreaks.cps, doc.textBoxes.cps);
    ASSERT_EQ(doc.anchors.items.size(), 1u);
    EXPECT_EQ(doc.anchors.cps, (std::vector<std::uint32_t>{0, doc.ccpText}));
    EXPECT_EQ(doc.anchors.items[0].xaLeft, 7000);
    EXPECT_EQ(doc.anchors.items[0].xaRight, 7400 + 400);
    EXPECT_EQ(doc.anchors.items[0].yaBottom, 1240 + 72);
    ASSERT_EQ(doc.shapes.size(), 1u);
    EXPECT_EQ(doc.shapes[0].kind, ShapeRequest::TextBox);
    EXPECT_EQ(doc.shapes[0].story, 0u);
}

// Every run of a page full of words gets its own properties; the pages of
// runs and paragraphs are packed as tightly as the page writer lays them
// out, and each one is written.
TEST(DocBuilder, FormattedDiskPagesOfManyRuns)
{
    std::vector<TextRun> runs;
    for (int i = 0; i < 5000; ++i) {
        TextRun r = Word("w" + std::to_string(i), 20 * (i % 100), 50 * (i / 100), 15, 40);
        r.bold = i % 2;
        r.italic = i % 3 == 0;
        r.underline = i % 5 == 0;
        r.color = Rgb{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i / 7), 3};
        r.fontName = "Font" + std::to_string(i % 13);
        runs.push_back(r);
    }
    const BuiltDocument doc = Build({Section({runs}, 31680, 31680)});
    ASSERT_FALSE(doc.chpxPages.empty());
    ASSERT_EQ(doc.chpxBins.cps.size(), doc.chpxPages.size() + 1);
    ASSERT_EQ(doc.papxBins.cps.size(), doc.papxPages.size() + 1);
    EXPECT_EQ(doc.chpxBins.cps.back(), doc.text.size());
    EXPECT_EQ(doc.papxBins.cps.back(), doc.text.size());
    std::array<std::uint8_t, kFkpSize> page;
    for (const ChpxFkp& f : doc.chpxPages)
        EXPECT_TRUE(writeChpxFkp(f, page.data()));
    for (const PapxFkp& f : doc.papxPages)
        EXPECT_TRUE(writePapxFkp(f, page.data()));
    EXPECT_EQ(doc.fonts.size(), 13u);
}

// Lists that fill a page to its last byte: the distribution closes a page
// exactly where the page writer would fail, and no earlier: every page but
// the last fails to be written with the next page's first run added.
// Sizes: the same for every list, or varying from run to run (0).
TEST(FkpLayout, TightPagesAreWritten)
{
    for (std::size_t bytes : {1u, 2u, 3u, 7u, 40u, 100u, 250u, 0u}) {
        SCOPED_TRACE(bytes);
        std::vector<ClosedRun> runs;
        std::vector<PropertyList> lists;
        for (std::uint32_t i = 0; i < 400; ++i) {
            const std::size_t listBytes = bytes ? bytes : 4 + (i * 37) % 150;
            Sprm s{0xCA76, {}};   // a variable operand of listBytes - 3 bytes
            const std::size_t n = listBytes >= 4 ? listBytes - 3 : 0;
            s.operand.push_back(static_cast<std::uint8_t>(n));
            for (std::size_t k = 0; k < n; ++k)
                s.operand.push_back(static_cast<std::uint8_t>(i + k));
            PropertyList props;
            if (listBytes >= 4)
                props.push_back(s);
            else
                for (std::size_t k = 0; k < listBytes; ++k)
                    props.push_back(Sprm{0x0835, {static_cast<std::uint8_t>((i + k) & 1)}});
            runs.push_back(ClosedRun{i + 1, static_cast<std::uint32_t>(lists.size())});
            lists.push_back(props);
        }
        std::vector<ChpxFkp> pages;
        Plc<Elem4> bins;
        ASSERT_TRUE(LayOutChpxPages(runs, lists, pages, bins));
        std::size_t total = 0;
        std::array<std::uint8_t, kFkpSize> page;
        for (const ChpxFkp& f : pages) {
            ASSERT_TRUE(writeChpxFkp(f, page.data()));
            total += f.runs();
            ChpxFkp back;
            ASSERT_TRUE(readChpxFkp(page.data(), back));
            EXPECT_EQ(back.fcs, f.fcs);
        }
        EXPECT_EQ(total, runs.size());
        EXPECT_EQ(bins.cps.front(), 0u);
        EXPECT_EQ(bins.cps.back(), 400u);
        for (std::size_t k = 0; k + 1 < pages.size(); ++k) {
            ChpxFkp more = pages[k];
            const std::uint32_t run = more.fcs.back();   // the run that ends at run + 1
            more.fcs.push_back(run + 1);
            const PropertyList& next = lists[run];
            const auto it = std::find(more.lists.begin(), more.lists.end(), next);
            more.runList.push_back(static_cast<std::uint32_t>(it - more.lists.begin()));
            if (it == more.lists.end())
                more.lists.push_back(next);
            EXPECT_FALSE(writeChpxFkp(more, page.data())) << "page " << k << " could take one more run";
        }
    }
}

} // namespace
