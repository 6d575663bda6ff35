// Plain-text output of real PDFs, end to end through convert(): reading order
// on multi-column pages, words compared with pdftotext, non-Latin text,
// control characters, turned text, recognition compared with the tesseract
// command, and every file of the corpus.
#include "engine/layout/entry.h"
#include "engine/layout/utf8.h"
#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testutil::Quote;
using testutil::ReadFile;
using testutil::TempDir;

struct Outcome {
    int state = 0;           // last item state reported
    std::string text;        // the output file's content
    std::string path;        // the output file, empty when none
};

struct StateLog {
    int lastState = 0;
};

void OnProgress(void* ctx, int, unsigned message, int value)
{
    if (message == WM_PROGRESS_STATE)
        static_cast<StateLog*>(ctx)->lastState = value;
}

class TextOutput : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fixtures = std::make_unique<TempDir>();
        const std::string cmd = "/usr/bin/python3 " +
                                Quote(std::string(TRANCEL_SOURCE_DIR) +
                                      "/engine/layout/tests/textfixtures.py") +
                                " " + Quote(fixtures->str()) +
                                " twocol threecol prose intl rotated controls scanned hyphens 2>&1";
        int status = -1;
        const std::string out = testutil::Run(cmd, &status);
        ASSERT_EQ(status, 0) << out;
    }
    static void TearDownTestSuite() { fixtures.reset(); }

    static std::string Fixture(const std::string& name)
    {
        return (fixtures->path() / (name + ".pdf")).string();
    }

    // Converts one PDF to text (all pages).
    Outcome Convert(const std::string& pdf, bool ocr = false)
    {
        Basedata_w item;
        item.type = 3;
        item.source = utf8::ToWide(pdf);
        item.dest = utf8::ToWide(out.str());
        item.exePath = utf8::ToWide(std::string(TRANCEL_BINARY_DIR) + "/bin");
        item.enableOCR = ocr;
        item.ocrMode = 1;
        std::vector<Basedata_w> items{item};
        StateLog log;
        callback_funcs cb;
        cb.progress = OnProgress;
        convert(items, utf8::ToWide(work.str()), &log, cb);
        Outcome o;
        o.state = log.lastState;
        o.path = utf8::FromWide(items[0].result);
        if (!o.path.empty())
            o.text = ReadFile(o.path);
        return o;
    }

    static inline std::unique_ptr<TempDir> fixtures;
    TempDir out;
    TempDir work;
};

std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> out;
    std::string w;
    for (char ch : text) {
        if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\f') {
            if (!w.empty())
                out.push_back(w);
            w.clear();
        } else {
            w.push_back(ch);
        }
    }
    if (!w.empty())
        out.push_back(w);
    return out;
}

// Our output split at the page marks, without them.
std::vector<std::string> Pages(const std::string& text)
{
    std::vector<std::string> pages;
    const std::regex mark("\r\n========[0-9]+========\r\n\r\n");
    std::sregex_token_iterator it(text.begin(), text.end(), mark, -1), end;
    for (; it != end; ++it)
        pages.push_back(*it);
    return pages;
}

bool AsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Lines whose word is broken by a hyphen at the end joined to the next, as
// a reader reads them: "adip-" "iscing" is "adipiscing", "Jean-" "Pierre"
// is "Jean-Pierre".
std::string JoinHyphenatedLines(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '-' && i > 0 && AsciiLetter(text[i - 1]) && i + 2 < text.size() &&
            text[i + 1] == '\n' && AsciiLetter(text[i + 2])) {
            if (!(text[i + 2] >= 'a' && text[i + 2] <= 'z'))
                out.push_back('-');
            ++i;   // the line break
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

// pdftotext -raw, page by page, with words broken at line ends joined.
std::vector<std::string> ReferencePages(const std::string& pdf)
{
    const std::string all = JoinHyphenatedLines(
        testutil::Run("pdftotext -raw -enc UTF-8 " + Quote(pdf) + " - 2>/dev/null"));
    std::vector<std::string> pages;
    std::string cur;
    for (char ch : all) {
        if (ch == '\f') {
            pages.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(ch);
        }
    }
    if (!cur.empty())
        pages.push_back(cur);
    return pages;
}

std::size_t CommonCount(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    std::map<std::string, int> ca;
    for (const auto& w : a)
        ++ca[w];
    std::size_t common = 0;
    for (const auto& w : b) {
        auto it = ca.find(w);
        if (it != ca.end() && it->second > 0) {
            --it->second;
            ++common;
        }
    }
    return common;
}

std::size_t LongestCommonSubsequence(const std::vector<std::string>& a,
                                     const std::vector<std::string>& b)
{
    std::vector<std::size_t> prev(b.size() + 1, 0), cur(b.size() + 1, 0);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            cur[j] = a[i - 1] == b[j - 1] ? prev[j - 1] + 1 : std::max(prev[j], cur[j - 1]);
        }
        std::swap(prev, cur);
    }
    return prev[b.size()];
}

// Positions of the words that begin with `prefix` followed by "w" and a
// number, with their numbers.
std::vector<std::pair<std::size_t, int>> Marked(const std::vector<std::string>& words,
                                                const std::string& prefix)
{
    std::vector<std::pair<std::size_t, int>> out;
    const std::regex re(prefix + "w([0-9]+)");
    std::smatch m;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (std::regex_match(words[i], m, re))
            out.emplace_back(i, std::stoi(m[1]));
    }
    return out;
}

// Each marker's words come in their own order, the markers one after the
// other, all after the title.
void ExpectColumnsInOrder(const std::vector<std::string>& words,
                          const std::vector<std::string>& markers, const std::string& titleWord)
{
    const auto title = std::find(words.begin(), words.end(), titleWord);
    ASSERT_NE(title, words.end());
    const std::size_t titlePos = static_cast<std::size_t>(title - words.begin());
    std::size_t lastEnd = titlePos;
    for (const std::string& m : markers) {
        const auto marked = Marked(words, m);
        ASSERT_GT(marked.size(), 50u) << m;
        EXPECT_GT(marked.front().first, lastEnd) << m << " starts before the column before it ends";
        for (std::size_t i = 0; i < marked.size(); ++i) {
            EXPECT_EQ(marked[i].second, static_cast<int>(i) + 1) << m << " word " << i;
            if (i > 0) {
                EXPECT_EQ(marked[i].first, marked[i - 1].first + 1) << m << " interrupted";
            }
        }
        lastEnd = marked.back().first;
    }
}

TEST_F(TextOutput, TwoColumnsReadColumnByColumnTitleFirst)
{
    const Outcome o = Convert(Fixture("twocol"));
    ASSERT_EQ(o.state, ITEM_DONE);
    const auto words = Words(o.text);
    EXPECT_EQ(words.front(), "Title");
    ExpectColumnsInOrder(words, {"L", "R"}, "Page");
}

TEST_F(TextOutput, ThreeColumnsReadColumnByColumnTitleFirst)
{
    const Outcome o = Convert(Fixture("threecol"));
    ASSERT_EQ(o.state, ITEM_DONE);
    const auto words = Words(o.text);
    EXPECT_EQ(words.front(), "A");
    ExpectColumnsInOrder(words, {"A", "B", "C"}, "Page");
}

TEST_F(TextOutput, WordsMatchPdftotextPageByPage)
{
    const std::string pdf = Fixture("prose");
    const Outcome o = Convert(pdf);
    ASSERT_EQ(o.state, ITEM_DONE);
    const auto ours = Pages(o.text);
    const auto ref = ReferencePages(pdf);
    ASSERT_EQ(ours.size(), ref.size());
    for (std::size_t p = 0; p < ref.size(); ++p) {
        const auto a = Words(ours[p]);
        const auto b = Words(ref[p]);
        ASSERT_GT(b.size(), 100u);
        const double common = double(CommonCount(a, b)) / double(b.size());
        EXPECT_GE(common, 0.98) << "page " << p + 1;
        EXPECT_LE(a.size(), b.size() + b.size() / 50) << "page " << p + 1;
        // pdftotext -raw keeps the order of the page's content, which for
        // these pages is column by column: the same order as ours.
        const double ordered = double(LongestCommonSubsequence(a, b)) / double(b.size());
        EXPECT_GE(ordered, 0.98) << "page " << p + 1;
    }
}

TEST_F(TextOutput, PageMarksAndLineEnds)
{
    const Outcome o = Convert(Fixture("prose"));
    ASSERT_EQ(o.state, ITEM_DONE);
    for (int n = 1; n <= 4; ++n)
        EXPECT_NE(o.text.find("\r\n========" + std::to_string(n) + "========\r\n\r\n"),
                  std::string::npos) << n;
    EXPECT_TRUE(o.text.ends_with("\r\n========4========\r\n\r\n"));
    // Every line feed ends a "\r\n".
    for (std::size_t i = 0; i < o.text.size(); ++i) {
        if (o.text[i] == '\n') {
            ASSERT_TRUE(i > 0 && o.text[i - 1] == '\r') << i;
        }
    }
    // The same file converts to the same bytes again, under a free name.
    const Outcome again = Convert(Fixture("prose"));
    EXPECT_NE(again.path, o.path);
    EXPECT_TRUE(again.path.ends_with("prose(1).txt"));
    EXPECT_EQ(again.text, o.text);
}

TEST_F(TextOutput, NonAsciiTextIsUtf8)
{
    const Outcome o = Convert(Fixture("intl"));
    ASSERT_EQ(o.state, ITEM_DONE);
    const auto words = Words(o.text);
    for (const char* w : {"Café", "naïve", "façade", "über", "Ærø", "señor", "Привет", "мир",
                          "съешь", "ещё", "булок", "Ελληνικά", "κείμενο"}) {
        EXPECT_NE(std::find(words.begin(), words.end(), w), words.end()) << w;
    }
    // CJK characters in their order (with or without spaces between them).
    std::string joined;
    for (const auto& w : words)
        joined += w;
    EXPECT_NE(joined.find("中文文本测试"), std::string::npos) << o.text;
    // Valid UTF-8 throughout: decoding finds no replacement character.
    EXPECT_EQ(utf8::ToWide(o.text).find(L'\uFFFD'), std::wstring::npos);
}

// Words broken by a hyphen at a line end are whole again: the hyphen goes
// before lower case, stays before a capital, and a dash set apart keeps its
// spaces.
TEST_F(TextOutput, HyphenatedWordsAreJoinedAcrossLines)
{
    const Outcome o = Convert(Fixture("hyphens"));
    ASSERT_EQ(o.state, 2);
    for (const char* joined : {"consectetuer adipiscing elit,", "ut placerat ac,", "wrote Jean-Pierre to",
                               "whole committee of", "dash set - and then"})
        EXPECT_NE(o.text.find(joined), std::string::npos) << joined << " in\n" << o.text;
    for (const char* broken : {"adip-", "pla-", "com-", "- iscing", "Jean- "})
        EXPECT_EQ(o.text.find(broken), std::string::npos) << broken << " in\n" << o.text;
}

TEST_F(TextOutput, ControlCharactersNeverReachTheOutput)
{
    const Outcome o = Convert(Fixture("controls"));
    ASSERT_EQ(o.state, ITEM_DONE);
    for (char ch : o.text) {
        const auto u = static_cast<unsigned char>(ch);
        EXPECT_FALSE(u < 0x20 && ch != '\t' && ch != '\r' && ch != '\n') << int(u);
    }
    const std::string flat = std::regex_replace(o.text, std::regex("\\s+"), "");
    EXPECT_NE(flat.find("Bell"), std::string::npos);
    EXPECT_NE(flat.find("end"), std::string::npos);
}

TEST_F(TextOutput, TurnedAndZeroSizedTextConverts)
{
    const Outcome o = Convert(Fixture("rotated"));
    ASSERT_EQ(o.state, ITEM_DONE);
    const auto words = Words(o.text);
    for (const char* w : {"Turned90", "Turned180", "Turned270", "Turned45", "Upright", "tiny"})
        EXPECT_NE(std::find(words.begin(), words.end(), w), words.end()) << w;
    EXPECT_NE(o.text.find("Upright words before the turned ones"), std::string::npos);
    EXPECT_NE(o.text.find("Upright words after the turned ones"), std::string::npos);
    // Words of turned lines stay words: none is glued to its neighbour.
    for (const auto& w : words)
        EXPECT_EQ(w.find("heretext"), std::string::npos) << w;
    // The same page gives the same text every time.
    EXPECT_EQ(Convert(Fixture("rotated")).text, o.text);
}

TEST_F(TextOutput, RecognitionFindsTheWordsOfTesseract)
{
    const std::string pdf = Fixture("scanned");
    // Without recognition the page holds no text.
    const Outcome plain = Convert(pdf);
    ASSERT_EQ(plain.state, ITEM_DONE);
    EXPECT_TRUE(Words(Pages(plain.text).at(0)).empty()) << plain.text;

    const Outcome o = Convert(pdf, true);
    ASSERT_EQ(o.state, ITEM_DONE);
    // The oracle: the tesseract command on the page rendered at the same
    // resolution (quality mode, 300 dpi).
    TempDir tmp;
    const std::string png = tmp.str() + "page";
    int status = -1;
    testutil::Run("pdftoppm -r 300 -gray -png -singlefile " + Quote(pdf) + " " + Quote(png), &status);
    ASSERT_EQ(status, 0);
    const std::string ref = testutil::Run("tesseract " + Quote(png + ".png") + " stdout -l eng 2>/dev/null",
                                &status);
    ASSERT_EQ(status, 0);
    const auto expected = Words(ref);
    const auto got = Words(Pages(o.text).at(0));
    ASSERT_GE(expected.size(), 20u);
    EXPECT_EQ(got, expected);
}

TEST_F(TextOutput, CorpusConvertsOrFailsCleanly)
{
    const fs::path corpus = testutil::CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << "no corpus at " << TRANCEL_CORPUS_DIR;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(corpus)) {
        if (e.path().extension() == ".pdf")
            files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    int converted = 0;
    for (const fs::path& pdf : files) {
        SCOPED_TRACE(pdf.filename().string());
        const Outcome o = Convert(pdf.string());
        if (o.state == ITEM_FAILED) {
            EXPECT_TRUE(o.path.empty());
            continue;
        }
        ASSERT_EQ(o.state, ITEM_DONE);
        ASSERT_FALSE(o.path.empty());
        ++converted;
        for (char ch : o.text) {
            const auto u = static_cast<unsigned char>(ch);
            ASSERT_FALSE(u < 0x20 && ch != '\t' && ch != '\r' && ch != '\n');
        }
        EXPECT_EQ(utf8::ToWide(o.text).find(L'\uFFFD'), std::wstring::npos);
        EXPECT_TRUE(o.text.ends_with("========\r\n\r\n"));
    }
    // The encrypted and the damaged file fail; the others convert.
    EXPECT_GE(converted, static_cast<int>(files.size()) - 2);
}

TEST_F(TextOutput, CorpusTextDocumentsMatchPdftotext)
{
    const fs::path corpus = testutil::CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << "no corpus at " << TRANCEL_CORPUS_DIR;
    // The text documents of the corpus (one and several columns, LaTeX,
    // LibreOffice, PDF/A); same words as pdftotext -raw and, page by page,
    // in the same order.
    const char* names[] = {
        "001-trivial_minimal-document.pdf",
        "002-trivial-libre-office-writer_002-trivial-libre-office-writer.pdf",
        "004-pdflatex-4-pages_pdflatex-4-pages.pdf",
        "006-pdflatex-outline_pdflatex-outline.pdf",
        "014-outlines_mistitled_outlines_example.pdf",
        "021-pdfa_crazyones-pdfa.pdf",
        "025-attachment_with-attachment.pdf",
        "026-latex-multicolumn_multicolumn.pdf",
    };
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const fs::path pdf = corpus / name;
        if (!fs::exists(pdf))
            continue;
        const Outcome o = Convert(pdf.string());
        ASSERT_EQ(o.state, ITEM_DONE);
        const auto ours = Pages(o.text);
        const auto ref = ReferencePages(pdf.string());
        ASSERT_EQ(ours.size(), ref.size());
        std::size_t total = 0, common = 0, ordered = 0;
        for (std::size_t p = 0; p < ref.size(); ++p) {
            const auto a = Words(ours[p]);
            const auto b = Words(ref[p]);
            total += b.size();
            common += CommonCount(a, b);
            ordered += LongestCommonSubsequence(a, b);
        }
        ASSERT_GT(total, 50u);
        EXPECT_GE(double(common) / double(total), 0.98);
        // Text output builds no tables: the small table on the last page of
        // the multi-column document reads column by column, where pdftotext
        // keeps the rows of the content.
        EXPECT_GE(double(ordered) / double(total), 0.97);
    }
}

} // namespace
