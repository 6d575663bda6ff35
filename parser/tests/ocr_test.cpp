// Character recognition against the tesseract command.
#include "test_support.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <tuple>

#include <time.h>

using namespace ptest;

namespace {

// Words that the tesseract command finds on the page as pdftoppm renders it.
std::multiset<std::string> TesseractWords(const std::string& pdf, int dpi)
{
    auto dir = Scratch("tess");
    const std::string png = (dir / "page").string();
    Shell("pdftoppm -q -gray -png -singlefile -r " + std::to_string(dpi) + " " + Q(pdf) + " " + Q(png));
    const std::string text = Shell("OMP_THREAD_LIMIT=1 tesseract " + Q(png + ".png") +
                                 " - -l eng --dpi " + std::to_string(dpi) + " 2>/dev/null");
    std::multiset<std::string> words;
    std::istringstream in(text);
    std::string w;
    while (in >> w)
        words.insert(w);
    return words;
}

// Whether a library whose file name contains `name` is mapped into this
// process.
bool Mapped(const std::string& name)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(name) != std::string::npos)
            return true;
    return false;
}

bool CancelAlways(void*) { return true; }

struct CancelAfter {
    int calls = 0;
    int limit = 0;
};
bool CancelCounting(void* ctx)
{
    auto* c = static_cast<CancelAfter*>(ctx);
    return ++c->calls > c->limit;
}

} // namespace

TEST(Ocr, RecognisedWordsMatchTesseract)
{
    const auto oracle = TesseractWords(Fixture("scanned.pdf"), 200);
    ASSERT_GE(oracle.size(), 10u);
    Parser p;
    p.Load(WFixture("scanned.pdf"), false, nullptr);
    // Before recognition the page holds one picture and no text.
    PageObjects before = Walk(p, 0);
    EXPECT_EQ(before.images.size(), 1u);
    EXPECT_TRUE(before.text.empty());
    // Tesseract is loaded by the first recognition, not with the parser.
    EXPECT_FALSE(Mapped("libtesseract"));

    p.SetRecognitionOption(0); // speed first: 200 dpi
    p.SetRecognitionPages({0});
    ASSERT_TRUE(p.OcrPrecessor());
    EXPECT_TRUE(Mapped("libtesseract"));
    PageObjects o = Walk(p, 0);
    EXPECT_TRUE(o.images.empty());
    ASSERT_FALSE(o.text.empty());
    std::multiset<std::string> ours;
    double W = 0, H = 0;
    p.GetPageWidth(W);
    p.GetPageHeight(H);
    int lastId = 0;
    for (TextCollect* t : o.text) {
        const std::string& s = t->GetText();
        ASSERT_GE(s.size(), 2u);
        EXPECT_EQ(s.back(), ' ') << "recognised runs end with a space";
        ours.insert(s.substr(0, s.size() - 1));
        EXPECT_GT(t->GetID(), lastId);
        lastId = t->GetID();
        const ParserMatrix& m = t->GetMatrix();
        EXPECT_GE(m.e, 0);
        EXPECT_LE(m.e + t->GetTextWidth(), W + 1);
        EXPECT_GE(m.f, -5);
        EXPECT_LE(m.f + t->GetTextHeight(), H + 5);
        // Text drawn with 44 px at 200 dpi: about 16 points.
        EXPECT_NEAR(t->GetFontSize(), 44 * 72.0 / 200, 4.0);
    }
    int common = 0;
    auto rest = oracle;
    for (const std::string& w : ours) {
        auto it = rest.find(w);
        if (it != rest.end()) {
            ++common;
            rest.erase(it);
        }
    }
    EXPECT_GE(common, static_cast<int>(oracle.size() * 9 / 10));
    // The first line reads in order, top of the page first.
    ASSERT_GE(o.text.size(), 3u);
    EXPECT_EQ(o.text[0]->GetText(), "The ");
    EXPECT_GT(o.text[0]->GetMatrix().f, o.text.back()->GetMatrix().f);
}

TEST(Ocr, CancelStopsBeforeThePage)
{
    Parser p;
    p.Load(WFixture("scanned.pdf"), false, nullptr);
    p.SetRecognitionPages({0});
    p.SetCallbacks(nullptr, CancelAlways, nullptr);
    EXPECT_FALSE(p.OcrPrecessor());
    // Read without the callback, which would stop a walk that takes long.
    p.SetCallbacks(nullptr, nullptr, nullptr);
    PageObjects o = Walk(p, 0);
    EXPECT_EQ(o.images.size(), 1u) << "the page was not recognised";

    // A list with a page out of range: the valid pages are done, the answer
    // is false. The callback is asked before each page (and while page 0 is
    // recognised, which under load takes seconds: it never asks to stop).
    CancelAfter c{0, std::numeric_limits<int>::max()};
    p.SetCallbacks(nullptr, CancelCounting, &c);
    p.SetRecognitionPages({5, 0});
    EXPECT_FALSE(p.OcrPrecessor());
    EXPECT_GE(c.calls, 2);
    EXPECT_FALSE(Walk(p, 0).text.empty());
}

namespace {

// Processor time of the calling thread: unlike the time on the wall, it
// does not grow with the load of a shared machine.
std::chrono::nanoseconds ThreadTime()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

} // namespace

// Recognising a full page of small text at 300 dpi takes seconds (about
// 5 s for the tesseract command). A request to stop that comes a quarter
// into it ends it well before its end, and the page keeps its picture.
// Recognition runs on the calling thread alone; both runs are measured in
// that thread's processor time, so that the bound holds whatever the
// machine's load.
TEST(Ocr, ARequestToStopEndsTheRecognitionOfAPage)
{
    using std::chrono::nanoseconds;
    struct Stop {
        nanoseconds from = nanoseconds::max();
    };
    auto recognise = [](Stop& stop) {
        Parser p;
        p.Load(WFixture("scanned_full.pdf"), false, nullptr);
        p.SetRecognitionOption(1);
        p.SetRecognitionPages({0});
        p.SetCallbacks(nullptr, [](void* ctx) {
            return ThreadTime() >= static_cast<Stop*>(ctx)->from;
        }, &stop);
        const nanoseconds start = ThreadTime();
        if (stop.from != nanoseconds::max())
            stop.from += start;
        const bool done = p.OcrPrecessor();
        const nanoseconds took = ThreadTime() - start;
        // Read without the callback, which would stop a walk that takes long.
        p.SetCallbacks(nullptr, nullptr, nullptr);
        PageObjects o = Walk(p, 0);
        return std::make_tuple(done, took, o.images.size(), o.text.size());
    };
    Stop never;
    const auto [whole, full, wholeImages, wholeWords] = recognise(never);
    ASSERT_TRUE(whole);
    EXPECT_EQ(wholeImages, 0u);
    ASSERT_GT(wholeWords, 1000u);
    Stop quarter{full / 4};
    const auto [stopped, part, images, words] = recognise(quarter);
    EXPECT_FALSE(stopped);
    EXPECT_LT(part, full * 6 / 10)
        << std::chrono::duration_cast<std::chrono::milliseconds>(part).count() << " ms of "
        << std::chrono::duration_cast<std::chrono::milliseconds>(full).count() << " ms";
    EXPECT_EQ(images, 1u) << "the page was not recognised";
    EXPECT_EQ(words, 0u);
}

TEST(Ocr, LanguageDataFallsBackWhenPrefixLacksIt)
{
    auto dir = Scratch("tessdata");
    const char* old = std::getenv("TESSDATA_PREFIX");
    const std::string saved = old ? old : "";
    ::setenv("TESSDATA_PREFIX", dir.string().c_str(), 1);
    Parser p;
    p.Load(WFixture("scanned.pdf"), false, nullptr);
    p.SetRecognitionPages({0});
    EXPECT_TRUE(p.OcrPrecessor());
    EXPECT_FALSE(Walk(p, 0).text.empty());
    if (old)
        ::setenv("TESSDATA_PREFIX", saved.c_str(), 1);
    else
        ::unsetenv("TESSDATA_PREFIX");
}
