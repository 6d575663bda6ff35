// Text runs: one word each, positions against pdftotext, styles, rotation.
#include "test_support.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

using namespace ptest;

namespace {

struct Match {
    int matched = 0;
    int missing = 0;
    std::vector<std::string> problems;
};

// Finds every pdftotext word among ours (same text, boxes agreeing) and,
// unless `allowExtra`, checks that we report no other words.
Match CompareWords(const std::vector<TextCollect*>& ours, const std::vector<OracleWord>& oracle,
                   bool allowExtra)
{
    Match m;
    std::vector<bool> used(ours.size(), false);
    for (const OracleWord& o : oracle) {
        int best = -1;
        double bestDist = 1e9;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            if (used[i] || ours[i]->GetText() != o.text)
                continue;
            double x0, y0, x1, y1;
            WordBox(*ours[i], x0, y0, x1, y1);
            const double d = std::fabs((x0 + x1) - (o.x0 + o.x1)) + std::fabs((y0 + y1) - (o.y0 + o.y1));
            if (d < bestDist) {
                bestDist = d;
                best = static_cast<int>(i);
            }
        }
        if (best < 0) {
            ++m.missing;
            m.problems.push_back("missing word '" + o.text + "'");
            continue;
        }
        used[best] = true;
        double x0, y0, x1, y1;
        WordBox(*ours[best], x0, y0, x1, y1);
        const double size = ours[best]->GetFontSize();
        // Along the baseline the ends agree closely; across it the boxes
        // differ by the font metrics each tool uses, so they must overlap
        // well and share their middle.
        const bool vertical = std::fabs(ours[best]->GetMatrix().b) > 0.5;
        double a0 = x0, a1 = x1, b0 = y0, b1 = y1, oa0 = o.x0, oa1 = o.x1, ob0 = o.y0, ob1 = o.y1;
        if (vertical) {
            std::swap(a0, b0);
            std::swap(a1, b1);
            std::swap(oa0, ob0);
            std::swap(oa1, ob1);
        }
        const bool alongOk = std::fabs(a0 - oa0) < 1.0 && std::fabs(a1 - oa1) < 1.0;
        const double overlap = std::min(b1, ob1) - std::max(b0, ob0);
        const bool acrossOk = overlap > 0.6 * std::min(b1 - b0, ob1 - ob0) &&
                              std::fabs((b0 + b1) / 2 - (ob0 + ob1) / 2) < 0.35 * size;
        if (alongOk && acrossOk)
            ++m.matched;
        else
            m.problems.push_back("box of '" + o.text + "' differs");
    }
    if (!allowExtra)
        for (std::size_t i = 0; i < ours.size(); ++i)
            if (!used[i])
                m.problems.push_back("extra word '" + ours[i]->GetText() + "'");
    return m;
}

} // namespace

TEST(Text, WordsAndBoxesMatchPdftotext)
{
    // pdftotext leaves out the words of a /Rotate 90 page that lie beyond
    // the unrotated page height, hence the extra words allowed there.
    // Two files of the shared corpus join them: TeX fonts with ligatures,
    // and a word processor's embedded TrueType fonts.
    struct Case {
        std::string file;
        int page;
        bool cropbox;
        bool allowExtra;
    } cases[] = {{Fixture("two_column.pdf"), 1, false, false},
                 {Fixture("table.pdf"), 1, false, false},
                 {Fixture("styles.pdf"), 1, false, false},
                 {Fixture("links.pdf"), 2, false, false},
                 {Fixture("rotate90.pdf"), 1, false, true},
                 {Fixture("picture.pdf"), 1, false, false},
                 {Fixture("cropbox.pdf"), 1, true, false},
                 {Fixture("cjk.pdf"), 1, false, false},
                 {Fixture("cjk_nowidth.pdf"), 1, false, false},
                 {Fixture("hscale.pdf"), 1, false, false},
                 {Corpus() + "/021-pdfa_crazyones-pdfa.pdf", 1, false, false},
                 {Corpus() + "/002-trivial-libre-office-writer_002-trivial-libre-office-writer.pdf",
                  1, false, false}};
    const bool corpusMissing = CorpusMissing();
    for (const Case& c : cases) {
        if (corpusMissing && c.file.rfind(Corpus(), 0) == 0)
            continue;
        SCOPED_TRACE(c.file);
        Parser p;
        p.Load(Wide(c.file), false, nullptr);
        PageObjects o = Walk(p, c.page - 1);
        double W = 0, H = 0;
        p.GetPageWidth(W);
        p.GetPageHeight(H);
        for (TextCollect* t : o.text) {
            double x0, y0, x1, y1;
            WordBox(*t, x0, y0, x1, y1);
            // Words wholly outside the visible page are not reported.
            EXPECT_TRUE(x1 >= 0 && y1 >= 0 && x0 <= W && y0 <= H) << t->GetText();
        }
        const auto oracle = PdftotextWords(c.file, c.page, c.cropbox, H);
        ASSERT_FALSE(oracle.empty());
        Match m = CompareWords(o.text, oracle, c.allowExtra);
        EXPECT_EQ(m.matched, static_cast<int>(oracle.size()));
        EXPECT_TRUE(m.problems.empty()) << m.problems.front();
    }
}

// CJK text has no spaces: the characters of a line in one style are one
// run, as wide as its characters together, also when the embedded font
// program gives its glyphs no width (cjk_nowidth.pdf); pdftotext -raw, which
// places glyphs by the PDF's widths, gives the same words in the same order.
TEST(Text, CjkCharactersOfALineAreOneRun)
{
    for (const char* file : {"cjk.pdf", "cjk_nowidth.pdf"}) {
        SCOPED_TRACE(file);
        Parser p;
        p.Load(WFixture(file), false, nullptr);
        PageObjects o = Walk(p, 0);
        std::vector<std::string> ours, oracle;
        for (TextCollect* t : o.text)
            ours.push_back(t->GetText());
        std::istringstream raw(Shell("pdftotext -raw " + Q(Fixture(file)) + " -"));
        std::string word;
        while (raw >> word)
            oracle.push_back(word);
        EXPECT_EQ(ours, oracle);
        ASSERT_FALSE(o.text.empty());
        EXPECT_EQ(o.text[0]->GetText(), "中文文本测试");
        // Six full-width characters of 14 points.
        EXPECT_NEAR(o.text[0]->GetTextWidth(), 6 * 14.0, 0.5);
        EXPECT_NEAR(o.text[0]->runWidth, 6 * 14.0, 0.5);
    }
}

TEST(Text, WordsHaveNoSpacesAndComeInDrawingOrder)
{
    Parser p;
    p.Load(WFixture("two_column.pdf"), false, nullptr);
    PageObjects o = Walk(p, 0);
    ASSERT_GT(o.text.size(), 100u);
    int lastId = 0;
    for (TextCollect* t : o.text) {
        EXPECT_FALSE(t->GetText().empty());
        EXPECT_EQ(t->GetText().find(' '), std::string::npos) << t->GetText();
        EXPECT_GT(t->GetID(), lastId);
        lastId = t->GetID();
    }
    // The title is drawn first, then the left column before the right.
    EXPECT_EQ(o.text[0]->GetText(), "Columns");
    double firstRightX = -1;
    bool sawRight = false;
    for (TextCollect* t : o.text) {
        const bool right = t->GetMatrix().e > 300;
        if (right && !sawRight) {
            sawRight = true;
            firstRightX = t->GetMatrix().e;
        }
        if (sawRight) {
            EXPECT_TRUE(right) << "left-column word after the right column began";
        }
    }
    EXPECT_GT(firstRightX, 300);
}

TEST(Text, StylesSizesAndColours)
{
    Parser p;
    p.Load(WFixture("styles.pdf"), false, nullptr);
    PageObjects o = Walk(p, 0);
    std::map<std::string, TextCollect*> by;
    for (TextCollect* t : o.text)
        by[t->GetText()] = t;
    struct Expect {
        const char* word;
        const char* font;
        double size;
        bool bold, italic, underline, strike;
        double r, g, b;
    } table[] = {
        {"Plain", "Helvetica", 12, false, false, false, false, 0, 0, 0},
        {"heading", "Helvetica-Bold", 14, true, false, false, false, 0, 0, 0},
        {"remark", "Times-Italic", 11, false, true, false, false, 0, 0, 0},
        {"Red", "Helvetica", 12, false, false, false, false, 1, 0, 0},
        {"Grüße", "DejaVuSans", 12, false, false, false, false, 0, 0, 0},
        {"naïve", "DejaVuSans", 12, false, false, false, false, 0, 0, 0},
        {"underlined", "Helvetica", 12, false, false, true, false, 0, 0, 0},
        {"struck", "Helvetica", 12, false, false, false, true, 0, 0, 0},
        {"normal", "Helvetica", 12, false, false, false, false, 0, 0, 0},
    };
    for (const Expect& e : table) {
        SCOPED_TRACE(e.word);
        ASSERT_TRUE(by.count(e.word));
        TextCollect* t = by[e.word];
        EXPECT_EQ(t->GetFontName(), e.font);
        EXPECT_NEAR(t->GetFontSize(), e.size, 0.01);
        EXPECT_EQ(t->IsBold(), e.bold);
        EXPECT_EQ(t->IsItalic(), e.italic);
        EXPECT_EQ(t->IsUnderline(), e.underline);
        EXPECT_EQ(t->IsStrickOut(), e.strike);
        EXPECT_NEAR(t->GetNonStrokeColor().r, e.r, 0.01);
        EXPECT_NEAR(t->GetNonStrokeColor().g, e.g, 0.01);
        EXPECT_NEAR(t->GetNonStrokeColor().b, e.b, 0.01);
        // Upright text: identity rotation, text-space sizes equal the page sizes.
        const ParserMatrix& m = t->GetMatrix();
        EXPECT_EQ(m.a, 1.0);
        EXPECT_EQ(m.b, 0.0);
        EXPECT_EQ(m.d, 1.0);
        EXPECT_DOUBLE_EQ(t->runWidth, t->GetTextWidth());
        EXPECT_DOUBLE_EQ(t->runHeight, t->GetTextHeight());
        EXPECT_GT(t->GetTextHeight(), 0.9 * e.size);
        EXPECT_LT(t->GetTextHeight(), 1.6 * e.size);
    }
}

TEST(Text, RotationIsInTheMatrixOnly)
{
    Parser p;
    p.Load(WFixture("rotated_text.pdf"), false, nullptr);
    PageObjects o = Walk(p, 0);
    std::map<std::string, TextCollect*> by;
    for (TextCollect* t : o.text)
        by[t->GetText()] = t;
    const double s45 = std::sqrt(0.5);
    struct Expect {
        const char* word;
        double a, b;
    } table[] = {{"Upright", 1, 0}, {"Turned", 0, 1}, {"ninety", 0, 1}, {"Slanted", s45, s45}};
    for (const Expect& e : table) {
        SCOPED_TRACE(e.word);
        ASSERT_TRUE(by.count(e.word));
        const ParserMatrix& m = by[e.word]->GetMatrix();
        EXPECT_NEAR(m.a, e.a, 1e-3);
        EXPECT_NEAR(m.b, e.b, 1e-3);
        EXPECT_NEAR(m.c, -e.b, 1e-3);
        EXPECT_NEAR(m.d, e.a, 1e-3);
        EXPECT_NEAR(by[e.word]->GetFontSize(), 12.0, 0.01);
    }
    // "Turned ninety" runs upward from (300, 300); its box lies left of x = 300
    // by the descent (the text's "down" is +x).
    const ParserMatrix& t = by["Turned"]->GetMatrix();
    EXPECT_GT(t.e, 300.0);
    EXPECT_NEAR(t.f, 300.0, 0.01);
    EXPECT_GT(by["ninety"]->GetMatrix().f, t.f + by["Turned"]->GetTextWidth());
    // The rotated words sit where pdftotext puts them.
    const auto oracle = PdftotextWords(Fixture("rotated_text.pdf"), 1);
    ASSERT_FALSE(oracle.empty());
    for (const OracleWord& w : oracle) {
        if (w.text != "Turned" && w.text != "Slanted")
            continue;
        SCOPED_TRACE(w.text);
        double x0, y0, x1, y1;
        WordBox(*by[w.text], x0, y0, x1, y1);
        EXPECT_NEAR((x0 + x1) / 2, (w.x0 + w.x1) / 2, 3.0);
        EXPECT_NEAR((y0 + y1) / 2, (w.y0 + w.y1) / 2, 3.0);
    }
}

TEST(Text, InvisibleAndFillStrokeText)
{
    Parser p;
    p.Load(WFixture("paths.pdf"), false, nullptr);
    PageObjects o = Walk(p, 0);
    std::map<std::string, TextCollect*> by;
    for (TextCollect* t : o.text)
        by[t->GetText()] = t;
    // Invisible text (render mode 3, the text layer of scanned files) is text.
    ASSERT_TRUE(by.count("Hidden"));
    // Fill and stroke (render mode 2) is one word, drawn bold.
    ASSERT_TRUE(by.count("Thick"));
    EXPECT_TRUE(by["Thick"]->IsBold());
    EXPECT_NEAR(by["Thick"]->GetNonStrokeColor().g, 1.0, 0.01);
    EXPECT_EQ(o.text.size(), 3u);
}

// Form fields whose values the file does not draw (no appearance, or an
// empty one in a form that asks readers to make them) show their values in
// the page's words and on the rendered page, as pdftotext and pdftoppm show
// them.
TEST(Text, FormValuesWithoutAppearancesAreWalkedAndDrawn)
{
    auto dir = Scratch("forms");
    // Dark pixels of a grey or RGB picture of the 400 x 300 pt page at 72
    // dpi inside the field box [x0, x1] x [200, 230] (page points, y up).
    auto ink = [](const Jpeg& j, int x0, int x1) {
        int n = 0;
        for (int y = 300 - 230; y < 300 - 200 && y < j.height; ++y)
            for (int x = x0; x < x1 && x < j.width; ++x)
                if (j.pixels[(std::size_t(y) * j.width + x) * j.components] < 128)
                    ++n;
        return n;
    };
    struct Case {
        const char* file;
        const char* first;
        const char* last;
    } cases[] = {{"form_no_ap.pdf", "Alice", "Cooper"}, {"form_need_ap.pdf", "Bob", "Dylan"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string oracle = Shell("pdftotext " + Q(Fixture(c.file)) + " -");
        ASSERT_NE(oracle.find(c.first), std::string::npos);
        ASSERT_NE(oracle.find(c.last), std::string::npos);
        Parser p;
        p.Load(WFixture(c.file), false, nullptr);
        PageObjects o = Walk(p, 0);
        std::vector<std::string> words;
        for (TextCollect* t : o.text)
            words.push_back(t->GetText());
        EXPECT_EQ(words, (std::vector<std::string>{"Name:", c.first, c.last}));

        const std::string jpg = (dir / "page.jpg").string();
        ASSERT_TRUE(Parser::ConvertPDFPageToJpeg(WFixture(c.file), Wide(jpg), 1, 72, ""));
        Jpeg ours = ReadJpeg(jpg);
        ASSERT_TRUE(ours.ok);
        const std::string pgm = (dir / "oracle").string();
        Shell("pdftoppm -q -gray -singlefile -r 72 " + Q(Fixture(c.file)) + " " + Q(pgm));
        Jpeg theirs = ReadPgm(pgm + ".pgm");
        ASSERT_TRUE(theirs.ok);
        for (auto [x0, x1] : {std::pair{50, 200}, std::pair{220, 370}}) {
            ASSERT_GT(ink(theirs, x0, x1), 20);
            EXPECT_GT(ink(ours, x0, x1), 20) << "field at x " << x0 << " is blank";
        }
    }
}

// Accents drawn as glyphs of their own (TeX's way: accent, move back,
// letter) combine with the letter under them into one character: pdftotext
// puts them after their letter, and its words in composed form (NFC) are
// ours; accents that stand beside a letter stay as drawn. pdftotext leaves
// the dieresis on the dotless i and the circle around the c apart; those are
// read as the reader sees them.
TEST(Text, AccentsOverLettersCombine)
{
    const std::string file = Fixture("accents.pdf");
    std::istringstream oracle(
        Shell("pdftotext " + Q(file) + " - | /usr/bin/python3 -c 'import sys, unicodedata; "
              "sys.stdout.write(unicodedata.normalize(\"NFC\", sys.stdin.read()))'"));
    std::vector<std::string> theirs;
    for (std::string w; oracle >> w;)
        theirs.push_back(w);
    for (const char* w : {"Jérôme", "Moiré", "Éric", "Café", "it´s", "a^b"})
        ASSERT_NE(std::find(theirs.begin(), theirs.end(), w), theirs.end()) << w;

    Parser p;
    p.Load(Wide(file), false, nullptr);
    PageObjects o = Walk(p, 0);
    std::vector<std::string> words;
    for (TextCollect* t : o.text)
        words.push_back(t->GetText());
    const std::vector<std::string> expected = {"Jérôme", "Moiré", "naïve", "Éric", "©",
                                               "2024",   "Café",  "it´s",  "a^b"};
    EXPECT_EQ(words, expected);
    // A combined word spans its letters, as if the accent were not there.
    for (TextCollect* t : o.text)
        if (t->GetText() == "Jérôme") {
            EXPECT_NEAR(t->GetMatrix().e, 50.0, 0.5);
            EXPECT_NEAR(t->GetTextWidth(), 12 * (0.5 + 0.556 + 0.333 + 0.556 + 0.833 + 0.556),
                        0.5);
        }
}

namespace {

// The words of a text with the direction marks that pdftotext puts around
// right-to-left stretches taken out, as a sorted list.
std::vector<std::string> WordsOf(const std::string& text)
{
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // U+200E, U+200F, U+202A..U+202E, U+2066..U+2069 (E2 80 8E/8F,
        // E2 80 AA..AE, E2 81 A6..A9).
        const auto b = [&](std::size_t k) {
            return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u;
        };
        if (b(i) == 0xE2 && ((b(i + 1) == 0x80 && (b(i + 2) == 0x8E || b(i + 2) == 0x8F ||
                                                   (b(i + 2) >= 0xAA && b(i + 2) <= 0xAE))) ||
                             (b(i + 1) == 0x81 && b(i + 2) >= 0xA6 && b(i + 2) <= 0xA9))) {
            plain += ' ';
            i += 2;
            continue;
        }
        plain += text[i];
    }
    std::istringstream in(plain);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    std::sort(words.begin(), words.end());
    return words;
}

std::vector<std::string> OurWords(Parser& p, int page)
{
    std::string all;
    for (TextCollect* t : Walk(p, page).text)
        all += t->GetText() + " ";
    return WordsOf(all);
}

} // namespace

// Right-to-left script is drawn from left to right, the last letter of a
// word first, and a shaping engine draws each mark before the letter it sits
// on: the words come out in reading order, marks after their letters,
// numbers as written, whether the page is turned or not. The page is made by
// LibreOffice from the words below; pdftotext reads the unmarked words the
// same way.
TEST(Text, RightToLeftWordsComeInReadingOrder)
{
    int status = -1;
    Shell("command -v soffice >/dev/null", &status);
    if (status != 0)
        GTEST_SKIP() << "soffice is not installed";
    const struct {
        const char* dir;
        const char* line;
    } lines[] = {
        {"rtl", "שלום עולם"},                 // Hebrew
        {"rtl", "كتاب جديد 2024"},           // Arabic with a number
        {"rtl", "قرأت ١٢٣ صفحة"},            // Arabic-Indic digits
        {"rtl", "كَتَبَ الوَلَدُ الكِتابَ"},    // Arabic with its vowel marks
        {"rtl", "לֶחֶם טוֹב"},                 // pointed Hebrew (holam over vav)
        {"ltr", "habibi حبيبي one"},          // Latin and Arabic on one line
    };
    const auto dir = Scratch("rtl");
    std::string html = "<html><head><meta charset=\"utf-8\"></head><body>";
    std::string typed;
    for (const auto& l : lines) {
        html += std::string("<p dir=\"") + l.dir + "\">" + l.line + "</p>";
        typed += std::string(l.line) + " ";
    }
    html += "</body></html>";
    std::ofstream(dir / "rtl.html") << html;
    const std::string profile = "file://" + (dir / "profile").string();
    Shell("cd " + Q(dir.string()) + " && soffice " + Q("-env:UserInstallation=" + profile) +
              " --headless --infilter='HTML (StarWriter)' --convert-to pdf rtl.html"
              " >/dev/null 2>&1",
          &status);
    const std::string pdf = (dir / "rtl.pdf").string();
    ASSERT_TRUE(std::filesystem::exists(pdf)) << "LibreOffice made no PDF";
    const std::string turned = (dir / "turned.pdf").string();
    Shell("qpdf --rotate=+90 " + Q(pdf) + " " + Q(turned), &status);
    ASSERT_TRUE(std::filesystem::exists(turned));

    const std::vector<std::string> expected = WordsOf(typed);
    std::vector<std::string> theirs = WordsOf(Shell("pdftotext " + Q(pdf) + " -"));
    for (const std::string& file : {pdf, turned}) {
        SCOPED_TRACE(file);
        Parser p;
        p.Load(Wide(file), false, nullptr);
        const std::vector<std::string> ours = OurWords(p, 0);
        EXPECT_EQ(ours, expected);
        // pdftotext splits words at marks; every word it reads whole is ours.
        for (const std::string& w : theirs) {
            if (std::binary_search(expected.begin(), expected.end(), w)) {
                EXPECT_TRUE(std::binary_search(ours.begin(), ours.end(), w)) << w;
            }
        }
    }
    // Without marks pdftotext reads all of them as typed.
    for (const char* w : {"שלום", "עולם", "كتاب", "جديد", "2024", "صفحة", "habibi", "حبيبي"})
        EXPECT_TRUE(std::binary_search(theirs.begin(), theirs.end(), std::string(w))) << w;
}

// One glyph may stand for several words: cluster_glyphs.pdf maps its glyphs
// to "x y", " z" and "w ", and the Arabic files of the corpus map the first
// Latin glyph to the Arabic word, a space and the letter. The words stay
// apart, each as pdftotext reads it, on upright and turned pages, and no
// word begins or ends with a space.
TEST(Text, AGlyphStandingForSeveralWordsKeepsThemApart)
{
    const struct {
        std::string file;
        std::size_t words; // on each page
    } cases[] = {{Fixture("cluster_glyphs.pdf"), 4},
                 {Corpus() + "/015-arabic_habibi.pdf", 3},
                 {Corpus() + "/015-arabic_habibi-oneline-cmap.pdf", 3},
                 {Corpus() + "/015-arabic_habibi-rotated.pdf", 3}};
    const bool corpusMissing = CorpusMissing();
    for (const auto& c : cases) {
        if (corpusMissing && c.file.rfind(Corpus(), 0) == 0)
            continue;
        Parser p;
        p.Load(Wide(c.file), false, nullptr);
        for (int page = 0; page < p.GetPageCount(); ++page) {
            SCOPED_TRACE(c.file + " page " + std::to_string(page + 1));
            std::string theirs;
            for (const OracleWord& w : PdftotextWords(c.file, page + 1))
                theirs += w.text + " ";
            const std::vector<std::string> expected = WordsOf(theirs);
            ASSERT_EQ(expected.size(), c.words);
            EXPECT_EQ(OurWords(p, page), expected);
            for (TextCollect* t : Walk(p, page).text) {
                ASSERT_FALSE(t->GetText().empty());
                EXPECT_NE(t->GetText().front(), ' ');
                EXPECT_NE(t->GetText().back(), ' ');
            }
        }
    }
}

namespace {

std::size_t CountOf(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

} // namespace

// TeX sets "↦" as a bar of no width (which its fonts name "mapstochar" or
// "mapsto" and which has no character) and the arrow; pdftotext reads the
// bar by its code, "7→" (or "→7" where the sign is drawn turned). Each such
// pair is one "↦", every other arrow stays "→", on the pages of the corpus
// LaTeX document that have both.
TEST(Text, TeXMapsToArrowIsOneSign)
{
    if (CorpusMissing())
        GTEST_SKIP() << "no corpus";
    const std::string file = Corpus() + "/009-pdflatex-geotopo_GeoTopo-komprimiert.pdf";
    Parser p;
    p.Load(Wide(file), false, nullptr);
    for (int page : {14, 29, 31, 54, 63}) {
        SCOPED_TRACE("page " + std::to_string(page));
        const std::string theirs = Shell("pdftotext -f " + std::to_string(page) + " -l " +
                                         std::to_string(page) + " " + Q(file) + " -");
        const std::size_t mapsTo = CountOf(theirs, "7→") + CountOf(theirs, "→7");
        ASSERT_GT(mapsTo, 0u);
        std::string ours;
        for (TextCollect* t : Walk(p, page - 1).text)
            ours += t->GetText() + " ";
        EXPECT_EQ(CountOf(ours, "↦"), mapsTo);
        EXPECT_EQ(CountOf(ours, "→"), CountOf(theirs, "→") - mapsTo);
    }
}

// TeX's math extension fonts name their big operators and delimiters by
// size ("summationdisplay", "parenleftbigg") and build tall delimiters of
// pieces ("bracelefttp"): names the Adobe glyph list lacks or maps into the
// private use area. Each such glyph reads as its character, and stands on
// the line whose math axis it is centred on, beside the "x" that ends it.
TEST(Text, TeXExtensionGlyphsReadByName)
{
    Parser p;
    p.Load(Wide(Fixture("tex_extension.pdf")), false, nullptr);
    PageObjects o = Walk(p, 0);
    const std::vector<std::string> expected = {"∑", "∏", "∫", "⋃", "(", ")", "{", "]", "⟨", "√",
                                               "⎧", "⎪", "⎨", "⎩", "⎛", "⎜", "⎝", "∣", "x"};
    std::vector<std::string> words;
    for (TextCollect* t : o.text)
        words.push_back(t->GetText());
    ASSERT_EQ(words, expected);
    const double baseline = o.text.back()->GetMatrix().f;
    for (TextCollect* t : o.text)
        EXPECT_NEAR(t->GetMatrix().f, baseline, 0.5) << t->GetText();
}

// Marked content whose ActualText gives the characters its glyphs stand for
// (a flag drawn as one glyph of the private use area, two glyphs read as
// "fi", a span named in the page's properties) reads as that text; pdftotext
// reads the spans written in the contents the same way (the named one it
// leaves to the glyphs). A glyph outside the spans keeps its own character.
TEST(Text, ActualTextReplacesGlyphs)
{
    const std::string file = Fixture("actual_text.pdf");
    std::istringstream oracle(Shell("pdftotext " + Q(file) + " -"));
    std::vector<std::string> theirs;
    for (std::string w; oracle >> w;)
        theirs.push_back(w);
    for (const char* w : {"Flag", "🇩🇪", "one", "fi", "two"})
        ASSERT_NE(std::find(theirs.begin(), theirs.end(), w), theirs.end()) << w;

    Parser p;
    p.Load(Wide(file), false, nullptr);
    std::vector<std::string> words;
    for (TextCollect* t : Walk(p, 0).text)
        words.push_back(t->GetText());
    EXPECT_EQ(words,
              (std::vector<std::string>{"Flag", "🇩🇪", "one", "fi", "two", "x2", "\uE000"}));
}
