// The typesetter fed by content events: the protocol's edge cases on the
// laid-out lines, and whole documents read back by poppler (pdftotext,
// pdftoppm) and checked by qpdf.
#include "engine/topdf/tests/topdftestutil.h"

#include <filesystem>

namespace {

using namespace topdftest;
namespace fs = std::filesystem;

std::u16string TokenText(const OToken& token)
{
    auto* text = dynamic_cast<const OStrToken*>(&token);
    return text ? text->text : u"";
}

// The text tokens of each line of the current page that holds any.
std::vector<std::u16string> LineTexts(OPdfDocument& doc)
{
    std::vector<std::u16string> lines;
    for (const OPdfLine& line : doc.current()->lines) {
        std::u16string text;
        for (const auto& token : line.tokens)
            text += TokenText(*token);
        if (!line.tokens.empty())
            lines.push_back(text);
    }
    return lines;
}

OStrToken* LastText(OPdfDocument& doc)
{
    for (auto line = doc.current()->lines.rbegin(); line != doc.current()->lines.rend(); ++line) {
        for (auto token = line->tokens.rbegin(); token != line->tokens.rend(); ++token) {
            if (auto* text = dynamic_cast<OStrToken*>(token->get()))
                return text;
        }
    }
    return nullptr;
}

std::string PngBytes(int width, int height)
{
    testutil::TempDir dir;
    const std::string path = dir.str() + "p.png";
    Shell("convert -size " + std::to_string(width) + "x" + std::to_string(height) + " xc:teal " + Quote(path));
    return testutil::ReadFile(path);
}

TEST(ContentEvents, TextEventsMakeLines)
{
    OPdfDocument doc;
    doc.setupPage(KIND_TEXT, 8.5, 11, 86, 72, 12);
    Events e(doc);
    e.text16(u"A\r\nB");
    EXPECT_EQ(LineTexts(doc), (std::vector<std::u16string>{u"A", u"B"}));
    // Empty texts change nothing.
    const int y = doc.current()->curY, x = doc.current()->curX;
    e.text("");
    e.text16(u"");
    EXPECT_EQ(doc.current()->curY, y);
    EXPECT_EQ(doc.current()->curX, x);
    // Text is copied: the sender's buffer may change after the event.
    std::string buffer = "copied";
    e.text(buffer);
    buffer = "XXXXXX";
    EXPECT_EQ(LastText(doc)->text, u"copied");
}

TEST(ContentEvents, GlyphWidthsAndWrapping)
{
    OPdfDocument doc;
    doc.setupPage(KIND_TEXT, 8.5, 11, 86, 72, 12);
    Events e(doc);
    e.paragraph("abcdefghij");
    EXPECT_EQ(LastText(doc)->width, 60);
    e.paragraph("\xe4\xbd\xa0\xe5\xa5\xbd\xe4\xbd\xa0\xe5\xa5\xbd\xe4\xbd\xa0\xe5\xa5\xbd\xe4\xbd\xa0\xe5\xa5\xbd"
                "\xe4\xbd\xa0\xe5\xa5\xbd");
    EXPECT_EQ(LastText(doc)->width, 120);
    // Lines break after the last blank that fits: no word is cut.
    e.paragraph(std::string(40, 'x') + " " + std::string(40, 'y') + " " + std::string(100, 'z'));
    const auto lines = LineTexts(doc);
    ASSERT_GE(lines.size(), 6u);
    // 440 points hold 73 characters below 128 at size 12.
    EXPECT_EQ(lines[lines.size() - 4], std::u16string(40, u'x') + u" ");
    EXPECT_EQ(lines[lines.size() - 3], std::u16string(40, u'y') + u" ");
    EXPECT_EQ(lines[lines.size() - 2], std::u16string(73, u'z'));
    EXPECT_EQ(lines.back(), std::u16string(27, u'z'));
    // A character wider than the whole line gets a line of its own.
    e.event(CE_BOX_SIZE, 5, 0);
    e.text("ab");
    const auto narrow = LineTexts(doc);
    EXPECT_EQ(narrow[narrow.size() - 2], u"a");
    EXPECT_EQ(narrow.back(), u"b");
}

TEST(ContentEvents, TablesPagesAndPictures)
{
    OPdfDocument doc;
    doc.setupPage(KIND_TEXT, 8.5, 11, 86, 72, 12);
    Events e(doc);
    e.table(TABLE_COLUMN, 0);
    e.table(TABLE_COLUMN, 1800);
    OPdfTable* table = doc.current()->openTable;
    ASSERT_NE(table, nullptr);
    e.table(TABLE_ROW_HEIGHT, 17);
    EXPECT_EQ(table->rowHeight, 0);
    e.table(TABLE_ROW_HEIGHT, 180);
    EXPECT_EQ(table->rowHeight, 10);
    e.event(CE_ROW_END);
    e.event(CE_ROW_END);   // a row without content: the base size and 4
    ASSERT_EQ(table->rowTops.size(), 3u);
    EXPECT_EQ(table->rowTops[1] - table->rowTops[2], 12 + 4);
    e.event(CE_TABLE_END);
    EXPECT_EQ(doc.current()->openTable, nullptr);
    // Table operations without a table, and bytes that are no picture,
    // change nothing.
    e.table(TABLE_ROW_HEIGHT, 500);
    e.event(CE_ROW_END);
    e.picture("not a picture");
    EXPECT_EQ(doc.pictureCount(), 0);

    // A new page size holds for pages begun afterwards.
    e.event(CE_PAGE_SIZE, 300, 200);
    EXPECT_EQ(doc.current()->mediaWidth, 612);
    e.event(CE_NEW_PAGE);
    EXPECT_EQ(doc.current()->mediaWidth, 300);
    EXPECT_EQ(doc.current()->mediaHeight, 200);

    // A picture that does not fit below the text goes to a new page.
    e.event(CE_PAGE_SIZE, 612, 792);
    e.event(CE_NEW_PAGE);
    while (doc.current()->curY - 45 >= 72)
        e.paragraph("line");
    const int pages = doc.pageCount();
    e.picture(PngBytes(40, 40));
    EXPECT_EQ(doc.pictureCount(), 1);
    EXPECT_EQ(doc.pageCount(), pages + 1);
}

TEST(ContentEvents, PresentationPicturesStayOnTheirPage)
{
    OPdfDocument doc;
    doc.setupPage(KIND_PRESENTATION, 11, 8.5, 0, 0, 20);
    Events e(doc);
    e.event(CE_NEW_PAGE);
    e.event(CE_MOVE_TO, 100, 50);
    e.picture(PngBytes(40, 40));
    EXPECT_EQ(doc.pageCount(), 1);
    // Too large for its box: it takes the box's size.
    e.event(CE_MOVE_TO, 0, 612);
    e.event(CE_BOX_SIZE, 200, 100);
    e.picture(PngBytes(500, 300));
    EXPECT_EQ(doc.pageCount(), 1);
    const auto& picture = doc.current()->pictures.back();
    EXPECT_EQ(picture->width, 200);
    EXPECT_EQ(picture->height, 100);
}

// The line after a picture begins below the picture, the gap above it
// included, whether the picture opens the page, follows a line of text or
// follows text on its own line (where it stands on the text's baseline).
TEST(ContentEvents, TextAfterAPictureBeginsBelowIt)
{
    OPdfDocument doc;
    doc.setupPage(KIND_TEXT, 8.5, 11, 86, 72, 12);
    Events e(doc);
    const std::string png = PngBytes(40, 30);
    e.picture(png);
    e.lineEnd();
    e.paragraph("text");
    e.picture(png);
    e.lineEnd();
    e.picture(png);
    e.lineEnd();
    e.style.fontSize = 20;
    e.paragraph("more");
    e.style.fontSize = 12;
    e.text("inline");
    e.picture(png);
    e.lineEnd();
    e.paragraph("last");
    OPdfPage& page = *doc.current();
    page.alignLines();
    std::vector<const OToken*> texts, pictures;
    for (const OPdfLine& line : page.lines) {
        for (const auto& token : line.tokens) {
            if (dynamic_cast<const OStrToken*>(token.get()))
                texts.push_back(token.get());
            else if (dynamic_cast<const OImgToken*>(token.get()))
                pictures.push_back(token.get());
        }
    }
    ASSERT_EQ(pictures.size(), 4u);
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(pictures[0]->y, 792 - 72 - 30);
    // Pictures one below the other keep the gap between them.
    EXPECT_EQ(pictures[1]->y - (pictures[2]->y + 30), 5);
    // Each text line lies below the picture before it; the text on the
    // picture's own line shares its bottom.
    EXPECT_LE(texts[0]->y + texts[0]->height, pictures[0]->y);
    EXPECT_LE(texts[1]->y + texts[1]->height, pictures[2]->y);
    EXPECT_EQ(texts[2]->y, pictures[3]->y);
    EXPECT_LE(texts[3]->y + texts[3]->height, pictures[3]->y);
}

TEST(Typesetter, PicturesTallerThanThePage)
{
    testutil::TempDir dir;
    const std::string tall = PngBytes(60, 2000);
    {
        // Text pages: the picture gets a page of its own, scaled to fit.
        OPdfDocument doc;
        doc.setOutputPath(dir.str() + "text.pdf");
        doc.setupPage(KIND_TEXT, 8.5, 11, 86, 72, 12);
        Events e(doc);
        e.paragraph("Before the picture.");
        e.picture(tall);
        e.lineEnd();
        ASSERT_EQ(doc.pageCount(), 2);
        ASSERT_EQ(doc.current()->pictures.size(), 1u);
        const auto& picture = doc.current()->pictures.back();
        EXPECT_EQ(picture->height, 792 - 2 * 72);
        EXPECT_EQ(picture->width, 60 * (792 - 2 * 72) / 2000);
        e.paragraph("After the picture.");
        EXPECT_EQ(doc.pageCount(), 3);
        EXPECT_GT(doc.writeFile(), 0u);
        EXPECT_EQ(QpdfProblems(dir.str() + "text.pdf"), "");
    }
    {
        // Picture pages: the page grows to the picture.
        OPdfDocument doc;
        doc.setOutputPath(dir.str() + "pictures.pdf");
        doc.setupPage(KIND_PICTURES, 8.5, 11, 0, 0, 20);
        Events e(doc);
        e.picture(tall);
        EXPECT_EQ(doc.pageCount(), 1);
        EXPECT_EQ(doc.current()->mediaHeight, 2000);
        EXPECT_GT(doc.writeFile(), 0u);
        EXPECT_NE(Shell("pdfinfo " + Quote(dir.str() + "pictures.pdf")).find("612 x 2000"), std::string::npos);
    }
}

// Text of many scripts over many pages comes back through pdftotext.
TEST(Typesetter, MixedScriptsOverFiftyPages)
{
    testutil::TempDir dir;
    const std::string path = dir.str() + "mixed.pdf";
    OPdfDocument doc;
    doc.setOutputPath(path);
    doc.setupPage(KIND_TEXT, 8.5, 11, 86, 72, 12);
    Events e(doc);
    const std::vector<std::string> words = {
        "Latin",         "letters",     "and",          "words",
        "\xd0\x9a\xd0\xb8\xd1\x80\xd0\xb8\xd0\xbb\xd0\xbb\xd0\xb8\xd1\x86\xd0\xb0",   // Кириллица
        "\xd1\x82\xd0\xb5\xd0\xba\xd1\x81\xd1\x82",                                   // текст
        "\xe4\xb8\xad\xe6\x96\x87\xe6\x96\x87\xe6\x9c\xac",                           // 中文文本
        "\xe6\xb1\x89\xe5\xad\x97",                                                   // 汉字
    };
    std::vector<std::string> paragraphs;
    for (int i = 0; doc.pageCount() < 50; ++i) {
        std::string p = "P" + std::to_string(i);
        for (int w = 0; w < 30; ++w)
            p += " " + words[std::size_t(i * 7 + w) % words.size()];
        paragraphs.push_back(p);
        e.style.fontSize = 10 + i % 5;
        e.style.bold = i % 4 == 1;
        e.paragraph(p);
    }
    ASSERT_GT(doc.writeFile(), 0u);
    EXPECT_EQ(QpdfProblems(path), "");
    EXPECT_GE(PageCount(path), 50);
    // Compared without white space, which the layout changes.
    auto squeeze = [](const std::string& s) {
        std::string out;
        for (char c : s) {
            if (c != ' ' && c != '\n' && c != '\f')
                out += c;
        }
        return out;
    };
    std::string expected;
    for (const std::string& p : paragraphs)
        expected += p;
    EXPECT_EQ(squeeze(PdfText(path)), squeeze(expected));
}

TEST(Typesetter, CharactersBeyondTheBasicPlaneKeepTheFileSound)
{
    testutil::TempDir dir;
    const std::string path = dir.str() + "astral.pdf";
    OPdfDocument doc;
    doc.setOutputPath(path);
    doc.setupPage(KIND_TEXT, 8.5, 11, 86, 72, 12);
    Events e(doc);
    std::string line;
    for (int i = 0; i < 60; ++i)
        line += "smile \xf0\x9f\x98\x80 and \xf0\xa0\x80\x80 ";   // U+1F600, U+20000
    e.paragraph(line);
    e.paragraph("closing words");
    // A pair is never split at a line end.
    for (const OPdfLine& l : doc.current()->lines) {
        for (const auto& token : l.tokens) {
            const std::u16string text = TokenText(*token);
            if (!text.empty()) {
                EXPECT_FALSE(text.back() >= 0xD800 && text.back() <= 0xDBFF);
            }
        }
    }
    ASSERT_GT(doc.writeFile(), 0u);
    EXPECT_EQ(QpdfProblems(path), "");
    const std::string text = PdfText(path);
    EXPECT_NE(text.find("smile"), std::string::npos);
    EXPECT_NE(text.find("closing words"), std::string::npos);
}

// Grey value of pixel (x, y) of a page rendered at 72 dpi, y from the top.
class Rendered {
public:
    Rendered(const std::string& pdf, int page)
    {
        const std::string pgm = Shell("pdftoppm -r 72 -gray -f " + std::to_string(page) + " -l " +
                                      std::to_string(page) + " " + Quote(pdf) + " 2>/dev/null");
        // P5 header: "P5\nW H\n255\n"
        std::size_t pos = 3;
        width_ = std::stoi(pgm.substr(pos));
        pos = pgm.find(' ', pos) + 1;
        height_ = std::stoi(pgm.substr(pos));
        pos = pgm.find('\n', pos) + 1;
        pos = pgm.find('\n', pos) + 1;
        pixels_ = pgm.substr(pos);
    }
    int at(int x, int y) const
    {
        const std::size_t i = std::size_t(y) * std::size_t(width_) + std::size_t(x);
        return i < pixels_.size() ? static_cast<unsigned char>(pixels_[i]) : -1;
    }
    int height() const { return height_; }

private:
    int width_ = 0, height_ = 0;
    std::string pixels_;
};

TEST(Typesetter, LongBorderedTableSplitsOverPages)
{
    testutil::TempDir dir;
    const std::string path = dir.str() + "table.pdf";
    OPdfDocument doc;
    doc.setOutputPath(path);
    doc.setupPage(KIND_TEXT, 8.5, 11, 86, 72, 12);
    Events e(doc);
    e.paragraph("Before the table.");
    e.table(TABLE_COLUMN, 0);
    for (int c = 0; c < 3; ++c)
        e.table(TABLE_COLUMN, 2400);
    e.table(TABLE_BORDERS, 1);
    for (int r = 0; r < 200; ++r) {
        for (int c = 0; c < 3; ++c) {
            e.paragraph("R" + std::to_string(r) + "C" + std::to_string(c));
            e.nextCell();
        }
        e.event(CE_ROW_END);
    }
    e.event(CE_TABLE_END);
    e.paragraph("After the table.");
    ASSERT_GT(doc.writeFile(), 0u);
    EXPECT_EQ(QpdfProblems(path), "");
    EXPECT_EQ(XrefProblems(testutil::ReadFile(path)), "");
    const int pages = PageCount(path);
    ASSERT_GE(pages, 5);

    // Every row, in order, each on one line.
    const std::string text = PdfText(path, "-layout");
    std::size_t at = text.find("Before the table.");
    ASSERT_NE(at, std::string::npos);
    for (int r = 0; r < 200; ++r) {
        const std::string row = "R" + std::to_string(r) + "C0";
        at = text.find(row, at);
        ASSERT_NE(at, std::string::npos) << row;
        const std::size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        EXPECT_NE(line.find("R" + std::to_string(r) + "C2"), std::string::npos) << line;
    }
    EXPECT_NE(text.find("After the table.", at), std::string::npos);

    // Borders on every page: the table's left rule (at x = 86) runs down
    // the page, and its cells' text is never crossed by a rule.
    for (int page = 1; page <= pages; ++page) {
        SCOPED_TRACE(page);
        const Rendered image(path, page);
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            dark += image.at(86, y) < 128;
        EXPECT_GT(dark, page == pages ? 10 : 400);
    }
}

TEST(Typesetter, VerticallyMergedShadedCellIsFilledWithoutGaps)
{
    testutil::TempDir dir;
    const std::string path = dir.str() + "merge.pdf";
    OPdfDocument doc;
    doc.setOutputPath(path);
    doc.setupPage(KIND_TEXT, 8.5, 11, 86, 72, 12);
    Events e(doc);
    e.table(TABLE_COLUMN, 0);
    for (int c = 0; c < 3; ++c)
        e.table(TABLE_COLUMN, 1800);   // 100 points each
    e.table(TABLE_BORDERS, 1);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            if (c == 1 && r > 0)
                e.table(TABLE_VMERGE, 2);
            e.style.backColour = c == 1 ? 0x808080 : 0xFFFFFF;
            e.paragraph(c == 1 && r > 0 ? "" : "cell");
            e.nextCell();
        }
        e.event(CE_ROW_END);
    }
    e.event(CE_TABLE_END);
    const std::vector<int> tops = doc.current()->tables.front()->rowTops;
    ASSERT_GT(doc.writeFile(), 0u);
    EXPECT_EQ(QpdfProblems(path), "");
    const Rendered image(path, 1);
    // Down the middle of the merged column: grey from its top rule to its
    // bottom rule, no white gap and no rule between its rows.
    const int middle = 86 + 100 + 50;
    for (int y = 792 - tops.front() + 2; y < 792 - tops.back() - 1; ++y)
        EXPECT_EQ(image.at(middle, y), 128) << "at y " << y;
    // The first column keeps its rules between the rows (a rule at PDF y
    // covers the pixel row above it).
    EXPECT_LT(image.at(86 + 50, 792 - tops[1] - 1), 64);
}

} // namespace
